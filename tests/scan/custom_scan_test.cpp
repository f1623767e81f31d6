#include "scan/custom_scan.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "scan/malware_file_list.h"
#include "scan/custom_scan_target.h"
#include "scan/scan_parts.h"
#include "support/shortcut_maker.h"

namespace tavrin {
namespace {

constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(CustomScanTarget, EachFormBecomesItsPlan) {
  test::ScratchFolder tree;
  ASSERT_TRUE(CreateFolderTree(tree / L"sub"));
  ASSERT_TRUE(test::WriteBytes(tree / L"a.exe", "MZ"));
  ASSERT_TRUE(test::WriteBytes(tree / L"b.dll", "MZ"));
  const std::wstring folder = tree.Path();

  struct Case {
    std::wstring text;
    bool recursive;
    bool accepted;
    CustomScanMode mode;
    std::vector<std::wstring> entries;
  };
  const Case cases[] = {
      {folder, true, true, CustomScanMode::RecursiveFolder, {folder}},
      {L"  " + folder + L"\\ ", false, true, CustomScanMode::FolderRoot, {folder}},
      {folder + L"\\a.exe", true, true, CustomScanMode::SingleFile, {folder + L"\\a.exe"}},
      {folder + L"|a.exe|b.dll", true, true, CustomScanMode::MultipleFiles, {folder + L"\\a.exe", folder + L"\\b.dll"}},
      // One listed file that is gone leaves the other to scan.
      {folder + L"\\|gone.exe|b.dll", true, true, CustomScanMode::MultipleFiles,
       {folder + L"\\gone.exe", folder + L"\\b.dll"}},
      {folder + L"\\missing", true, false, {}, {}},
      {folder + L"\\missing.exe", true, false, {}, {}},
      {folder + L"|", true, false, {}, {}},
      {folder + L"|gone.exe|gone.dll", true, false, {}, {}},
      {folder + L"\\missing|a.exe", true, false, {}, {}},
      // A listed name never leads out of its folder.
      {folder + L"\\sub|..\\a.exe", true, false, {}, {}},
      {folder + L"\\sub|..", true, false, {}, {}},
      {folder + L"|C:\\windows\\notepad.exe", true, false, {}, {}},
      {L"C", true, false, {}, {}},
  };
  for (const Case& c : cases) {
    CustomScanPlan plan;
    ASSERT_EQ(ParseCustomScanTarget(c.text, c.recursive, plan), c.accepted) << Narrow(c.text);
    if (!c.accepted) continue;
    EXPECT_EQ(plan.mode, c.mode) << Narrow(c.text);
    EXPECT_EQ(plan.entries, c.entries) << Narrow(c.text);
  }
}

TEST(CustomScanTarget, DroppedItemsBecomeOneTarget) {
  test::ScratchFolder tree;
  ASSERT_TRUE(CreateFolderTree(tree / L"sub"));
  for (const wchar_t* file : {L"a.exe", L"b.dll", L"sub\\c.exe"}) ASSERT_TRUE(test::WriteBytes(tree / file, "MZ"));
  EXPECT_EQ(TargetOfItems({tree / L"sub"}), tree / L"sub");
  EXPECT_EQ(TargetOfItems({tree / L"a.exe"}), tree / L"a.exe");
  EXPECT_EQ(TargetOfItems({tree / L"a.exe", tree / L"b.dll"}), tree.Path() + L"|a.exe|b.dll");
  // Only the files of the first file's folder go into a list.
  EXPECT_EQ(TargetOfItems({tree / L"sub", tree / L"a.exe", tree / L"sub\\c.exe", tree / L"b.dll"}),
            tree.Path() + L"|a.exe|b.dll");
  EXPECT_EQ(TargetOfItems({}), L"");
}

TEST(CustomScanFiles, OnlyRunnableNamesAndSubfoldersWhenAsked) {
  for (const wchar_t* name : {L"a.exe", L"A.DLL", L"x.lnk", L"s.ps1xml", L"p.vbs", L"z.7z", L"d.gzip"})
    EXPECT_TRUE(IsCollectedName(name)) << Narrow(name);
  for (const wchar_t* name : {L"a.txt", L"exe", L"a.exe.bak", L"a.lnkx", L"a.jpg"})
    EXPECT_FALSE(IsCollectedName(name)) << Narrow(name);

  test::ScratchFolder tree;
  ASSERT_TRUE(CreateFolderTree(tree / L"one\\two"));
  for (const wchar_t* file : {L"top.exe", L"top.txt", L"one\\mid.cmd", L"one\\two\\deep.sys"})
    ASSERT_TRUE(test::WriteBytes(tree / file, "x"));
  CollectedFiles flat;
  CollectFolder(flat, tree.Path(), false, nullptr);
  EXPECT_EQ(flat.Paths(), std::vector<std::wstring>{tree / L"top.exe"});
  CollectedFiles deep;
  CollectFolder(deep, tree.Path(), true, nullptr);
  std::vector<std::wstring> files = deep.Paths();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::wstring>{tree / L"one\\mid.cmd", tree / L"one\\two\\deep.sys", tree / L"top.exe"}));
}

