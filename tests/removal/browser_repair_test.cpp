// The browser repair in-process on rows the test files itself: the walk
// that cuts list elements, the edge cases of the Chromium rows, and the
// rows whose details point where nothing may be deleted.
#include "removal/browser_repair.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browsers/mozlz4_file.h"
#include "browsers/preference_document.h"
#include "browsers/preference_elements.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/registry_unlock.h"
#include "platform/users.h"
#include "removal/browser_repair_row.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "scan/known_folders.h"
#include "scan/scan_session.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

TEST(PreferenceElements, EveryPickedElementGoesAndNoNeighbourIsPassedOver) {
  struct Case {
    const wchar_t* text;
    int cut;
    const wchar_t* after;
  } const cases[] = {
      {LR"({"l":["x","x","a","x","x","b","x"]})", 5, LR"({"l":["a","b"]})"},
      {LR"({"l":["x"]})", 1, LR"({"l":[]})"},
      {LR"({"l":[ "a" , "x" ]})", 1, LR"({"l":[ "a" ]})"},
      {LR"({"l":["a",{"x":1},"b"]})", 0, LR"({"l":["a",{"x":1},"b"]})"},
      {LR"({"l":"x"})", 0, LR"({"l":"x"})"},
      {LR"({"l":["\u0078","y"]})", 1, LR"({"l":["y"]})"},
  };
  for (const Case& c : cases) {
    PreferenceDocument document{std::wstring(c.text)};
    EXPECT_EQ(DeleteMatchingElements(document, L"l",
                                     [](const PreferenceDocument& d, const PreferenceNode& e) {
                                       return ElementIsString(d, e, L"x");
                                     }),
              c.cut)
        << c.text;
    EXPECT_EQ(document.Text(), c.after);
  }
}

constexpr wchar_t kPolicySuffix[] = L"\\Software\\Policies\\Google\\Chrome";

class BrowserRepairFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartNewResults(results, scratch.Path(), 4242));
    scan.folders = ResolveKnownFolders(nullptr, L"");
    InteractiveUser console;
    ASSERT_FALSE(scan.folders.profile.empty());
    scan.users.push_back({console.Sid(), scan.folders.profile, console.AccountName()});
    session.scan = &scan;
    session.results = &results;
    ASSERT_TRUE(session.report.Open(scratch / L"report.txt"));
    // A profile inside the account's profile folder, where the scans find them.
    base = scan.folders.profile + L"\\AppData\\Local\\TavrinTest-" + pid;
    profile = base + L"\\User Data\\Default";
    ASSERT_TRUE(CreateFolderTree(profile + L"\\Extensions"));
  }

  void TearDown() override {
    test::RemoveTreeForTest(base);
    DeleteKeyTree(scan.users[0].RegistryRoot() + L"\\Software\\Clients\\StartMenuInternet\\TavrinTest-" + pid);
    for (const wchar_t* value : {L"DefaultSearchProviderSearchURL", L"DefaultSearchProviderName"})
      DeleteValueAt(scan.users[0].RegistryRoot() + kPolicySuffix, value);
  }

  void Add(int group, const std::wstring& name, const std::wstring& column2, ScanItemDetails details) {
    ResultList list = TabList(results, kBrowsersTab);
    const int row = AddRow(list, group, name, L"tester", column2, true);
    ASSERT_GE(row, 0);
    details.group = group;
    details.userName = L"tester";
    ASSERT_GT(StoreDetails(list, GetRowKey(list, row), details), 0);
  }

  ScanItemDetails PreferenceRow(const std::wstring& file, const std::wstring& jsonPath, const std::wstring& url) {
    ScanItemDetails details;
    details.path = file;
    details.registryKey = jsonPath;
    details.jsonPath = jsonPath;
    details.url = url;
    return details;
  }

  // The report lines after the step's heading.
  std::wstring Lines() {
    session.report.Finish(0);
    std::string bytes = test::ReadBytes(session.report.Path());
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    const std::wstring heading = L"\r\n->Begin repair of the selected Internet Browser items...\r\n\r\n";
    const size_t at = text.find(heading);
    const size_t end = text.find(L"\r\n->End of the removal process.");
    if (at == std::wstring::npos || end == std::wstring::npos) return text;
    return text.substr(at + heading.size(), end - at - heading.size());
  }

  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  test::ScratchFolder scratch;
  ResultSet results;
  ScanSession scan;
  RemovalSession session;
  std::wstring base, profile;
};

