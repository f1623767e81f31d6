#include "platform/file_security.h"

#include <windows.h>
#include <aclapi.h>

#include "platform/access_list.h"
#include "platform/file_removal.h"

namespace tavrin {

namespace {
constexpr SECURITY_INFORMATION kParts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                        DACL_SECURITY_INFORMATION;
}

bool SaveFileSecurity(const std::wstring& path, SavedFileSecurity& saved) {
  saved.descriptor.clear();
  DWORD needed = 0;
  GetFileSecurityW(path.c_str(), kParts, nullptr, 0, &needed);
  if (needed == 0) return false;
  std::vector<unsigned char> buffer(needed);
  if (!GetFileSecurityW(path.c_str(), kParts, buffer.data(), needed, &needed)) return false;
  saved.descriptor = std::move(buffer);
  return true;
}

bool RestoreFileSecurity(const std::wstring& path, const SavedFileSecurity& saved) {
  if (saved.descriptor.empty()) return false;
  auto* descriptor = const_cast<unsigned char*>(saved.descriptor.data());
  return SetFileSecurityW(path.c_str(), kParts, descriptor) != FALSE;
}

bool TakeOverFile(const std::wstring& path) {
  return ApplyAccessList(path, SE_FILE_OBJECT, FileAccessList(false), kSidAdministrators, 0) == ERROR_SUCCESS;
}

}  // namespace tavrin
