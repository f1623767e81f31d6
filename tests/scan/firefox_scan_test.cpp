// The Firefox phases run in-process on profile trees made from the real
// Firefox ESR files of tests/browsers/fixtures. Bob has the hijacked profile
// as Firefox and as "Waterfox" (a Firefox-based browser below its own
// vendor folder), plus a shortcut and a Start Menu Internet command in a
// hive of the test's own mounted under HKEY_USERS; Carol has the clean
// profile. The definitions are the project's own data, compiled and
// mounted the way a scan mounts them.
#include "scan/firefox_scan.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../browsers/browser_fixtures.h"
#include "browsers/mozlz4_file.h"
#include "platform/file_system.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "results/details_files.h"
#include "scan/scan_parts.h"
#include "scan/scan_phases.h"
#include "scan/scan_session.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"

namespace tavrin {
namespace {

using test::WriteBytes;

constexpr wchar_t kRoaming[] = L"\\AppData\\Roaming";
constexpr wchar_t kHijackedProfile[] = L"Profiles\\zba2o41x.default-release";
constexpr wchar_t kCleanProfile[] = L"Profiles\\aokil2zj.default-esr";
constexpr char kLinuxXpi[] =
    "/tmp/fxA/ff-hijacked-home/.config/mozilla/firefox/Profiles/zba2o41x.default-release/extensions/"
    "searchhelperplus@example-hijack.test.xpi";
constexpr wchar_t kChecked[] = L"\r\n\t\tItem state: Checked\r\n";
constexpr wchar_t kUnchecked[] = L"\r\n\t\tItem state: Unchecked\r\n";

using test::NarrowText;
using Seen = test::BrowserRow;

std::string JsonEscaped(const std::wstring& path) {
  std::string out;
  for (wchar_t c : path) {
    if (c == L'\\') out += "\\\\";
    else out += char(c);
  }
  return out;
}

using test::Replaced;

class FirefoxScanFixture : public ::testing::Test, public test::ScanParts {
 public:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    pid = std::to_wstring(GetCurrentProcessId());

    ASSERT_EQ(NarrowText(CompileProjectDefinitions(L"HKCU\\Software\\TavrinTest-" + pid + L"-firefox-db")), "");

    root = L"C:\\ProgramData\\TavrinTest-firefox-" + pid;
    bobProfile = root + L"\\bob";
    carolProfile = root + L"\\carol";
    firefoxData = bobProfile + kRoaming + L"\\Mozilla\\Firefox";
    waterfoxData = bobProfile + kRoaming + L"\\Waterfox";
    bobFirefox = firefoxData + L"\\" + kHijackedProfile;
    bobWaterfox = waterfoxData + L"\\" + kHijackedProfile;
    carolFirefox = carolProfile + kRoaming + L"\\Mozilla\\Firefox\\" + kCleanProfile;
    firefoxInstall = root + L"\\Mozilla Firefox";
    waterfoxInstall = root + L"\\Waterfox";
    firefoxExe = firefoxInstall + L"\\firefox.exe";
    ASSERT_TRUE(test::CopyFixtureTree(L"firefox-hijacked\\Mozilla\\Firefox", firefoxData));
    ASSERT_TRUE(test::CopyFixtureTree(L"firefox-hijacked\\Mozilla\\Firefox", waterfoxData));
    ASSERT_TRUE(test::CopyFixtureTree(L"firefox-clean\\Mozilla\\Firefox", carolProfile + kRoaming + L"\\Mozilla\\Firefox"));
    // The profiles remember where the browser was installed, as on Windows.
    for (const auto& [profile, install] : {std::pair{bobFirefox, firefoxInstall}, std::pair{bobWaterfox, waterfoxInstall}}) {
      ASSERT_TRUE(CreateFolderTree(install));
      ASSERT_TRUE(WriteBytes(profile + L"\\compatibility.ini",
                             Replaced(Fixture(L"firefox-hijacked\\Mozilla\\Firefox\\" + std::wstring(kHijackedProfile) +
                                              L"\\compatibility.ini"),
                                      "LastPlatformDir=/usr/lib/firefox-esr",
                                      "LastPlatformDir=" + NarrowText(install))));
    }
    ASSERT_TRUE(WriteBytes(firefoxExe, "MZ firefox"));
    ASSERT_TRUE(WriteBytes(waterfoxInstall + L"\\Waterfox.exe", "MZ waterfox"));

