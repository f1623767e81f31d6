#pragma once
// The real browser files of tests/browsers/fixtures, seen from Wine.
#include <string>

namespace tavrin::test {

// "Z:\...\fixtures" + "\" + the relative path with backslashes.
std::wstring BrowserFixture(const std::wstring& relative);
// The folder the edited copies are written to for the Python check.
std::wstring BrowserEditsFolder();
// Copies a fixture folder tree to `to` (created); false on any failure.
bool CopyFixtureTree(const std::wstring& relative, const std::wstring& to);

// The text with its first `from` replaced; the calling test fails when it
// is absent, so that a changed fixture cannot turn a case into one that
// tests nothing.
std::string Replaced(std::string text, const std::string& from, const std::string& to);

// The planted extension of the hijacked Chromium profile.
inline constexpr wchar_t kPlantedExtensionId[] = L"mbjblcjnbcejffjjakcgcokenaddfdaf";
// The hijacked Chromium profile as "User Data" at `userData`, its unpacked
// extension turned into one the browser keeps in the profile's
// "Extensions" folder ("<id>\1.4.2_0", created). `extraSettings` (JSON
// members with a trailing comma) is put first into "extensions->settings".
bool SeedHijackedChromiumProfile(const std::wstring& userData, const std::string& extraSettings = {});

// The profiles of the hijacked Firefox fixture.
inline constexpr wchar_t kFirefoxHijackedProfile[] = L"Profiles\\zba2o41x.default-release";
inline constexpr wchar_t kPlantedAddonId[] = L"searchhelperplus@example-hijack.test";
// A copy of a fixture's Firefox data folder ("firefox-hijacked") at `data`
// whose profile `profileName` remembers `install` (created) as the
// browser's folder; in the hijacked profile the planted add-on lies in the
// profile's "extensions" folder, as on Windows.
bool SeedFirefoxData(const wchar_t* fixture, const wchar_t* profileName, const std::wstring& data,
                     const std::wstring& install);

}  // namespace tavrin::test
