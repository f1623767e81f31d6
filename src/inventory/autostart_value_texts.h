#pragma once
// How the scans and the autostart inventory read the texts of the values
// they examine: lists of files in one value, the values that list the
// security packages, and the shell's record of run programs. Nothing here
// touches the system.
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// The trimmed, non-empty parts of a text split at any of `separators`.
std::vector<std::wstring> SplitAtAny(std::wstring_view text, std::wstring_view separators);

// The values that list the security packages the system loads.
struct SecurityPackageValue {
  const wchar_t* key;
  const wchar_t* name;
};
inline constexpr SecurityPackageValue kSecurityPackageValues[] = {
    {L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders", L"SecurityProviders"},
    {L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Lsa", L"Authentication Packages"},
    {L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Lsa", L"Notification Packages"},
    {L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Lsa", L"Security Packages"},
};

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