    ASSERT_TRUE(bob.Mount(L"S-1-5-21-7-7-7-" + pid, L"HKCU\\Software\\TavrinTest-" + pid + L"-firefox-bob",
                          scratch / L"bob.dat"));
    bobSid = bob.sid;
    bobRoot = bob.Root();

    WireScan(L"http://127.0.0.1:9");
  }

  void TearDown() override {
    test::RemoveTreeForTest(root);
    CoUninitialize();
  }

  static std::string Fixture(const std::wstring& relative) { return test::ReadBytes(test::BrowserFixture(relative)); }

  // The hijacked extensions.json with the sideloaded add-on's path where
  // Windows Firefox would record it, or at `path`.
  std::string Extensions(const std::wstring& path) const {
    return Replaced(Fixture(L"firefox-hijacked\\Mozilla\\Firefox\\" + std::wstring(kHijackedProfile) +
                            L"\\extensions.json"),
                    std::string("\"path\":\"") + kLinuxXpi + "\"", "\"path\":\"" + JsonEscaped(path) + "\"");
  }
  std::wstring Xpi(const std::wstring& profile) const {
    return profile + L"\\extensions\\searchhelperplus@example-hijack.test.xpi";
  }

  void Scan() {
    static std::vector<UserProfile> added;
    added = {{bobSid, bobProfile, L"bob"}, {L"S-1-5-21-6-6-6-" + pid, carolProfile, L"carol"}};
    const ScanPhase phases[] = {{6, nullptr,
                                 [](ScanEnvironment& scan) {
                                   auto& users = scan.session->users;
                                   auto& names = scan.session->userDisplayNames;
                                   users.insert(users.begin(), added.begin(), added.end());
                                   names.insert(names.begin(), {added[0].accountName, added[1].accountName});
                                 }},
                                {47, nullptr, ScanFirefox},
                                {52, nullptr, ScanOtherFirefox}};
    ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
    ASSERT_TRUE(ReadTextFile(session.reportPath, report));
  }

  std::wstring Block(const std::wstring& title) const { return test::ReportBlock(report, title); }
  std::vector<Seen> RowsOf(int group) { return BrowserRows(group); }
  std::wstring Detail(const Seen& row, const wchar_t* key) { return BrowserDetail(row, key); }

