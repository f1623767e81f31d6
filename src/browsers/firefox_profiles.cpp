#include "browsers/firefox_profiles.h"

#include "browsers/browser_folder_guard.h"
#include "platform/file_system.h"
#include "platform/ini_document.h"

namespace tavrin {

namespace {

// profiles.ini and compatibility.ini are a few hundred bytes; anything
// far larger is not the browser's and is not read.
constexpr unsigned long long kMaxIniBytes = 1u << 20;
// The private-profile buffer the browsers' own readers use.
constexpr size_t kMaxValue = 2047;

bool LoadSmallIni(const std::wstring& path, IniDocument& ini) {
  if (!FileExists(path) || FileSize(path) > kMaxIniBytes) return false;
  return ini.Load(path);
}

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

FirefoxProfileRead ReadFirefoxProfilePath(const std::wstring& profilesIni, int index, std::wstring& out,
                                          const std::wstring& ownerProfile) {
  out.clear();
  IniDocument ini;
  if (!LoadSmallIni(profilesIni, ini)) return FirefoxProfileRead::End;
  const std::wstring section = L"Profile" + std::to_wstring(index);
  std::wstring path = ini.GetString(section, L"Path", L"");
  if (path.size() > kMaxValue) path.resize(kMaxValue);
  if (path.empty()) return FirefoxProfileRead::End;
  const bool driveLike = path.substr(0, 10).find(L":\\") != std::wstring::npos;
  const long long relative = ini.GetInt(section, L"IsRelative", driveLike ? 0 : 1);
  const std::wstring dataFolder = FolderOf(profilesIni);
  if (relative != 0) {
    for (wchar_t& c : path)
      if (c == L'/') c = L'\\';
    size_t first = path.find_first_not_of(L'\\');
    path = dataFolder + L"\\" + (first == std::wstring::npos ? std::wstring() : path.substr(first));
  }
  if (!IsSafeBrowserFolder(path, dataFolder, ownerProfile)) return FirefoxProfileRead::Refused;
  out = path;
  return FirefoxProfileRead::Found;
}

std::vector<std::wstring> FirefoxProfileFolders(const std::wstring& profilesIni, const std::wstring& ownerProfile) {
  std::vector<std::wstring> folders;
  std::wstring path;
  for (int i = 0; i < kMaxProfiles; ++i) {
    FirefoxProfileRead r = ReadFirefoxProfilePath(profilesIni, i, path, ownerProfile);
    if (r == FirefoxProfileRead::End) break;
    if (r == FirefoxProfileRead::Found) folders.push_back(path);
  }
  return folders;
}

std::wstring ReadLastPlatformDir(const std::wstring& profileFolder) {
  IniDocument ini;
  if (!LoadSmallIni(profileFolder + L"\\compatibility.ini", ini)) return {};
  std::wstring value = ini.GetString(L"Compatibility", L"LastPlatformDir", L"");
  if (value.size() > kMaxValue) value.resize(kMaxValue);
  return value;
}

bool LocateFirefoxExecutable(const std::wstring& profileFolder, const std::wstring& roamingFragment,
                             std::wstring& out) {
  out.clear();
  const std::wstring ini = profileFolder + roamingFragment + L"\\Mozilla\\Firefox\\profiles.ini";
  for (const std::wstring& profile : FirefoxProfileFolders(ini, profileFolder)) {
    std::wstring dir = ReadLastPlatformDir(profile);
    if (dir.empty()) continue;
    std::wstring candidate = dir + L"\\firefox.exe";
    if (FileExists(candidate)) {
      out = candidate;
      return true;
    }
  }
  ProgramFiles programFiles = ProgramFilesFolders();
  for (const std::wstring& root : {programFiles.native, programFiles.x86}) {
    std::wstring candidate = root + L"\\Mozilla\\Firefox\\firefox.exe";
    if (!root.empty() && FileExists(candidate)) {
      out = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace tavrin
