#pragma once
// Whether accounts without administrator rights can change a file system
// object, read from its owner and access list.
#include <windows.h>

#include <string>

namespace tavrin {

// Rights that let a holder replace a file's content or its protection.
inline constexpr DWORD kFileChangeRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// Rights that let a holder put or replace files in a folder.
inline constexpr DWORD kFolderChangeRights =
    FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// True when the object's owner is a standard account, or an allow entry
// that applies to the object itself grants any of `rights` to Everyone,
// Authenticated Users, Users, Interactive or the running account (unless
// that is LocalSystem or Administrators). True also for an object without
// an access list and for one whose security cannot be read: it is not
// known to be protected.
bool StandardUsersMayChange(const std::wstring& path, DWORD rights);
// The same decision for an owner and an access list (null: none).
bool StandardUsersMayChange(PSID owner, const ACL* dacl, DWORD rights);

}  // namespace tavrin
