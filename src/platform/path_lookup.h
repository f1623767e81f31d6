#pragma once
// The platform's answers about names in command lines: what a path names,
// environment expansion with a length limit, the program search path and
// the command-line splitting rules of Windows itself.
#include <cstddef>
#include <string>
#include <vector>

namespace tavrin {

enum class PathObject {
  Missing,
  File,
  Folder,
  LinkedFolder,  // a folder that is a reparse point (junction or symbolic link)
};
// Relative paths are answered against the current folder, as the platform
// does; callers that must not depend on it test IsAbsolutePath first.
PathObject ObjectAtPath(const std::wstring& path);

// Environment references expanded. False when the expansion fails or its
// result would be longer than `maxLength` characters: a cut expansion
// would name some other path.
bool ExpandEnvironmentLimited(const std::wstring& text, size_t maxLength, std::wstring& expanded);

// PathFindOnPathW: the full path of a name found in the system folders or
// on the PATH. A name the platform's fixed buffer cannot hold (260
// characters with the found path) is not looked up.
bool FindOnSearchPath(std::wstring& name);

// CommandLineToArgvW. An empty text gives no arguments (the platform would
// answer with the running program's own path).
std::vector<std::wstring> SplitArguments(const std::wstring& commandLine);

// GetTempPathW, environment references expanded and in the long form, with
// the platform's trailing backslash; empty when unknown.
std::wstring TempFolder();

}  // namespace tavrin
