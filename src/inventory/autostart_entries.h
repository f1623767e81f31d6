#pragma once
// The texts of autostart entries taken apart: AppInit_DLLs lists, DNS
// name-server lists, the public resolver pairs that are never listed, and
// the report fields. Kept apart from the registry and file walks so that
// hostile texts can be tried without a machine.
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// The DLLs of an AppInit_DLLs value. Windows itself separates them at
// blanks and commas; line feeds (a REG_MULTI_SZ value) separate them too.
// Empty pieces are dropped.
std::vector<std::wstring> SplitAppInitDlls(std::wstring_view value);
// The entry with ".dll" appended unless it already ends so (any case).
std::wstring AppInitDllFile(std::wstring_view entry);

// The addresses of a NameServer value, split at blanks, tabs, commas and
// line breaks; empty pieces are dropped.
std::vector<std::wstring> SplitNameServers(std::wstring_view value);
// Both members of one of the public resolver pairs occur in the value
// (substring tests, any case).
bool HoldsPublicResolverPair(std::wstring_view value);
// An address that may be probed as a definitions key: a piece with a
// backslash would address some deeper key of the definitions instead.
bool IsProbeableAddress(std::wstring_view address);

// Every double quote removed.
std::wstring WithoutQuotes(std::wstring_view text);
// The folder as the temporary-folder test takes it: with one trailing "\",
// so that "C:\Temp" does not match "C:\Temporary\x.exe". Empty stays empty.
std::wstring AsFolderPrefix(std::wstring_view folder);

// A stored text as one report field: line breaks and other control
// characters become blanks, so that no value can write lines of its own
// into the report.
std::wstring ReportField(std::wstring_view text);

// Commands longer than this cannot be started by Windows (the limit of a
// process command line); an entry that long starts nothing and is not
// listed.
inline constexpr size_t kLongestCommand = 32767;

}  // namespace tavrin