class CancelAt : public ProgressSink {
 public:
  void SetProgress(int percent) override {
    if (flags && percent >= at) flags->user = true;
  }
  void SetStatus(const std::wstring& text) override { statuses.push_back(text); }
  CancelFlags* flags = nullptr;
  int at = 1000;
  std::vector<std::wstring> statuses;
};

// A data folder with the EICAR file's hash in its definitions, and a tree
// with the file at several depths, beside files that are not malware or
// not collected, and a shortcut to a copy outside the tree.
class CustomScanFixture : public ::testing::Test, public test::ScanParts {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring db = L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-custom";
    ASSERT_TRUE(WriteStringAt(db + L"\\Malware\\44\\D8\\86", L"12FEA8A8F36DE82E1278ABB02F", L"EICAR-Test-File.8766.100"));
    ASSERT_TRUE(SaveKeyToHive(db, scratch / L"TVNdb2.dat"));
    DeleteKeyTree(db);
    ASSERT_TRUE(WriteTextFile(scratch / L"TVNdb.txt", L"2000", TextEncoding::Ansi));
    WireScan(L"http://127.0.0.1:9");
    progress.flags = &cancel;
    scan.progress = &progress;

    root = tree / L"Tools";
    ASSERT_TRUE(CreateFolderTree(root + L"\\a\\b"));
    ASSERT_TRUE(CreateFolderTree(tree / L"elsewhere"));
    for (const wchar_t* file : {L"\\top.exe", L"\\readme.txt", L"\\a\\mid.scr", L"\\a\\b\\deep.dll"})
      ASSERT_TRUE(test::WriteBytes(root + file, kEicar));
    ASSERT_TRUE(test::WriteBytes(root + L"\\clean.dll", "MZ clean"));
    ASSERT_TRUE(test::WriteBytes(tree / L"elsewhere\\hidden.exe", kEicar));
    ASSERT_TRUE(test::MakeShortcut(root + L"\\a\\go.lnk", tree / L"elsewhere\\hidden.exe"));
  }
  void TearDown() override { CoUninitialize(); }

  std::set<std::wstring> InfectedFiles() {
    std::set<std::wstring> files;
    for (const ScanItem& row : GetRows(TabList(results, kMalwareTab))) {
      EXPECT_EQ(row.group, kGroupInfectedFiles) << Narrow(row.columns[0]);
      files.insert(row.columns[0]);
    }
    return files;
  }
  std::wstring ReportText() {
    std::wstring text;
    ReadTextFile(session.reportPath, text);
    return text;
  }

  test::ScratchFolder tree;
  std::wstring root;
  CancelAt progress;
};

TEST_F(CustomScanFixture, EveryFormFindsExactlyThePlantedFiles) {
  const std::wstring hidden = tree / L"elsewhere\\hidden.exe";
  const std::wstring link = root + L"\\a\\go.lnk";
  struct Case {
    CustomScanRequest request;
    const wchar_t* modeLine;
    bool scanningLine;
    std::set<std::wstring> found;
  };
  const Case cases[] = {
      {{root, true},
       L"\r\n\tOn demand recursive directory threat scan\r\n",
       true,
       {root + L"\\top.exe", root + L"\\a\\mid.scr", root + L"\\a\\b\\deep.dll", hidden, link}},
      {{root, false}, L"\r\n\tOn demand directory root threat scan\r\n", true, {root + L"\\top.exe"}},
      {{root + L"\\a\\b\\deep.dll", true},
       L"\r\n\tOn demand single file threat scan\r\n",
       true,
       {root + L"\\a\\b\\deep.dll"}},
      {{root + L"\\a|mid.scr|go.lnk|missing.exe", true},
       L"\r\n\tOn demand multiple file threat scan\r\n",
       false,
       {root + L"\\a\\mid.scr", hidden, link}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.request.target));
    ASSERT_EQ(RunCustomScan(scan, c.request), kScanRan);
    EXPECT_EQ(InfectedFiles(), c.found);
    EXPECT_EQ(GetCounters(results).rowsAdded, int(c.found.size()));
    EXPECT_EQ(GetCounters(results).rowsAddedChecked, int(c.found.size()));

    ASSERT_EQ(session.reportPath, CustomScanReportPath(scratch.Path(), session.startTime));
    const std::wstring text = ReportText();
    const std::wstring head =
        L"\r\n###### Tavrin's threat scan report ######\r\n\r\n\tTavrin version: 10.9.6.0 (64bits).\r\n"
        L"\tTavrin definitions database number: 2000.\r\n" + std::wstring(c.modeLine) + L"\tScan start time: ";
    EXPECT_EQ(text.find(head), 0u);
    const std::wstring scanning = L".\r\n\r\n->Scanning " + c.request.target + L"...\r\n\r\n\tInfected file objects:\r\n";
    EXPECT_EQ(text.find(scanning) != std::wstring::npos, c.scanningLine);
    for (const ScanItem& row : GetRows(TabList(results, kMalwareTab))) {
      EXPECT_NE(text.find(L"\r\n\t\tPath: " + row.columns[0] + L"\r\n\t\tThreat level: " + row.columns[1] +
                          L"\r\n\t\tMalware type: EICAR-Test-File.8766.100\r\n\t\tModified in: " + row.columns[3] +
                          L"\r\n\t\tItem state: Checked\r\n"),
                std::wstring::npos)
          << Narrow(row.columns[0]);
    }
    EXPECT_EQ(text.find(L"No threats found"), std::wstring::npos);
    EXPECT_NE(text.find(L"\r\n\r\n->End of custom scan\r\n\r\n\tScan end time:   "), std::wstring::npos);
    EXPECT_NE(text.find(L"\tThe scan completed successfully.\r\n\r\n\r\n############ End of report "), std::wstring::npos);
    const size_t at = text.rfind(L"End of report ") + 14;
    EXPECT_EQ(text.substr(at, text.find(L' ', at) - at), std::to_wstring(FileSize(session.reportPath)));
    EXPECT_EQ(text.find(L"Anti-Malware"), std::wstring::npos);
    EXPECT_FALSE(KeyExists(L"HKLM\\TVN DB " + std::to_wstring(session.startTime)));
    EXPECT_EQ(progress.statuses.back(), L"Scan complete.");
  }
}

