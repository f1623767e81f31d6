#pragma once
// From a command line to the file it runs. Autostart entries, services,
// scheduled tasks, uninstall entries and shell commands name their program
// quoted or not, with switches, through a host program, with environment
// references, NT prefixes or bare names; the scans need the path of the
// existing file before they judge or remove it.
//
// The program deletes what these functions point at, so they answer false
// rather than guess: only absolute paths count as existing (a relative name
// is never taken against the current folder), a folder is never a resolved
// file, and texts too long for the platform's buffers are not cut to fit.
#include <string>

#include "filetrust/system_folders.h"

namespace tavrin {

enum ResolveFlags : unsigned {
  // Names without a folder may be looked up on the search path and under
  // App Paths.
  ResolveSearch = 0x1,
  // The text is a command line: switches are stripped and host programs
  // (cmd, svchost, wscript, regsvr32, rundll32, regedit) are recognised.
  ResolveCommandLine = 0x2,
};

// Environment expansion is limited to this many characters.
inline constexpr size_t kMaxExpandedCommand = 4096;

// On success `text` holds the path of an existing file. On failure it holds
// the text after environment expansion and prefix clean-up ("@", "\??\",
// "\\?\", "\SystemRoot\", a leading "\" taken on the system drive), or the
// original text when the expansion itself failed.
bool ResolveCommandTarget(std::wstring& text, const SystemFolders& folders, unsigned flags);
// With both flags.
bool ResolveCommandTargetInPlace(std::wstring& text, const SystemFolders& folders);
// A service's or driver's image path ("\SystemRoot\...", "System32\...",
// "\??\C:\...", a ".sys" path followed by more text); falls back to
// resolving it as a command line. `text` is rewritten to the forms tried.
bool ResolveDriverPath(std::wstring& text, const SystemFolders& folders);

// A program name, with ".exe", ".scr", ".bat", ".cmd", ".vbs" and ".pif"
// tried in that order when it has no extension; relative names only with
// `search`. A folder that is a reparse point counts as a file here.
bool ResolveExecutable(std::wstring& text, bool search);
// The search path (PathFindOnPathW), then for a name without a folder the
// App Paths entry of the name (with `cutAtSpace`, of its part before the
// first space), which must name an existing file.
bool FindOnPathOrAppPaths(std::wstring& text, bool cutAtSpace);
// The arguments of a host program tried as the file it runs (the script of
// wscript, the DLL of rundll32 ...), else the program itself.
bool ResolveHostedCommand(std::wstring& text, bool search);
// The whole text, then the text cut before its last space, again and
// again: an unquoted path with spaces followed by arguments resolves to
// the program.
bool ResolveBySpaces(std::wstring& text, bool search);

}  // namespace tavrin
