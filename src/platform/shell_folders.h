#pragma once
// Shell folders of the machine or of one user (through the user's token).
#include <windows.h>

#include <string>

namespace tavrin {

// SHGetFolderPathW for the CSIDL; empty when the platform has none.
std::wstring ShellFolder(int csidl, HANDLE userToken = nullptr);
// An environment reference ("%TEMP%") expanded in the user's environment
// (the program's own without a token) and turned into its long form.
std::wstring ExpandForUser(const std::wstring& text, HANDLE userToken);

}  // namespace tavrin
