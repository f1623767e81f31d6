#include "scan/programs_phase.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "definitions/cloud_verdicts.h"
#include "definitions/definitions_db.h"
#include "filetrust/file_hash.h"
#include "platform/file_system.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/folder_guard.h"
#include "scan/folder_listing.h"
#include "cloud/maker_service_client.h"
#include "scan/program_folder.h"
#include "scan/scan_phases.h"
#include "scan/scan_session.h"
#include "support/loopback.h"
#include "support/scratch.h"
#include "scan/scan_parts.h"

namespace tavrin {
namespace {

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

// A cloud that knows nothing during the walk and, once the batch is sent,
// judges every file it was asked about malware.
class LateCloud : public CloudVerdicts {
 public:
  bool GetCachedReport(const std::wstring&, CachedReport& report) override {
    if (!flushed) return false;
    report = {1, 80};
    return true;
  }
  int QueueLookup(const std::wstring& path, const std::wstring&, const std::wstring&) override {
    queued.push_back(path);
    return 1;
  }
  int Flush() override {
    flushed = true;
    return 1;
  }
  size_t AddUpload(const std::wstring&) override { return 0; }
  void SendHashList(std::vector<std::wstring>) override {}
  bool flushed = false;
  std::vector<std::wstring> queued;
};

class ProgramsPhase : public ::testing::Test, public test::ScanParts {
 protected:
  void SetUp() override {
    const std::wstring source = L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-pdb";
    ASSERT_TRUE(CreateKey(source + L"\\Adware\\" + kAdware));
    ASSERT_TRUE(WriteDwordAt(source + L"\\Adware\\" + kQuietAdware, L"_check_state_", 0));
    ASSERT_TRUE(CreateKey(source + L"\\Adware\\" + kLeftover));
    // An uninstaller the definitions know as malware.
    ASSERT_TRUE(test::WriteBytes(knownUninstaller, "MZ known adware uninstaller " + std::to_string(GetCurrentProcessId())));
    std::wstring hash;
    ASSERT_TRUE(Md5OfFile(knownUninstaller, hash));
    ASSERT_TRUE(WriteStringAt(source + L"\\Malware\\" + hash.substr(0, 2) + L"\\" + hash.substr(2, 2) + L"\\" +
                                  hash.substr(4, 2),
                              hash.substr(6).c_str(), L"Adware.Uninstaller.8766.100"));
    ASSERT_TRUE(SaveKeyToHive(source, scratch / L"TVNdb2.dat"));
    DeleteKeyTree(source);
    ASSERT_TRUE(WriteTextFile(scratch / L"TVNdb.txt", L"2000", TextEncoding::Ansi));
    WireScan(L"http://127.0.0.1:" + std::to_wstring(test::ClosedPort()));
  }
  void TearDown() override {
    for (const std::wstring& key : keys) DeleteKeyTree(key);
  }

  std::wstring Entry(const std::wstring& name, std::initializer_list<std::pair<const wchar_t*, std::wstring>> values) {
    const std::wstring key = kRoot + name;
    keys.push_back(key);
    EXPECT_TRUE(CreateKey(key));
    for (const auto& [value, text] : values) EXPECT_TRUE(WriteStringAt(key, value, text));
    return key;
  }
  int Run() {
    const ScanPhase phases[] = {{6, nullptr, ScanPrograms}};
    return RunScanPhases(scan, phases);
  }
  std::optional<ScanItem> Row(const std::wstring& name) {
    for (const ScanItem& row : GetRows(TabList(results, kProgramsTab)))
      if (row.columns[0] == name) return row;
    return std::nullopt;
  }
  std::wstring ReportText() {
    std::wstring text;
    ReadTextFile(session.reportPath, text);
    return text;
  }

