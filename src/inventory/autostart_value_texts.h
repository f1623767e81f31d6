#pragma once
// How the anti-malware phase reads the texts of the values it examines:
// lists of files in one value, and the shell's record of run programs.
// Nothing here touches the system.
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// The trimmed, non-empty parts of a text split at any of `separators`.
std::vector<std::wstring> SplitAtAny(std::wstring_view text, std::wstring_view separators);

// The entries of a security-package value: split at commas and line feeds
// only (a blank belongs to the path, as in "Program Files"); nothing for an
// empty value or one that is just two double quotes.
std::vector<std::wstring> SecurityPackageEntries(std::wstring_view value);
// The file an entry names: ".dll" appended unless the entry has at least
// five characters and contains a dot.
std::wstring SecurityPackageFile(const std::wstring& entry);

// The program path a MuiCache value name records; empty when the name is
// no full path ("C:\..."). Above Windows 6.1 a name longer than 20
// characters loses a trailing ".FriendlyAppName" or ".ApplicationCompany"
// that starts within its last 19 characters.
std::wstring MuiCacheProgram(const std::wstring& valueName, double windowsVersion);

// "{8-4-4-4-12}" in hexadecimal digits.
bool IsBracedClassId(std::wstring_view text);

}  // namespace tavrin
