#pragma once
// The program's own registry keys, and their move from where older versions
// kept them.
namespace tavrin {

inline constexpr wchar_t kProgramKey[] = L"HKLM64\\SOFTWARE\\Halvoret\\Tavrin";
inline constexpr wchar_t kVirusTotalReportsKey[] = L"HKLM64\\SOFTWARE\\Halvoret\\VirusTotal reports";
inline constexpr wchar_t kLegacyProgramKey[] = L"HKLM64\\SOFTWARE\\Tavrin";
inline constexpr wchar_t kLegacyVirusTotalKey[] = L"HKLM64\\SOFTWARE\\Tavrin\\VT reports";

// Moves the older keys to their places under the maker's key when they
// exist (the report cache first, since it lives inside the program key).
void MoveLegacyKeys();

}  // namespace tavrin
