#pragma once
// The limits that keep a bad or hostile details field from deleting what a
// finding does not own. Every removal step asks these before it deletes;
// they decide on text alone (plus the protected-folder test), so they can
// be tried with any input.
#include <string>
#include <string_view>

namespace tavrin {

// Fewer literal characters than this make a leftover pattern too wide.
inline constexpr size_t kShortestLeftoverName = 4;
// An install folder ("Path") shorter than this is never cleaned up after.
inline constexpr size_t kShortestProgramPath = 10;

// One folder or file name as a details field gives it: not empty, no
// folder separators, no drive colon, no "..", no wildcards, no control
// characters, no leading or trailing blanks or dots.
bool IsPlainName(std::wstring_view name);

// Names of shared containers in the application-data and Programs folders
// that no program's leftovers can be, whatever pattern matches them.
bool IsSharedContainerName(std::wstring_view name);

// The wildcard text of a program's leftover folders: "DBName" + "*" when
// the definition names the program, otherwise the last component of the
// install folder as it is (never widened). Empty when there is none that
// is safe: fewer than four literal characters, not a plain name, or a
// pattern that would take a "Microsoft" folder or a shared container.
std::wstring LeftoverNamePattern(const std::wstring& dbName, const std::wstring& installPath);

// The publisher's folder name for the second round of leftovers; empty
// for "(Not set)", a Microsoft publisher, fewer than four characters or
// anything that is not a plain name.
std::wstring PublisherFolderName(const std::wstring& publisher);

// The install folder a clean-up may search for: canonical, absolute, at
// least ten characters, not a drive root and not a protected folder.
// Empty when it is none of that, so that nothing matches it.
std::wstring CleanupFolder(const std::wstring& installPath);

// Whether a command or path text (already expanded) names `folder` itself
// or something inside it. `folder` is a CleanupFolder result; an empty one
// matches nothing. "C:\Apps\Tool" is named by "C:\Apps\Tool\a.exe" and
// "\"C:\Apps\Tool\" /x", never by "C:\Apps\Toolbar\a.exe".
bool NamesPathInside(std::wstring_view text, std::wstring_view folder);

// `path` lies below `folder` (both absolute, compared case-insensitively
// at a path boundary); with `directly`, `path` is an entry of `folder`
// itself. A path with "." or ".." components lies nowhere.
bool LiesInFolder(std::wstring_view path, std::wstring_view folder, bool directly = false);

// A registry key that no single finding can own: a hive's or a user's top,
// a key with fewer than two components below its root, or any key on the
// way to the places Windows itself starts programs from or keeps its
// classes, services and policies in ("HKLM\SOFTWARE\Microsoft",
// "HKU\<SID>\Software", "HKLM\SYSTEM\CurrentControlSet" ...), in either
// registry view. Such a key is never deleted as a whole.
bool IsSharedRegistryKey(const std::wstring& key);

// An image of the system whose process must never be ended and whose file
// must never be deleted: lsass, csrss, winlogon, services, smss, wininit,
// svchost and the like in the Windows folder, its System folder or the
// 32-bit System folder.
bool IsCriticalSystemImage(const std::wstring& path, const std::wstring& windowsFolder);

// A critical image, or a file Windows File Protection guards.
bool IsUntouchableFile(const std::wstring& path, const std::wstring& windowsFolder);

}  // namespace tavrin
