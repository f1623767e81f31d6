#pragma once
// Host symbolic links for tests. Under Wine CreateSymbolicLinkW answers
// TRUE and creates nothing, but Wine starts Unix programs, so the host's own
// "ln" plants the links where a test needs them.
#include <string>

namespace tavrin::test {

// The host path of a Windows path (Wine's own conversion); empty outside
// Wine.
std::string HostPath(const std::wstring& windowsPath);

// Makes `link` a host symbolic link to `target` (both Windows paths; the
// target need not exist). False outside Wine or when "ln" fails.
bool MakeHostLink(const std::wstring& target, const std::wstring& link);

// Deletes every host symbolic link at or below `folder` (the links only: Wine
// would delete their targets), so that the folder can be cleared.
bool RemoveHostLinks(const std::wstring& folder);

// True when `path` is a host symbolic link (whatever Wine shows of it).
bool IsHostLink(const std::wstring& path);

// The host's permission bits of a file or folder (Wine keeps access lists
// in them), -1 when unknown.
int HostMode(const std::wstring& path);

}  // namespace tavrin::test