  std::wstring pid, root, bobProfile, carolProfile, firefoxData, waterfoxData, bobFirefox, bobWaterfox, carolFirefox,
      firefoxInstall, waterfoxInstall, firefoxExe, bobSid, bobRoot, report;
  test::TestUserHive bob;
};

TEST_F(FirefoxScanFixture, HijackedProfilesAreListedExactlyAndTheCleanOneOnlyOffersResets) {
  ASSERT_TRUE(WriteBytes(bobFirefox + L"\\extensions.json", Extensions(Xpi(bobFirefox))));
  ASSERT_TRUE(WriteBytes(bobWaterfox + L"\\extensions.json", Extensions(Xpi(bobWaterfox))));
  const std::wstring desktop = bobProfile + L"\\Desktop";
  ASSERT_TRUE(CreateFolderTree(desktop));
  ASSERT_TRUE(test::MakeShortcut(desktop + L"\\Firefox.lnk", firefoxExe, L"http://portal.example-hijack.test/"));
  const std::wstring command = bobRoot + L"\\Software\\Clients\\StartMenuInternet\\Firefox-308046B0AF4A39CB\\shell\\open\\command";
  ASSERT_TRUE(WriteStringAt(command, L"", L"\"" + firefoxExe + L"\" -url \"http://portal.example-hijack.test/menu\""));
  // Not Firefox's: only clients whose name begins with "Firefox" are read.
  ASSERT_TRUE(WriteStringAt(bobRoot + L"\\Software\\Clients\\StartMenuInternet\\Other\\shell\\open\\command", L"",
                            L"\"" + firefoxExe + L"\" http://portal.example-hijack.test/other"));
  // Search plug-ins beside Waterfox: one planted, one built in, and files
  // that are no plug-in at all.
  const std::string plugin =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SearchPlugin xmlns=\"http://www.mozilla.org/2006/browser/search/\">\n"
      "<ShortName> Hijack Search </ShortName>\n<Url type=\"text/html\" template=\"http://search.example-hijack.test/\"/>\n"
      "</SearchPlugin>\n";
  ASSERT_TRUE(WriteBytes(waterfoxInstall + L"\\hijack.xml", plugin));
  ASSERT_TRUE(WriteBytes(waterfoxInstall + L"\\Bing.XML", plugin));
  ASSERT_TRUE(WriteBytes(waterfoxInstall + L"\\garbage.xml", std::string("\x01\xff<ShortName>x</ShortName>\x00zz", 29)));
  ASSERT_TRUE(WriteBytes(waterfoxInstall + L"\\firefox.VisualElementsManifest.xml",
                         "<Application><VisualElements ShowNameOnSquare150x150Logo=\"on\"/></Application>"));

  Scan();

  const std::wstring bob = L"\r\n\t\tUser name: bob";
  const std::wstring prefs = bobFirefox + L"\\prefs.js";
  const std::wstring carolResets =
      L"\r\n\t\tOption name: Reset Firefox Extensions\r\n\t\tUser name: carol\r\n\t\tPath: " + carolFirefox +
      L"\\extensions.json" + kUnchecked + L"\r\n\t\tOption name: Reset Firefox Settings\r\n\t\tUser name: carol\r\n\t\tPath: " +
      carolFirefox + L"\\prefs.js" + kUnchecked;
  auto bobResets = [&](const std::wstring& browser, const std::wstring& profile) {
    return L"\r\n\t\tOption name: Reset " + browser + L" Extensions" + bob + L"\r\n\t\tPath: " + profile +
           L"\\extensions" + kUnchecked + L"\r\n\t\tOption name: Reset " + browser + L" Settings" + bob +
           L"\r\n\t\tPath: " + profile + L"\\prefs.js" + kUnchecked + L"\r\n\t\tOption name: Reset " + browser +
           L" User Preferences" + bob + L"\r\n\t\tPath: " + profile + L"\\user.js" + kUnchecked;
  };
  EXPECT_EQ(NarrowText(Block(L"\r\n\r\n->Mozilla Firefox scan:\r\n")),
            NarrowText(L"\r\n\r\n->Mozilla Firefox scan:\r\n"
                   L"\r\n\tFirefox startup pages:\r\n"
                   L"\r\n\t\tStartup homepage: http://search.example-hijack.test/home|http://portal.example-hijack.test/welcome" +
                   bob + L"\r\n\t\tPath: " + prefs + kChecked +
                   L"\r\n\tFirefox search plug-ins:\r\n"
                   L"\r\n\t\tSearch provider: Example Hijack Search" + bob + L"\r\n\t\tPath: " + prefs + kChecked +
                   L"\r\n\t\tPlugin name: Search Helper Plus" + bob + L"\r\n\t\tPath: " + bobFirefox +
                   L"\\search.json.mozlz4" + kUnchecked +
                   L"\r\n\tFirefox extensions:\r\n"
                   L"\r\n\t\tExtension name: Search Helper Plus" + bob + L"\r\n\t\tPath: " + Xpi(bobFirefox) + kChecked +
                   L"\r\n\tFirefox shortcuts:\r\n"
                   L"\r\n\t\tShortcut path: " + desktop + L"\\Firefox.lnk" + bob +
                   L"\r\n\t\tBrowser: Mozilla Firefox\r\n\t\tArguments: http://portal.example-hijack.test/" + kChecked +
                   L"\r\n\t\tStart Menu Internet shortcut argument: -url http://portal.example-hijack.test/menu" + bob +
                   kChecked +
                   L"\r\n\tFirefox reset options:\r\n" + bobResets(L"Firefox", bobFirefox) + carolResets));

  const std::wstring waterfox = bob + L"\r\n\t\tBrowser: Waterfox";
  const std::wstring waterfoxPrefs = bobWaterfox + L"\\prefs.js";
  EXPECT_EQ(NarrowText(Block(L"\r\n\r\n->Other Firefox browsers scan:\r\n")),
            NarrowText(L"\r\n\r\n->Other Firefox browsers scan:\r\n"
                   L"\r\n\tStartup pages:\r\n"
                   L"\r\n\t\tStartup homepage: http://search.example-hijack.test/home|http://portal.example-hijack.test/welcome" +
                   waterfox + L"\r\n\t\tPath: " + waterfoxPrefs + kChecked +
                   L"\r\n\tOther Firefox browsers search plug-ins:\r\n"
                   L"\r\n\t\tSearch provider: Example Hijack Search" + waterfox + L"\r\n\t\tPath: " + waterfoxPrefs +
                   kChecked +
                   L"\r\n\t\tPlugin name: Search Helper Plus" + waterfox + L"\r\n\t\tPath: " + bobWaterfox +
                   L"\\search.json.mozlz4" + kUnchecked +
                   L"\r\n\t\tPlugin name: Hijack Search\r\n\t\tUser name: (All users)\r\n\t\tBrowser: Waterfox\r\n\t\tPath: " +
                   waterfoxInstall + L"\\hijack.xml" + kUnchecked +
                   L"\r\n\tOther Firefox browsers extensions:\r\n"
                   L"\r\n\t\tExtension name: Search Helper Plus" + waterfox + L"\r\n\t\tPath: " + Xpi(bobWaterfox) +
                   kChecked +
                   L"\r\n\tOther Firefox browsers shortcuts:\r\n"
                   L"\r\n\tOther Firefox browsers reset options:\r\n" + bobResets(L"Waterfox", bobWaterfox)));

  // What the repair reads back.
  const std::vector<Seen> pages = RowsOf(kGroupFirefoxStartPages);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].name, L"Startup homepage");
  EXPECT_TRUE(pages[0].checked);
  EXPECT_EQ(Detail(pages[0], L"Path"), prefs);
  EXPECT_EQ(Detail(pages[0], L"Value name"), L"browser.startup.homepage");
  EXPECT_EQ(Detail(pages[0], L"Group ID"), L"51");

  const std::vector<Seen> search = RowsOf(kGroupFirefoxSearchPlugins);
  ASSERT_EQ(search.size(), 2u);
  EXPECT_EQ(search[0].name, L"Firefox default search provider");
  EXPECT_EQ(Detail(search[0], L"Value name"), L"browser.search.defaultenginename");
  EXPECT_EQ(Detail(search[0], L"Value data"), L"Example Hijack Search");
  // The add-on's engine in the compressed search settings: installed, not
  // the default (Firefox asked first and nobody answered).
  EXPECT_EQ(search[1].name, L"Search Helper Plus");
  EXPECT_EQ(search[1].user, L"bob");
  EXPECT_EQ(search[1].column2, L"https://search.example-hijack.test/?q={searchTerms}");
  EXPECT_FALSE(search[1].checked);
  EXPECT_EQ(Detail(search[1], L"Path"), bobFirefox + L"\\search.json.mozlz4");
  EXPECT_EQ(Detail(search[1], L"Value name"), L"searchhelperplus@example-hijack.testdefault");
  EXPECT_EQ(Detail(search[1], L"Value data"), L"Search Helper Plus");
  EXPECT_EQ(Detail(search[1], L"URL"), L"https://search.example-hijack.test/?q={searchTerms}");

  const std::vector<Seen> extensions = RowsOf(kGroupFirefoxExtensions);
  ASSERT_EQ(extensions.size(), 1u);
  EXPECT_EQ(Detail(extensions[0], L"JSONPath"), bobFirefox + L"\\extensions.json");
  EXPECT_EQ(Detail(extensions[0], L"Registry Key"), L"addons");
  EXPECT_EQ(Detail(extensions[0], L"Value name"), L"searchhelperplus@example-hijack.test");
  EXPECT_EQ(Detail(extensions[0], L"Path"), Xpi(bobFirefox));

  const std::vector<Seen> shortcuts = RowsOf(kGroupFirefoxShortcuts);
  ASSERT_EQ(shortcuts.size(), 2u);
  EXPECT_EQ(Detail(shortcuts[1], L"Registry Key"), command);
  EXPECT_EQ(Detail(shortcuts[1], L"Path"), firefoxExe);
  EXPECT_EQ(Detail(shortcuts[1], L"Value data"), L"-url http://portal.example-hijack.test/menu");

  for (const Seen& row : RowsOf(kGroupFirefoxResetOptions)) EXPECT_FALSE(row.checked) << NarrowText(row.name);

  const std::vector<Seen> otherPlugins = RowsOf(kGroupOtherFirefoxSearchPlugins);
  ASSERT_EQ(otherPlugins.size(), 3u);
  EXPECT_EQ(otherPlugins[0].name, L"Waterfox default search provider");
  EXPECT_EQ(otherPlugins[1].name, L"Search Helper Plus");
  EXPECT_EQ(Detail(otherPlugins[1], L"CLSID"), L"Waterfox");
  EXPECT_EQ(otherPlugins[2].name, L"Hijack Search");
  EXPECT_EQ(otherPlugins[2].user, L"(All users)");
  EXPECT_FALSE(otherPlugins[2].checked);
  EXPECT_EQ(Detail(otherPlugins[2], L"Path"), waterfoxInstall + L"\\hijack.xml");
  EXPECT_EQ(Detail(otherPlugins[2], L"CLSID"), L"Waterfox");
  EXPECT_EQ(RowsOf(kGroupOtherFirefoxStartPages).at(0).name, L"Waterfox startup homepage");
}

