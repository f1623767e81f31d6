#include "platform/hives.h"

#include <windows.h>

#include "platform/privileges.h"
#include "platform/registry.h"

namespace tavrin {

namespace {

// Loading, saving and unloading hives need both.
void EnableHivePrivileges() {
  EnablePrivilege(SE_RESTORE_NAME);
  EnablePrivilege(SE_BACKUP_NAME);
}

HKEY RootKey(HiveRoot root) { return root == HiveRoot::Machine ? HKEY_LOCAL_MACHINE : HKEY_USERS; }

bool Finish(LONG status) {
  SetLastError(status);
  return status == ERROR_SUCCESS;
}

}  // namespace

bool LoadHive(HiveRoot root, const std::wstring& name, const std::wstring& file) {
  if (name.empty() || file.empty()) return Finish(ERROR_INVALID_PARAMETER);
  EnableHivePrivileges();
  return Finish(RegLoadKeyW(RootKey(root), name.c_str(), file.c_str()));
}

bool UnloadHive(HiveRoot root, const std::wstring& name) {
  // An empty name would address the root itself.
  if (name.empty()) return Finish(ERROR_INVALID_PARAMETER);
  EnableHivePrivileges();
  return Finish(RegUnLoadKeyW(RootKey(root), name.c_str()));
}

bool SaveKeyToHive(const std::wstring& keyPath, const std::wstring& file) {
  if (file.empty()) return Finish(ERROR_INVALID_PARAMETER);
  EnableHivePrivileges();
  RegKey key = OpenKey(keyPath, kRegRead);
  if (!key) return false;
  // RegSaveKeyW refuses to overwrite.
  if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileW(file.c_str())) return false;
  return Finish(RegSaveKeyW(key, file.c_str(), nullptr));
}

}  // namespace tavrin