  const std::wstring knownUninstaller = scratch / L"known-uninstaller.exe";
  static constexpr wchar_t kAdware[] = L"Phase Test Adware";
  static constexpr wchar_t kQuietAdware[] = L"Phase Quiet Adware";
  static constexpr wchar_t kLeftover[] = L"Phase Leftover";
  const std::wstring kRoot = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TavrinTest-" +
                             std::to_wstring(GetCurrentProcessId()) + L"-";
  std::vector<std::wstring> keys;
};

// What the removal will read back: every hidden field of a program row,
// the definitions it produced, and the check state from the definitions.
TEST_F(ProgramsPhase, ProgramRowsFileWhatTheRemovalNeeds) {
  const std::wstring folder = scratch / L"Phase Test Adware Deluxe";
  ASSERT_TRUE(CreateFolderTree(folder));
  const std::wstring product = L"{" + std::wstring(L"0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9") + L"}";
  // Windows Installer's product code is the entry's key name.
  const std::wstring msiKey = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product;
  keys.push_back(msiKey);
  ASSERT_TRUE(WriteStringAt(msiKey, L"DisplayName", L"Phase Test Adware Deluxe"));
  ASSERT_TRUE(WriteStringAt(msiKey, L"Publisher", L"Phase Inc"));
  ASSERT_TRUE(WriteStringAt(msiKey, L"InstallLocation", folder));
  ASSERT_TRUE(WriteStringAt(msiKey, L"UninstallString", L"MsiExec.exe /X" + product));
  ASSERT_TRUE(WriteDwordAt(msiKey, L"WindowsInstaller", 1));
  // A folder of its own: one that another program claims too is neither's.
  const std::wstring quietFolder = scratch / L"Phase Quiet Adware";
  ASSERT_TRUE(CreateFolderTree(quietFolder));
  const std::wstring quietKey =
      Entry(L"quiet", {{L"DisplayName", L"Phase Quiet Adware"}, {L"InstallLocation", quietFolder}});
  // What the user whitelisted stays away, program or leftover folder.
  Entry(L"whitelisted", {{L"DisplayName", L"Phase Test Adware Lite"}, {L"UninstallString", L"C:\\x\\y.exe /u"}});
  ASSERT_TRUE(AddWhitelistEntry(whitelist, L"Programs", L"Phase Test Adware Lite"));
  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  const std::wstring whitelisted = ProgramFilesFolders().native + L"\\Phase Leftover Cache " + pid;
  const std::wstring listed = interactiveUser.LocalAppData() + L"\\Phase Leftover Data " + pid;
  ASSERT_TRUE(CreateFolderTree(whitelisted));
  ASSERT_TRUE(CreateFolderTree(listed));
  ASSERT_TRUE(AddWhitelistEntry(whitelist, L"Programs", L"Phase Leftover Cache " + pid));
  ASSERT_EQ(Run(), kScanRan);
  RemoveDirectoryW(whitelisted.c_str());
  RemoveDirectoryW(listed.c_str());
  EXPECT_FALSE(Row(L"Phase Test Adware Lite"));
  EXPECT_FALSE(Row(L"Phase Leftover Cache " + pid));
  const std::optional<ScanItem> leftover = Row(L"Phase Leftover Data " + pid);
  ASSERT_TRUE(leftover);
  EXPECT_EQ(leftover->columns[1], L"(not set)");
  EXPECT_EQ(GetDetail(TabList(results, kProgramsTab), leftover->key, L"Path"), listed);
  EXPECT_EQ(GetDetail(TabList(results, kProgramsTab), leftover->key, L"DBName"), kLeftover);
  EXPECT_EQ(ReadDetail(TabList(results, kProgramsTab), L"_TVN_PRODUCTS_FOUND_", kLeftover), L"1");

  ResultList list = TabList(results, kProgramsTab);
  const std::optional<ScanItem> msi = Row(L"Phase Test Adware Deluxe");
  ASSERT_TRUE(msi);
  EXPECT_EQ(GetDetail(list, msi->key, L"Registry Key"), msiKey);
  EXPECT_EQ(msi->columns[1], L"Phase Inc");
  EXPECT_EQ(msi->columns[2], L"(All users)");
  EXPECT_TRUE(msi->checked);
  EXPECT_EQ(GetDetail(list, msi->key, L"Path"), folder);
  EXPECT_EQ(GetDetail(list, msi->key, L"DBName"), kAdware);
  EXPECT_EQ(GetDetail(list, msi->key, L"Uninstall String"), L"MsiExec.exe /X" + product);
  EXPECT_EQ(GetDetail(list, msi->key, L"User name"), L"(All users)");
  EXPECT_EQ(GetDetail(list, msi->key, L"MSI Product"), product);
  EXPECT_EQ(ReadDetail(list, L"_TVN_PRODUCTS_FOUND_", kAdware), L"1");

  const std::optional<ScanItem> quiet = Row(L"Phase Quiet Adware");
  ASSERT_TRUE(quiet);
  EXPECT_FALSE(quiet->checked);
  EXPECT_EQ(quiet->columns[1], L"(Not set)");
  EXPECT_EQ(GetDetail(list, quiet->key, L"Registry Key"), quietKey);
  EXPECT_EQ(GetDetail(list, quiet->key, L"MSI Product"), L"");
  EXPECT_EQ(GetDetail(list, quiet->key, L"Uninstall String"), L"");
  EXPECT_NE(ReportText().find(L"\r\n\tDetected program: Phase Quiet Adware\r\n\t\tUninstall key: " + quietKey +
                              L"\r\n\t\tFolder path: " + quietFolder +
                              L"\r\n\t\tUser name : (All users)\r\n\t\tItem state: Unchecked\r\n"),
            std::wstring::npos);
}

// Two entries that run one uninstaller the definitions flag are both
// listed, not only the first that asked about the file.
TEST_F(ProgramsPhase, EveryEntryOfAFlaggedUninstallerIsListed) {
  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  const std::wstring names[] = {L"Deal Finder " + pid, L"Deal Finder Helper " + pid};
  Entry(L"shared-a", {{L"DisplayName", names[0]}, {L"UninstallString", L"\"" + knownUninstaller + L"\" /S"}});
  Entry(L"shared-b", {{L"DisplayName", names[1]}, {L"UninstallString", knownUninstaller + L" /remove"}});
  ASSERT_EQ(Run(), kScanRan);
  for (const std::wstring& name : names) {
    const std::optional<ScanItem> row = Row(name);
    ASSERT_TRUE(row) << Narrow(name);
    EXPECT_FALSE(row->checked);  // a flagged uninstaller is a hint, not a verdict
  }
}

// Names that no folder may be built from are still adware's names: they
// are matched and listed, only without a folder.
TEST_F(ProgramsPhase, NamesWithSeparatorsDotsOrGreatLengthAreMatchedAndListed) {
  const std::wstring windows = FindMachineFolders().windows;
  const std::wstring names[] = {std::wstring(kAdware) + L" 2/../../Windows", std::wstring(kAdware) + L" .. Setup",
                                std::wstring(kAdware) + L" " + std::wstring(300, L'x')};
  int index = 0;
  for (const std::wstring& name : names)
    Entry(L"odd" + std::to_wstring(index++), {{L"DisplayName", name}, {L"InstallLocation", windows}});
  ASSERT_EQ(Run(), kScanRan);
  ResultList list = TabList(results, kProgramsTab);
  for (const std::wstring& name : names) {
    const std::optional<ScanItem> row = Row(name);
    ASSERT_TRUE(row) << Narrow(name);
    EXPECT_TRUE(row->checked);
    EXPECT_EQ(GetDetail(list, row->key, L"DBName"), kAdware);
    EXPECT_EQ(GetDetail(list, row->key, L"Path"), L"");
  }
}

// An uninstaller the cloud judges only after the walk: every program that
// runs it is listed then, with the check box the definitions give, and
// the names go to the maker's service.
TEST_F(ProgramsPhase, AnUninstallerFlaggedByTheCloudListsItsProgramAndReportsIt) {
  ASSERT_TRUE(test::TheLoopback().running);
  LateCloud cloud;
  scan.cloud = &cloud;
  scan.definitionsServer = test::TheLoopback().HttpUrl(L"/maker");
  const std::wstring uninstaller = scratch / L"remove-me.exe";
  ASSERT_TRUE(test::WriteBytes(uninstaller, "MZ not a real program " + std::to_string(GetCurrentProcessId())));
  const std::wstring name = L"Unknown Coupon & Deal Finder " + std::to_wstring(GetCurrentProcessId());
  const std::wstring key = Entry(L"flagged", {{L"DisplayName", name}, {L"UninstallString", L"\"" + uninstaller + L"\" /S"}});
  const std::wstring twinName = L"Coupon Twin " + std::to_wstring(GetCurrentProcessId());
  Entry(L"flagged-twin", {{L"DisplayName", twinName}, {L"UninstallString", uninstaller}});
  ASSERT_EQ(Run(), kScanRan);

  ASSERT_EQ(cloud.queued.size(), 1u);
  EXPECT_TRUE(EqualsNoCase(cloud.queued[0], uninstaller));
  const std::optional<ScanItem> twin = Row(twinName);
  ASSERT_TRUE(twin);
  EXPECT_TRUE(twin->checked);
  const std::optional<ScanItem> row = Row(name);
  ASSERT_TRUE(row);
  EXPECT_TRUE(row->checked);
  EXPECT_EQ(GetDetail(TabList(results, kProgramsTab), row->key, L"DBName"), name);
  EXPECT_NE(ReportText().find(L"\r\n\tDetected program: " + name + L"\r\n\t\tUninstall key: " + key), std::wstring::npos);
  EXPECT_NE(ReportText().find(L"\r\n\t\tItem state: Checked\r\n"), std::wstring::npos);

  // Both names, in the order of the walk.
  const std::string pid = std::to_string(GetCurrentProcessId());
  std::string expected = "/maker/tavrin/pup_report.php?ps=Unknown%20Coupon%20%26%20Deal%20Finder%20" + pid +
                         "%7C%7C%7CCoupon%20Twin%20" + pid + "%7C%7C%7C";
  bool sent = false;
  for (int i = 0; i < 100 && !sent; ++i, Sleep(50)) sent = test::TheLoopback().RequestCount(expected) > 0;
  EXPECT_TRUE(sent) << expected;
}

// Texts from uninstall entries never become paths that step outside the
// folder they are looked for in, nor a folder the system needs.
TEST(ProgramFolderRules, HostileNamesAndFoldersAreRefused) {
  EXPECT_EQ(PackedProductCode(L"{3A5C7E91-B2D4-4F68-8A0C-1E3F5A7C9B2D}"), L"19E7C5A34D2B86F4A8C0E1F3A5C7B9D2");
  EXPECT_EQ(PackedProductCode(L"{6f1b7c2e-3d4a-4b5c-9e8f-1a2b3c4d5e6f}"), L"E2C7B1F6A4D3C5B4E9F8A1B2C3D4E5F6");
  for (const wchar_t* notGuid : {L"", L"3A5C7E91-B2D4-4F68-8A0C-1E3F5A7C9B2D", L"{3A5C7E91-B2D4-4F68-8A0C-1E3F5A7C9B2}",
                                 L"{..\\..\\..\\..-....-....-....-............}"})
    EXPECT_EQ(PackedProductCode(notGuid), L"") << Narrow(notGuid);

  for (const wchar_t* name : {L"Foo Toolbar", L"Foo's Deals (x64) 2.0", L"Café Helper"})
    EXPECT_TRUE(IsPathSafeName(name)) << Narrow(name);
  for (const wchar_t* name : {L"", L"..", L"Foo\\..\\Bar", L"a/b", L"C:Foo", L"Foo..", L"Foo*", L"Fo?o", L"a\tb",
                              L"Foo\"", L"x|y", L"<x>"})
    EXPECT_FALSE(IsPathSafeName(name)) << Narrow(name);

  const std::wstring windows = FindMachineFolders().windows;
  EXPECT_TRUE(EqualsNoCase(CanonicalFolder(windows + L"\\system32\\..\\Temp\\.\\x\\").value_or(L""), windows + L"\\Temp\\x"));
  EXPECT_TRUE(EqualsNoCase(CanonicalFolder(L"c:/users/../windows").value_or(L""), L"c:\\windows"));
  for (const wchar_t* outside : {L"\\\\server\\share\\x", L"\\\\?\\C:\\x", L"relative\\x", L"C:x", L"C:\\", L"C:\\..",
                                 L"\\windows"})
    EXPECT_FALSE(CanonicalFolder(outside)) << Narrow(outside);

  const ProgramFiles programFiles = ProgramFilesFolders();
  KnownFolders known = ResolveKnownFolders(nullptr, L"");
  const FolderGuard guard = BuildFolderGuard(known, {});
  for (const std::wstring& kept : {programFiles.native, programFiles.x86, known.commonAppData, known.user.appData,
                                   known.user.localAppData, known.profile, windows, windows + L"\\Fonts\\x",
                                   programFiles.native + L"\\Common Files"})
  {
    const std::optional<std::wstring> canonical = CanonicalFolder(kept);
    ASSERT_TRUE(canonical) << Narrow(kept);
    EXPECT_FALSE(IsStorableFolder(guard, *canonical)) << Narrow(kept);
  }
  EXPECT_TRUE(IsStorableFolder(guard, programFiles.native + L"\\Some Vendor"));
}

// A folder found in a listing is named as CanonicalFolder names it, however
// the parent was written.
TEST(FolderListings, FoundFoldersAreCanonical) {
  const std::wstring temp = FindMachineFolders().windows + L"\\Temp";
  const std::wstring name = L"Tavrin Listing " + std::to_wstring(GetCurrentProcessId());
  const std::wstring folder = temp + L"\\" + name + L" Data";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::optional<std::wstring> canonical = CanonicalFolder(folder);
  ASSERT_TRUE(canonical);
  FolderListings listings;
  for (const std::wstring& parent : {temp, temp + L"\\", ToUpper(temp) + L"\\..\\temp\\."}) {
    EXPECT_EQ(FindSubfolder(listings, parent, ToLower(name)), canonical) << Narrow(parent);
    EXPECT_EQ(FindSubfolder(listings, parent, name + L" DATA", true), canonical) << Narrow(parent);
    EXPECT_FALSE(FindSubfolder(listings, parent, name, true)) << Narrow(parent);
  }
  RemoveDirectoryW(folder.c_str());
}

TEST(FoundProgramsReport, TheListIsEscapedOrNotSentAtAll) {
  EXPECT_EQ(FoundProgramsUrl(L"http://h:1/", L"A&B=C+D #?|||"),
            L"http://h:1/tavrin/pup_report.php?ps=A%26B%3DC%2BD%20%23%3F%7C%7C%7C");
  EXPECT_FALSE(FoundProgramsUrl(L"http://h", L"ab|||"));  // six characters or fewer
  // Too long to escape within the buffer: nothing rather than the raw text.
  EXPECT_FALSE(FoundProgramsUrl(L"http://h", std::wstring(1500, L' ') + L"|||"));
  EXPECT_TRUE(FoundProgramsUrl(L"http://h", std::wstring(1000, L'a') + L"|||"));
}

}  // namespace
}  // namespace tavrin
