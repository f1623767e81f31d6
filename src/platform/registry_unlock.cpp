#include "platform/registry_unlock.h"

#include "platform/strings.h"
#include "platform/windows_version.h"

namespace tavrin {

namespace {

// A path the unlock may touch: it parses and names a key below a root.
bool NamesKeyBelowRoot(const std::wstring& path) {
  std::wstring subkey = path;
  REGSAM view = 0;
  if (!ParseRegPath(subkey, &view)) return false;
  while (!subkey.empty() && subkey.back() == L'\\') subkey.pop_back();
  return !subkey.empty();
}

REGSAM ViewBitsOf(const std::wstring& path) {
  std::wstring subkey = path;
  REGSAM view = 0;
  ParseRegPath(subkey, &view);
  return view & (KEY_WOW64_64KEY | KEY_WOW64_32KEY);
}

bool UnlockByOwnerReset(const std::wstring& path) {
  const std::vector<AccessEntry> entries = OwnerResetEntries(WindowsVersion());
  std::vector<unsigned char> acl;
  if (!BuildAccessList(entries, acl)) return false;
  std::vector<unsigned char> owner = TrusteeSid(kSidAdministrators);
  if (owner.empty()) return false;
  {
    RegKey key = OpenKey(path, kRegOwnership);
    if (key) {
      SECURITY_DESCRIPTOR descriptor;
      if (InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
          SetSecurityDescriptorOwner(&descriptor, owner.data(), FALSE) &&
          SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE)) {
        RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &descriptor);
      }
    }
  }
  std::optional<std::wstring> name = SecurityObjectName(path);
  if (!name) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (ApplyAccessList(*name, SE_REGISTRY_KEY, entries, kSidAdministrators, ApplyProtected | ApplyTree) ==
        ERROR_SUCCESS)
      return true;
    // Without ownership the list may be refused; owning the key first
    // gives the right to change it.
    ApplyAccessList(*name, SE_REGISTRY_KEY, {}, kSidAdministrators, ApplyOwnerOnly);
    if (ApplyAccessList(*name, SE_REGISTRY_KEY, entries, kSidAdministrators, ApplyProtected | ApplyTree) ==
        ERROR_SUCCESS)
      return true;
  }
  return false;
}

bool UnlockByPermissionReset(const std::wstring& path) {
  std::optional<std::wstring> name = SecurityObjectName(path);
  if (!name) return false;
  return ApplyPermissionReset(*name, SE_REGISTRY_KEY, PermissionResetEntries(PermissionTarget::RegistryKey),
                              kSidAdministrators);
}

RegKey OpenKeyUnlockedTwice(const std::wstring& path, REGSAM access, UnlockStrategy strategy) {
  RegKey key = OpenKeyUnlocked(path, access, strategy);
  if (!key) key = OpenKeyUnlocked(path, access, strategy);
  return key;
}

}  // namespace

std::optional<std::wstring> SecurityObjectName(const std::wstring& path) {
  size_t slash = std::wstring::npos;
  for (size_t i = 3; i < 23 && i < path.size(); ++i) {
    if (path[i] == L'\\') {
      slash = i;
      break;
    }
  }
  const std::wstring token = slash == std::wstring::npos ? path : path.substr(0, slash);
  const std::wstring rest = slash == std::wstring::npos ? std::wstring() : path.substr(slash);
  auto is = [&token](std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
      if (EqualsNoCase(token, name)) return true;
    }
    return false;
  };
  if (is({L"HKLM", L"HKEY_LOCAL_MACHINE", L"HKLM64", L"HKEY_LOCAL_MACHINE64"})) return L"MACHINE" + rest;
  if (is({L"HKLM32", L"HKEY_LOCAL_MACHINE32"})) {
    // Only the SOFTWARE key itself or a path below it is redirected, not
    // a sibling whose name merely begins with "SOFTWARE".
    constexpr std::wstring_view software = L"\\SOFTWARE";
    if (EqualsNoCase(rest, software) || StartsWithNoCase(rest, L"\\SOFTWARE\\"))
      return L"MACHINE\\SOFTWARE\\WOW6432Node" + rest.substr(software.size());
    return L"MACHINE" + rest;
  }
  if (is({L"HKCR", L"HKEY_CLASSES_ROOT", L"HKCR64", L"HKEY_CLASSES_ROOT64"})) return L"CLASSES_ROOT" + rest;
  if (is({L"HKCR32", L"HKEY_CLASSES_ROOT32"})) return L"CLASSES_ROOT\\WOW6432Node" + rest;
  if (is({L"HKCU", L"HKEY_CURRENT_USER"})) return L"CURRENT_USER" + rest;
  if (is({L"HKU", L"HKEY_USERS"})) return L"USERS" + rest;
  return std::nullopt;
}

std::vector<AccessEntry> OwnerResetEntries(double windowsVersion) {
  std::vector<AccessEntry> entries = {
      {kSidAdministrators, GENERIC_ALL, CONTAINER_INHERIT_ACE},
      {kSidLocalSystem, GENERIC_ALL, CONTAINER_INHERIT_ACE},
      {kSidEveryone, GENERIC_ALL, CONTAINER_INHERIT_ACE},
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
                                  KEY_SET_VALUE | ViewBitsOf(path), nullptr, &created, nullptr);
    if (status != ERROR_SUCCESS) {
      SetLastError(status);
      return false;
    }
    RegKey key(created);
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
    RegKey key = OpenKeyUnlocked(path, kRegAll, strategy);
    if (key) {
      std::wstring name;
      for (DWORD i = SubKeyCount(key); i-- > 0;) {
        if (EnumSubKey(key, i, name)) DeleteForced(path + L"\\" + name, nullptr, strategy);
      }
    }
  }
  return DeleteKeyTree(path);
}

int ClearKey(const std::wstring& path, unsigned what, UnlockStrategy strategy) {
  if (!(what & (ClearSubKeys | ClearValues))) return -1;
  int deleted = 0;
  RegKey key = OpenKeyUnlocked(path, kRegRead, strategy);
  if (!key) return 0;
  std::wstring name;
  if (what & ClearSubKeys) {
    for (DWORD i = SubKeyCount(key); i-- > 0;) {
      if (EnumSubKey(key, i, name) && DeleteForced(path + L"\\" + name, nullptr, strategy)) ++deleted;
    }
  }
  if (what & ClearValues) {
    DWORD type = 0, length = 0;
    for (DWORD i = ValueCount(key); i-- > 0;) {
      if (EnumValue(key, i, name, type, length) && DeleteForced(path, name.c_str(), strategy)) ++deleted;
    }
  }
  return deleted;
}

}  // namespace tavrin
