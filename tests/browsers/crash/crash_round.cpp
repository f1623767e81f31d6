#include "browsers/crash/crash_round.h"

#include "browsers/firefox_search_engines.h"
#include "browsers/firefox_search_file.h"
#include "browsers/preference_elements.h"
#include "browsers/preference_file.h"
#include "platform/ini_document.h"
#include "platform/strings.h"

namespace tavrin::test {

namespace {

constexpr wchar_t kPlantedExtension[] = L"mbjblcjnbcejffjjakcgcokenaddfdaf";
constexpr wchar_t kPlantedAddon[] = L"searchhelperplus@example-hijack.test";
constexpr wchar_t kPlantedEngine[] = L"searchhelperplus@example-hijack.testdefault";

bool CutAddon(const std::wstring& file) {
  PreferenceDocument document;
  document.Load(file);
  const int cut = DeleteMatchingElements(document, L"addons", [](const PreferenceDocument& d, const PreferenceNode& e) {
    std::wstring id;
    return e.kind == PreferenceKind::Object && d.GetMemberString(&e, L"id", id) == PreferenceKind::String &&
           EqualsNoCase(id, kPlantedAddon);
  });
  return cut > 0 && SavePreferenceFile(document);
}

bool CutEngine(const std::wstring& file) {
  PreferenceDocument document;
  return LoadFirefoxSearchFile(file, document) &&
         RemoveFirefoxSearchEngine(document, kPlantedEngine, L"Search Helper Plus") > 0 &&
         !SaveFirefoxSearchFile(file, document).empty();
}

bool WhitelistFolder(const std::wstring& file) {
  IniDocument whitelist(file);
  whitelist.SetString(L"Folders", L"C:\\Users\\Me\\Tools", L"1");
  return whitelist.Save();
}

}  // namespace

const std::vector<std::wstring>& CrashDocuments() {
  static const std::vector<std::wstring> names{L"Preferences", L"prefs.js", L"extensions.json",
                                               L"search.json.mozlz4", L"WhiteList.ini"};
  return names;
}

bool RepairCrashRound(const std::wstring& folder, const std::function<void()>& afterWrite) {
  const std::wstring preferences = folder + L"\\Preferences";
  const std::vector<std::function<bool()>> writes{
      [&] { return RemovePreferenceNode(preferences, L"homepage"); },
      [&] { return RemovePreferenceNode(preferences, L"session->startup_urls"); },
      [&] {
        return RemovePreferenceNodeKeepTimes(preferences, std::wstring(L"extensions->settings->") + kPlantedExtension);
      },
      [&] { return RemoveFirefoxPref(folder + L"\\prefs.js", L"browser.startup.homepage"); },
      [&] { return CutAddon(folder + L"\\extensions.json"); },
      [&] { return CutEngine(folder + L"\\search.json.mozlz4"); },
      [&] { return WhitelistFolder(folder + L"\\WhiteList.ini"); },
  };
  for (const auto& write : writes) {
    if (!write()) return false;
    if (afterWrite) afterWrite();
  }
  return true;
}

}  // namespace tavrin::test
