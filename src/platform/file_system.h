#pragma once
// Path forms and folder facts shared by the file primitives.
#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

namespace tavrin {

// A drive letter followed by ":\", or a path beginning with "\\". Anything
// else would be resolved against the current folder (or the current drive),
// which the primitives never do.
bool IsAbsolutePath(const std::wstring& path);

// Forward slashes turned into backslashes, as the platform does for plain
// paths; a "\\?\" path is taken literally and returned unchanged.
std::wstring WithBackslashes(const std::wstring& path);

// The "\\?\" long form: "C:\x" becomes "\\?\C:\x", "\\server\share" becomes
// "\\?\UNC\server\share"; paths already in a "\\?\" or "\\.\" form and
// relative paths are returned unchanged.
std::wstring LongPath(const std::wstring& path);
// The inverse, for interfaces that want a plain path (the shell).
std::wstring PlainPath(const std::wstring& path);

// True for an existing file that is not a folder.
bool FileExists(const std::wstring& path);
// Renames a file, replacing a file of the target name.
bool MoveFileReplacing(const std::wstring& from, const std::wstring& to);
// Creates the file for writing, with the sharing given, creating its
// missing folders and replacing an existing file, also a hidden or
// read-only one (which refuses to be replaced in place). Empty on failure,
// with the platform's reason as the last error.
UniqueFile CreateFileReplacing(const std::wstring& path, DWORD share = 0);
// Adds the hidden attribute to an existing file or folder.
bool SetHiddenAttribute(const std::wstring& path);
// The module file name of the running executable (up to 1024 characters),
// as the platform gives it.
std::wstring OwnExecutablePath();
// The folder of the running executable, without a trailing backslash.
std::wstring ProgramFolder();
// True when the path exists, is a folder and is not a reparse point
// (junction or symbolic link).
bool FolderExists(const std::wstring& path);
// True when anything stands at the path: a file, a folder or a link of
// either kind (which FileExists or FolderExists may not count).
bool EntryExists(const std::wstring& path);

// What a path names once opened without following a link. Windows opens a
// link itself when asked to; Wine follows host links all the same and shows
// a link to a file as an ordinary file. So the proof that a handle is the
// entry named, and not what some link leads to, is that its final path is
// the path asked for (short names spelled out).
enum class EntryIdentity {
  Missing,  // nothing by that name (or a parent folder is missing)
  Own,      // a plain file or folder, reached without passing any link
  Link,     // a reparse point (symbolic link, junction, mount point), opened as itself
  Foreign,  // the handle lands elsewhere: a link the platform followed, or one among the parent folders
  Unknown,  // the entry could not be opened or its final path not read
};
EntryIdentity IdentifyEntry(const std::wstring& path);

// Opens `path` without following a link, with `access` (FILE_READ_ATTRIBUTES
// is added), and tells what the handle is. The handle is empty unless the
// identity is Own or Link; with Missing or Unknown the platform's reason is
// the last error.
UniqueFile OpenEntryItself(const std::wstring& path, DWORD access, EntryIdentity& identity);

// Creates every missing folder of an absolute path (drive paths in the long
// form, so paths beyond the classic limit work); true when the whole path
// is a folder afterwards.
bool CreateFolderTree(const std::wstring& path, SECURITY_ATTRIBUTES* security = nullptr);

// The size from a handle opened with full sharing, else the size in the
// directory entry, else 0.
unsigned long long FileSize(const std::wstring& path);

// The last-write time as the file system keeps it (UTC), in FILETIME
// units; 0 when the file cannot be reached.
unsigned long long FileLastWriteTime(const std::wstring& path);
// The three times of a file, so that an edit can leave them as they were.
struct FileTimes {
  FILETIME creation{};
  FILETIME lastAccess{};
  FILETIME lastWrite{};
};
bool ReadFileTimes(const std::wstring& path, FileTimes& times);
bool WriteFileTimes(const std::wstring& path, const FileTimes& times);
// GetLongPathNameW with a 4,096-character buffer: short (8.3) components
// spelled out. The path as given when the platform cannot expand it.
std::wstring LongPathName(const std::wstring& path);
// The form a path is stored in for a later removal: absolute, "." and ".."
// resolved, forward slashes turned, short components spelled out. Empty for
// a path that is not absolute (it would name a file of the current folder).
std::wstring CanonicalFilePath(const std::wstring& path);
// Total free bytes of the volume that holds the path; 0 on failure.
unsigned long long FreeDiskSpace(const std::wstring& path);

struct ProgramFiles {
  std::wstring native;  // "C:\Program Files"
  std::wstring x86;     // "C:\Program Files (x86)"
};
// The platform's Program Files folders; native + " (x86)" when the platform
// names no x86 folder.
ProgramFiles ProgramFilesFolders();

}  // namespace tavrin