// The compressed search settings with the add-on's engine chosen as
// default, an engine of the user's own that searches Google, and one that
// claims to be Firefox's own: only the chosen hijacker is a row, as the
// profile's default search provider.
TEST_F(FirefoxScanFixture, AnEngineChosenAsDefaultIsTheDefaultRowAndFirefoxsOwnAreNever) {
  std::string json = Fixture(L"firefox-hijacked\\Mozilla\\Firefox\\" + std::wstring(kHijackedProfile) +
                             L"\\search.json.decoded");
  json = Replaced(json, R"("_extensionID":"searchhelperplus@example-hijack.test"})",
                  R"("_extensionID":"searchhelperplus@example-hijack.test"},)"
                  R"({"id":"own","_name":"Own Google","_loadPath":"[user]","_urls":[{"template":"https://www.google.com/search",)"
                  R"("params":[{"name":"q","value":"{searchTerms}"}]}]},)"
                  R"({"id":"fake","_name":"Fake","_isConfigEngine":true,"_urls":[{"template":"https://fake.example-hijack.test/"}]})");
  json = Replaced(json, R"("appDefaultEngineId":"google")",
                  R"("appDefaultEngineId":"google","defaultEngineId":"searchhelperplus@example-hijack.testdefault","defaultEngineIdHash":"x")");
  std::string file;
  ASSERT_TRUE(EncodeMozLz4(json, file));
  ASSERT_TRUE(WriteBytes(bobFirefox + L"\\search.json.mozlz4", file));

  Scan();

  const std::wstring settings = bobFirefox + L"\\search.json.mozlz4";
  EXPECT_NE(Block(L"\r\n\tFirefox search plug-ins:\r\n")
                .find(L"\r\n\t\tSearch provider: Search Helper Plus\r\n\t\tUser name: bob\r\n\t\tPath: " + settings +
                      kChecked + L"\r\n\tFirefox extensions:"),
            std::wstring::npos);
  const std::vector<Seen> search = RowsOf(kGroupFirefoxSearchPlugins);
  ASSERT_EQ(search.size(), 2u);  // the prefs.js choice, then this one
  EXPECT_EQ(search[1].name, L"Firefox default search provider");
  EXPECT_EQ(search[1].column2, L"Search Helper Plus");
  EXPECT_TRUE(search[1].checked);
  EXPECT_EQ(Detail(search[1], L"Path"), settings);
  EXPECT_EQ(Detail(search[1], L"Value name"), L"searchhelperplus@example-hijack.testdefault");
}

// extensions.json is written by whoever runs as the user: an add-on may not
// pass as the browser's own by its id or name, and a path that leads out
// of the profile's "extensions" folder is never offered for deletion.
TEST_F(FirefoxScanFixture, AddOnsAreJudgedByWhereTheBrowserInstalledThem) {
  const std::string element =
      "{\"id\":\"%ID%\",\"location\":\"%LOC%\",\"defaultLocale\":{\"name\":\"%NAME%\"},\"path\":\"%PATH%\"}";
  auto addon = [&](const std::string& id, const std::string& location, const std::string& name, const std::wstring& path) {
    std::string text = element;
    text = Replaced(text, "%ID%", id);
    text = Replaced(text, "%LOC%", location);
    text = Replaced(text, "%NAME%", name);
    return Replaced(text, "%PATH%", JsonEscaped(path));
  };
  const std::wstring inside = bobFirefox + L"\\extensions\\helper@example-hijack.test";
  const std::string addons =
      "{\"schemaVersion\":37,\"addons\":[" +
      addon("newtab@mozilla.org", "app-builtin-addons", "New Tab", L"C:\\builtin\\newtab") + "," +
      addon("fake@mozilla.org", "app-profile", "Fake Mozilla", inside) + "," +
      addon("default-like@example-hijack.test", "app-profile", "Default", inside) + "," +
      addon("x@mozilla.org.example-hijack.test", "app-system-share", "Suffix In The Middle", inside) + "," +
      addon("outside@example-hijack.test", "app-profile", "Outside", L"C:\\Windows\\System32") + "," +
      addon("climb@example-hijack.test", "app-profile", "Climb", bobFirefox + L"\\extensions\\..\\..\\..") + "," +
      "{\"id\":\"nopath@example-hijack.test\",\"location\":\"app-profile\",\"defaultLocale\":{\"name\":\"No Path\"}}," +
      addon("ublock@example-hijack.test", "app-profile", "uBlock Origin", inside) + "]}";
  ASSERT_TRUE(WriteBytes(bobFirefox + L"\\extensions.json", addons));
  ASSERT_TRUE(CreateFolderTree(inside));
  // The add-on whose id the definitions list as known-good.
  ASSERT_TRUE(WriteBytes(bobWaterfox + L"\\extensions.json",
                         "{\"addons\":[" + addon("uBlock0@raymondhill.net", "app-profile", "uBlock Origin", inside) + "]}"));

  Scan();

  const std::vector<Seen> rows = RowsOf(kGroupFirefoxExtensions);
  std::vector<std::wstring> names;
  for (const Seen& row : rows) names.push_back(row.name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Fake Mozilla", L"Default", L"Suffix In The Middle", L"Outside", L"Climb",
                                               L"uBlock Origin"}));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(Detail(rows[0], L"Path"), inside);
  EXPECT_EQ(Detail(rows[3], L"Path"), L"");
  EXPECT_EQ(Detail(rows[3], L"Extension path"), L"C:\\Windows\\System32");
  EXPECT_EQ(Detail(rows[4], L"Path"), L"");
  EXPECT_TRUE(RowsOf(kGroupOtherFirefoxExtensions).empty());
}

