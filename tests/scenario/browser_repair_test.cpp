// A machine whose console user has hijacked browsers (Google Chrome, one
// Chromium browser found on the fly and Firefox, all running, and Internet
// Explorer's settings) beside a clean Microsoft Edge, scanned and cleaned
// by the real program in one quiet run: every checked browser row is
// undone, the browsers were ended first, and nothing that no row names has
// changed.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "browsers/browser_fixtures.h"
#include "browsers/preference_document.h"
#include "filetrust/shortcut.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "platform/users.h"
#include "scenario/scenario_machine.h"
#include "support/child_process.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"

namespace tavrin::scenario {
namespace {

constexpr wchar_t kHijack[] = L"http://search.example-hijack.test";
constexpr wchar_t kChromePolicies[] = L"HKCU\\Software\\Policies\\Google\\Chrome";
constexpr wchar_t kIeMain[] = L"HKCU\\Software\\Microsoft\\Internet Explorer\\Main";
constexpr wchar_t kIeScopes[] = L"HKLM32\\SOFTWARE\\Microsoft\\Internet Explorer\\SearchScopes";
constexpr wchar_t kIeScope[] =
    L"HKLM32\\SOFTWARE\\Microsoft\\Internet Explorer\\SearchScopes\\{A0000000-0000-0000-0000-000000000001}";
constexpr wchar_t kIePolicyMain[] = L"HKLM64\\SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Main";
constexpr wchar_t kHelperClass[] = L"HKCU\\Software\\Classes\\CLSID\\{11111111-2222-3333-4444-555555555555}";
constexpr wchar_t kHelperObject[] =
    L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
    L"{11111111-2222-3333-4444-555555555555}";
constexpr wchar_t kChromeCommand[] = L"HKCU\\Software\\Clients\\StartMenuInternet\\Google Chrome\\shell\\open\\command";
// An unpacked extension whose planted path leads out of the profile, to a
// folder beside the browsers: its settings go, the folder stays.
constexpr char kOutsideExtension[] =
    "\"pppppppppppppppppppppppppppppppp\":{\"manifest\":{\"name\":\"Outside Helper\"},"
    "\"path\":\"..\\\\..\\\\..\\\\..\\\\..\\\\Outside Helper\"},";

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// Every file below the folders with its bytes.
void Snapshot(const std::wstring& folder, std::map<std::wstring, std::string>& files) {
  FindFiles find(folder + L"\\*");
  while (find.Next()) {
    const std::wstring path = folder + L"\\" + find.Name();
    if (find.IsFolder()) Snapshot(path, files);
    else files[path] = test::ReadBytes(path);
  }
}

// The report lines of the browser step, sorted: the rows are taken from
// the last to the first, which the test does not restate.
std::vector<std::wstring> BrowserLines(const std::wstring& report) {
  const std::wstring section = ReportSection(report, L"->Begin repair of the selected Internet Browser items...");
  std::vector<std::wstring> lines;
  for (const std::wstring& line : Split(section, L"\r\n"))
    if (!line.empty() && line[0] == L'\t') lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string LinuxPath(const std::wstring& windowsPath) {
  std::string out;
  for (size_t i = 2; i < windowsPath.size(); ++i) out += windowsPath[i] == L'\\' ? '/' : char(windowsPath[i]);
  return out;
}

TEST(BrowserRepairScenario, CleanUndoesEveryCheckedBrowserRowAndNothingElse) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  std::wstring definitions;
  ASSERT_TRUE(ReadTextFile(ProjectFile("data/definitions/browsers.txt"), definitions));
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4251\n" + definitions), L"");
  InteractiveUser console;
  const std::wstring user = console.AccountName();
  ASSERT_FALSE(user.empty());
  const std::wstring local = ShellFolder(CSIDL_LOCAL_APPDATA);
  // The Start menu rather than the desktop, which Wine links to the host's.
  const std::wstring programs = ShellFolder(CSIDL_PROGRAMS);
  ASSERT_FALSE(local.empty());
  ASSERT_TRUE(CreateFolderTree(programs));

  // Google Chrome: the hijacked profile, its defaults file and a running
  // chrome.exe (the test helper under that name) in its folder.
  const std::wstring chrome = local + L"\\Google\\Chrome\\User Data";
  const std::wstring chromeApp = local + L"\\Google\\Chrome\\Application";
  const std::wstring chromeExe = chromeApp + L"\\chrome.exe";
  ASSERT_TRUE(test::SeedHijackedChromiumProfile(chrome, kOutsideExtension));
  ASSERT_TRUE(test::CopyFixtureTree(L"chrome-hijacked\\Application", chromeApp));
  ASSERT_TRUE(CopyFileW(test::HelperPath().c_str(), chromeExe.c_str(), FALSE));
  const std::wstring outside = local + L"\\Outside Helper";
  ASSERT_TRUE(CreateFolderTree(outside));
  ASSERT_TRUE(test::WriteBytes(outside + L"\\background.js", "chrome.runtime.id;"));
  // A browser found on the fly, running from the folder its "Last Browser"
  // names.
  const std::wstring other = local + L"\\Vendor\\Browser\\User Data";
  const std::wstring otherExe = local + L"\\Vendor\\Browser\\Application\\browser.exe";
  ASSERT_TRUE(test::SeedHijackedChromiumProfile(other));
  ASSERT_TRUE(CreateFolderTree(other + L"\\GrShaderCache"));
  ASSERT_TRUE(CreateFolderTree(local + L"\\Vendor\\Browser\\Application"));
  ASSERT_TRUE(CopyFileW(test::HelperPath().c_str(), otherExe.c_str(), FALSE));
  ASSERT_TRUE(test::WriteBytes(other + L"\\Last Browser", WideToUtf8(otherExe)));
  // A clean Edge.
  const std::wstring edge = local + L"\\Microsoft\\Edge\\User Data";
  ASSERT_TRUE(test::CopyFixtureTree(L"chrome-clean\\User Data", edge));

  // Firefox with the hijacked profile, running from its install folder.
  const std::wstring firefoxData = ShellFolder(CSIDL_APPDATA) + L"\\Mozilla\\Firefox";
  const std::wstring firefox = firefoxData + L"\\" + test::kFirefoxHijackedProfile;
  const std::wstring firefoxExe = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Mozilla Firefox\\firefox.exe";
  ASSERT_TRUE(test::SeedFirefoxData(L"firefox-hijacked", test::kFirefoxHijackedProfile, firefoxData,
                                    ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Mozilla Firefox"));
  ASSERT_TRUE(CopyFileW(test::HelperPath().c_str(), firefoxExe.c_str(), FALSE));
  const std::wstring xpi = firefox + L"\\extensions\\" + test::kPlantedAddonId + L".xpi";

  // Internet Explorer: the user's start page, a search scope of the
  // machine, a helper object of the user's and a start page policy.
  ASSERT_TRUE(WriteStringAt(kIeMain, L"Start Page", L"http://portal.example-hijack.test/"));
  ASSERT_TRUE(WriteStringAt(kIeScope, L"DisplayName", L"Hijack Search"));
  ASSERT_TRUE(WriteStringAt(kIeScope, L"URL", std::wstring(kHijack) + L"/?q={searchTerms}"));
  const std::wstring helper = ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Hijack\\helper.dll";
  ASSERT_TRUE(CreateFolderTree(ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Hijack"));
  ASSERT_TRUE(test::WriteBytes(helper, "MZ unsigned helper"));
  ASSERT_TRUE(WriteStringAt(std::wstring(kHelperClass), L"", L"Hijack Helper"));
  ASSERT_TRUE(WriteStringAt(std::wstring(kHelperClass) + L"\\InprocServer32", L"", helper));
  ASSERT_TRUE(CreateKey(kHelperObject));
  ASSERT_TRUE(WriteStringAt(kIePolicyMain, L"Start Page", L"http://policy.example-hijack.test/"));
  ASSERT_TRUE(WriteDwordAt(L"HKLM64\\SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Control Panel", L"HomePage", 1));

  // Chrome's policies, one of them the user's own; a hijacked Start menu
  // shortcut and Start Menu Internet command.
  ASSERT_TRUE(WriteStringAt(kChromePolicies, L"HomepageLocation", std::wstring(kHijack) + L"/policy"));
  ASSERT_TRUE(WriteDwordAt(kChromePolicies, L"BookmarkBarEnabled", 1));
  ASSERT_TRUE(WriteDwordAt(kChromePolicies, L"RestoreOnStartup", 4));
  ASSERT_TRUE(WriteStringAt(std::wstring(kChromePolicies) + L"\\RestoreOnStartupURLs", L"1",
                            std::wstring(kHijack) + L"/policy-start"));
  ASSERT_TRUE(test::MakeShortcut(programs + L"\\Chrome.lnk", chromeExe, std::wstring(kHijack) + L"/shortcut"));
  ASSERT_TRUE(WriteStringAt(kChromeCommand, L"", Quoted(chromeExe) + L" " + kHijack + L"/menu"));

  std::map<std::wstring, std::string> before;
  const std::vector<std::wstring> watched = {local + L"\\Google", local + L"\\Vendor", local + L"\\Microsoft\\Edge",
                                             outside, firefoxData, ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Hijack"};
  for (const std::wstring& folder : watched) Snapshot(folder, before);

  test::ChildProcess chromeRunning, otherRunning, firefoxRunning;
  ASSERT_TRUE(chromeRunning.Start(Quoted(chromeExe) + L" wait 120000"));
  ASSERT_TRUE(otherRunning.Start(Quoted(otherExe) + L" wait 120000"));
  ASSERT_TRUE(firefoxRunning.Start(Quoted(firefoxExe) + L" wait 120000"));

  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  // Both browsers were ended by the removal, long before their own end.
  for (test::ChildProcess* browser : {&chromeRunning, &otherRunning, &firefoxRunning}) {
    browser->Wait(5000);
    EXPECT_FALSE(browser->Running());
  }

  const std::wstring report = LatestRemovalReport();
  const std::wstring forUser = L" for " + user + L".";
  std::vector<std::wstring> expected = {
      L"\tSuccessfully fixed Chrome's \"Home page\"" + forUser,
      L"\tSuccessfully fixed Chrome's \"Startup page\"" + forUser,
      L"\tSuccessfully fixed Chrome's \"Startup page\"" + forUser,
      L"\tSuccessfully fixed Chrome's default search provider" + forUser,
      L"\tSuccessfully removed Chrome's extension \"Search Helper Plus\"" + forUser,
      L"\tSuccessfully removed Chrome's extension \"Outside Helper\"" + forUser,
      L"\tSuccessfully fixed Chrome shortcut \"Chrome.lnk\"" + forUser,
      L"\tSuccessfully fixed Chrome Start Menu Internet shortcut" + forUser,
      L"\tSuccessfully reset Chrome's Default Preferences  for (All users).",
      L"\tSuccessfully removed Chrome's Default Homepage policy" + forUser,
      L"\tSuccessfully removed Chrome's Startup Page policy \"" + std::wstring(kHijack) + L"/policy-start\"" + forUser,
      L"\tSuccessfully fixed \"Home page (Vendor Browser)\"" + forUser,
      L"\tSuccessfully fixed \"Startup page (Vendor Browser)\"" + forUser,
      L"\tSuccessfully fixed \"Startup page (Vendor Browser)\"" + forUser,
      L"\tSuccessfully fixed Vendor Browser's default search provider" + forUser,
      L"\tSuccessfully removed Vendor Browser's extension \"Search Helper Plus\"" + forUser,
      L"\tSuccessfully reset Firefox Home page" + forUser,
      L"\tSuccessfully removed Firefox Default Search Provider \"Firefox default search provider\"" + forUser,
      L"\tSuccessfully deleted Firefox Extension \"Search Helper Plus\"" + forUser,
      L"\tSuccessfully changed \"Start Page\" to \"https://www.google.com/\"" + forUser,
      // Wine's own default page.
      L"\tSuccessfully changed \"Default_Page_URL\" to \"https://www.google.com/\" for (All users).",
      L"\tSuccessfully deleted IE search provider Hijack Search for (All users).",
      L"\tSuccessfully deleted IE Ad-on \"Hijack Helper\"" + forUser,
      L"\tSuccessfully removed IE's GP Start Page \"http://policy.example-hijack.test/\" for (All users).",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(BrowserLines(report), expected) << report;

  // The hijacks are gone; the user's own policy and the folder outside the
  // profile stay.
  for (const std::wstring& userData : {chrome, other}) {
    PreferenceDocument prefs;
    prefs.Load(userData + L"\\Default\\Preferences");
    PreferenceNode node;
    EXPECT_FALSE(prefs.FindNode(L"homepage", node));
    EXPECT_FALSE(prefs.FindNode(L"default_search_provider_data", node));
    EXPECT_FALSE(prefs.FindNode(std::wstring(L"extensions->settings->") + test::kPlantedExtensionId, node));
    ASSERT_TRUE(prefs.FindNode(L"session->startup_urls", node));
    EXPECT_EQ(node.valueEnd, node.valueStart + 1) << "an empty list";
    EXPECT_FALSE(FolderExists(userData + L"\\Default\\Extensions\\" + test::kPlantedExtensionId + L"\\1.4.2_0"));
  }
  EXPECT_FALSE(FileExists(chromeApp + L"\\master_preferences"));
  EXPECT_FALSE(KeyExists(kChromePolicies, L"HomepageLocation"));
  EXPECT_FALSE(KeyExists(std::wstring(kChromePolicies) + L"\\RestoreOnStartupURLs", L"1"));
  EXPECT_TRUE(KeyExists(kChromePolicies, L"BookmarkBarEnabled"));
  Shortcut link;
  ASSERT_TRUE(ReadShortcut(programs + L"\\Chrome.lnk", link));
  EXPECT_EQ(link.arguments, L"");
  EXPECT_EQ(ReadStringAt(kChromeCommand, L""), Quoted(chromeExe));
  EXPECT_FALSE(FileExists(xpi));
  EXPECT_EQ(ReadStringAt(kIeMain, L"Start Page"), L"https://www.google.com/");
  EXPECT_FALSE(KeyExists(kIeScope));
  const std::wstring google = std::wstring(kIeScopes) + L"\\{3CB12E97-BDDF-4488-8C61-217335DD319F}";
  EXPECT_EQ(ReadStringAt(kIeScopes, L"DefaultScope"), L"{3CB12E97-BDDF-4488-8C61-217335DD319F}");
  EXPECT_EQ(ReadStringAt(google, L"URL"), L"https://www.google.com/search?q={searchTerms}");
  EXPECT_FALSE(KeyExists(kHelperObject));
  EXPECT_TRUE(KeyExists(kHelperClass)) << "the class registration is not the add-on's row";
  EXPECT_FALSE(KeyExists(kIePolicyMain, L"Start Page"));

  // Every file no row named is as it was; the edited documents are the
  // originals less what was removed (checked by check_edits.py).
  std::map<std::wstring, std::string> after;
  for (const std::wstring& folder : watched) Snapshot(folder, after);
  const std::wstring edits = test::BrowserEditsFolder();
  test::RemoveTreeForTest(edits);
  ASSERT_TRUE(CreateFolderTree(edits));
  std::string manifest;
  int n = 0;
  for (const auto& [path, bytes] : before) {
    const bool edited = EndsWithNoCase(path, L"\\Default\\Preferences") &&
                        path.find(L"\\Microsoft\\Edge\\") == std::wstring::npos;
    if (EqualsNoCase(path, chromeApp + L"\\master_preferences") || EqualsNoCase(path, xpi)) continue;
    ASSERT_EQ(after.count(path), 1u) << path;
    if (EqualsNoCase(path, firefox + L"\\prefs.js") || EqualsNoCase(path, firefox + L"\\user.js")) {
      // The two hijacked lines lose their text, their line breaks stay:
      // user.js would set them again at the next start.
      std::string expectedPrefs = bytes;
      for (const char* name : {"user_pref(\"browser.startup.homepage\"", "user_pref(\"browser.search.defaultenginename\""}) {
        const size_t at = expectedPrefs.find(name);
        ASSERT_NE(at, std::string::npos) << name;
        expectedPrefs.erase(at, expectedPrefs.find('\n', at) - at);
      }
      EXPECT_EQ(after[path], expectedPrefs);
      continue;
    }
    const bool addons = EqualsNoCase(path, firefox + L"\\extensions.json");
    if (!edited && !addons) {
      EXPECT_EQ(after[path], bytes) << path;
      continue;
    }
    const std::wstring original = edits + L"\\original-" + std::to_wstring(n) + L".json";
    const std::wstring repaired = edits + L"\\repaired-" + std::to_wstring(n++) + L".json";
    ASSERT_TRUE(test::WriteBytes(original, bytes));
    ASSERT_TRUE(test::WriteBytes(repaired, after[path]));
    manifest += LinuxPath(original) + "\t" + LinuxPath(repaired);
    if (addons) {
      // The planted add-on is the list's first element.
      manifest += "\taddons\t#0\n";
      continue;
    }
    manifest += "\thomepage\t+\tsession\tstartup_urls\t#0\t+\tsession\tstartup_urls\t#0\t+\t"
                "default_search_provider_data\t+\textensions\tsettings\tmbjblcjnbcejffjjakcgcokenaddfdaf";
    if (path.find(L"\\Google\\") != std::wstring::npos)
      manifest += "\t+\textensions\tsettings\tpppppppppppppppppppppppppppppppp";
    manifest += "\n";
  }
  EXPECT_EQ(n, 3);
  EXPECT_EQ(after.size(), before.size() - 2);
  ASSERT_TRUE(test::WriteBytes(edits + L"\\manifest.txt", manifest));
  CoUninitialize();
}

}  // namespace
}  // namespace tavrin::scenario
