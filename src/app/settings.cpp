#include "app/settings.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/file_system.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/text_file.h"

namespace tavrin {

std::wstring PrepareDataFolder() {
  const std::wstring common = ShellFolder(CSIDL_COMMON_APPDATA);
  if (common.empty()) return {};
  const std::wstring folder = L"\\\\?\\" + common + L"\\Tavrin";
  CreateFolderTree(folder);
  return folder;
}

std::wstring SettingsFilePath(const std::wstring& dataFolder) { return dataFolder + L"\\Settings\\settings.ini"; }

bool EnsureSettingsFile(const std::wstring& path) {
  if (FileExists(path)) return true;
  TextFile file;
  return file.Open(path, TextReplace | TextCreateFolders, TextEncoding::Utf16Le);
}

DetectionLevel StoredDetectionLevel(const IniDocument& settings) {
  return DetectionLevelFromNumber(settings.GetInt(L"SCAN", L"ScanSoftness", Threshold(DetectionLevel::Medium)));
}

VirusTotalSettings ReadVirusTotalSettings(const IniDocument& settings) {
  VirusTotalSettings vt;
  vt.address = Trim(settings.GetString(L"Settings", L"VirusTotalServer", L""));
  if (vt.address.empty()) vt.address = kDefaultVirusTotalServer;
  vt.apiKey = NormalizeApiKey(settings.GetString(L"Settings", L"VirusTotalApiKey", L""));
  vt.personalKey = EqualsNoCase(Trim(settings.GetString(L"Settings", L"VirusTotalKeyType", L"")), L"personal");
  auto limit = [&](const wchar_t* key, int fallback, long long largest) {
    const long long v = settings.GetInt(L"Settings", key, fallback);
    return v < 1 || v > largest ? fallback : int(v);
  };
  vt.limits.perMinute = limit(L"VirusTotalRequestsPerMinute", kDefaultRequestsPerMinute, 100000);
  vt.limits.perDay = limit(L"VirusTotalRequestsPerDay", kDefaultRequestsPerDay, 100000000);
  vt.upload = Trim(settings.GetString(L"Settings", L"VirusTotalUpload", L"")) == L"1";
  return vt;
}

WindowSettings ReadWindowSettings(const IniDocument& settings) {
  auto number = [&](const wchar_t* key) {
    long long v = settings.GetInt(L"UI", key, 0);
    return (v < INT_MIN || v > INT_MAX) ? 0 : int(v);
  };
  return {number(L"Maximized") != 0, number(L"WindowCX"), number(L"WindowCY")};
}

void WriteWindowSettings(IniDocument& settings, const WindowSettings& window) {
  settings.SetString(L"UI", L"Maximized", window.maximized ? L"1" : L"0");
  if (window.maximized) return;
  settings.SetInt(L"UI", L"WindowCX", window.width);
  settings.SetInt(L"UI", L"WindowCY", window.height);
}

}  // namespace tavrin
