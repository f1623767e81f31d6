#pragma once
// Writes and deletes that get through keys whose permissions refuse them:
// a refused operation unlocks the key and tries once more. Removal and
// repair use these; scans only read.
#include <optional>
#include <string>
#include <vector>

#include "platform/access_list.h"
#include "platform/registry.h"

namespace tavrin {

enum class UnlockStrategy {
  // Owner BUILTIN\Administrators and the owner-reset list, inheriting what
  // the parent passes down, applied to the key and everything below it.
  OwnerReset,
  // The same with read access for the app-package groups above Windows 6.1.
  PermissionReset,
};

// The name under which the security functions know the key:
// "HKLM\SOFTWARE\X" -> "MACHINE\SOFTWARE\X",
// "HKLM32\SOFTWARE\X" -> "MACHINE\SOFTWARE\WOW6432Node\X",
// "HKCR32\X" -> "CLASSES_ROOT\WOW6432Node\X", "HKCU..." -> "CURRENT_USER...",
// "HKU..." -> "USERS...". Nothing for any other root.
std::optional<std::wstring> SecurityObjectName(const std::wstring& path);

// The owner-reset list: Administrators and LocalSystem full control, Users
// and "S-1-5-12" read, TrustedInstaller full control from Windows 6.0;
// inherited by subkeys. Never Everyone: an unlocked key must not stay open
// to every program of every user.
std::vector<AccessEntry> OwnerResetEntries(double windowsVersion);

// Takes the key over with the given strategy. A root key itself is never
// unlocked (that would rewrite the permissions of a whole hive).
bool UnlockKey(const std::wstring& path, UnlockStrategy strategy);

// OpenKey; when that is refused, unlock the key and open it once more.
RegKey OpenKeyUnlocked(const std::wstring& path, REGSAM access,
                       UnlockStrategy strategy = UnlockStrategy::OwnerReset);

// Creates the key when needed and writes the value (without a value name
// only the key), unlocking the key or, for a missing key, its parent when
// refused.
bool WriteValueForced(const std::wstring& path, const wchar_t* valueName, DWORD type, const void* data, DWORD length,
                      UnlockStrategy strategy = UnlockStrategy::OwnerReset);
bool WriteStringForced(const std::wstring& path, const wchar_t* valueName, const std::wstring& text,
                       DWORD type = REG_SZ, UnlockStrategy strategy = UnlockStrategy::OwnerReset);
bool WriteDwordForced(const std::wstring& path, const wchar_t* valueName, DWORD number,
                      UnlockStrategy strategy = UnlockStrategy::OwnerReset);

// With a value name deletes that value, otherwise the key with its tree;
// unlocks and retries when refused. A root key is never deleted.
bool DeleteForced(const std::wstring& path, const wchar_t* valueName = nullptr,
                  UnlockStrategy strategy = UnlockStrategy::OwnerReset);

enum ClearKeyParts : unsigned {
  ClearSubKeys = 0x1,
  ClearValues = 0x2,
};

// Deletes the subkeys and/or values of a key (DeleteForced), last index
// first. The number deleted, or -1 when `what` selects nothing.
int ClearKey(const std::wstring& path, unsigned what, UnlockStrategy strategy = UnlockStrategy::OwnerReset);

}  // namespace tavrin