TEST_F(BrowserRepairFixture, EachStartupRowTakesItsOwnAddressAndLeavesTheRest) {
  const std::wstring prefs = profile + L"\\Preferences";
  ASSERT_TRUE(test::WriteBytes(
      prefs, R"({"session":{"restore_on_startup":4,"startup_urls":["http://a.test/","http://mine.test/","http://b.test/","http://a.test/"]}})"));
  Add(42, L"Startup page", L"http://a.test/", PreferenceRow(prefs, L"session->startup_urls", L"http://a.test/"));
  Add(42, L"Startup page", L"http://b.test/", PreferenceRow(prefs, L"session->startup_urls", L"http://b.test/"));
  // A row whose address the user already took out counts as repaired.
  Add(42, L"Startup page", L"http://gone.test/", PreferenceRow(prefs, L"session->startup_urls", L"http://gone.test/"));

  RepairBrowserItems(session);
  EXPECT_EQ(test::ReadBytes(prefs), R"({"session":{"restore_on_startup":4,"startup_urls":["http://mine.test/"]}})");
  const std::wstring line = L"\tSuccessfully fixed Chrome's \"Startup page\" for tester.\r\n";
  EXPECT_EQ(Lines(), line + L"\r\n" + line + L"\r\n" + line);
  EXPECT_EQ(session.succeededCount, 3);
  EXPECT_EQ(RowCount(TabList(results, kBrowsersTab)), 0);
}

TEST_F(BrowserRepairFixture, AnExtensionEditKeepsTheFileTimesAndDeletesOnlyInsideItsExtensionsFolder) {
  const std::wstring prefs = profile + L"\\Secure Preferences";
  const std::string text =
      R"({"extensions":{"settings":{"aaaa":{"path":"aaaa\\1_0"},"bbbb":{"path":"x"},"cccc":{"path":"y"},"dddd":{"path":"z"},"eeee":{}}}})";
  ASSERT_TRUE(test::WriteBytes(prefs, text));
  FileTimes old;
  ASSERT_TRUE(ReadFileTimes(prefs, old));
  old.lastWrite.dwHighDateTime -= 0x100;  // a day or so earlier
  ASSERT_TRUE(WriteFileTimes(prefs, old));
  const std::wstring own = profile + L"\\Extensions\\aaaa\\1_0";
  const std::wstring sibling = base + L"\\User Data\\Default\\Sibling";
  ASSERT_TRUE(CreateFolderTree(own));
  ASSERT_TRUE(test::WriteBytes(own + L"\\manifest.json", "{}"));
  ASSERT_TRUE(CreateFolderTree(sibling));

  ScanItemDetails details = PreferenceRow(prefs, L"extensions->settings->aaaa", L"");
  details.extensionPath = own;
  Add(44, L"Own", own, details);
  // Rows whose folder is not inside the profile's own extension folder:
  // beside it, reached through "..", or the extensions folder itself.
  // They fail as a whole: settings and folders stay.
  for (const auto& [id, folder] : {std::pair<std::wstring, std::wstring>{L"bbbb", sibling},
                                   {L"cccc", profile + L"\\Extensions\\..\\Sibling"},
                                   {L"dddd", profile + L"\\Extensions"}}) {
    details = PreferenceRow(prefs, L"extensions->settings->" + id, L"");
    details.extensionPath = folder;
    Add(44, id, folder, details);
  }
  // A folder the user already deleted: the entry goes, and the row with it.
  details = PreferenceRow(prefs, L"extensions->settings->eeee", L"");
  details.extensionPath = profile + L"\\Extensions\\eeee\\2_0";
  Add(44, L"Deleted by hand", details.extensionPath, details);

  RepairBrowserItems(session);
  EXPECT_FALSE(FolderExists(own));
  EXPECT_TRUE(FolderExists(sibling));
  EXPECT_TRUE(FolderExists(profile + L"\\Extensions"));
  FileTimes now;
  ASSERT_TRUE(ReadFileTimes(prefs, now));
  // Wine keeps no creation time of its own to put back; the write time
  // is what the browser looks at.
  EXPECT_EQ(CompareFileTime(&now.lastWrite, &old.lastWrite), 0);
  PreferenceDocument edited;
  edited.Load(prefs);
  PreferenceNode node;
  EXPECT_FALSE(edited.FindNode(L"extensions->settings->aaaa", node));
  EXPECT_FALSE(edited.FindNode(L"extensions->settings->eeee", node));
  for (const wchar_t* kept : {L"bbbb", L"cccc", L"dddd"})
    EXPECT_TRUE(edited.FindNode(std::wstring(L"extensions->settings->") + kept, node)) << kept;
  const std::wstring failed = L"\tFailed to remove Chrome's extension \"";
  EXPECT_EQ(Lines(), L"\tSuccessfully removed Chrome's extension \"Deleted by hand\" for tester.\r\n\r\n" + failed +
                         L"dddd\" for tester.\r\n\r\n" + failed + L"cccc\" for tester.\r\n\r\n" + failed +
                         L"bbbb\" for tester.\r\n\r\n\tSuccessfully removed Chrome's extension \"Own\" for tester.\r\n");
  EXPECT_EQ(RowCount(TabList(results, kBrowsersTab)), 3);
}

TEST_F(BrowserRepairFixture, FilesAndKeysOutsideTheirPlacesAreLeftAlone) {
  // A reset of a "Preferences" reached through "..", one in a folder that
  // is no browser profile, and a policy reset of a key that is not the
  // browser's.
  const std::wstring prefs = profile + L"\\Preferences";
  ASSERT_TRUE(test::WriteBytes(prefs, R"({"homepage":"http://h.test/"})"));
  const std::wstring outside = scratch / L"Preferences";
  ASSERT_TRUE(test::WriteBytes(outside, "{}"));
  const std::wstring foreign = scan.users[0].RegistryRoot() + L"\\Software\\Policies\\Microsoft\\Windows\\TavrinTest-" + pid;
  ASSERT_TRUE(WriteDwordAt(foreign, L"Keep", 1));
  ScanItemDetails details;
  details.path = profile + L"\\..\\Default\\Preferences";
  Add(46, L"Reset Preferences", details.path, details);
  details.path = outside;
  Add(46, L"Reset Preferences", details.path, details);
  details = {};
  details.registryKey = foreign;
  Add(46, L"Reset Chrome Policies", foreign, details);
  // The home page row through "..": not edited either.
  Add(42, L"Home page", L"http://h.test/",
      PreferenceRow(profile + L"\\..\\Default\\Preferences", L"homepage", L"http://h.test/"));

  RepairBrowserItems(session);
  EXPECT_TRUE(FileExists(prefs));
  EXPECT_EQ(test::ReadBytes(prefs), R"({"homepage":"http://h.test/"})");
  EXPECT_TRUE(FileExists(outside));
  EXPECT_TRUE(KeyExists(foreign, L"Keep"));
  DeleteKeyTree(foreign);
  EXPECT_EQ(session.succeededCount, 0);
  EXPECT_EQ(session.processedCount, 4);
  EXPECT_EQ(Lines(), L"\tFailed to fix Chrome's \"Home page\" for tester.\r\n\r\n"
                     L"\tFailed to reset Chrome's Policies  for tester.\r\n\r\n"
                     L"\tFailed to reset Chrome's Preferences  for tester.\r\n\r\n"
                     L"\tFailed to reset Chrome's Preferences  for tester.\r\n");
}

TEST_F(BrowserRepairFixture, PolicyAndStartMenuRowsRemoveOnlyTheirPart) {
  const std::wstring key = scan.users[0].RegistryRoot() + kPolicySuffix;
  // The browser's real policy key: left as the test found it, so that the
  // scan tests sharing the prefix do not find it.
  const bool keyExisted = KeyExists(key);
  const std::wstring command =
      scan.users[0].RegistryRoot() + L"\\Software\\Clients\\StartMenuInternet\\TavrinTest-" + pid + L"\\shell\\open\\command";
  ASSERT_TRUE(WriteStringAt(key, L"DefaultSearchProviderSearchURL", L"http://s.test/?q={searchTerms}"));
  ASSERT_TRUE(WriteStringAt(key, L"DefaultSearchProviderName", L"S"));
  ASSERT_TRUE(WriteStringAt(command, L"", L"\"C:\\Apps\\chrome.exe\" http://m.test/ --x http://m.test/"));
  ScanItemDetails details;
  details.registryKey = key;
  details.valueName = L"HomepageLocation";  // already gone: repaired
  Add(47, L"HomepageLocation", L"http://h.test/", details);
  details.valueName = L"DefaultSearchProviderSearchURL";
  Add(47, L"S (search provider)", L"http://s.test/?q={searchTerms}", details);
  details = {};
  details.registryKey = command;
  Add(45, L"Start Menu Internet shortcut", L"http://m.test/", details);

  RepairBrowserItems(session);
  EXPECT_FALSE(KeyExists(key, L"DefaultSearchProviderSearchURL"));
  EXPECT_FALSE(KeyExists(key, L"DefaultSearchProviderName"));
  EXPECT_EQ(ReadStringAt(command, L""), L"\"C:\\Apps\\chrome.exe\"  --x");
  if (!keyExisted) DeleteKeyTree(key);
  EXPECT_EQ(Lines(), L"\tSuccessfully fixed Chrome Start Menu Internet shortcut for tester.\r\n\r\n"
                     L"\tSuccessfully removed Chrome's Default Search Provider policy for tester.\r\n\r\n"
                     L"\tSuccessfully removed Chrome's Default Homepage policy for tester.\r\n");
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

// A profile in a folder of another name than "Default" or "Profile N" is
// the browser's only when its "Local State" lists it.
TEST_F(BrowserRepairFixture, AProfileOfAnotherNameIsRepairedOnlyWhenLocalStateListsIt) {
  const std::wstring userData = base + L"\\User Data";
  ASSERT_TRUE(test::WriteBytes(userData + L"\\Local State", R"({"profile":{"info_cache":{"Work Profile 7x":{}}}})"));
  for (const wchar_t* name : {L"Work Profile 7x", L"Stray"}) {
    ASSERT_TRUE(CreateFolderTree(userData + L"\\" + name));
    ASSERT_TRUE(test::WriteBytes(userData + L"\\" + name + L"\\Preferences", R"({"homepage":"http://h.test/"})"));
    Add(42, L"Home page", L"http://h.test/",
        PreferenceRow(userData + L"\\" + name + L"\\Preferences", L"homepage", L"http://h.test/"));
  }
  RepairBrowserItems(session);
  EXPECT_EQ(test::ReadBytes(userData + L"\\Work Profile 7x\\Preferences"), "{}");
  EXPECT_EQ(test::ReadBytes(userData + L"\\Stray\\Preferences"), R"({"homepage":"http://h.test/"})");
  EXPECT_EQ(Lines(), L"\tFailed to fix Chrome's \"Home page\" for tester.\r\n\r\n"
                     L"\tSuccessfully fixed Chrome's \"Home page\" for tester.\r\n");
}

// A forced extension comes back at the browser's next start unless its
// policy entry goes: the row first releases the forcelist entries of the
// policy keys it names, and fails, leaving the extension, while anything
// still forces it.
TEST_F(BrowserRepairFixture, AForcedExtensionGoesOnlyOnceNoPolicyForcesIt) {
  const std::wstring key = scan.users[0].RegistryRoot() + kPolicySuffix;
  const bool keyExisted = KeyExists(key);
  const std::wstring forcelist = key + L"\\ExtensionInstallForcelist";
  const std::wstring foreign = scan.users[0].RegistryRoot() + L"\\Software\\TavrinTest-" + pid;
  ASSERT_TRUE(WriteStringAt(forcelist, L"1", L"aaaa;https://update.test/crx"));
  ASSERT_TRUE(WriteStringAt(forcelist, L"2", L"aaaab"));
  ASSERT_TRUE(WriteStringAt(forcelist, L"3", L" AAAA "));
  ASSERT_TRUE(WriteStringAt(key, L"ExtensionSettings", LR"({"cccc":{"installation_mode":"force_installed"}})"));
  ASSERT_TRUE(WriteStringAt(foreign + L"\\ExtensionInstallForcelist", L"1", L"dddd"));
  const std::wstring prefs = profile + L"\\Secure Preferences";
  ASSERT_TRUE(test::WriteBytes(
      prefs, R"({"extensions":{"settings":{"aaaa":{"location":7,"path":"aaaa\\1_0"},"bbbb":{"location":9},)"
             R"("cccc":{"location":7},"dddd":{"location":7},"eeee":{"location":1}}}})"));
  const std::wstring own = profile + L"\\Extensions\\aaaa\\1_0";
  ASSERT_TRUE(CreateFolderTree(own));

  // aaaa: forced by two forcelist entries of the browser's key; bbbb: a
  // policy location with no key found (a domain's policy); cccc: forced
  // through the JSON policy; dddd: a key that is not the browser's; eeee:
  // installed by the user.
  const struct {
    const wchar_t* id;
    std::wstring keys;
  } rows[] = {{L"aaaa", key}, {L"bbbb", L""}, {L"cccc", key}, {L"dddd", foreign}, {L"eeee", L""}};
  for (const auto& row : rows) {
    ScanItemDetails details = PreferenceRow(prefs, std::wstring(L"extensions->settings->") + row.id, L"");
    if (std::wstring(row.id) == L"aaaa") details.extensionPath = own;
    details.extra = {{L"Policy key", row.keys}};
    Add(44, row.id, L"", details);
  }

  RepairBrowserItems(session);
  const bool listKept = KeyExists(forcelist, L"2"), listTaken = !KeyExists(forcelist, L"1") && !KeyExists(forcelist, L"3");
  const bool foreignKept = KeyExists(foreign + L"\\ExtensionInstallForcelist", L"1");
  DeleteKeyTree(forcelist);
  DeleteValueAt(key, L"ExtensionSettings");
  if (!keyExisted) DeleteKeyTree(key);
  DeleteKeyTree(foreign);
  EXPECT_TRUE(listKept);
  EXPECT_TRUE(listTaken);
  EXPECT_TRUE(foreignKept);
  EXPECT_FALSE(FolderExists(own));
  PreferenceDocument edited;
  edited.Load(prefs);
  PreferenceNode node;
  for (const wchar_t* id : {L"aaaa", L"bbbb", L"cccc", L"dddd", L"eeee"})
    EXPECT_EQ(edited.FindNode(std::wstring(L"extensions->settings->") + id, node),
              std::wstring(id) != L"aaaa" && std::wstring(id) != L"eeee")
        << id;
  const std::wstring failed = L"\tFailed to remove Chrome's extension \"";
  EXPECT_EQ(Lines(), L"\tSuccessfully removed Chrome's extension \"eeee\" for tester.\r\n\r\n" + failed +
                         L"dddd\" for tester.\r\n\r\n" + failed + L"cccc\" for tester.\r\n\r\n" + failed +
                         L"bbbb\" for tester.\r\n\r\n\tSuccessfully removed Chrome's extension \"aaaa\" for tester.\r\n");
}

TEST_F(BrowserRepairFixture, FirefoxResetsDeleteTheirFilesAndANoOpIsNoSuccess) {
  const std::wstring forced = base + L"\\Forced";
  const std::wstring plain = base + L"\\Plain";
  for (const std::wstring& folder : {forced, plain}) {
    ASSERT_TRUE(CreateFolderTree(folder));
    ASSERT_TRUE(test::WriteBytes(folder + L"\\prefs.js", "user_pref(\"browser.startup.homepage\", \"http://h.test/\");\n"));
  }
  ASSERT_TRUE(test::WriteBytes(forced + L"\\user.js", "user_pref(\"browser.startup.homepage\", \"http://h.test/\");\n"));
  ScanItemDetails details;
  details.path = forced + L"\\user.js";
  Add(56, L"Reset Firefox User Preferences", details.path, details);
  details.path = plain + L"\\user.js";  // never there
  Add(56, L"Reset Firefox User Preferences", details.path, details);
  details.path = forced + L"\\..\\Plain\\prefs.js";
  Add(56, L"Reset Firefox Settings", details.path, details);
  details.path = plain + L"\\prefs.js";
  details.valueName = L"browser.startup.homepage";
  details.url = L"http://h.test/";
  Add(51, L"Startup homepage", L"http://h.test/", details);

  RepairBrowserItems(session);
  EXPECT_FALSE(FileExists(forced + L"\\user.js"));
  EXPECT_EQ(test::ReadBytes(plain + L"\\prefs.js"), "\n");
  EXPECT_EQ(Lines(), L"\tSuccessfully reset Firefox Home page for tester.\r\n\r\n"
                     L"\tFailed to Reset Firefox Settings for tester.\r\n\r\n"
                     L"\tFailed to Reset Firefox User Preferences for tester.\r\n\r\n"
                     L"\tSuccessfully Reset Firefox User Preferences for tester.\r\n");
}

// Firefox applies user.js over prefs.js at every start: a hijack set there
// too is repaired only when its lines go as well, the rest of the file
// staying as written, and a user.js that cannot be rewritten fails the row.
TEST_F(BrowserRepairFixture, AFirefoxHijackInUserJsGoesWithItsLinesOrTheRowFails) {
  const std::wstring edited = base + L"\\Edited";
  const std::wstring held = base + L"\\Held";
  const std::string prefs = "user_pref(\"browser.search.defaultenginename\", \"Evil Search\");\n"
                            "user_pref(\"browser.startup.homepage\", \"http://evil.test/\");\n";
  const std::string userJs = "// the user's own\r\n"
                             "user_pref(\"network.proxy.type\", 1);\r\n"
                             "user_pref(\"browser.startup.homepage\", \"http://evil.test/\");\r\n"
                             "user_pref(\"browser.search.defaultenginename\", \"Mine Search\");\r\n"
                             "user_pref(\"browser.startup.homepage\", \" http://evil.test/\");\r\n"
                             "user_pref(\"browser.startup.page\", 1);";
  for (const std::wstring& folder : {edited, held}) {
    ASSERT_TRUE(CreateFolderTree(folder));
    ASSERT_TRUE(test::WriteBytes(folder + L"\\prefs.js", prefs));
    ASSERT_TRUE(test::WriteBytes(folder + L"\\user.js", userJs));
  }
  ScanItemDetails details;
  details.valueName = L"browser.startup.homepage";
  details.url = L"http://evil.test/";
  details.path = edited + L"\\prefs.js";
  Add(51, L"Startup homepage", details.url, details);
  details.path = held + L"\\prefs.js";
  Add(51, L"Startup homepage", details.url, details);
  details.url.clear();
  details.path = edited + L"\\prefs.js";
  details.valueName = L"browser.search.defaultenginename";
  details.valueData = L"Evil Search";
  Add(52, L"Firefox default search provider", details.valueData, details);

  // Held open the way an editor or a running Firefox may hold it: it can
  // be read but not written.
  const HANDLE open = CreateFileW((held + L"\\user.js").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  RepairBrowserItems(session);
  CloseHandle(open);

  EXPECT_EQ(test::ReadBytes(edited + L"\\user.js"),
            "// the user's own\r\n"
            "user_pref(\"network.proxy.type\", 1);\r\n"
            "\r\n"
            "user_pref(\"browser.search.defaultenginename\", \"Mine Search\");\r\n"
            "\r\n"
            "user_pref(\"browser.startup.page\", 1);");
  EXPECT_EQ(test::ReadBytes(edited + L"\\prefs.js"), "\n\n");
  EXPECT_EQ(test::ReadBytes(held + L"\\user.js"), userJs);
  EXPECT_EQ(Lines(), L"\tSuccessfully removed Firefox Default Search Provider \"Firefox default search provider\" for tester.\r\n\r\n"
                     L"\tFailed to reset Firefox Default Home page for tester.\r\n\r\n"
                     L"\tSuccessfully reset Firefox Home page for tester.\r\n");
}

TEST_F(BrowserRepairFixture, AFirefoxExtensionGoesFromItsProfileOnlyAndFromBothDocuments) {
  const std::wstring firefox = base + L"\\Firefox";
  ASSERT_TRUE(CreateFolderTree(firefox + L"\\extensions"));
  const std::wstring own = firefox + L"\\extensions\\own@test.xpi";
  const std::wstring elsewhere = base + L"\\elsewhere@test.xpi";
  ASSERT_TRUE(test::WriteBytes(own, "PK"));
  ASSERT_TRUE(test::WriteBytes(elsewhere, "PK"));
  const std::string extensions =
      R"({"schemaVersion":36,"addons":[{"id":"own@test","path":"x"},{"id":"mine@test"},{"id":"elsewhere@test"},{"id":"own@test"}]})";
  const std::string addons = R"({"schema":6,"addons":[{"id":"mine@test"},{"id":"own@test"}]})";
  ASSERT_TRUE(test::WriteBytes(firefox + L"\\extensions.json", extensions));
  ASSERT_TRUE(test::WriteBytes(firefox + L"\\addons.json", addons));
  ScanItemDetails details;
  details.jsonPath = firefox + L"\\extensions.json";
  details.registryKey = L"addons";
  details.valueName = L"elsewhere@test";
  details.path = elsewhere;  // not the profile's: the row fails as a whole
  Add(53, L"Elsewhere", elsewhere, details);
  details.valueName = L"own@test";
  details.path = own;
  Add(53, L"Own", own, details);

  RepairBrowserItems(session);
  EXPECT_FALSE(FileExists(own));
  EXPECT_TRUE(FileExists(elsewhere));
  EXPECT_EQ(test::ReadBytes(firefox + L"\\extensions.json"),
            R"({"schemaVersion":36,"addons":[{"id":"mine@test"},{"id":"elsewhere@test"}]})");
  EXPECT_EQ(test::ReadBytes(firefox + L"\\addons.json"), R"({"schema":6,"addons":[{"id":"mine@test"}]})");
  EXPECT_EQ(Lines(), L"\tSuccessfully deleted Firefox Extension \"Own\" for tester.\r\n\r\n"
                     L"\tFailed to delete Firefox Extension \"Elsewhere\" for tester.\r\n");
}

// The engines of a profile's compressed search settings: each row cuts its
// engine and the default choices naming it, and the file is written back
// compressed beside a backup of what it held. A file that does not decode,
// or that lies outside every scanned profile, is left as it was.
TEST_F(BrowserRepairFixture, FirefoxSearchEnginesLeaveTheCompressedSettingsBesideABackup) {
  auto encoded = [](const std::string& json) {
    std::string file;
    EXPECT_TRUE(EncodeMozLz4(json, file));
    return file;
  };
  auto decoded = [](const std::wstring& path) {
    std::string json;
    return DecodeMozLz4(test::ReadBytes(path), json) ? json : std::string("(does not decode)");
  };
  const std::wstring settings = base + L"\\Firefox\\search.json.mozlz4";
  const std::wstring broken = base + L"\\Broken\\search.json.mozlz4";
  const std::wstring outside = L"C:\\ProgramData\\TavrinTest-search-" + pid + L"\\search.json.mozlz4";
  const std::string original = encoded(
      R"({"engines":[{"id":"google","_isConfigEngine":true},{"id":"evil","_name":"Evil","_urls":[{"template":"https://e.test/"}]},)"
      R"({"id":"other","_name":"Other","_urls":[{"template":"https://o.test/"}]}],)"
      R"("metaData":{"appDefaultEngineId":"google","defaultEngineId":"evil","defaultEngineIdHash":"h"}})");
  const std::string damaged = original.substr(0, original.size() - 5);
  for (const auto& [path, bytes] : {std::pair{settings, original}, std::pair{broken, damaged}, std::pair{outside, original}}) {
    ASSERT_TRUE(CreateFolderTree(ParentOf(path)));
    ASSERT_TRUE(test::WriteBytes(path, bytes));
  }
  auto row = [&](const std::wstring& path, const std::wstring& id, const std::wstring& name) {
    ScanItemDetails details;
    details.path = path;
    details.valueName = id;
    details.valueData = name;
    return details;
  };
  Add(52, L"Outside", L"https://e.test/", row(outside, L"evil", L"Evil"));
  Add(52, L"Broken", L"https://e.test/", row(broken, L"evil", L"Evil"));
  Add(52, L"Gone", L"https://g.test/", row(settings, L"gone", L"Gone"));
  Add(52, L"Other", L"https://o.test/", row(settings, L"other", L"Other"));
  Add(52, L"Firefox default search provider", L"Evil", row(settings, L"evil", L"Evil"));

  RepairBrowserItems(session);
  EXPECT_EQ(decoded(settings), R"({"engines":[{"id":"google","_isConfigEngine":true}],"metaData":{"appDefaultEngineId":"google"}})");
  EXPECT_EQ(test::ReadBytes(settings + L".bak"), original);
  EXPECT_EQ(decoded(settings + L".2.bak"),
            R"({"engines":[{"id":"google","_isConfigEngine":true},{"id":"other","_name":"Other","_urls":[{"template":"https://o.test/"}]}],)"
            R"("metaData":{"appDefaultEngineId":"google"}})");
  EXPECT_FALSE(FileExists(settings + L".3.bak"));  // nothing left to cut for the engine already gone
  EXPECT_EQ(test::ReadBytes(broken), damaged);
  EXPECT_EQ(test::ReadBytes(outside), original);
  EXPECT_FALSE(FileExists(broken + L".bak") || FileExists(outside + L".bak"));
  test::RemoveTreeForTest(ParentOf(outside));
  EXPECT_EQ(Lines(), L"\tSuccessfully removed Firefox Default Search Provider \"Firefox default search provider\" for tester.\r\n\r\n"
                     L"\tSuccessfully removed Firefox Search Provider \"Other\" for tester.\r\n\r\n"
                     L"\tSuccessfully removed Firefox Search Provider \"Gone\" for tester.\r\n\r\n"
                     L"\tFailed to remove Firefox Search Provider \"Broken\" for tester.\r\n\r\n"
                     L"\tFailed to remove Firefox Search Provider \"Outside\" for tester.\r\n");
}

TEST_F(BrowserRepairFixture, InternetExplorerRowsTakeOutOnlyTheirEntries) {
  const std::wstring root = scan.users[0].RegistryRoot();
  const std::wstring settings = root + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  const std::wstring main = root + L"\\Software\\Microsoft\\Internet Explorer\\Main";
  RegValueBuffer oldEnable, oldPages;
  const bool hadEnable = ReadRawAt(settings, L"ProxyEnable", oldEnable);
  const bool hadPages = ReadRawAt(main, L"Secondary Start Pages", oldPages);
  ASSERT_TRUE(WriteStringAt(settings, L"ProxyServer", L"127.0.0.1:8080"));
  ASSERT_TRUE(WriteDwordAt(settings, L"ProxyEnable", 1));
  ASSERT_TRUE(WriteStringAt(settings, L"ProxyOverride", L"<local>"));
  ASSERT_TRUE(WriteStringAt(main, L"Secondary Start Pages", L"http://a.test/\nhttp://b.test/\nhttp://c.test/\n\n",
                            REG_MULTI_SZ));
  ScanItemDetails details;
  details.registryKey = settings;
  Add(36, L"Reset Proxy", settings, details);
  details.registryKey = main;
  details.valueName = L"Secondary Start Pages";
  details.url = details.valueData = L"http://c.test/";
  Add(31, L"Secondary Start Pages", L"http://c.test/", details);
  // A page row for a key that is not Internet Explorer's.
  details.registryKey = root + L"\\Software\\TavrinTest-" + pid;
  details.valueName = L"Start Page";
  Add(31, L"Start Page", L"http://s.test/", details);

  RepairBrowserItems(session);
  for (const wchar_t* value : {L"ProxyServer", L"ProxyEnable", L"ProxyOverride"})
    EXPECT_FALSE(KeyExists(settings, value)) << value;
  EXPECT_EQ(ReadStringAt(main, L"Secondary Start Pages"), L"http://a.test/\nhttp://b.test/");
  EXPECT_EQ(Lines(), L"\tFailed to change \"Start Page\" to \"https://www.google.com/\" for tester.\r\n\r\n"
                     L"\tSuccessfully removed \"http://c.test/\" from the IE's Secondary Start Pages for tester.\r\n\r\n"
                     L"\tSuccessfully deleted Proxy entries for tester.\r\n");
  if (hadEnable) WriteValueForced(settings, L"ProxyEnable", oldEnable.type, oldEnable.Data(), oldEnable.length);
  if (hadPages) WriteValueForced(main, L"Secondary Start Pages", oldPages.type, oldPages.Data(), oldPages.length);
  else DeleteValueAt(main, L"Secondary Start Pages");
}

TEST_F(BrowserRepairFixture, AnEdgeAppExtensionLeavesEveryStoreOfIt) {
  const std::wstring container = scan.users[0].RegistryRoot() +
                                 L"\\Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion"
                                 L"\\AppContainer\\Storage\\microsoft.microsoftedge_8wekyb3d8bbwe";
  const bool existed = KeyExists(container);
  const std::wstring edge = container + L"\\MicrosoftEdge";
  const std::wstring name = L"Coupons_abc_" + pid;
  const std::wstring protectedKey =
      edge + L"\\Protected - It is a violation of Windows Policy to modify. See aka.ms/browserpolicy\\Extensions";
  ASSERT_TRUE(WriteStringAt(edge + L"\\Extensions\\" + name, L"Path", L"C:\\x"));
  ASSERT_TRUE(WriteStringAt(edge + L"\\ExtensionsStore\\datastore\\Config\\" + name, L"a", L"1"));
  ASSERT_TRUE(WriteStringAt(edge + L"\\ExtensionsStore\\keyvaluestore\\keyvaluestore\\" + name, L"a", L"1"));
  ASSERT_TRUE(WriteStringAt(protectedKey, name.c_str(), L"1"));
  ASSERT_TRUE(WriteStringAt(protectedKey, L"Other", L"1"));
  ScanItemDetails details;
  details.registryKey = edge + L"\\Extensions\\" + name;
  Add(24, L"abc", details.registryKey, details);

  RepairBrowserItems(session);
  EXPECT_FALSE(KeyExists(edge + L"\\Extensions\\" + name));
  EXPECT_FALSE(KeyExists(edge + L"\\ExtensionsStore\\datastore\\Config\\" + name));
  EXPECT_FALSE(KeyExists(edge + L"\\ExtensionsStore\\keyvaluestore\\keyvaluestore\\" + name));
  EXPECT_FALSE(KeyExists(protectedKey, name.c_str()));
  EXPECT_TRUE(KeyExists(protectedKey, L"Other"));
  EXPECT_EQ(Lines(), L"\tSuccessfully removed  MS Edge (UWP) extension: " + name + L"\r\n");
  if (!existed) DeleteKeyTree(container);
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

// Hijacks written so that a comparison with the row's filed text (trimmed,
// on one line) is fooled: each row's hijack goes and its success line is
// true, or it stays and its line says so.
TEST_F(BrowserRepairFixture, EveryLineHoldsAgainstHijacksThatFoolAFiledComparison) {
  const std::wstring prefs = profile + L"\\Secure Preferences";
  const std::wstring firefox = base + L"\\Firefox";
  const std::wstring prefsJs = firefox + L"\\prefs.js";
  const std::wstring outside = base + L"\\Sideloaded\\addon@evil.test";
  const std::wstring policy = scan.users[0].RegistryRoot() + L"\\Software\\Policies\\TavrinTest-" + pid;
  const std::wstring main = scan.users[0].RegistryRoot() + L"\\Software\\Microsoft\\Internet Explorer\\Main";
  std::wstring pagesBefore;
  const bool hadPages = ReadStringAt(main, L"Secondary Start Pages", pagesBefore);
  ASSERT_TRUE(CreateFolderTree(outside));
  ASSERT_TRUE(CreateFolderTree(firefox));
  ASSERT_TRUE(test::WriteBytes(
      prefs, R"({"homepage":"http://evil.test/\n","session":{"startup_urls":[" http://evil.test/","http://mine.test/"]},)"
             R"("default_search_provider_data":{"template_url_data":{"url":"http://evil.test/?q={searchTerms}\r\n"}}})"));
  ASSERT_TRUE(test::WriteBytes(prefsJs, "user_pref(\"browser.startup.homepage\", \" http://evil.test/ \");\n"
                                        "user_pref(\"browser.search.defaultenginename\", \"Evil Search \");\n"));
  ASSERT_TRUE(test::WriteBytes(firefox + L"\\extensions.json",
                               R"({"addons":[{"id":"addon@evil.test","defaultLocale":{"name":"Evil"},"path":"x"}]})"));
  ASSERT_TRUE(WriteStringAt(policy + L"\\RestoreOnStartupURLs", L"1 ", L"http://evil.test/"));
  ASSERT_TRUE(WriteStringAt(main, L"Secondary Start Pages", L"http://mine.test/\n http://evil.test/", REG_MULTI_SZ));

  // Each row as the scan files it: its texts go through the details file.
  Add(42, L"Home page", L"http://evil.test/", PreferenceRow(prefs, L"homepage", L"http://evil.test/\n"));
  Add(42, L"Startup page", L"http://evil.test/", PreferenceRow(prefs, L"session->startup_urls", L" http://evil.test/"));
  Add(43, L"Default search provider", L"http://evil.test/",
      PreferenceRow(prefs, L"default_search_provider_data->template_url_data", L"http://evil.test/?q={searchTerms}\r\n"));
  ScanItemDetails details;
  details.path = prefsJs;
  details.valueName = L"browser.startup.homepage";
  details.url = L" http://evil.test/ ";
  Add(51, L"Startup homepage", details.url, details);
  details.valueName = L"browser.search.defaultenginename";
  details.url.clear();
  details.valueData = L"Evil Search ";
  Add(52, L"Firefox default search provider", details.valueData, details);
  details = {};
  details.jsonPath = firefox + L"\\extensions.json";
  details.registryKey = L"addons";
  details.valueName = L"addon@evil.test";
  details.extensionPath = outside;  // outside the profile: the scan files no "Path"
  Add(53, L"Evil", outside, details);
  details = {};
  details.registryKey = policy;
  details.clsid = L"TavrinTest";
  details.valueName = L"1 ";
  details.valueData = L"http://evil.test/";
  Add(67, L"RestoreOnStartupURLs", L"http://evil.test/", details);
  details = {};
  details.registryKey = main;
  details.valueName = L"Secondary Start Pages";
  details.url = L"http://evil.test/";
  Add(31, L"Secondary Start Pages", L"http://evil.test/", details);

  RepairBrowserItems(session);
  const std::wstring lines = Lines();
  std::wstring pagesAfter;
  ASSERT_TRUE(ReadStringAt(main, L"Secondary Start Pages", pagesAfter));
  const bool policyValueLeft = KeyExists(policy + L"\\RestoreOnStartupURLs", L"1 ");
  if (hadPages) WriteStringAt(main, L"Secondary Start Pages", pagesBefore, REG_MULTI_SZ);
  else DeleteValueAt(main, L"Secondary Start Pages");
  DeleteKeyTree(policy);

  EXPECT_EQ(test::ReadBytes(prefs), R"({"session":{"startup_urls":["http://mine.test/"]}})");
  EXPECT_EQ(test::ReadBytes(prefsJs), "\n\n");
  EXPECT_EQ(pagesAfter, L"http://mine.test/");
  EXPECT_FALSE(policyValueLeft);
  // The sideloaded add-on would be listed again at the next start: it
  // stays listed, its folder stays, and its line says it failed.
  EXPECT_TRUE(FolderExists(outside));
  EXPECT_NE(test::ReadBytes(firefox + L"\\extensions.json").find("addon@evil.test"), std::string::npos);
  EXPECT_EQ(lines, L"\tSuccessfully removed \"http://evil.test/\" from the IE's Secondary Start Pages for tester.\r\n\r\n"
                   L"\tSuccessfully removed TavrinTest's Startup Page policy \"http://evil.test/\" for tester.\r\n\r\n"
                   L"\tFailed to delete Firefox Extension \"Evil\" for tester.\r\n\r\n"
                   L"\tSuccessfully removed Firefox Default Search Provider \"Firefox default search provider\" for tester.\r\n\r\n"
                   L"\tSuccessfully reset Firefox Home page for tester.\r\n\r\n"
                   L"\tSuccessfully fixed Chrome's default search provider for tester.\r\n\r\n"
                   L"\tSuccessfully fixed Chrome's \"Startup page\" for tester.\r\n\r\n"
                   L"\tSuccessfully fixed Chrome's \"Home page\" for tester.\r\n");
}

// The plug-ins of a Firefox-based browser found on the fly lie in its
// installation folder, where the scan lists them; one beside another
// program's executable is not the row's browser's and stays.
TEST_F(BrowserRepairFixture, OtherFirefoxBrowsersPluginsGoFromTheirInstallationFolderOnly) {
  ASSERT_FALSE(scan.folders.programFiles64.empty());
  const std::wstring install = scan.folders.programFiles64 + L"\\TavrinTest-" + pid + L" Fox";
  const std::wstring other = scan.folders.programFiles64 + L"\\TavrinTest-" + pid + L" Other";
  ASSERT_TRUE(CreateFolderTree(install));
  ASSERT_TRUE(CreateFolderTree(other));
  const std::wstring plugin = install + L"\\evil-search.xml", foreign = other + L"\\evil-search.xml";
  for (const std::wstring& file : {install + L"\\foxbrowser.exe", other + L"\\other.exe"}) ASSERT_TRUE(test::WriteBytes(file, "MZ"));
  for (const std::wstring& file : {plugin, foreign})
    ASSERT_TRUE(test::WriteBytes(file, "<SearchPlugin><ShortName>Evil</ShortName></SearchPlugin>"));
  ResultList list = TabList(results, kBrowsersTab);
  for (const auto& [file, exe] : {std::pair{foreign, install + L"\\foxbrowser.exe"}, std::pair{plugin, install + L"\\foxbrowser.exe"}}) {
    const int row = AddRow(list, kGroupOtherFirefoxSearchPlugins, L"Evil", L"(All users)", file, true, exe, 5);
    ASSERT_GE(row, 0);
    ScanItemDetails details;
    details.group = kGroupOtherFirefoxSearchPlugins;
    details.userName = L"(All users)";
    details.clsid = L"Fox Browser";
    details.path = file;
    ASSERT_GT(StoreDetails(list, GetRowKey(list, row), details), 0);
  }

  RepairBrowserItems(session);
  EXPECT_FALSE(FileExists(plugin));
  EXPECT_TRUE(FileExists(foreign));
  test::RemoveTreeForTest(install);
  test::RemoveTreeForTest(other);
  EXPECT_EQ(Lines(), L"\tSuccessfully removed Fox Browser Search Provider \"Evil\" for (All users).\r\n\r\n"
                     L"\tFailed to remove Fox Browser Search Provider \"Evil\" for (All users).\r\n");
}

// A preference file that cannot be rewritten (held open by another
// program that lets nobody write it) keeps its hijack, and the line says so.
TEST_F(BrowserRepairFixture, APreferenceFileThatCannotBeRewrittenIsReportedFailed) {
  const std::wstring prefs = profile + L"\\Secure Preferences";
  const std::string text = R"({"homepage":"http://evil.test/"})";
  ASSERT_TRUE(test::WriteBytes(prefs, text));
  Add(42, L"Home page", L"http://evil.test/", PreferenceRow(prefs, L"homepage", L"http://evil.test/"));
  HANDLE held = CreateFileW(prefs.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  RepairBrowserItems(session);
  CloseHandle(held);
  EXPECT_EQ(test::ReadBytes(prefs), text);
  EXPECT_EQ(Lines(), L"\tFailed to fix Chrome's \"Home page\" for tester.\r\n");
  EXPECT_EQ(RowCount(TabList(results, kBrowsersTab)), 1);
}

}  // namespace
}  // namespace tavrin
