#include "platform/registry_unlock.h"

#include "platform/strings.h"
#include "platform/windows_version.h"

namespace tavrin {

namespace {

// A path the unlock may touch: it parses and names a key below a root.
bool NamesKeyBelowRoot(const std::wstring& path) {
  const RegPathParts parts = ParseRegPath(path);
  return parts && parts.subkey.find_first_not_of(L'\\') != std::wstring::npos;
}

std::wstring WithoutTrailingBackslashes(const std::wstring& path) {
  const size_t end = path.find_last_not_of(L'\\');
  return end == std::wstring::npos ? std::wstring() : path.substr(0, end + 1);
}

// Ownership first: without it the list may be refused. The list is not
// protected, so the key gets back what its parent passes down besides the
// entries given here.
bool ResetKeyAccess(const std::wstring& path, const std::vector<AccessEntry>& entries) {
  std::optional<std::wstring> name = SecurityObjectName(path);
  if (!name) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (ApplyAccessList(*name, SE_REGISTRY_KEY, entries, kSidAdministrators, ApplyTree) == ERROR_SUCCESS) return true;
    ApplyAccessList(*name, SE_REGISTRY_KEY, {}, kSidAdministrators, ApplyOwnerOnly);
  }
  return false;
}

bool UnlockByOwnerReset(const std::wstring& path) { return ResetKeyAccess(path, OwnerResetEntries(WindowsVersion())); }

bool UnlockByPermissionReset(const std::wstring& path) {
  std::vector<AccessEntry> entries = OwnerResetEntries(WindowsVersion());
  if (WindowsVersion() > 6.1) {
    entries.push_back({kSidAllAppPackages, GENERIC_READ, CONTAINER_INHERIT_ACE});
    entries.push_back({kSidAllRestrictedAppPackages, GENERIC_READ, CONTAINER_INHERIT_ACE});
  }
  return ResetKeyAccess(path, entries);
}

RegKey OpenKeyUnlockedTwice(const std::wstring& path, REGSAM access, UnlockStrategy strategy) {
  RegKey key = OpenKeyUnlocked(path, access, strategy);
  if (!key) key = OpenKeyUnlocked(path, access, strategy);
  return key;
}

// OpenKeyUnlocked for `name` below an open parent; `path` is the key's
// full path, which the unlock needs because the security functions go by
// name.
RegKey OpenSubKeyUnlocked(const RegKey& parent, const std::wstring& name, const std::wstring& path, REGSAM access,
                          UnlockStrategy strategy) {
  RegKey key = OpenSubKey(parent, name, access);
  if (key || key.Status() == ERROR_FILE_NOT_FOUND) return key;
  UnlockKey(path, strategy);
  return OpenSubKey(parent, name, access);
}

// DeleteForced of the tree `name` below an open parent, walking down
// through open handles; `path` names the same key for the unlock.
bool DeleteForcedBelow(const RegKey& parent, const std::wstring& name, const std::wstring& path,
                       UnlockStrategy strategy) {
  if (name.empty()) return false;
  if (DeleteSubKeyTree(parent, name)) return true;
  {
    RegKey key = OpenSubKeyUnlocked(parent, name, path, kRegAll, strategy);
    if (key) {
      std::wstring child;
      for (DWORD i = SubKeyCount(key); i-- > 0;) {
        if (EnumSubKey(key, i, child)) DeleteForcedBelow(key, child, path + L"\\" + child, strategy);
      }
    }
  }
  return DeleteSubKeyTree(parent, name);
}

}  // namespace

std::optional<std::wstring> SecurityObjectName(const std::wstring& path) {
  const RegPathParts parts = ParseRegPath(path);
  if (!parts || !parts.securityRoot) return std::nullopt;
  // The program writes views only of the machine and classes roots; a view
  // of a per-user root is no key it knows, and nothing is changed there.
  if (parts.view != RegView::Native && parts.root != HKEY_LOCAL_MACHINE && parts.root != HKEY_CLASSES_ROOT)
    return std::nullopt;
  const std::wstring subkey = SubkeyInNativeView(parts);
  if (subkey.empty()) return std::wstring(parts.securityRoot);
  return parts.securityRoot + (L"\\" + subkey);
}

std::vector<AccessEntry> OwnerResetEntries(double windowsVersion) {
  std::vector<AccessEntry> entries = {
      {kSidAdministrators, GENERIC_ALL, CONTAINER_INHERIT_ACE},
      {kSidLocalSystem, GENERIC_ALL, CONTAINER_INHERIT_ACE},
      {kSidUsers, GENERIC_READ, CONTAINER_INHERIT_ACE},
      {kSidRestricted, GENERIC_READ, CONTAINER_INHERIT_ACE},
  };
  if (windowsVersion >= 6.0) entries.push_back({kSidTrustedInstaller, GENERIC_ALL, CONTAINER_INHERIT_ACE});
  return entries;
}

