// The Chrome and Edge phases run in-process on profile trees made from the
// real Chromium files of tests/browsers/fixtures. Bob has the hijacked
// profile (plus a planted extension, shortcuts, a Start Menu Internet
// command and policies in a hive of the test's own mounted under
// HKEY_USERS); Carol has the clean profiles. The definitions are the
// project's own data, compiled and mounted the way a scan mounts them.
#include "scan/chromium_scan.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../browsers/browser_fixtures.h"
#include "browsers/known_good.h"
#include "definitions/definitions_db.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "platform/com_ptr.h"
#include "platform/file_system.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/scan_phases.h"
#include "scan/scan_session.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"
#include "scan/scan_parts.h"

namespace tavrin {
namespace {

using test::WriteBytes;

constexpr wchar_t kLocal[] = L"\\AppData\\Local";
constexpr wchar_t kChromePolicies[] = L"\\Software\\Policies\\Google\\Chrome";
constexpr wchar_t kChromeCommand[] = L"\\Software\\Clients\\StartMenuInternet\\Google Chrome\\shell\\open\\command";
constexpr wchar_t kPlantedId[] = L"mbjblcjnbcejffjjakcgcokenaddfdaf";
constexpr wchar_t kUnpackedId[] = L"abcdefghijklmnopabcdefghijklmnop";

std::wstring SourceFolder() {
  std::wstring path = L"Z:";
  for (char c : std::string(TAVRIN_SOURCE_DIR)) path += c == '/' ? L'\\' : wchar_t(c);
  return path;
}

std::string Narrow(std::wstring_view s) {
  std::string out;
  for (wchar_t c : s) out += c < 128 ? char(c) : '?';
  return out;
}

using test::MakeShortcut;

std::string ReadFixture(const std::wstring& relative) { return test::ReadBytes(test::BrowserFixture(relative)); }

// The text with its first `from` replaced; the test fails when it is absent,
// so that a changed fixture cannot turn a case into one that tests nothing.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

struct Seen {
  int group;
  std::wstring name, user, path;
  bool checked;
  int key;
};

class ChromiumScanFixture : public ::testing::Test, public test::ScanParts {
 public:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    pid = std::to_wstring(GetCurrentProcessId());

    definitions_tool::DefinitionsSource source;
    std::vector<std::wstring> errors;
    ASSERT_TRUE(definitions_tool::ReadDefinitionsFolder(SourceFolder() + L"\\data\\definitions", source, errors));
    std::wstring error;
    ASSERT_TRUE(definitions_tool::BuildDefinitionsHive(source, L"HKCU\\Software\\TavrinTest-" + pid + L"-chromium-db",
                                                       scratch / L"TVNdb2.dat", error))
        << Narrow(error);
    ASSERT_TRUE(WriteTextFile(scratch / L"TVNdb.txt", std::to_wstring(source.number), TextEncoding::Ansi));

    // Outside every temporary folder, as profiles are.
    root = L"C:\\ProgramData\\TavrinTest-chromium-" + pid;
    bobProfile = root + L"\\bob";
    carolProfile = root + L"\\carol";
    bobUserData = bobProfile + kLocal + L"\\Google\\Chrome\\User Data";
    bobDefault = bobUserData + L"\\Default";
    chromeExe = bobProfile + kLocal + L"\\Google\\Chrome\\Application\\chrome.exe";
    ASSERT_TRUE(test::CopyFixtureTree(L"chrome-hijacked\\User Data", bobUserData));
    ASSERT_TRUE(test::CopyFixtureTree(L"chrome-clean\\User Data", carolProfile + kLocal + L"\\Google\\Chrome\\User Data"));
    ASSERT_TRUE(CreateFolderTree(bobProfile + kLocal + L"\\Google\\Chrome\\Application"));
    ASSERT_TRUE(WriteBytes(chromeExe, "MZ chrome"));

    // An empty hive for Bob; the cases write into it once it is mounted.
    bobSid = L"S-1-5-21-8-8-8-" + pid;
    const std::wstring bobKey = L"HKCU\\Software\\TavrinTest-" + pid + L"-chromium-bob";
    ASSERT_TRUE(CreateKey(bobKey + L"\\Software"));
    ASSERT_TRUE(SaveKeyToHive(bobKey, scratch / L"bob.dat"));
    DeleteKeyTree(bobKey);
    ASSERT_TRUE(LoadHive(HiveRoot::Users, bobSid, scratch / L"bob.dat"));
    bobMounted = true;
    bobRoot = L"HKU\\" + bobSid;

    WireScan(L"http://127.0.0.1:9");
  }

  void TearDown() override {
    if (bobMounted) UnloadHive(HiveRoot::Users, bobSid);
    test::RemoveTreeForTest(root);
    CoUninitialize();
  }

  // The hijacked profile's Preferences with the unpacked extension turned
  // into one the browser keeps in the profile's own "Extensions" folder
  // (Chromium 156 writes no manifest for unpacked ones), plus whatever a
  // case changes.
  std::string HijackedPreferences() {
    return Replaced(ReadFixture(L"chrome-hijacked\\User Data\\Default\\Preferences"),
                    "\"path\":\"/tmp/fxA/Users/tester/AppData/Local/SearchHelperPlus/extension\"",
                    "\"manifest\":{\"name\":\"Search Helper Plus\"},\"path\":\"mbjblcjnbcejffjjakcgcokenaddfdaf\\\\1.4.2_0\"");
  }
  std::wstring PlantedExtensionFolder() const { return bobDefault + L"\\Extensions\\" + kPlantedId + L"\\1.4.2_0"; }

  void Scan(void (*phase)(ScanEnvironment&) = ScanChrome) {
    static std::vector<UserProfile> added;
    added = {{bobSid, bobProfile, L"bob"}, {L"S-1-5-21-9-9-9-" + pid, carolProfile, L"carol"}};
    const ScanPhase phases[] = {{6, nullptr,
                                 [](ScanEnvironment& scan) {
                                   auto& users = scan.session->users;
                                   auto& names = scan.session->userDisplayNames;
                                   users.insert(users.begin(), added.begin(), added.end());
                                   names.insert(names.begin(), {added[0].accountName, added[1].accountName});
                                 }},
                                {45, nullptr, phase}};
    ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
    ASSERT_TRUE(ReadTextFile(session.reportPath, report));
  }

