#pragma once
// The permission builder shared by the registry unlock and the file
// removal fallbacks: an access list of allow entries, applied with an owner
// to one object or to an object and everything below it.
#include <windows.h>
#include <aclapi.h>

#include <string>
#include <vector>

namespace tavrin {

inline constexpr wchar_t kSidAdministrators[] = L"S-1-5-32-544";
inline constexpr wchar_t kSidLocalSystem[] = L"S-1-5-18";
inline constexpr wchar_t kSidEveryone[] = L"S-1-1-0";
inline constexpr wchar_t kSidUsers[] = L"S-1-5-32-545";
inline constexpr wchar_t kSidRestricted[] = L"S-1-5-12";
inline constexpr wchar_t kSidAllAppPackages[] = L"S-1-15-2-1";
inline constexpr wchar_t kSidAllRestrictedAppPackages[] = L"S-1-15-2-2";
// "NT SERVICE\TrustedInstaller": a service SID, derived from the service
// name, so the same on every machine.
inline constexpr wchar_t kSidTrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

struct AccessEntry {
  std::wstring trustee;  // a SID in string form, or an account name
  DWORD mask = GENERIC_ALL;
  DWORD inheritance = 0;  // OBJECT_INHERIT_ACE, CONTAINER_INHERIT_ACE
  bool deny = false;      // an access-denied entry instead of an allow entry
};

// The binary SID of a trustee; empty when it cannot be resolved.
std::vector<unsigned char> TrusteeSid(const std::wstring& trustee);

// Builds the access list; false (and nothing built) when any entry cannot be
// added.
bool BuildAccessList(const std::vector<AccessEntry>& entries, std::vector<unsigned char>& acl);

enum AccessApply : unsigned {
  ApplyProtected = 0x1,  // do not inherit from the parent
  ApplyTree = 0x2,       // the object and everything below it
  ApplyOwnerOnly = 0x4,  // set only the owner, not the list
};

// Applies the entries with the given owner (a trustee, empty for none) to a
// named object of the security functions ("MACHINE\SOFTWARE\...", a file
// path). Returns the platform status (ERROR_SUCCESS on success).
DWORD ApplyAccessList(const std::wstring& objectName, SE_OBJECT_TYPE type, const std::vector<AccessEntry>& entries,
                      const std::wstring& owner, unsigned how);

// What a permission reset is for: app-package entries get read access on
// keys and read and execute access on files.
enum class PermissionTarget { RegistryKey, File };

// The permission-reset list, every entry inherited by subkeys, subfolders
// and files: BUILTIN\Administrators, LocalSystem, Everyone and BUILTIN\Users
// full control; TrustedInstaller full control above Windows 5.3; the two
// app-package groups above 6.1; and `extraOwner` (a trustee) full control
// when given.
std::vector<AccessEntry> PermissionResetEntries(PermissionTarget target, const std::wstring& extraOwner,
                                                double windowsVersion);
std::vector<AccessEntry> PermissionResetEntries(PermissionTarget target, const std::wstring& extraOwner = {});

// Applies `entries` as an inheritable (not protected) list with `owner`
// (BUILTIN\Administrators when empty) to a key and its tree, or to a folder
// and its tree, or to a single file; tried twice. `objectName` is a security
// object name ("MACHINE\SOFTWARE\...") for keys and a path for files.
bool ApplyPermissionReset(const std::wstring& objectName, SE_OBJECT_TYPE type, const std::vector<AccessEntry>& entries,
                          const std::wstring& owner = {});

}  // namespace tavrin