TEST_F(CustomScanFixture, CleanFolderSaysNoThreatsFound) {
  ASSERT_EQ(RunCustomScan(scan, {root + L"\\clean.dll", true}), kScanRan);
  EXPECT_TRUE(InfectedFiles().empty());
  EXPECT_NE(ReportText().find(L"\tInfected file objects:\r\n\r\n\t\tNo threats found\r\n\r\n->End of custom scan"),
            std::wstring::npos);
  EXPECT_EQ(GetCounters(results).rowsAdded, 0);
}

TEST_F(CustomScanFixture, ClearsEveryTabAndTheWorkFolderOfTheLastScan) {
  ASSERT_TRUE(PrepareWorkFolder(results, scratch.Path(), 12345));
  const std::wstring oldWork = WorkFolder(results);
  ResultList programs = TabList(results, kProgramsTab);
  const int row = AddRow(programs, kNoGroup, L"Example Toolbar", L"", L"", true);
  ASSERT_GE(row, 0);
  ASSERT_GT(StoreDetails(programs, GetRowKey(programs, row), ScanItemDetails{kNoGroup, L"HKLM\\SOFTWARE\\Example"}), 0);
  AddRow(TabList(results, kAutostartTab), kNoGroup, L"Run entry", L"", L"", true);

  ASSERT_EQ(RunCustomScan(scan, {root, false}), kScanRan);
  for (int tab : {kProgramsTab, kAutostartTab, kBrowsersTab}) EXPECT_EQ(RowCount(TabList(results, tab)), 0) << tab;
  EXPECT_FALSE(FolderExists(oldWork));
  EXPECT_TRUE(FolderExists(WorkFolder(results)));
  EXPECT_EQ(InfectedFiles().size(), 1u);
}

TEST_F(CustomScanFixture, MissingTargetEndsBeforeTouchingResultsOrWritingAReport) {
  AddRow(TabList(results, kProgramsTab), kNoGroup, L"Example Toolbar", L"", L"", true);
  session.reportPath = L"C:\\earlier\\tvnScan1.txt";
  for (const std::wstring& target : {root + L"\\nothere", root + L"\\nothere.exe", root + L"|nothere.exe"}) {
    EXPECT_EQ(RunCustomScan(scan, {target, true}), kCustomScanNoTarget) << Narrow(target);
  }
  EXPECT_EQ(RowCount(TabList(results, kProgramsTab)), 1);
  EXPECT_EQ(session.reportPath, L"C:\\earlier\\tvnScan1.txt");
  EXPECT_FALSE(FindFiles(scratch / L"customScan*").Next());

  const ScanSummary summary = SummarizeCustomScan({kCustomScanNoTarget});
  EXPECT_FALSE(summary.asksForTips);
  EXPECT_EQ(summary.message.find(L"Congratulations"), std::wstring::npos);
  EXPECT_EQ(summary.status, L"Error starting scan.");
  EXPECT_NE(SummarizeCustomScan({kScanRan, false, 2, 2}).message.find(L"Take a look at the Malware tab,"),
            std::wstring::npos);
}

TEST_F(CustomScanFixture, StopDuringTheChecksEndsTheReportAsCancelled) {
  progress.at = 30;  // raised as the first file is checked
  ASSERT_EQ(RunCustomScan(scan, {root, true}), kScanRan);
  EXPECT_TRUE(session.cancelled);
  EXPECT_LE(InfectedFiles().size(), 1u);
  const std::wstring text = ReportText();
  EXPECT_NE(text.find(L"\tThe scan was cancelled by the user.\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"->End of custom scan"), std::wstring::npos);
  EXPECT_EQ(progress.statuses.back(), L"Scan aborted.");
  EXPECT_FALSE(KeyExists(L"HKLM\\TVN DB " + std::to_wstring(session.startTime)));
}

}  // namespace
}  // namespace tavrin
