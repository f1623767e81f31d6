// A machine whose hijacks are written so that a naive comparison is fooled:
// addresses with line breaks and blanks around them in Chrome's, Firefox's
// and Internet Explorer's settings, a policy value and a Run-type value
// whose names hold blanks and " / ", an add-on installed outside its
// profile, a Firefox-based browser's plug-in in its installation folder,
// and a preference file that another program holds open so that nobody can
// rewrite it. After one quiet run of the real program, every success line
// of the removal report and every success outcome of its JSON twin is
// checked against the machine, and what could not be done is reported as
// failed.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "browsers/browser_fixtures.h"
#include "browsers/preference_document.h"
#include "filetrust/file_hash.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/users.h"
#include "scenario/scenario_machine.h"
#include "support/scratch.h"

namespace tavrin::scenario {
namespace {

constexpr wchar_t kRunOnce[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kIeMain[] = L"HKCU\\Software\\Microsoft\\Internet Explorer\\Main";
constexpr wchar_t kChromePolicies[] = L"HKCU\\Software\\Policies\\Google\\Chrome";

std::string Ascii(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += char(c);
  return out;
}

std::string JsonText(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c == L'\\' ? std::string("\\\\") : std::string(1, char(c));
  return out;
}

bool Replace(const std::wstring& file, const std::string& from, const std::string& to) {
  std::string text = test::ReadBytes(file);
  const size_t at = text.find(from);
  if (at == std::string::npos) return false;
  text.replace(at, from.size(), to);
  return test::WriteBytes(file, text);
}

// The string at a JSON path of a browser file, as the browser would read
// it; empty when there is none.
std::wstring JsonString(const std::wstring& file, const std::wstring& path) {
  PreferenceDocument document;
  document.Load(file);
  std::wstring value;
  return document.GetString(path, value) == PreferenceKind::String ? value : std::wstring();
}

bool JsonHolds(const std::wstring& file, const std::wstring& path) {
  PreferenceDocument document;
  document.Load(file);
  PreferenceNode node;
  return document.FindNode(path, node);
}

// Firefox reads prefs.js and then user.js: a text in either is set at the
// next start.
bool ProfileHolds(const std::wstring& profile, const char* text) {
  for (const wchar_t* file : {L"\\prefs.js", L"\\user.js"})
    if (test::ReadBytes(profile + file).find(text) != std::string::npos) return true;
  return false;
}

bool Begins(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// The report's outcome lines, in report order.
std::vector<std::wstring> OutcomeLines(const std::wstring& report) {
  std::vector<std::wstring> lines;
  for (const std::wstring& line : Split(report, L"\r\n"))
    if (Begins(line, L"\tSuccessfully") || Begins(line, L"\tFailed")) lines.push_back(line);
  return lines;
}

TEST(ReportTruthScenario, NoLineClaimsWhatTheMachineContradicts) {
  InteractiveUser console;
  const std::wstring user = console.AccountName();
  const std::wstring sid = console.Sid();
  ASSERT_FALSE(user.empty());
  const std::wstring local = ShellFolder(CSIDL_LOCAL_APPDATA);
  const std::wstring roaming = ShellFolder(CSIDL_APPDATA);
  const std::wstring programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
  ASSERT_FALSE(local.empty());
  ASSERT_FALSE(roaming.empty());
  ASSERT_FALSE(programFiles.empty());

  // A malware file started by a RunOnce value whose name holds " / ".
  const std::wstring malwareFolder = local + L"\\Truth Scenario";
  const std::wstring malware = malwareFolder + L"\\updater.exe";
  const std::string malwareBytes = "MZ report truth scenario sample";
  ASSERT_TRUE(CreateFolderTree(malwareFolder));
  ASSERT_TRUE(test::WriteBytes(malware, malwareBytes));
  std::wstring hash;
  Md5OfBytes(malwareBytes.data(), malwareBytes.size(), hash);
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4390\n[Malware]\n" + hash + L" = Truth.Sample.8766.100\n"), L"");
  const std::wstring runOnce = L"HKU\\" + sid + kRunOnce;
  ASSERT_TRUE(WriteStringAt(runOnce, L"Updater / Helper", L"\"" + malware + L"\" /once"));

  // Chrome: every address with a blank or a line break around it, and a
  // startup policy value named with a trailing blank.
  const std::wstring chromeProfile = local + L"\\Google\\Chrome\\User Data\\Default";
  const std::wstring chromePrefs = chromeProfile + L"\\Preferences";
  ASSERT_TRUE(CreateFolderTree(chromeProfile));
  ASSERT_TRUE(test::WriteBytes(
      chromePrefs,
      R"({"homepage":"http://home.hijack-truth.test/\n","session":{"restore_on_startup":4,)"
      R"("startup_urls":[" http://start.hijack-truth.test/","https://www.google.com/"]},)"
      R"("default_search_provider_data":{"template_url_data":{"url":"http://find.hijack-truth.test/?q={searchTerms}\r\n"}}})"));
  ASSERT_TRUE(WriteDwordAt(kChromePolicies, L"RestoreOnStartup", 4));
  ASSERT_TRUE(WriteStringAt(std::wstring(kChromePolicies) + L"\\RestoreOnStartupURLs", L"1 ",
                            L"http://policy.hijack-truth.test/"));

  // Edge: a hijacked home page in a file another program holds open, so
  // that it can be read but never replaced.
  const std::wstring edgeProfile = local + L"\\Microsoft\\Edge\\User Data\\Default";
  const std::wstring edgePrefs = edgeProfile + L"\\Preferences";
  const std::string edgeText = R"({"homepage":"http://edge.hijack-truth.test/"})";
  ASSERT_TRUE(CreateFolderTree(edgeProfile));
  ASSERT_TRUE(test::WriteBytes(edgePrefs, edgeText));

  // Firefox: the real hijacked profile, its start page and engine written
  // with blanks around them, its add-on installed outside the profile.
  const std::wstring firefoxData = roaming + L"\\Mozilla\\Firefox";
  const std::wstring firefox = firefoxData + L"\\" + test::kFirefoxHijackedProfile;
  ASSERT_TRUE(test::SeedFirefoxData(L"firefox-hijacked", test::kFirefoxHijackedProfile, firefoxData,
                                    programFiles + L"\\Mozilla Firefox"));
  ASSERT_TRUE(Replace(firefox + L"\\prefs.js", "\"Example Hijack Search\"", "\" Example Hijack Search \""));
  ASSERT_TRUE(Replace(firefox + L"\\prefs.js", "\"http://search.example-hijack.test/home|",
                      "\" http://search.example-hijack.test/home|"));
  const std::wstring sideloaded = local + L"\\Sideloaded\\" + test::kPlantedAddonId + L".xpi";
  ASSERT_TRUE(CreateFolderTree(local + L"\\Sideloaded"));
  ASSERT_TRUE(test::WriteBytes(sideloaded, "PK sideloaded"));
  const std::wstring inProfile = firefox + L"\\extensions\\" + test::kPlantedAddonId + L".xpi";
  ASSERT_TRUE(Replace(firefox + L"\\extensions.json", JsonText(inProfile), JsonText(sideloaded)));
  ASSERT_TRUE(DeleteFileW(inProfile.c_str()));

  // Waterfox, a Firefox-based browser found on the fly, with a plug-in in
  // its installation folder.
  const std::wstring waterfoxData = roaming + L"\\Waterfox";
  const std::wstring waterfoxInstall = programFiles + L"\\Waterfox";
  ASSERT_TRUE(test::SeedFirefoxData(L"firefox-hijacked", test::kFirefoxHijackedProfile, waterfoxData, waterfoxInstall));
  ASSERT_TRUE(test::WriteBytes(waterfoxInstall + L"\\Waterfox.exe", "MZ browser"));
  const std::wstring waterfoxPlugin = waterfoxInstall + L"\\truth-search.xml";
  ASSERT_TRUE(test::WriteBytes(waterfoxPlugin, "<SearchPlugin><ShortName>Truth Search</ShortName></SearchPlugin>"));

  // Internet Explorer: a secondary start page with a leading blank beside
  // the user's own.
  ASSERT_TRUE(WriteStringAt(kIeMain, L"Secondary Start Pages", L"https://www.bing.com/\n http://ie.hijack-truth.test/",
                            REG_MULTI_SZ));

  HANDLE held = CreateFileW(edgePrefs.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const DWORD exit = RunTavrin(L"/ScanRemove /Quiet /NoRP /Aggressive");
  CloseHandle(held);
  ASSERT_NE(exit, ~0u);

  const std::wstring report = LatestRemovalReport();
  ASSERT_FALSE(report.empty());
  const std::wstring forUser = L" for " + user + L".";
  auto secondaryPages = [] {
    std::wstring pages;
    return ReadStringAt(kIeMain, L"Secondary Start Pages", pages) ? pages : std::wstring();
  };
  // What each success line claims, read back from the machine.
  std::map<std::wstring, std::function<bool()>> claims = {
      {L"\tSuccessfully fixed Chrome's \"Home page\"" + forUser,
       [&] { return !JsonHolds(chromePrefs, L"homepage"); }},
      {L"\tSuccessfully fixed Chrome's \"Startup page\"" + forUser,
       [&] { return test::ReadBytes(chromePrefs).find("start.hijack-truth") == std::string::npos; }},
      {L"\tSuccessfully fixed Chrome's default search provider" + forUser,
       [&] { return !JsonHolds(chromePrefs, L"default_search_provider_data"); }},
      {L"\tSuccessfully removed Chrome's Startup Page policy \"http://policy.hijack-truth.test/\"" + forUser,
       [&] { return !KeyExists(std::wstring(kChromePolicies) + L"\\RestoreOnStartupURLs", L"1 "); }},
      // The profile's user.js sets both again at every start.
      {L"\tSuccessfully reset Firefox Home page" + forUser,
       [&] { return !ProfileHolds(firefox, "\"browser.startup.homepage\""); }},
      {L"\tSuccessfully removed Firefox Default Search Provider \"Firefox default search provider\"" + forUser,
       [&] { return !ProfileHolds(firefox, "Example Hijack Search"); }},
      {L"\tSuccessfully removed \"http://ie.hijack-truth.test/\" from the IE's Secondary Start Pages" + forUser,
       [&] { return secondaryPages() == L"https://www.bing.com/"; }},
      {L"\tSuccessfully removed infected file: " + malware + L".", [&] { return !FileExists(malware); }},
      {L"\tSuccessfully repaired infected registry entry: " + runOnce + L" / Updater / Helper.",
       [&] { return !KeyExists(runOnce, L"Updater / Helper"); }},
      // Never true here: the add-on would come back from where it lies.
      {L"\tSuccessfully deleted Firefox Extension \"Search Helper Plus\"" + forUser,
       [&] {
         return !FileExists(sideloaded) &&
                test::ReadBytes(firefox + L"\\extensions.json").find(Ascii(test::kPlantedAddonId)) == std::string::npos;
       }},
      // Waterfox's copy of the hijacked profile.
      {L"\tSuccessfully reset Waterfox Home page" + forUser,
       [&] {
         return !ProfileHolds(waterfoxData + L"\\" + test::kFirefoxHijackedProfile, "\"browser.startup.homepage\"");
       }},
      {L"\tSuccessfully removed Waterfox Default Search Provider \"Waterfox default search provider\"" + forUser,
       [&] {
         return !ProfileHolds(waterfoxData + L"\\" + test::kFirefoxHijackedProfile, "Example Hijack Search");
       }},
      {L"\tSuccessfully deleted Waterfox Extension \"Search Helper Plus\"" + forUser,
       [&] {
         const std::wstring profile = waterfoxData + L"\\" + test::kFirefoxHijackedProfile;
         return !FileExists(profile + L"\\extensions\\" + test::kPlantedAddonId + L".xpi") &&
                test::ReadBytes(profile + L"\\extensions.json").find(Ascii(test::kPlantedAddonId)) == std::string::npos;
       }},
  };
  // Internet Explorer's own pages that Wine sets and the scan judges: the
  // user's in the user's key, the machine's in either view.
  struct Roots {
    std::wstring who;
    std::vector<std::wstring> keys;
  };
  const Roots roots[] = {{forUser, {L"HKCU\\Software\\Microsoft\\Internet Explorer\\Main"}},
                         {L" for (All users).", {L"HKLM64\\SOFTWARE\\Microsoft\\Internet Explorer\\Main",
                                                 L"HKLM32\\SOFTWARE\\Microsoft\\Internet Explorer\\Main"}}};
  for (const Roots& root : roots) {
    for (const wchar_t* value : {L"Start Page", L"Default_Page_URL", L"Search Page", L"Default_Search_URL"}) {
      const std::wstring replacement = std::wstring(value) == L"Default_Search_URL"
                                           ? L"https://www.google.com/search?q={searchTerms}"
                                           : L"https://www.google.com/";
      claims[L"\tSuccessfully changed \"" + std::wstring(value) + L"\" to \"" + replacement + L"\"" + root.who] =
          [keys = root.keys, value, replacement] {
            for (const std::wstring& key : keys) {
              std::wstring now;
              if (ReadStringAt(key, value, now) && now == replacement) return true;
            }
            return false;
          };
    }
  }
  // The RunOnce value is an autostart entry of its own too.
  claims[L"\tSuccessfully removed autostart registry value \"Updater / Helper\"" + forUser] = [&] {
    return !KeyExists(runOnce, L"Updater / Helper");
  };

  const std::vector<std::wstring> lines = OutcomeLines(report);
  std::vector<std::wstring> successes;
  for (const std::wstring& line : lines) {
    if (!Begins(line, L"\tSuccessfully")) continue;
    successes.push_back(Trim(line));
    const auto claim = claims.find(line);
    if (claim == claims.end()) {
      ADD_FAILURE() << "a success the test cannot check: " << WideToUtf8(line);
      continue;
    }
    EXPECT_TRUE(claim->second()) << "contradicted by the machine: " << WideToUtf8(line);
  }
  // The planted hijacks that can go all went, each with its line.
  for (const std::wstring& line :
       {L"\tSuccessfully fixed Chrome's \"Home page\"" + forUser, L"\tSuccessfully fixed Chrome's \"Startup page\"" + forUser,
        L"\tSuccessfully fixed Chrome's default search provider" + forUser,
        L"\tSuccessfully reset Firefox Home page" + forUser,
        L"\tSuccessfully removed \"http://ie.hijack-truth.test/\" from the IE's Secondary Start Pages" + forUser,
        L"\tSuccessfully repaired infected registry entry: " + runOnce + L" / Updater / Helper."})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << WideToUtf8(line) << "\n" << WideToUtf8(report);

  // What could not be done is reported as failed, and stayed.
  for (const std::wstring& line : {L"\tFailed to fix MS Edge's \"Home page\"" + forUser,
                                   L"\tFailed to delete Firefox Extension \"Search Helper Plus\"" + forUser})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << WideToUtf8(line) << "\n" << WideToUtf8(report);
  EXPECT_EQ(test::ReadBytes(edgePrefs), edgeText);
  EXPECT_TRUE(FileExists(sideloaded));
  // The plug-in row is offered unchecked; no line may claim it.
  EXPECT_TRUE(FileExists(waterfoxPlugin));

  // The twin tells the same outcomes: each success is one of the report's
  // checked lines, each failure a failure line.
  const std::wstring twin = LatestReport(L"TVNrem*.json");
  ASSERT_FALSE(twin.empty());
  PreferenceDocument document{twin};
  PreferenceNode actions;
  ASSERT_TRUE(document.FindNode(L"actions", actions));
  ElementCursor cursor{};
  int told = 0;
  while (document.NextElement(cursor, actions)) {
    const PreferenceNode action = document.NodeOf(cursor);
    std::wstring outcome, line;
    ASSERT_EQ(document.GetMemberString(&action, L"outcome", outcome), PreferenceKind::String);
    if (document.GetMemberString(&action, L"line", line) != PreferenceKind::String) continue;
    ++told;
    if (outcome == L"failed") {
      EXPECT_TRUE(Begins(line, L"Failed")) << WideToUtf8(line);
      continue;
    }
    EXPECT_NE(std::find(successes.begin(), successes.end(), line), successes.end())
        << WideToUtf8(outcome) << ": " << WideToUtf8(line);
  }
  EXPECT_EQ(told, int(lines.size()));
}

}  // namespace
}  // namespace tavrin::scenario
