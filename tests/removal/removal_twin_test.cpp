// The JSON twin of the removal report, written by a removal run in-process:
// every row dealt with is an action with the outcome the counters were
// told and its own report line (never a neighbour's), failures as failures,
// and the rows as they stood before anything was removed.
#include "removal/removal_report_json.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "scan/known_folders.h"
#include "scan/scan_report_json.h"
#include "scan/scan_session.h"
#include "support/report_twin.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

TEST(RemovalTwin, EveryRowIsAnActionWithItsTrueOutcomeAndItsOwnLine) {
  test::ScratchFolder scratch;
  ResultSet results;
  ScanSession scan;
  RemovalSession session;
  ASSERT_TRUE(StartNewResults(results, scratch.Path(), 4242));
  scan.folders = ResolveKnownFolders(nullptr, L"");
  scan.reportPath = scratch / L"tvnScan4242.txt";
  scan.twin.header.databaseNumber = L"2000";
  scan.twin.windowsVersion = L"10.0";
  session.scan = &scan;
  session.results = &results;
  session.dataFolder = scratch.Path();

  // Removed: a real infected file whose name needs escaping in JSON.
  const std::wstring gone = scratch / L"evil \x2019 \xD83D\xDE00.exe";
  ASSERT_TRUE(test::WriteBytes(gone, "MZ evil"));
  // Failed: a Run value under a key the scan never reads, named with quotes
  // and control characters; and a row without the key it needs, which the
  // report passes over in silence but which is still no success.
  const std::wstring hostile = L"q\"x\\y\x01z";
  ResultList autostart = TabList(results, kAutostartTab);
  ScanItemDetails run;
  run.group = kGroupRegistryAutostart;
  run.registryKey = L"HKLM64\\SOFTWARE\\TavrinTest-" + std::to_wstring(GetCurrentProcessId());
  run.valueName = hostile;
  run.userName = L"(All users)";
  const int elsewhere = AddRow(autostart, kGroupRegistryAutostart, hostile, L"(All users)", L"", true);
  ASSERT_GT(StoreDetails(autostart, GetRowKey(autostart, elsewhere), run), 0);
  AddRow(autostart, kGroupRegistryAutostart, L"no key", L"(All users)", L"", true);
  AddRow(TabList(results, kMalwareTab), kGroupInfectedFiles, gone, L"High", L"Trojan", true);
  // Failed: a malware row whose path is not canonical; the file stays.
  const std::wstring climbing = scratch / L"sub\\..\\kept too.exe";
  ASSERT_TRUE(test::WriteBytes(scratch / L"kept too.exe", "MZ"));
  AddRow(TabList(results, kMalwareTab), kGroupInfectedFiles, climbing, L"High", L"Trojan", true);
  // Left alone: unchecked.
  AddRow(TabList(results, kMalwareTab), kGroupInfectedFiles, scratch / L"kept.exe", L"", L"", false);

  RunRemoval(session);
  EXPECT_FALSE(test::FileExists(gone));
  EXPECT_TRUE(test::FileExists(scratch / L"kept too.exe"));
  ASSERT_EQ(session.twinPath, ReportTwinPath(session.report.Path()));
  const test::ReportTwin twin = test::ReadReportTwin(session.twinPath);
  ASSERT_EQ(twin.problem, "");
  std::wstring text;
  ASSERT_TRUE(ReadTextFile(session.report.Path(), text));

  EXPECT_EQ(twin.Text(L"kind"), L"removal");
  EXPECT_EQ(twin.Text(L"definitions"), L"2000");
  EXPECT_EQ(twin.Text(L"windows->version"), L"10.0");
  EXPECT_EQ(twin.Text(L"scanReport"), L"tvnScan4242.txt");
  EXPECT_EQ(twin.Text(L"report"), session.report.Path().substr(session.report.Path().rfind(L'\\') + 1));
  EXPECT_EQ(twin.Text(L"outcome"), L"completedWithFailures");
  EXPECT_EQ(twin.Text(L"processed"), std::to_wstring(session.processedCount));
  EXPECT_EQ(twin.Text(L"succeeded"), L"1");

  struct Expected {
    const wchar_t* tab;
    const wchar_t* outcome;
    std::wstring lineHas;  // empty: the action has no line
  };
  // Rows are dealt with last to first within a tab.
  const Expected expected[] = {
      {L"autostart", L"failed", L""},
      {L"autostart", L"failed", L"Failed"},
      {L"malware", L"failed", L"Failed to remove infected file: " + climbing + L"."},
      {L"malware", L"removed", L"Successfully removed infected file: " + gone + L"."},
  };
  const auto actions = twin.Elements(L"actions");
  ASSERT_EQ(actions.size(), std::size(expected));
  EXPECT_EQ(int(actions.size()), session.processedCount);
  for (size_t i = 0; i < actions.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(twin.Member(actions[i], L"tab"), expected[i].tab);
    EXPECT_EQ(twin.Member(actions[i], L"outcome"), expected[i].outcome);
    const std::wstring line = twin.Member(actions[i], L"line");
    if (expected[i].lineHas.empty()) {
      EXPECT_EQ(line, L"<missing>");
    } else {
      EXPECT_NE(line.find(expected[i].lineHas), std::wstring::npos) << ::testing::PrintToString(line);
      // Each line is the report's, word for word.
      EXPECT_NE(text.find(line), std::wstring::npos) << ::testing::PrintToString(line);
    }
  }
  EXPECT_NE(twin.Member(actions[1], L"line").find(hostile), std::wstring::npos);

  // The rows as they were: the removed file is still listed.
  const auto findings = twin.Elements(L"findings");
  ASSERT_EQ(findings.size(), 5u);
  EXPECT_EQ(twin.Member(findings[2], L"name"), gone);
  EXPECT_EQ(twin.Member(findings[4], L"checked"), L"false");
  PreferenceNode details;
  ASSERT_TRUE(twin.doc.GetMember(&findings[0], L"details", details));
  EXPECT_EQ(twin.Member(details, L"Value name"), hostile);
}

}  // namespace
}  // namespace tavrin
