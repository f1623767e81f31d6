#pragma once
// Text helpers shared by every layer. Comparisons of names, switches, paths
// and keys are case-insensitive throughout the program.
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix);
// Position of the first case-insensitive occurrence, or npos.
size_t FindNoCase(std::wstring_view text, std::wstring_view what, size_t from = 0);

// Lower-cases character by character, as the platform does for one character.
std::wstring ToLower(std::wstring_view text);
std::wstring ToUpper(std::wstring_view text);

// Removes spaces, tabs, carriage returns and line feeds at both ends.
std::wstring Trim(std::wstring_view text);

// Splits at every occurrence of the separator; empty pieces are kept.
std::vector<std::wstring> Split(std::wstring_view text, std::wstring_view separator);

// A decimal integer with an optional sign and nothing else (no spaces, no
// trailing text). False for anything else, including overflow.
bool ParseDecimal(std::wstring_view text, long long& out);

std::wstring Utf8ToWide(std::string_view bytes);
std::string WideToUtf8(std::wstring_view text);

}  // namespace tavrin
