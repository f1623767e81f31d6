#pragma once
// Removal of files, folder trees and wildcard sets with escalating
// fallbacks: clear attributes, take over permissions, schedule the removal
// for the next restart.
#include <string>
#include <vector>

#include "platform/access_list.h"

namespace tavrin {

enum class RemovalResult : int {
  Failed = 0,
  Removed = 1,    // or was already absent
  Scheduled = 2,  // removed at the next restart
};

enum RemovalFlags : unsigned {
  RemovalScheduleAtRestart = 0x1,
  RemovalTakeOverPermissions = 0x2,
  RemovalKeepTopFolder = 0x4,  // only the content; set for wildcard sets
};

// The result over several entries: a failure is final, otherwise a
// scheduled removal outweighs a done one.
RemovalResult CombineRemoval(RemovalResult total, RemovalResult next);

// The permission set that the take-over step applies (owner
// BUILTIN\Administrators): full control for Everyone, LocalSystem and
// BUILTIN\Administrators, inherited below a folder or a wildcard set.
std::vector<AccessEntry> FileAccessList(bool inheritable);

// Removes a file, a folder with its content, or a wildcard set
// ("folder\*.tmp": the matching entries, the folder kept). Reparse points
// are removed as links (through a handle of their own, with no fallback)
// and never followed; an entry the platform only reaches through a link
// (a link it follows whatever the flags, or a linked parent folder) is left
// and fails, and so does the folder that holds it. A path that is not absolute
// removes nothing and fails; a path without any backslash (once trailing
// backslashes are gone, e.g. "C:\") is left alone and counts as removed.
RemovalResult RemoveFileObject(const std::wstring& path, unsigned flags);

// The single-object steps: delete (or remove the empty folder), clear the
// read-only and system attributes, take over permissions (flag), schedule
// at restart (flag).
RemovalResult RemoveFile(const std::wstring& path, unsigned flags);
RemovalResult RemoveFolderEntry(const std::wstring& path, unsigned flags);

// The entries of `folder` matching `pattern`, recursively (subfolders with
// the same pattern), then the folder itself unless RemovalKeepTopFolder.
RemovalResult RemoveTree(const std::wstring& folder, const std::wstring& pattern, unsigned flags);

}  // namespace tavrin
