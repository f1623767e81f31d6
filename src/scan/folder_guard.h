#pragma once
// Which folders the programs phase may store for removal. Uninstall entries
// are written by whatever installed them, so a folder taken or guessed from
// them is made canonical and checked against every folder the machine and
// its users cannot do without before a row keeps it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/users.h"
#include "scan/known_folders.h"

namespace tavrin {

struct FolderGuard {
  // Canonical, lower case, without trailing backslashes.
  std::vector<std::wstring> kept;        // the folders themselves are never stored
  std::vector<std::wstring> containers;  // folders that only hold programs' folders
  std::wstring windows;                  // nothing at or below it is a program's folder
  // Folders whose entries Windows names for itself ("Common Files",
  // "Windows NT", "Microsoft Office" in the program files folders;
  // "Microsoft", "Packages" in the data folders): nothing inside such an
  // entry belongs to a third party's program.
  std::vector<std::wstring> programRoots;  // the program files folders
  std::vector<std::wstring> dataRoots;     // program data, each user's application data
};

// The shell folders of every scanned user (from the user's own hive and
// re-rooted from the console user's layout) with the folders between them
// and the profile, each profile itself, and the machine's program, data and
// Windows folders.
FolderGuard BuildFolderGuard(const KnownFolders& folders, const UserList& users);

// The full local path ("X:\..."): "." and ".." resolved, forward slashes
// turned, short names spelled out, no trailing backslash. Nothing for a
// relative, network or device path or a drive root.
std::optional<std::wstring> CanonicalFolder(std::wstring_view path);

// Whether a canonical folder lies at or below one that Windows owns: the
// Windows folder, or an entry of a program files folder named "Common
// Files", "Internet Explorer", "Windows*" or "Microsoft*", or an entry of a
// data folder named "Microsoft*", "Windows*" or "Packages".
bool IsWindowsOwnedFolder(const FolderGuard& guard, const std::wstring& canonical);

// Whether a canonical folder may be kept as a program's folder: not a
// protected folder (of the running user or of any scanned user), not a
// container such as the program files folder itself, not owned by Windows.
bool IsStorableFolder(const FolderGuard& guard, const std::wstring& canonical);

// Whether a display name or publisher may become a path component: not
// empty, no separator, drive colon, "..", wildcard, character that file
// names cannot hold, or control character.
bool IsPathSafeName(std::wstring_view name);

}  // namespace tavrin
