#pragma once
// Firefox's profile list (profiles.ini) and its install folder as the
// profiles remember it (compatibility.ini).
#include <string>
#include <vector>

namespace tavrin {

enum class FirefoxProfileRead {
  End,      // no "Path" for that index: the list ends here
  Refused,  // listed, but the folder is not a safe one to work in
  Found,
};

// The folder of profile `index` ("Profile" + index, key "Path"). A relative
// path (IsRelative, by default 1 unless the path holds ":\" within its first
// ten characters) gets its slashes turned and the folder of profiles.ini put
// in front. The result must be a safe folder inside the folder of
// profiles.ini or inside `ownerProfile`.
FirefoxProfileRead ReadFirefoxProfilePath(const std::wstring& profilesIni, int index, std::wstring& out,
                                          const std::wstring& ownerProfile);

// Every Found profile, walking indexes until the first End (at most
// kMaxProfiles of them: a hostile list cannot keep a scan busy).
inline constexpr int kMaxProfiles = 1000;
std::vector<std::wstring> FirefoxProfileFolders(const std::wstring& profilesIni, const std::wstring& ownerProfile);

// "LastPlatformDir" of section "Compatibility" in the profile's
// "\compatibility.ini"; empty when missing.
std::wstring ReadLastPlatformDir(const std::wstring& profileFolder);

// The first existing firefox.exe: in the LastPlatformDir of each profile of
// P + roaming + "\Mozilla\Firefox\profiles.ini", then in the 64-bit and the
// 32-bit program-files folders' "\Mozilla\Firefox". Empty out on failure.
bool LocateFirefoxExecutable(const std::wstring& profileFolder, const std::wstring& roamingFragment,
                             std::wstring& out);

}  // namespace tavrin