bool UnlockKey(const std::wstring& path, UnlockStrategy strategy) {
  if (!NamesKeyBelowRoot(path)) return false;
  return strategy == UnlockStrategy::OwnerReset ? UnlockByOwnerReset(path) : UnlockByPermissionReset(path);
}

RegKey OpenKeyUnlocked(const std::wstring& path, REGSAM access, UnlockStrategy strategy) {
  RegKey key = OpenKey(path, access);
  // A missing key has no permissions to reset.
  if (key || key.Status() == ERROR_FILE_NOT_FOUND || key.Status() == ERROR_BAD_PATHNAME) return key;
  UnlockKey(path, strategy);
  return OpenKey(path, access);
}

bool WriteValueForced(const std::wstring& path, const wchar_t* valueName, DWORD type, const void* data, DWORD length,
                      UnlockStrategy strategy) {
  {
    RegKey key;
    if (CreateKey(key, path, valueName, type, data, length)) return true;
  }
  if (!KeyExists(path)) {
    std::wstring parentPath, last;
    if (!SplitLastComponent(path, parentPath, last) || last.empty()) return false;
    RegKey parent = OpenKeyUnlockedTwice(parentPath, kRegWrite, strategy);
    if (!parent) return false;
    HKEY created = nullptr;
    LONG status = RegCreateKeyExW(parent, last.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE | REGSAM(parent.View()), nullptr, &created, nullptr);
    if (status != ERROR_SUCCESS) {
      SetLastError(status);
      return false;
    }
    RegKey key(created, status, parent.View());
    return !valueName || WriteValue(key, valueName, type, data, length);
  }
  RegKey key = OpenKeyUnlockedTwice(path, kRegWrite, strategy);
  return key && (!valueName || WriteValue(key, valueName, type, data, length));
}

bool WriteStringForced(const std::wstring& path, const wchar_t* valueName, const std::wstring& text, DWORD type,
                       UnlockStrategy strategy) {
  return WriteValueForced(path, valueName ? valueName : L"", type, text.c_str(), 0, strategy);
}

bool WriteDwordForced(const std::wstring& path, const wchar_t* valueName, DWORD number, UnlockStrategy strategy) {
  return WriteValueForced(path, valueName ? valueName : L"", REG_DWORD, &number, sizeof number, strategy);
}

bool DeleteForced(const std::wstring& path, const wchar_t* valueName, UnlockStrategy strategy) {
  if (valueName) {
    if (DeleteValueAt(path, valueName)) return true;
    RegKey key = OpenKeyUnlocked(path, kRegAll, strategy);
    return key && DeleteValue(key, valueName);
  }
  // Opening a root with full access would succeed and hand every key of the
  // hive to the loop below.
  if (!NamesKeyBelowRoot(path)) return false;
  if (DeleteKeyTree(path)) return true;
  {
    const std::wstring key = WithoutTrailingBackslashes(path);
    RegKey open = OpenKeyUnlocked(key, kRegAll, strategy);
    if (open) {
      std::wstring name;
      for (DWORD i = SubKeyCount(open); i-- > 0;) {
        if (EnumSubKey(open, i, name)) DeleteForcedBelow(open, name, key + L"\\" + name, strategy);
      }
    }
  }
  return DeleteKeyTree(path);
}

int ClearKey(const std::wstring& path, unsigned what, UnlockStrategy strategy) {
  if (!(what & (ClearSubKeys | ClearValues))) return -1;
  // Emptying a root would take a whole hive, which no removal means to do.
  if (!NamesKeyBelowRoot(path)) return 0;
  const std::wstring target = WithoutTrailingBackslashes(path);
  int deleted = 0;
  RegKey key = OpenKeyUnlocked(target, kRegRead, strategy);
  if (!key) return 0;
  std::wstring name;
  if (what & ClearSubKeys) {
    for (DWORD i = SubKeyCount(key); i-- > 0;) {
      if (EnumSubKey(key, i, name) && DeleteForcedBelow(key, name, target + L"\\" + name, strategy)) ++deleted;
    }
  }
  if (what & ClearValues) {
    DWORD type = 0, length = 0;
    for (DWORD i = ValueCount(key); i-- > 0;) {
      if (EnumValue(key, i, name, type, length) && DeleteForced(target, name.c_str(), strategy)) ++deleted;
    }
  }
  return deleted;
}

}  // namespace tavrin