  // The report from the phase's title up to the next phase.
  std::wstring Block(const std::wstring& title) const {
    const size_t start = report.find(title);
    if (start == std::wstring::npos) return {};
    const size_t end = report.find(L"\r\n\r\n->", start + title.size());
    return report.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
  }

  std::vector<Seen> Rows() {
    std::vector<Seen> rows;
    ResultList list = TabList(results, kBrowsersTab);
    for (int row = 0; row < RowCount(list); ++row)
      rows.push_back({GetGroup(list, row), GetColumnText(list, row, 0), GetColumnText(list, row, 1),
                      GetColumnText(list, row, 2), IsChecked(list, row), GetRowKey(list, row)});
    return rows;
  }
  std::vector<Seen> RowsOf(int group) {
    std::vector<Seen> out;
    for (const Seen& row : Rows())
      if (row.group == group) out.push_back(row);
    return out;
  }
  std::wstring Detail(const Seen& row, const wchar_t* key) {
    return GetDetail(TabList(results, kBrowsersTab), row.key, key);
  }

  std::wstring pid, root, bobProfile, carolProfile, bobUserData, bobDefault, chromeExe, bobSid, bobRoot, report;
  bool bobMounted = false;
};

const wchar_t kChecked[] = L"\r\n\t\tItem state: Checked\r\n";
const wchar_t kUnchecked[] = L"\r\n\t\tItem state: Unchecked\r\n";

TEST_F(ChromiumScanFixture, HijackedProfileIsListedSectionBySectionAndCleanProfilesOnlyOfferResets) {
  ASSERT_TRUE(WriteBytes(bobDefault + L"\\Preferences", HijackedPreferences()));
  ASSERT_TRUE(CreateFolderTree(PlantedExtensionFolder()));
  ASSERT_TRUE(test::CopyFixtureTree(L"chrome-hijacked\\extension-source", PlantedExtensionFolder()));
  ASSERT_TRUE(CopyFileW(test::BrowserFixture(L"chrome-hijacked\\Application\\master_preferences").c_str(),
                        (bobProfile + kLocal + L"\\Google\\Chrome\\Application\\master_preferences").c_str(), FALSE));

  const std::wstring desktop = bobProfile + L"\\Desktop";
  const std::wstring startMenu = bobProfile + L"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
  ASSERT_TRUE(CreateFolderTree(desktop));
  ASSERT_TRUE(CreateFolderTree(startMenu + L"\\Programs\\Google"));
  ASSERT_TRUE(MakeShortcut(desktop + L"\\Google Chrome.lnk", chromeExe, L"\"http://portal.example-hijack.test/\""));
  ASSERT_TRUE(MakeShortcut(desktop + L"\\Work.lnk", chromeExe, L"--profile-directory=\"Profile 1\""));
  ASSERT_TRUE(MakeShortcut(desktop + L"\\Short.lnk", chromeExe, L"--abc"));
  ASSERT_TRUE(WriteBytes(bobProfile + L"\\other.exe", "MZ other"));
  ASSERT_TRUE(MakeShortcut(desktop + L"\\Other.lnk", bobProfile + L"\\other.exe", L"http://portal.example-hijack.test/"));
  ASSERT_TRUE(MakeShortcut(startMenu + L"\\Programs\\Google\\Chrome.lnk", chromeExe,
                           L"--load-extension=C:\\Users\\Public\\helper"));

  ASSERT_TRUE(WriteStringAt(bobRoot + kChromeCommand, L"", L"\"" + chromeExe + L"\" http://portal.example-hijack.test/"));
  const std::wstring policies = bobRoot + kChromePolicies;
  ASSERT_TRUE(WriteStringAt(policies, L"HomepageLocation", L"http://search.example-hijack.test/policy"));
  ASSERT_TRUE(WriteStringAt(policies, L"DefaultSearchProviderSearchURL", L"http://search.example-hijack.test/?p={searchTerms}"));
  ASSERT_TRUE(WriteStringAt(policies, L"DefaultSearchProviderName", L"Hijack Search"));
  ASSERT_TRUE(WriteDwordAt(policies, L"RestoreOnStartup", 4));
  ASSERT_TRUE(WriteStringAt(policies + L"\\RestoreOnStartupURLs", L"1", L"https://www.google.com/"));
  ASSERT_TRUE(WriteStringAt(policies + L"\\RestoreOnStartupURLs", L"2", L"http://portal.example-hijack.test/policy"));

  Scan();

  const std::wstring prefs = bobDefault + L"\\Preferences";
  const std::wstring bob = L"\r\n\t\tUser name: bob";
  std::wstring carolResets;
  // Carol's two clean profiles in the order the file system lists them.
  std::vector<std::wstring> carolFolders;
  {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((carolProfile + kLocal + L"\\Google\\Chrome\\User Data\\*f*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
      const std::wstring name = data.cFileName;
      if (name == L"Default" || name == L"Profile 1")
        carolFolders.push_back(carolProfile + kLocal + L"\\Google\\Chrome\\User Data\\" + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  ASSERT_EQ(carolFolders.size(), 2u);
  for (const std::wstring& folder : carolFolders)
    carolResets += L"\r\n\t\tOption name: Reset Secure Preferences\r\n\t\tUser name: carol\r\n\t\tInfo: " + folder +
                   L"\\Secure Preferences" + kUnchecked + L"\r\n\t\tOption name: Reset Preferences\r\n\t\tUser name: carol\r\n\t\tInfo: " +
                   folder + L"\\Preferences" + kUnchecked;

  const std::wstring expected =
      L"\r\n\r\n->Google Chrome scan:\r\n"
      L"\r\n\tChrome's startup and home pages:\r\n"
      L"\r\n\t\tHomepage: http://search.example-hijack.test/home" + bob + L"\r\n\t\tInfo: " + prefs + kChecked +
      L"\r\n\t\tStartup page: http://search.example-hijack.test/start" + bob + L"\r\n\t\tInfo: " + prefs + kChecked +
      L"\r\n\t\tStartup page: http://portal.example-hijack.test/welcome" + bob + L"\r\n\t\tInfo: " + prefs + kChecked +
      L"\r\n\tChrome's search providers:\r\n"
      L"\r\n\t\tDefault search provider URL: http://search.example-hijack.test/?q={searchTerms}" + bob +
      L"\r\n\t\tInfo: " + prefs + kChecked +
      L"\r\n\tChrome extensions:\r\n"
      L"\r\n\t\tExtension found: Search Helper Plus (" + kPlantedId + L")" + bob + L"\r\n\t\tPath: " +
      PlantedExtensionFolder() + kChecked +
      L"\r\n\tChrome's non-standard shortcuts:\r\n"
      // Desktop first (in the file system's order), then the Start menu.
      L"@DESKTOP@"
      L"\r\n\t\tShortcut path: " + startMenu + L"\\Programs\\Google\\Chrome.lnk" + bob +
      L"\r\n\t\tBrowser: Google Chrome\r\n\t\tArguments: --load-extension=C:\\Users\\Public\\helper\r\n\t\tItem state: Checked\r\n"
      L"\r\n\t\tStart Menu Internet shortcut argument: http://portal.example-hijack.test/" + bob + kChecked +
      L"\r\n\tChrome's Group Policies:\r\n"
      L"\r\n\t\tChrome's Default Homepage policy: http://search.example-hijack.test/policy" + bob + kChecked +
      L"\r\n\t\tChrome's Default Search Provider policy: http://search.example-hijack.test/?p={searchTerms}" + bob +
      kChecked +
      L"\r\n\t\tChrome's Startup Page policy: https://www.google.com/" + bob + kChecked +
      L"\r\n\t\tChrome's Startup Page policy: http://portal.example-hijack.test/policy" + bob + kChecked +
      L"\r\n\tChrome reset options:\r\n"
      L"\r\n\t\tOption name: Reset Secure Preferences" + bob + L"\r\n\t\tInfo: " + bobDefault + L"\\Secure Preferences" +
      kUnchecked + L"\r\n\t\tOption name: Reset Preferences" + bob + L"\r\n\t\tInfo: " + prefs + kUnchecked + carolResets +
      L"\r\n\t\tOption name: Reset Default Preferences\r\n\t\tUser name: (All users)\r\n\t\tInfo: " + bobProfile + kLocal +
      L"\\Google\\Chrome\\Application\\master_preferences" + kChecked +
      L"\r\n\t\tOption name: Reset Chrome Policies" + bob + L"\r\n\t\tInfo: " + policies + kUnchecked;

  // The two desktop rows in the order the file system lists them.
  std::wstring desktopLines;
  {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((desktop + L"\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
      const std::wstring name = data.cFileName;
      if (name == L"Google Chrome.lnk")
        desktopLines += L"\r\n\t\tShortcut path: " + desktop + L"\\Google Chrome.lnk" + bob +
                        L"\r\n\t\tBrowser: Google Chrome\r\n\t\tArguments: \"http://portal.example-hijack.test/\"\r\n\t\tItem state: Checked\r\n";
      if (name == L"Work.lnk")
        desktopLines += L"\r\n\t\tShortcut path: " + desktop + L"\\Work.lnk" + bob +
                        L"\r\n\t\tBrowser: Google Chrome\r\n\t\tArguments: --profile-directory=\"Profile 1\"\r\n\t\tItem state: Un-checked\r\n";
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  std::wstring want = expected;
  want.replace(want.find(L"@DESKTOP@"), 9, desktopLines);
  EXPECT_EQ(Narrow(Block(L"\r\n\r\n->Google Chrome scan:\r\n")), Narrow(want));

  // Rows: groups, check states, and what the repair reads back.
  const std::vector<Seen> pages = RowsOf(kGroupChromeStartPages);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].name, L"Home page");
  EXPECT_EQ(Detail(pages[0], L"Registry Key"), L"homepage");
  EXPECT_EQ(Detail(pages[2], L"Registry Key"), L"session->startup_urls");
  EXPECT_EQ(Detail(pages[2], L"JSONPath"), L"session->startup_urls");
  EXPECT_EQ(Detail(pages[2], L"URL"), L"http://portal.example-hijack.test/welcome");
  EXPECT_EQ(Detail(pages[2], L"Path"), prefs);
  EXPECT_EQ(Detail(pages[2], L"User name"), L"bob");
  EXPECT_EQ(Detail(pages[2], L"Group ID"), L"42");

  const std::vector<Seen> search = RowsOf(kGroupChromeSearchProviders);
  ASSERT_EQ(search.size(), 1u);
  EXPECT_EQ(Detail(search[0], L"Registry Key"), L"default_search_provider_data->template_url_data");

  const std::vector<Seen> extensions = RowsOf(kGroupChromeExtensions);
  ASSERT_EQ(extensions.size(), 1u);
  EXPECT_EQ(extensions[0].name, L"Search Helper Plus");
  EXPECT_EQ(Detail(extensions[0], L"Registry Key"), std::wstring(L"extensions->settings->") + kPlantedId);
  EXPECT_EQ(Detail(extensions[0], L"Extension path"), PlantedExtensionFolder());
  EXPECT_EQ(Detail(extensions[0], L"Extension state"), L"Enabled");
  EXPECT_EQ(Detail(extensions[0], L"Install location"), L"Loaded from the command line");
  EXPECT_EQ(Detail(extensions[0], L"Policy key"), L"");

  const std::vector<Seen> shortcuts = RowsOf(kGroupChromeShortcuts);
  ASSERT_EQ(shortcuts.size(), 4u);
  EXPECT_EQ(Detail(shortcuts[0], L"CLSID"), L"Google Chrome");
  EXPECT_EQ(Detail(shortcuts[3], L"Registry Key"), bobRoot + kChromeCommand);

  const std::vector<Seen> policyRows = RowsOf(kGroupChromePolicies);
  ASSERT_EQ(policyRows.size(), 4u);
  EXPECT_EQ(policyRows[1].name, L"Hijack Search (search provider)");
  EXPECT_EQ(Detail(policyRows[1], L"Value name"), L"DefaultSearchProviderSearchURL");
  EXPECT_EQ(Detail(policyRows[3], L"Registry Key"), policies);
  EXPECT_EQ(Detail(policyRows[3], L"Value name"), L"2");

  for (const Seen& row : RowsOf(kGroupChromeResetOptions))
    EXPECT_EQ(row.checked, row.name == L"Reset Default Preferences") << Narrow(row.name);
  // Nothing of the clean profiles but their reset options.
  for (const Seen& row : Rows()) {
    if (row.user == L"carol") {
      EXPECT_EQ(row.group, kGroupChromeResetOptions) << Narrow(row.name);
    }
  }
}

// A third Chromium browser below a vendor folder of Bob's, found by its
// shader cache: the same hijacks, reported with the browser's name on every
// row and line, its policy key below the vendor's name, its own known-good
// list and sections.
TEST_F(ChromiumScanFixture, OtherChromiumBrowserIsFoundAndListedUnderItsOwnName) {
  const std::wstring userData = bobProfile + kLocal + L"\\Vendor\\Browser\\User Data";
  const std::wstring profile = userData + L"\\Default";
  const std::wstring application = bobProfile + kLocal + L"\\Vendor\\Browser\\Application";
  const std::wstring exe = application + L"\\browser.exe";
  ASSERT_TRUE(test::CopyFixtureTree(L"chrome-hijacked\\User Data", userData));
  ASSERT_TRUE(CreateFolderTree(userData + L"\\GrShaderCache"));
  ASSERT_TRUE(CreateFolderTree(application));
  ASSERT_TRUE(WriteBytes(exe, "MZ browser"));
  ASSERT_TRUE(WriteTextFile(userData + L"\\Last Browser", exe, TextEncoding::Utf16Le));
  ASSERT_TRUE(CopyFileW(test::BrowserFixture(L"chrome-hijacked\\Application\\master_preferences").c_str(),
                        (application + L"\\master_preferences").c_str(), FALSE));
  // Bob's Chrome is not another browser.
  ASSERT_TRUE(CreateFolderTree(bobUserData + L"\\GrShaderCache"));
  const std::wstring extensionFolder = profile + L"\\Extensions\\" + kPlantedId + L"\\1.4.2_0";
  ASSERT_TRUE(CreateFolderTree(extensionFolder));
  ASSERT_TRUE(WriteBytes(profile + L"\\Preferences", HijackedPreferences()));
  ASSERT_TRUE(CreateFolderTree(bobProfile + L"\\Desktop"));
  ASSERT_TRUE(MakeShortcut(bobProfile + L"\\Desktop\\Browser.lnk", exe, L"--load-extension=C:\\x"));
  ASSERT_TRUE(WriteStringAt(bobRoot + L"\\Software\\Clients\\StartMenuInternet\\Browser\\shell\\open\\command", L"",
                            L"\"%UserProfile%\\AppData\\Local\\Vendor\\Browser\\Application\\browser.exe\" \"http://portal.example-hijack.test/\""));
  const std::wstring policies = bobRoot + L"\\Software\\Policies\\Vendor\\Browser";
  ASSERT_TRUE(WriteStringAt(policies, L"HomepageLocation", L"http://search.example-hijack.test/policy"));
  ASSERT_TRUE(WriteDwordAt(policies, L"RestoreOnStartup", 4));
  ASSERT_TRUE(WriteStringAt(policies + L"\\RestoreOnStartupURLs", L"1", L"http://portal.example-hijack.test/a"));
  ASSERT_TRUE(WriteStringAt(policies + L"\\RestoreOnStartupURLs", L"2", L"http://portal.example-hijack.test/b"));
  // Only the other browsers consult their policy whitelist for startup URLs.
  ASSERT_TRUE(AddWhitelistEntry(whitelist, L"Other Chromium browsers group policies", L"http://portal.example-hijack.test/b"));

  Scan(ScanOtherChromium);

  const std::wstring prefs = profile + L"\\Preferences";
  const std::wstring bob = L"\r\n\t\tUser name: bob\r\n\t\tBrowser: Vendor Browser";
  const std::wstring expected =
      L"\r\n\r\n->Other Chromium browsers scan:\r\n"
      L"\r\n\tOther Chromium browsers startup and home pages:\r\n"
      L"\r\n\t\tHomepage: http://search.example-hijack.test/home" + bob + L"\r\n\t\tInfo: " + prefs + kChecked +
      L"\r\n\t\tStartup page : http://search.example-hijack.test/start" + bob + L"\r\n\t\tInfo: " + prefs + kChecked +
      L"\r\n\t\tStartup page : http://portal.example-hijack.test/welcome" + bob + L"\r\n\t\tInfo: " + prefs + kChecked +
      L"\r\n\tOther Chromium bowsers' search providers:\r\n"
      L"\r\n\t\tDefault search provider URL : http://search.example-hijack.test/?q={searchTerms}" + bob +
      L"\r\n\t\tInfo: " + prefs + kChecked +
      L"\r\n\tOther Chromium browsers extensions:\r\n"
      L"\r\n\t\tExtension found : Search Helper Plus (" + kPlantedId + L")" + bob + L"\r\n\t\tPath: " + extensionFolder +
      kChecked +
      L"\r\n\tOther Chromium browser's non-standard shortcuts:\r\n"
      L"\r\n\t\tShortcut path: " + bobProfile + L"\\Desktop\\Browser.lnk\r\n\t\tUser name: bob\r\n\t\tBrowser: Vendor Browser"
      L"\r\n\t\tArguments: --load-extension=C:\\x\r\n\t\tItem state: Checked\r\n"
      L"\r\n\t\tStart Menu Internet shortcut argument: http://portal.example-hijack.test/" + bob + kChecked +
      L"\r\n\tOther Chromium browsers Group Policies:\r\n"
      L"\r\n\t\tDefault Homepage policy : http://search.example-hijack.test/policy" + bob + kChecked +
      L"\r\n\t\tStartup Page policy: http://portal.example-hijack.test/a" + bob + kChecked +
      L"\r\n\tOther Chromium browsers reset options:\r\n"
      L"\r\n\t\tOption name: Reset Vendor Browser Secure Preferences" + bob + L"\r\n\t\tInfo: " + profile +
      L"\\Secure Preferences" + kUnchecked +
      L"\r\n\t\tOption name: Reset Vendor Browser Preferences" + bob + L"\r\n\t\tInfo: " + prefs + kUnchecked +
      L"\r\n\t\tOption name: Reset Vendor Browser Default Preferences\r\n\t\tUser name: (All users)\r\n\t\tBrowser: Vendor Browser"
      L"\r\n\t\tInfo: " + application + L"\\master_preferences" + kChecked +
      L"\r\n\t\tOption name: Reset Vendor Browser Policies" + bob + L"\r\n\t\tInfo: " + policies + kUnchecked;
  EXPECT_EQ(Narrow(Block(L"\r\n\r\n->Other Chromium browsers scan:\r\n")), Narrow(expected));

  const std::vector<Seen> pages = RowsOf(kGroupOtherChromiumStartPages);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].name, L"Home page (Vendor Browser)");
  EXPECT_EQ(pages[1].name, L"Startup page (Vendor Browser)");
  EXPECT_EQ(Detail(pages[1], L"CLSID"), L"Vendor Browser");
  EXPECT_EQ(Detail(pages[1], L"URL"), L"http://search.example-hijack.test/start");
  const std::vector<Seen> search = RowsOf(kGroupOtherChromiumSearchProviders);
  ASSERT_EQ(search.size(), 1u);
  EXPECT_EQ(search[0].name, L"Default search provider (Vendor Browser)");
  const std::vector<Seen> extensions = RowsOf(kGroupOtherChromiumExtensions);
  ASSERT_EQ(extensions.size(), 1u);
  EXPECT_EQ(Detail(extensions[0], L"Extension path"), extensionFolder);
  EXPECT_EQ(Detail(RowsOf(kGroupOtherChromiumShortcuts).at(0), L"CLSID"), L"Vendor Browser");
  // Nothing of Chrome's own groups.
  EXPECT_TRUE(RowsOf(kGroupChromeStartPages).empty());
}

TEST_F(ChromiumScanFixture, NoOtherChromiumBrowserEndsThePhaseWithItsLine) {
  Scan(ScanOtherChromium);
  EXPECT_EQ(Narrow(Block(L"\r\n\r\n->Other Chromium browsers scan:\r\n")),
            Narrow(L"\r\n\r\n->Other Chromium browsers scan:\r\n"
                   L"\r\n\tNo other Chromium based browser profiles have been found:\r\n"));
  EXPECT_EQ(RowCount(TabList(results, kBrowsersTab)), 0);
}

// The known-good lists are the project's own data as the scan mounts it:
// ids and, where a list names them, display names, each list for its own
// browser family only.
TEST_F(ChromiumScanFixture, ExtensionsAreKnownGoodByTheirBrowsersListInTheDefinitions) {
  DefinitionsDb db;
  db.hivePath = scratch / L"TVNdb2.dat";
  ASSERT_TRUE(MountDefinitions(db, L"TVN DB chromium-" + pid));
  struct Case {
    const wchar_t* list;
    const wchar_t* text;
    bool knownGood;
  } const cases[] = {
      {L"\\WhiteList\\Chrome Extensions", L"cjpalhdlnbpafiamejdnhcphjbkeiagm", true},
      {L"\\WhiteList\\Chrome Extensions", L"MHJFBMDGCFJBBPAEOJOFOHOEFGIEHJAI", true},
      {L"\\WhiteList\\Chrome Extensions", kPlantedId, false},
      // The description beside an id is no name of its own.
      {L"\\WhiteList\\Chrome Extensions", L"uBlock Origin", false},
      {L"\\WhiteList\\Microsoft Edge Extensions", L"odfafepnkmbhccpbejgmiehpchacaeak", true},
      {L"\\WhiteList\\Microsoft Edge Extensions", L"Microsoft Clipboard Extension", true},
      {L"\\WhiteList\\Microsoft Edge Extensions", L"cjpalhdlnbpafiamejdnhcphjbkeiagm", false},
      {L"\\WhiteList\\OCB Extensions", L"mnojpmjdmbbfmejpflffifhffcmidifd", true},
      {L"\\WhiteList\\OCB Extensions", L"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(std::wstring(c.list) + L" " + c.text));
    EXPECT_EQ(IsKnownGoodExtension(db.RootPath(), c.list, c.text), c.knownGood);
  }
  EXPECT_FALSE(IsKnownGoodExtension(L"", L"\\WhiteList\\Chrome Extensions", L"cjpalhdlnbpafiamejdnhcphjbkeiagm"));
  EXPECT_TRUE(UnmountDefinitions(db));
}

// Each case is a small change to Bob's hijacked profile or registry; the
// rows of the named groups must then be exactly the listed column texts.
struct EdgeCase {
  const char* what;
  std::function<void(ChromiumScanFixture&)> seed;
  std::vector<std::pair<int, std::vector<std::wstring>>> expected;
  void (*phase)(ScanEnvironment&) = ScanChrome;
  // What else the rows must show; none: only their column texts count.
  std::function<void(ChromiumScanFixture&)> check = nullptr;
};

// An extension folder outside the profile's own "Extensions" folder is
// never handed to the removal to delete.
void NoExtensionFolderFiled(ChromiumScanFixture& f) {
  const std::vector<Seen> rows = f.RowsOf(kGroupChromeExtensions);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(f.Detail(rows[0], L"Extension path"), L"");
  EXPECT_EQ(f.Detail(rows[0], L"Registry Key"), std::wstring(L"extensions->settings->") + kPlantedId);
}

constexpr char kHomePage[] = "\"homepage\":\"http://search.example-hijack.test/home\"";
constexpr char kStartupUrls[] =
    "\"startup_urls\":[\"http://search.example-hijack.test/start\",\"http://portal.example-hijack.test/welcome\"]";
const std::wstring kHome = L"http://search.example-hijack.test/home";
const std::wstring kStart = L"http://search.example-hijack.test/start";
const std::wstring kWelcome = L"http://portal.example-hijack.test/welcome";
// Every case has a Start Menu Internet command with this argument: its row
// shows that the phase went on past a damaged preference file.
const std::wstring kStartMenuArgument = L"--no-first-run-please";
const std::pair<int, std::vector<std::wstring>> kGoesOn = {kGroupChromeShortcuts, {kStartMenuArgument}};

class ChromiumEdgeCases : public ChromiumScanFixture {
 public:
  void WritePreferences(const std::string& text) { ASSERT_TRUE(WriteBytes(bobDefault + L"\\Preferences", text)); }
  void WithPreferences(const std::string& from, const std::string& to) {
    WritePreferences(Replaced(HijackedPreferences(), from, to));
  }
  void Policy(const wchar_t* name, const std::wstring& text) {
    ASSERT_TRUE(WriteStringAt(bobRoot + kChromePolicies, name, text));
  }
  void PolicyNumber(const wchar_t* name, DWORD number) {
    ASSERT_TRUE(WriteDwordAt(bobRoot + kChromePolicies, name, number));
  }
};

TEST_F(ChromiumEdgeCases, EachSmallChangeGivesExactlyItsRows) {
  const std::wstring extension = PlantedExtensionFolder();
  const std::wstring hijackPolicy = L"http://search.example-hijack.test/policy";
  const std::wstring nested(20000, L'[');
  const EdgeCase cases[] = {
      // Before the case that whitelists the planted extension by name.
      {"a disabled extension is still listed, and its details say so",
       [](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WithPreferences("\"disable_reasons\":[]", "\"disable_reasons\":[1,64]");
       },
       {{kGroupChromeExtensions, {extension}}},
       ScanChrome,
       [](ChromiumScanFixture& f) {
         const std::vector<Seen> rows = f.RowsOf(kGroupChromeExtensions);
         ASSERT_EQ(rows.size(), 1u);
         EXPECT_TRUE(rows[0].checked);
         EXPECT_EQ(f.Detail(rows[0], L"Extension state"), L"Disabled (reasons 1, 64)");
       }},
      {"an older file disables through its state, with a bit mask of none",
       [](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WithPreferences("\"disable_reasons\":[]",
                                                            "\"disable_reasons\":0,\"state\":0");
       },
       {{kGroupChromeExtensions, {extension}}},
       ScanChrome,
       [](ChromiumScanFixture& f) {
         const std::vector<Seen> rows = f.RowsOf(kGroupChromeExtensions);
         ASSERT_EQ(rows.size(), 1u);
         EXPECT_EQ(f.Detail(rows[0], L"Extension state"), L"Disabled");
       }},
      {"an extension a policy forces is listed as forced, with the keys that force it",
       [](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WithPreferences("\"location\":8", "\"location\":7");
         ASSERT_TRUE(WriteStringAt(f.bobRoot + kChromePolicies + L"\\ExtensionInstallForcelist", L"1",
                                   std::wstring(kPlantedId) + L";https://clients2.google.com/service/update2/crx"));
       },
       {{kGroupChromeExtensions, {extension}}},
       ScanChrome,
       [](ChromiumScanFixture& f) {
         const std::vector<Seen> rows = f.RowsOf(kGroupChromeExtensions);
         ASSERT_EQ(rows.size(), 1u);
         EXPECT_TRUE(rows[0].checked);
         EXPECT_EQ(f.Detail(rows[0], L"Extension state"), L"Enabled");
         EXPECT_EQ(f.Detail(rows[0], L"Install location"), L"Forced by policy");
         EXPECT_EQ(f.Detail(rows[0], L"Policy key"), f.bobRoot + kChromePolicies);
       }},
      {"a policy-installed location without a forcing key found is still told",
       [](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WithPreferences("\"location\":8", "\"location\":9");
       },
       {{kGroupChromeExtensions, {extension}}},
       ScanChrome,
       [](ChromiumScanFixture& f) {
         const std::vector<Seen> rows = f.RowsOf(kGroupChromeExtensions);
         ASSERT_EQ(rows.size(), 1u);
         EXPECT_EQ(f.Detail(rows[0], L"Install location"), L"Forced by policy");
         EXPECT_EQ(f.Detail(rows[0], L"Policy key"), L"");
       }},
      {"a home page of about:blank is never listed",
       [](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WithPreferences(kHomePage, "\"homepage\":\"about:blank\"");
       },
       {{kGroupChromeStartPages, {kStart, kWelcome}}}},
      {"a known-good startup page before a foreign one",
       [](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WithPreferences(
             kStartupUrls, "\"startup_urls\":[\"https://www.google.com/\",\"http://portal.example-hijack.test/welcome\"]");
       },
       {{kGroupChromeStartPages, {kHome, kWelcome}}}},
      {"a host that only names a search engine in its query is foreign",
       [](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WithPreferences(kHomePage,
                                                            "\"homepage\":\"https://evil.test/?q=google.com\"");
       },
       {{kGroupChromeStartPages, {L"https://evil.test/?q=google.com", kStart, kWelcome}}}},
      // The whitelist stays for the cases below, none of which lists these
      // two pages of Chrome.
      {"whitelisted startup pages, also under the earlier section name",
       [](ChromiumScanFixture& f) {
         ASSERT_TRUE(AddWhitelistEntry(f.whitelist, L"Chrome startup pages", kStart));
         ASSERT_TRUE(AddWhitelistEntry(f.whitelist, L"Crome startup pages", kHome));
         static_cast<ChromiumEdgeCases&>(f).WritePreferences(f.HijackedPreferences());
       },
       {{kGroupChromeStartPages, {kWelcome}}}},
      {"a Start Menu Internet command that is only the quoted executable",
       [](ChromiumScanFixture& f) {
         ASSERT_TRUE(WriteStringAt(f.bobRoot + kChromeCommand, L"", L"\"" + f.chromeExe + L"\""));
       },
       {{kGroupChromeShortcuts, {}}}},
      {"a homepage policy that opens the new tab page",
       [&](ChromiumScanFixture& f) {
         auto& c = static_cast<ChromiumEdgeCases&>(f);
         c.Policy(L"HomepageLocation", hijackPolicy);
         c.PolicyNumber(L"HomepageIsNewTabPage", 1);
       },
       {{kGroupChromePolicies, {}}}},
      {"a search policy without a provider name",
       [&](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).Policy(L"DefaultSearchProviderSearchURL", hijackPolicy);
       },
       {{kGroupChromePolicies, {}}}},
      {"startup policy URLs while RestoreOnStartup is 1",
       [&](ChromiumScanFixture& f) {
         auto& c = static_cast<ChromiumEdgeCases&>(f);
         c.PolicyNumber(L"RestoreOnStartup", 1);
         ASSERT_TRUE(WriteStringAt(f.bobRoot + kChromePolicies + L"\\RestoreOnStartupURLs", L"1", hijackPolicy));
       },
       {{kGroupChromePolicies, {}}}},
      {"an extension with a known-good id",
       [](ChromiumScanFixture& f) {
         const std::string text = f.HijackedPreferences();
         std::string changed = text;
         for (size_t at = 0; (at = changed.find("mbjblcjnbcejffjjakcgcokenaddfdaf", at)) != std::string::npos;)
           changed.replace(at, 32, "cjpalhdlnbpafiamejdnhcphjbkeiagm");
         ASSERT_NE(changed, text);
         static_cast<ChromiumEdgeCases&>(f).WritePreferences(changed);
         ASSERT_TRUE(CreateFolderTree(f.bobDefault + L"\\Extensions\\cjpalhdlnbpafiamejdnhcphjbkeiagm\\1.4.2_0"));
       },
       {{kGroupChromeExtensions, {}}}},
      {"an extension whose folder is missing",
       [&](ChromiumScanFixture& f) { test::RemoveTreeForTest(f.bobDefault + L"\\Extensions"); },
       {{kGroupChromeExtensions, {}}}},
      {"an extension loaded from outside the profile is listed but its folder is not filed for deletion",
       [&](ChromiumScanFixture& f) {
         ASSERT_TRUE(CreateFolderTree(f.root + L"\\unpacked"));
         std::string folder;
         for (wchar_t c : f.root + L"\\unpacked") folder += c == L'\\' ? std::string("\\\\") : std::string(1, char(c));
         static_cast<ChromiumEdgeCases&>(f).WithPreferences("\"mbjblcjnbcejffjjakcgcokenaddfdaf\\\\1.4.2_0\"",
                                                            "\"" + folder + "\"");
       },
       {{kGroupChromeExtensions, {root + L"\\unpacked"}}},
       ScanChrome,
       NoExtensionFolderFiled},
      {"an unpacked extension the preferences keep no manifest for is named from its own folder",
       [&](ChromiumScanFixture& f) {
         const std::wstring unpacked = f.root + L"\\SearchHelperPlus\\extension";
         ASSERT_TRUE(CreateFolderTree(unpacked));
         ASSERT_TRUE(WriteBytes(unpacked + L"\\manifest.json", ReadFixture(L"chrome-hijacked\\extension-source\\manifest.json")));
         std::string folder;
         for (wchar_t c : unpacked) folder += c == L'\\' ? std::string("\\\\") : std::string(1, char(c));
         static_cast<ChromiumEdgeCases&>(f).WritePreferences(
             Replaced(ReadFixture(L"chrome-hijacked\\User Data\\Default\\Preferences"),
                      "\"/tmp/fxA/Users/tester/AppData/Local/SearchHelperPlus/extension\"", "\"" + folder + "\""));
       },
       {{kGroupChromeExtensions, {root + L"\\SearchHelperPlus\\extension"}}},
       ScanChrome,
       [](ChromiumScanFixture& f) {
         NoExtensionFolderFiled(f);
         EXPECT_EQ(f.RowsOf(kGroupChromeExtensions).at(0).name, L"Search Helper Plus");
       }},
      {"a relative extension folder leading out of the profile",
       [&](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WithPreferences("\"mbjblcjnbcejffjjakcgcokenaddfdaf\\\\1.4.2_0\"",
                                                            "\"..\\\\..\"");
       },
       {{kGroupChromeExtensions, {bobUserData}}},
       ScanChrome,
       NoExtensionFolderFiled},
      {"a truncated Preferences file",
       [](ChromiumScanFixture& f) {
         const std::string text = f.HijackedPreferences();
         static_cast<ChromiumEdgeCases&>(f).WritePreferences(text.substr(0, text.find(kStartupUrls) + 40));
       },
       {{kGroupChromeStartPages, {}}, {kGroupChromeSearchProviders, {}}, {kGroupChromeExtensions, {}}, kGoesOn}},
      {"an empty Preferences file",
       [](ChromiumScanFixture& f) { static_cast<ChromiumEdgeCases&>(f).WritePreferences(""); },
       {{kGroupChromeStartPages, {}}, {kGroupChromeSearchProviders, {}}, {kGroupChromeExtensions, {}}, kGoesOn}},
      {"a Preferences file that is not JSON",
       [](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WritePreferences("homepage=http://search.example-hijack.test/home\n");
       },
       {{kGroupChromeStartPages, {}}, {kGroupChromeSearchProviders, {}}, {kGroupChromeExtensions, {}}, kGoesOn}},
      {"deeply nested preferences",
       [&](ChromiumScanFixture& f) {
         std::string deep = "{\"homepage\":\"http://a.test/\",\"session\":{\"startup_urls\":";
         deep += std::string(nested.size(), '[') + std::string(nested.size(), ']') + "}}";
         static_cast<ChromiumEdgeCases&>(f).WritePreferences(deep);
       },
       {{kGroupChromeStartPages, {L"http://a.test/"}}, {kGroupChromeSearchProviders, {}}, {kGroupChromeExtensions, {}},
        kGoesOn}},
      {"settings of the wrong types",
       [](ChromiumScanFixture& f) {
         ASSERT_TRUE(WriteBytes(f.bobDefault + L"\\Preferences",
                                "{\"homepage\":5,\"session\":{\"startup_urls\":\"http://a.test/\"},"
                                "\"default_search_provider_data\":{\"template_url_data\":{\"url\":[\"http://a.test/\"]}},"
                                "\"extensions\":{\"settings\":[{\"manifest\":{\"name\":\"x\"}}]}}"));
       },
       {{kGroupChromeStartPages, {}}, {kGroupChromeSearchProviders, {}}, {kGroupChromeExtensions, {}}, kGoesOn}},
      // Whitelisted for the Edge case below too, which lists no extension.
      {"an extension whose name is whitelisted",
       [](ChromiumScanFixture& f) {
         static_cast<ChromiumEdgeCases&>(f).WritePreferences(f.HijackedPreferences());
         ASSERT_TRUE(AddWhitelistEntry(f.whitelist, L"Chrome extensions", L"Search Helper Plus"));
       },
       {{kGroupChromeExtensions, {}}}},
      {"an Edge startup page of about:blank is listed",
       [](ChromiumScanFixture& f) {
         const std::wstring edge = f.bobProfile + kLocal + L"\\Microsoft\\Edge\\User Data\\Default";
         ASSERT_TRUE(CreateFolderTree(edge));
         ASSERT_TRUE(WriteBytes(edge + L"\\Preferences",
                                Replaced(f.HijackedPreferences(), kStartupUrls, "\"startup_urls\":[\"about:blank\"]")));
       },
       {{kGroupEdgeStartPages, {kHome, L"about:blank"}}, {kGroupChromeStartPages, {}}},
       ScanEdge},
  };
  for (const EdgeCase& c : cases) {
    SCOPED_TRACE(c.what);
    WritePreferences(HijackedPreferences());
    ASSERT_TRUE(CreateFolderTree(PlantedExtensionFolder()));
    DeleteKeyTree(bobRoot + kChromePolicies);
    DeleteKeyTree(bobRoot + L"\\Software\\Clients");
    ASSERT_TRUE(WriteStringAt(bobRoot + kChromeCommand, L"", L"\"" + chromeExe + L"\" " + kStartMenuArgument));
    c.seed(*this);
    Scan(c.phase);
    for (const auto& [group, column2] : c.expected) {
      std::vector<std::wstring> seen;
      for (const Seen& row : RowsOf(group)) seen.push_back(row.path);
      EXPECT_EQ(seen, column2) << "group " << group;
    }
    if (c.check) c.check(*this);
  }
}

// Bob's hijacked profile lives in a folder of an unusual name that only
// "Local State" names; a planted name that leads into Carol's profile is
// refused, so that nothing of hers is listed (or later repaired) as Bob's.
TEST_F(ChromiumScanFixture, AProfileListedInLocalStateIsScannedWhateverItsFolderIsNamed) {
  const std::wstring work = bobUserData + L"\\Work Profile 7x";
  ASSERT_TRUE(test::CopyFixtureTree(L"chrome-hijacked\\User Data\\Default", work));
  test::RemoveTreeForTest(bobDefault);
  ASSERT_FALSE(FolderExists(bobDefault));
  ASSERT_TRUE(WriteBytes(
      bobUserData + L"\\Local State",
      Replaced(ReadFixture(L"chrome-hijacked\\User Data\\Local State"), "\"info_cache\":{\"Default\":",
               "\"info_cache\":{\"..\\\\..\\\\..\\\\..\\\\..\\\\carol\\\\AppData\\\\Local\\\\Google\\\\Chrome\\\\User "
               "Data\\\\Default\":{},\"Work Profile 7x\":")));

  Scan();
  std::vector<std::wstring> pages;
  for (const Seen& row : RowsOf(kGroupChromeStartPages)) {
    pages.push_back(row.path);
    EXPECT_EQ(row.user, L"bob");
    EXPECT_EQ(Detail(row, L"Path"), work + L"\\Preferences");
  }
  EXPECT_EQ(pages, (std::vector<std::wstring>{kHome, kStart, kWelcome}));
  ASSERT_EQ(RowsOf(kGroupChromeSearchProviders).size(), 1u);
  EXPECT_NE(report.find(L"\r\n\t\tOption name: Reset Preferences\r\n\t\tUser name: bob\r\n\t\tInfo: " + work +
                        L"\\Preferences" + kUnchecked),
            std::wstring::npos);
  for (const Seen& row : Rows())
    if (row.user == L"bob") EXPECT_FALSE(StartsWithNoCase(Detail(row, L"Path"), carolProfile)) << Narrow(row.name);
}

TEST_F(ChromiumScanFixture, EdgeWithoutProfilesOrExecutableEndsAfterItsFirstSection) {
  Scan(ScanEdge);
  EXPECT_EQ(Narrow(Block(L"\r\n\r\n->Microsoft Edge scan:\r\n")),
            Narrow(L"\r\n\r\n->Microsoft Edge scan:\r\n\r\n\tMS Edge's startup and home pages:\r\n"
                   L"\r\n\tNo Edge profiles have been found:\r\n"));
  EXPECT_EQ(RowCount(TabList(results, kBrowsersTab)), 0);
}

TEST_F(ChromiumScanFixture, EdgeRowsUseEdgesGroupsAndNames) {
  const std::wstring edge = bobProfile + kLocal + L"\\Microsoft\\Edge\\User Data";
  ASSERT_TRUE(test::CopyFixtureTree(L"chrome-hijacked\\User Data", edge));
  ASSERT_TRUE(WriteStringAt(bobRoot + L"\\Software\\Policies\\Microsoft\\Edge", L"HomepageLocation",
                            L"https://www.bing.com/"));
  Scan(ScanEdge);
  std::vector<std::wstring> pages, resets;
  for (const Seen& row : RowsOf(kGroupEdgeStartPages)) pages.push_back(row.path);
  for (const Seen& row : RowsOf(kGroupEdgeResetOptions)) resets.push_back(row.name);
  EXPECT_EQ(pages, (std::vector<std::wstring>{kHome, kStart, kWelcome}));
  EXPECT_EQ(RowsOf(kGroupEdgeSearchProviders).size(), 1u);
  // A known-good policy page is no row, but the policy key can be reset.
  EXPECT_TRUE(RowsOf(kGroupEdgePolicies).empty());
  EXPECT_EQ(resets, (std::vector<std::wstring>{L"Reset Secure Preferences", L"Reset Preferences",
                                               L"Reset MS Edge Policies"}));
  EXPECT_NE(report.find(L"\r\n\t\tOption name: Reset MS Edge Policies\r\n\t\tUser name: bob\r\n\t\tInfo: " + bobRoot +
                        L"\\Software\\Policies\\Microsoft\\Edge\r\n\t\tItem state: Unchecked\r\n"),
            std::wstring::npos);
}

}  // namespace
}  // namespace tavrin