// Files a user or a program can write, damaged: no row of a hijack and no
// crash; the reset options still offer the files that exist.
TEST_F(FirefoxScanFixture, DamagedFilesGiveNoFindings) {
  // Lines a browser would not read, then the real settings on a line
  // after a very long one: the engine written in lower case is Google.
  const std::string prefs =
      "user_pref(\"browser.startup.homepage\", http://unquoted.example-hijack.test/\n"
      "user_pref(\"browser.search.defaultenginename\" \"Missing Comma\");\n"
      "user_pref('browser.startup.homepage', 'http://single.example-hijack.test/');\n"
      "user_pref(\"browser.startup.homepage\"\"\", \"http://doubled.example-hijack.test/\");\n"
      "user_pref(\"some.long.pref\", \"" + std::string(300000, 'a') + "\");\n"
      "user_pref(\"browser.startup.homepage\", \"https://www.google.com/\");\r\n"
      "user_pref(\"browser.search.defaultenginename\", \"google\");\n";
  ASSERT_TRUE(WriteBytes(bobFirefox + L"\\prefs.js", prefs));
  ASSERT_TRUE(WriteBytes(bobFirefox + L"\\extensions.json", "{\"addons\":[{\"id\":\"a@b\",\"defaultLocale\":"));
  ASSERT_TRUE(WriteBytes(bobWaterfox + L"\\extensions.json", std::string(100000, '[')));
  ASSERT_TRUE(WriteBytes(bobWaterfox + L"\\prefs.js", "\xEF\xBB\xBFuser_pref(\"browser.startup.homepage\", \"\");"));
  ASSERT_TRUE(WriteBytes(carolProfile + kRoaming + L"\\Mozilla\\Firefox\\profiles.ini",
                         "[Profile0\nPath=..\\..\\..\\..\nIsRelative=1\n[Profile1]\nPath=C:\\Windows\nIsRelative=0\n"));
  ASSERT_TRUE(WriteBytes(waterfoxInstall + L"\\broken.xml", "<SearchPlugin><ShortName>Never closed"));
  ASSERT_TRUE(WriteBytes(waterfoxInstall + L"\\binary.xml", std::string("\0\0\xfe\xff\x12", 5)));
  // Search settings that are not Firefox's compressed JSON: the hijacked
  // file cut short, and one whose block holds no JSON.
  const std::string settings = Fixture(L"firefox-hijacked\\Mozilla\\Firefox\\" + std::wstring(kHijackedProfile) +
                                       L"\\search.json.mozlz4");
  ASSERT_TRUE(WriteBytes(bobFirefox + L"\\search.json.mozlz4", settings.substr(0, settings.size() - 40)));
  std::string notJson;
  ASSERT_TRUE(EncodeMozLz4("engines: https://search.example-hijack.test/", notJson));
  ASSERT_TRUE(WriteBytes(bobWaterfox + L"\\search.json.mozlz4", notJson));

  Scan();

  EXPECT_TRUE(RowsOf(kGroupFirefoxStartPages).empty());
  EXPECT_TRUE(RowsOf(kGroupFirefoxSearchPlugins).empty());
  EXPECT_TRUE(RowsOf(kGroupFirefoxExtensions).empty());
  EXPECT_TRUE(RowsOf(kGroupOtherFirefoxExtensions).empty());
  EXPECT_TRUE(RowsOf(kGroupOtherFirefoxStartPages).empty());
  // The broken plug-in still has its element; only the binary one is out.
  const std::vector<Seen> plugins = RowsOf(kGroupOtherFirefoxSearchPlugins);
  ASSERT_EQ(plugins.size(), 1u);
  EXPECT_EQ(plugins[0].name, L"broken");
  for (const Seen& row : RowsOf(kGroupFirefoxResetOptions)) EXPECT_EQ(row.user, L"bob") << NarrowText(row.name);
}

}  // namespace
}  // namespace tavrin
