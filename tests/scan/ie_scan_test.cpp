// The Internet Explorer and Edge (UWP) phases run in-process on registry
// keys planted for two users (hives of the test's own mounted under
// HKEY_USERS) and both machine views, with add-on files that are unsigned,
// validly signed by the test authority, and validly signed by a signer
// named like a software company (tests/filetrust/signing_fixtures, which
// ctest runs first).
#include "scan/ie_scan.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "results/details_files.h"
#include "scan/edge_uwp_scan.h"
#include "scan/scan_parts.h"
#include "scan/scan_phases.h"
#include "scan/scan_session.h"
#include "support/child_process.h"
#include "support/loopback.h"
#include "support/signing_root.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"

namespace tavrin {
namespace {

using test::WriteBytes;

constexpr wchar_t kChecked[] = L"\r\n\t\tItem state: Checked\r\n";
constexpr wchar_t kUnchecked[] = L"\r\n\t\tItem state: Un-checked\r\n";
constexpr wchar_t kUnsigned[] = L"{11111111-2222-3333-4444-555555555555}";
constexpr wchar_t kTestSigned[] = L"{22222222-2222-3333-4444-555555555555}";
constexpr wchar_t kCompanySigned[] = L"{33333333-2222-3333-4444-555555555555}";
constexpr wchar_t kNoClass[] = L"{44444444-2222-3333-4444-555555555555}";
constexpr wchar_t kKnownGood[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";  // listed under "IEWhiteL"
constexpr wchar_t kEdgeStorage[] =
    L"\\Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppContainer\\Storage\\"
    L"microsoft.microsoftedge_8wekyb3d8bbwe";

using test::NarrowText;
using Seen = test::BrowserRow;

std::wstring Signed(const std::wstring& name) { return test::TestBuildPath(L"signing\\" + name); }

[[maybe_unused]] ::testing::Environment* const kTrustedRoot =
    ::testing::AddGlobalTestEnvironment(new test::TrustedSigningRoot);

class IeScanFixture : public ::testing::Test, public test::ScanParts {
 public:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    pid = std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(NarrowText(CompileProjectDefinitions(L"HKCU\\Software\\TavrinTest-" + pid + L"-ie-db")), "");

    root = L"C:\\ProgramData\\TavrinTest-ie-" + pid;
    ASSERT_TRUE(CreateFolderTree(root + L"\\bob\\Desktop"));
    ASSERT_TRUE(CreateFolderTree(root + L"\\carol"));
    const std::wstring scratchKey = L"HKCU\\Software\\TavrinTest-" + pid + L"-ie-";
    ASSERT_TRUE(bob.Mount(L"S-1-5-21-5-5-5-" + pid, scratchKey + L"bob", scratch / L"bob.dat"));
    ASSERT_TRUE(carol.Mount(L"S-1-5-21-4-4-4-" + pid, scratchKey + L"carol", scratch / L"carol.dat"));
    // The machine views as this test leaves them: Wine's own start page is
    // set aside and put back afterwards.
    savedDefaultPage = ReadStringAt(kMachineMain, L"Default_Page_URL");
    if (savedDefaultPage) DeleteValueAt(kMachineMain, L"Default_Page_URL");
    WireScan(L"http://127.0.0.1:9");
  }

  void TearDown() override {
    for (const std::wstring& key : machineKeys) DeleteKeyTree(key);
    if (savedDefaultPage) WriteStringAt(kMachineMain, L"Default_Page_URL", *savedDefaultPage);
    test::RemoveTreeForTest(root);
    CoUninitialize();
  }

  // A key of a machine view, removed again at the end.
  std::wstring MachineKey(const std::wstring& key) {
    machineKeys.push_back(key);
    return key;
  }

  void RegisterClass(const std::wstring& classesRoot, const std::wstring& clsid, const std::wstring& name,
                     const std::wstring& file) {
    ASSERT_TRUE(WriteStringAt(classesRoot + L"\\CLSID\\" + clsid, L"", name));
    ASSERT_TRUE(WriteStringAt(classesRoot + L"\\CLSID\\" + clsid + L"\\InprocServer32", L"", file));
  }

  void Scan(void (*phase)(ScanEnvironment&)) {
    static std::vector<UserProfile> users;
    users = {{bob.sid, root + L"\\bob", L"bob"}, {carol.sid, root + L"\\carol", L"carol"}};
    const ScanPhase phases[] = {{6, nullptr,
                                 [](ScanEnvironment& scan) {
                                   // Only the two planted accounts, so that the
                                   // report holds nothing of the prefix's own user.
                                   scan.session->users = users;
                                   scan.session->userDisplayNames = {L"bob", L"carol", L"(All users)", L"(All users)"};
                                 }},
                                {40, nullptr, phase}};
    ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
    ASSERT_TRUE(ReadTextFile(session.reportPath, report));
  }

  std::wstring Block(const std::wstring& title) const { return test::ReportBlock(report, title); }
  std::vector<Seen> RowsOf(int group) { return BrowserRows(group); }
  std::wstring Detail(const Seen& row, const wchar_t* key) { return BrowserDetail(row, key); }

  static constexpr wchar_t kMachineMain[] = L"HKLM64\\SOFTWARE\\Microsoft\\Internet Explorer\\Main";
  std::wstring pid, root, report;
  test::TestUserHive bob, carol;
  std::optional<std::wstring> savedDefaultPage;
  std::vector<std::wstring> machineKeys;
};

TEST_F(IeScanFixture, PlantedHijacksOfTwoUsersAndBothMachineViewsAreListedExactly) {
  ASSERT_TRUE(test::TrustedSigningRoot::Added()) << "run through ctest: the signing fixture makes signing\\root.der";
  const std::wstring bobSoftware = bob.Root() + L"\\Software";
  const std::wstring carolSoftware = carol.Root() + L"\\Software";
  const std::wstring bobMain = bobSoftware + L"\\Microsoft\\Internet Explorer\\Main";
  ASSERT_TRUE(WriteStringAt(bobMain, L"Start Page", L"http://portal.example-hijack.test/"));
  ASSERT_TRUE(WriteStringAt(bobMain, L"Search Page", L"about:blank"));
  // Google's name only from the 18th character on.
  ASSERT_TRUE(WriteStringAt(bobMain, L"Default_Search_URL", L"http://hijack.test/www.google.com"));
  // Written in the line form, one entry a line.
  const std::wstring pages = L"https://duckduckgo.com/\nhttp://second.example-hijack.test/";
  RegKey main = OpenKey(bobMain, kRegWrite);
  ASSERT_TRUE(main);
  ASSERT_TRUE(WriteValue(main, L"Secondary Start Pages", REG_MULTI_SZ, pages.data(),
                         static_cast<DWORD>(pages.size() * sizeof(wchar_t))));
  ASSERT_TRUE(WriteStringAt(carolSoftware + L"\\Microsoft\\Internet Explorer\\Main", L"Start Page", L"https://duckduckgo.com/"));
  const std::wstring machine32Main = MachineKey(L"HKLM32\\SOFTWARE\\Microsoft\\Internet Explorer\\Main");
  ASSERT_TRUE(WriteStringAt(machine32Main, L"Default_Page_URL", L"http://machine.example-hijack.test/"));

  const std::wstring bobScopes = bobSoftware + L"\\Microsoft\\Internet Explorer\\SearchScopes";
  ASSERT_TRUE(WriteStringAt(bobScopes + L"\\{A0000000-0000-0000-0000-000000000001}", L"DisplayName", L"Hijack Search"));
  ASSERT_TRUE(WriteStringAt(bobScopes + L"\\{A0000000-0000-0000-0000-000000000001}", L"URL",
                            L"http://search.example-hijack.test/?q={searchTerms}"));
  ASSERT_TRUE(WriteStringAt(bobScopes + L"\\{A0000000-0000-0000-0000-000000000002}", L"DisplayName", L"Bing"));
  ASSERT_TRUE(WriteStringAt(bobScopes + L"\\{A0000000-0000-0000-0000-000000000002}", L"URL",
                            L"https://www.bing.com/search?q={searchTerms}"));
  ASSERT_TRUE(WriteStringAt(bobScopes + L"\\{A0000000-0000-0000-0000-000000000003}", L"DisplayName", L"No URL"));
  const std::wstring carolScope = carolSoftware + L"\\Microsoft\\Internet Explorer\\SearchScopes\\{B0000000-0000-0000-0000-000000000001}";
  ASSERT_TRUE(WriteStringAt(carolScope, L"DisplayName", L"Carol Search"));
  ASSERT_TRUE(WriteStringAt(carolScope, L"URL", L"http://carol.example-hijack.test/?q={searchTerms}"));

  // Add-ons: Bob's own classes name the files.
  const std::wstring unsignedDll = root + L"\\helper.dll";
  ASSERT_TRUE(WriteBytes(unsignedDll, "MZ unsigned helper"));
  RegisterClass(bobSoftware + L"\\Classes", kUnsigned, L"Hijack Helper", unsignedDll);
  RegisterClass(bobSoftware + L"\\Classes", kTestSigned, L"Test Signed Helper", Signed(L"ca_signed.exe"));
  RegisterClass(bobSoftware + L"\\Classes", kCompanySigned, L"Company Helper", Signed(L"company_signed.exe"));
  const std::wstring bobBhos = bobSoftware + L"\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
  const std::wstring bobToolbar = bobSoftware + L"\\Microsoft\\Internet Explorer\\Toolbar";
  ASSERT_TRUE(WriteStringAt(bobToolbar, kUnsigned, L""));
  for (const wchar_t* clsid : {kUnsigned, kTestSigned, kCompanySigned}) ASSERT_TRUE(CreateKey(bobBhos + L"\\" + clsid));
  ASSERT_TRUE(CreateKey(bobBhos + L"\\not-a-clsid"));
  const std::wstring machineBhos = MachineKey(L"HKLM32\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects");
  ASSERT_TRUE(CreateKey(machineBhos + L"\\" + kNoClass));
  ASSERT_TRUE(CreateKey(machineBhos + L"\\" + kKnownGood));

  const std::wstring iexplore = L"C:\\Program Files\\Internet Explorer\\iexplore.exe";
  ASSERT_TRUE(FileExists(iexplore));
  ASSERT_TRUE(test::MakeShortcut(root + L"\\bob\\Desktop\\Internet Explorer.lnk", iexplore,
                                 L"http://lnk.example-hijack.test/"));
  const std::wstring command =
      MachineKey(L"HKLM64\\SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE") + L"\\shell\\open\\command";
  ASSERT_TRUE(WriteStringAt(command, L"", L"\"" + iexplore + L"\" http://menu.example-hijack.test/"));

  const std::wstring policy = bobSoftware + L"\\Policies\\Microsoft\\Internet Explorer";
  ASSERT_TRUE(WriteDwordAt(policy + L"\\Control Panel", L"HomePage", 1));
  ASSERT_TRUE(WriteStringAt(policy + L"\\Main", L"Start Page", L"http://policy.example-hijack.test/"));
  ASSERT_TRUE(WriteStringAt(policy + L"\\Main\\SecondaryStartPages", L"1", L"http://policy2.example-hijack.test/"));
  ASSERT_TRUE(WriteDwordAt(policy + L"\\Infodelivery\\Restrictions", L"UsePolicySearchProvidersOnly", 1));
  ASSERT_TRUE(WriteStringAt(policy + L"\\SearchScopes\\{C1}", L"DisplayName", L"Policy Search"));
  ASSERT_TRUE(WriteStringAt(policy + L"\\SearchScopes\\{C1}", L"URL", L"http://policy.example-hijack.test/?q="));
  // The machine's policy key is one key for both views: one row.
  const std::wstring machinePolicy = MachineKey(L"HKLM64\\SOFTWARE\\Policies\\Microsoft\\Internet Explorer");
  ASSERT_TRUE(WriteDwordAt(machinePolicy + L"\\Control Panel", L"HomePage", 1));
  ASSERT_TRUE(WriteStringAt(machinePolicy + L"\\Main", L"Start Page", L"http://machine-policy.example-hijack.test/"));
  // Carol's policy pages are not in force: no "HomePage" switch.
  ASSERT_TRUE(WriteStringAt(carolSoftware + L"\\Policies\\Microsoft\\Internet Explorer\\Main\\SecondaryStartPages", L"1",
                            L"http://carol-policy.example-hijack.test/"));

  const std::wstring internet = bobSoftware + L"\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  ASSERT_TRUE(WriteStringAt(internet, L"ProxyServer", L"127.0.0.1:9"));
  ASSERT_TRUE(WriteDwordAt(internet, L"ProxyEnable", 1));
  const std::wstring bobWinlogon = bobSoftware + L"\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  ASSERT_TRUE(WriteStringAt(bobWinlogon, L"Shell", L"evil.exe explorer.exe"));
  ASSERT_TRUE(WriteStringAt(carolSoftware + L"\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"Shell", L"explorer.exe,"));
  const std::wstring bobDom = bob.Root() + L"\\SOFTWARE\\Microsoft\\Internet Explorer\\DomStorage";
  ASSERT_TRUE(CreateKey(bobDom + L"\\example-hijack.test"));
  ASSERT_TRUE(CreateKey(bobDom + L"\\portal.example-hijack.test"));
  ASSERT_TRUE(CreateKey(carol.Root() + L"\\SOFTWARE\\Microsoft\\Internet Explorer\\DomStorage\\only.test"));

  Scan(ScanInternetExplorer);

  const std::wstring b = L"\r\n\t\tUser name: bob";
  const std::wstring all = L"\r\n\t\tUser name: (All users)";
  EXPECT_EQ(NarrowText(Block(L"\r\n\r\n->Internet Explorer scan:\r\n")),
            NarrowText(L"\r\n\r\n->Internet Explorer scan:\r\n"
                   L"\r\n\tInternet Explorer home and search pages:\r\n"
                   L"\r\n\t\tName: Default_Search_URL" + b + L"\r\n\t\tURL: http://hijack.test/www.google.com" + kChecked +
                   L"\r\n\t\tName: Start Page" + b + L"\r\n\t\tURL: http://portal.example-hijack.test/" + kChecked +
                   L"\r\n\t\tName: Secondary Start Pages" + b + L"\r\n\t\tURL: https://duckduckgo.com/" + kChecked +
                   L"\r\n\t\tName: Secondary Start Pages" + b + L"\r\n\t\tURL: http://second.example-hijack.test/" + kChecked +
                   L"\r\n\t\tName: Default_Page_URL" + all + L"\r\n\t\tURL: http://machine.example-hijack.test/" + kChecked +
                   L"\r\n\tInternet Explorer search providers:\r\n"
                   L"\r\n\t\tName: Hijack Search" + b + L"\r\n\t\tURL: http://search.example-hijack.test/?q={searchTerms}" +
                   kChecked + L"\r\n\t\tName: Carol Search\r\n\t\tUser name: carol\r\n\t\tURL: http://carol.example-hijack.test/?q={searchTerms}" +
                   kChecked +
                   L"\r\n\tInternet Explorer ad-ons:\r\n"
                   L"\r\n\t\tName: Hijack Helper" + b + L"\r\n\t\tFile: " + unsignedDll + kChecked +
                   L"\r\n\t\tName: Test Signed Helper" + b + L"\r\n\t\tFile: " + Signed(L"ca_signed.exe") + kChecked +
                   L"\r\n\t\tName: " + kNoClass + all + L"\r\n\t\tFile: The CLSID key for this Ad-on does not exist." +
                   kChecked +
                   L"\r\n\tInternet Explorer shortcuts:\r\n"
                   L"\r\n\t\tShortcut path: " + root + L"\\bob\\Desktop\\Internet Explorer.lnk" + b +
                   L"\r\n\t\tBrowser: Internet Explorer\r\n\t\tArguments: http://lnk.example-hijack.test/" + kChecked +
                   L"\r\n\t\tStart Menu Internet shortcut argument: http://menu.example-hijack.test/" + all + kChecked +
                   L"\r\n\tInternet Explorer's Group Policies:\r\n"
                   L"\r\n\t\tName: Start Page" + b + L"\r\n\t\tURL: http://policy.example-hijack.test/" + kChecked +
                   L"\r\n\t\tName: SecondaryStartPages" + b + L"\r\n\t\tURL: http://policy2.example-hijack.test/" + kChecked +
                   L"\r\n\t\tSearch provider name: Policy Search" + b + L"\r\n\t\tURL: http://policy.example-hijack.test/?q=" +
                   kChecked +
                   L"\r\n\t\tName: Start Page" + all + L"\r\n\t\tURL: http://machine-policy.example-hijack.test/" + kChecked +
                   L"\r\n\tInternet Explorer and Shell reset options:\r\n"
                   L"\r\n\t\tOption name: Reset Proxy" + b +
                   L"\r\n\t\tInfo: This option is present because a proxy was found for this user." + kUnchecked +
                   L"\r\n\t\tOption name: Reset Shell" + b +
                   L"\r\n\t\tInfo: This option is present because a Shell hijack was found for this user." + kUnchecked +
                   L"\r\n\t\tOption name: Reset Internet Explorer Policies" + b +
                   L"\r\n\t\tInfo: This option is listed because a possibly hijacked policy was found for this user." +
                   kUnchecked + L"\r\n\t\tOption name: Reset Internet Explorer Policies\r\n\t\tUser name: carol" +
                   L"\r\n\t\tInfo: This option is listed because a possibly hijacked policy was found for this user." +
                   kUnchecked + L"\r\n\t\tOption name: Reset Internet Explorer Policies" + all +
                   L"\r\n\t\tInfo: This option is listed because a possibly hijacked policy was found for this user." +
                   kUnchecked + L"\r\n\t\tReset option: Reset IE's DOM Storage" + b +
                   L"\r\n\t\tInfo: Check this item if you want to reset IE's DOM Storage" + kUnchecked));

  // What the repair reads back.
  const std::vector<Seen> pageRows = RowsOf(kGroupIeStartPages);
  ASSERT_EQ(pageRows.size(), 5u);
  EXPECT_EQ(Detail(pageRows[1], L"Registry Key"), bobMain);
  EXPECT_EQ(Detail(pageRows[1], L"Value name"), L"Start Page");
  EXPECT_EQ(Detail(pageRows[1], L"URL"), L"http://portal.example-hijack.test/");
  EXPECT_EQ(Detail(pageRows[3], L"Value name"), L"Secondary Start Pages");
  EXPECT_EQ(Detail(pageRows[3], L"Value data"), L"http://second.example-hijack.test/");
  EXPECT_EQ(Detail(pageRows[4], L"Registry Key"), machine32Main);
  EXPECT_EQ(pageRows[4].user, L"(All users)");

  const std::vector<Seen> scopes = RowsOf(kGroupIeSearchProviders);
  ASSERT_EQ(scopes.size(), 2u);
  EXPECT_EQ(Detail(scopes[0], L"Registry Key"), bobScopes + L"\\{A0000000-0000-0000-0000-000000000001}");

  const std::vector<Seen> addOns = RowsOf(kGroupIeAddOns);
  ASSERT_EQ(addOns.size(), 3u);
  // Found first as a toolbar: its row names the toolbar value.
  EXPECT_EQ(Detail(addOns[0], L"Registry Key"), bobToolbar);
  EXPECT_EQ(Detail(addOns[0], L"Value name"), kUnsigned);
  EXPECT_EQ(Detail(addOns[0], L"Path"), unsignedDll);
  EXPECT_EQ(Detail(addOns[0], L"CLSID"), kUnsigned);
  EXPECT_EQ(Detail(addOns[1], L"Registry Key"), bobBhos + L"\\" + kTestSigned);
  EXPECT_EQ(Detail(addOns[1], L"Value name"), L"");
  EXPECT_EQ(Detail(addOns[2], L"Path"), L"");
  for (const Seen& row : addOns) EXPECT_TRUE(row.checked);

  const std::vector<Seen> policies = RowsOf(kGroupIePolicies);
  ASSERT_EQ(policies.size(), 4u);
  EXPECT_EQ(Detail(policies[1], L"Registry Key"), policy + L"\\Main\\SecondaryStartPages");
  EXPECT_EQ(Detail(policies[1], L"Value name"), L"1");
  EXPECT_EQ(policies[2].name, L"Policy Search (search provider)");

  const std::vector<Seen> resets = RowsOf(kGroupIeResetOptions);
  ASSERT_EQ(resets.size(), 6u);
  for (const Seen& row : resets) EXPECT_FALSE(row.checked);
  EXPECT_EQ(Detail(resets[1], L"Registry Key"), bobWinlogon);
  EXPECT_EQ(Detail(resets[1], L"Value name"), L"Shell");
  EXPECT_EQ(Detail(resets[4], L"Registry Key"), machinePolicy);
  EXPECT_EQ(Detail(resets[5], L"Registry Key"), bobDom);
  const std::vector<Seen> shortcuts = RowsOf(kGroupIeShortcuts);
  ASSERT_EQ(shortcuts.size(), 2u);
  EXPECT_EQ(Detail(shortcuts[0], L"CLSID"), L"Internet Explorer");
  EXPECT_EQ(Detail(shortcuts[1], L"Registry Key"), command);
  EXPECT_EQ(Detail(shortcuts[1], L"Value data"), L"http://menu.example-hijack.test/");
}

TEST_F(IeScanFixture, EdgeUwpListsEveryExtensionAndItsResetOptions) {
  const std::wstring storage = bob.Root() + kEdgeStorage;
  const std::wstring extensions = storage + L"\\MicrosoftEdge\\Extensions";
  // More than two, so that none is left out after the second.
  for (const wchar_t* name : {L"Publisher_Hijack_abc123", L"Other_Coupons_def456", L"Third_Search_ghi789", L"plain"})
    ASSERT_TRUE(CreateKey(extensions + L"\\" + name));
  ASSERT_TRUE(CreateKey(storage + L"\\MicrosoftEdge\\Main"));
  const std::wstring protectedKey =
      storage + L"\\MicrosoftEdge\\Protected - It is a violation of Windows Policy to modify. See aka.ms/browserpolicy";
  ASSERT_TRUE(WriteStringAt(protectedKey, L"ProtectedHomepages", L"x"));
  ASSERT_TRUE(CreateKey(storage + L"\\Children\\001\\Internet Explorer\\DOMStorage\\a.test"));
  ASSERT_TRUE(CreateKey(storage + L"\\Children\\001\\Internet Explorer\\DOMStorage\\b.test"));
  // Carol: an empty extensions key and one DOM storage entry offer nothing.
  ASSERT_TRUE(CreateKey(carol.Root() + kEdgeStorage + L"\\MicrosoftEdge\\Extensions"));
  ASSERT_TRUE(CreateKey(carol.Root() + kEdgeStorage + L"\\Children\\001\\Internet Explorer\\DOMStorage\\a.test"));

  Scan(ScanEdgeUwp);

  auto extension = [&](const wchar_t* name, const wchar_t* full) {
    return std::wstring(L"\r\n\t\tExtension name: ") + name + L"\r\n\t\tUser name: bob\r\n\t\tFull extension name: " + full +
           kUnchecked;
  };
  auto reset = [&](const wchar_t* option, const wchar_t* info) {
    return std::wstring(L"\r\n\t\tReset option: ") + option + L"\r\n\t\tUser name: bob\r\n\t\tInfo: " + info + kUnchecked;
  };
  // Extensions in the order the registry lists them (alphabetical).
  EXPECT_EQ(NarrowText(Block(L"\r\n\r\n->Microsoft Edge (UWP) scan:\r\n")),
            NarrowText(L"\r\n\r\n->Microsoft Edge (UWP) scan:\r\n\r\n\tMicrosoft Edge extensions:\r\n" +
                   extension(L"Coupons", L"Other_Coupons_def456") + extension(L"plain", L"plain") +
                   extension(L"Hijack", L"Publisher_Hijack_abc123") + extension(L"Search", L"Third_Search_ghi789") +
                   L"\r\n\tMicrosoft Edge (UWP) reset options:\r\n" +
                   reset(L"Reset Edge extensions",
                         L"This option allows you to remove all MS Edge's extensions at once, for this user") +
                   reset(L"Reset Edge Main settings",
                         L"This option allows you to reset MS Edge's main settings, for this user") +
                   reset(L"Reset Edge Start Pages", L"Check this item if you want to reset Microsoft Edge's Start pages.") +
                   reset(L"Reset Edge's DOM Storage", L"Check this item if you want to reset Microsoft Edge's DOM Storage")));

  const std::vector<Seen> rows = RowsOf(kGroupEdgeUwpExtensions);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(Detail(rows[0], L"Registry Key"), extensions + L"\\Other_Coupons_def456");
  EXPECT_EQ(rows[0].column2, extensions + L"\\Other_Coupons_def456");
  const std::vector<Seen> resets = RowsOf(kGroupEdgeUwpResetOptions);
  ASSERT_EQ(resets.size(), 4u);
  EXPECT_EQ(Detail(resets[2], L"Registry Key"), protectedKey);
  EXPECT_EQ(Detail(resets[2], L"Value name"), L"ProtectedHomepages");
  EXPECT_EQ(Detail(resets[3], L"Registry Key"), storage + L"\\Children");
  for (const Seen& row : RowsOf(kGroupEdgeUwpResetOptions)) EXPECT_FALSE(row.checked);
}

TEST(EdgeUwpPhase, RunsOnWindows10Only) {
  const struct {
    double version;
    bool runs;
  } cases[] = {{6.1, false}, {6.3, false}, {10.0, true}, {11.0, false}};
  for (const auto& c : cases) {
    ScanSession session;
    session.windowsVersion = c.version;
    ScanEnvironment scan;
    scan.session = &session;
    EXPECT_EQ(EdgeUwpApplies(scan), c.runs) << c.version;
  }
}

}  // namespace
}  // namespace tavrin
