// The JSON twins of the scan and custom scan reports, written by a real
// scan session in-process and read back with the program's JSON reader:
// rows with hostile texts come back exactly (lone surrogates as U+FFFD),
// the header facts and the outcome are true, and a twin that cannot be
// written leaves the text report as it is.
#include "scan/scan_report_json.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/pattern.h"
#include "scan/custom_scan.h"
#include "scan/scan_parts.h"
#include "scan/scan_phases.h"
#include "support/report_twin.h"

namespace tavrin {
namespace {

constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

// Quotes, backslashes, control characters, a lone high and a lone low
// surrogate and a whole pair; and how each reads back.
const std::wstring kHostile = L"q\"uote \\back\tx\x01\x1f\x7f end \xD800x \xDC00y \xD83D\xDE00.";
const std::wstring kHostileBack = L"q\"uote \\back\tx\x01\x1f\x7f end \xFFFDx \xFFFDy \xD83D\xDE00.";
const std::wstring kLongName = std::wstring(70000, L'n') + kHostile;
const std::wstring kLongBack = std::wstring(70000, L'n') + kHostileBack;

class TwinFixture : public ::testing::Test, public test::ScanParts {
 protected:
  void SetUp() override {
    const std::wstring db = L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-twin";
    ASSERT_TRUE(WriteStringAt(db + L"\\Malware\\44\\D8\\86", L"12FEA8A8F36DE82E1278ABB02F", L"EICAR-Test-File.8766.100"));
    ASSERT_TRUE(SaveKeyToHive(db, scratch / L"TVNdb2.dat"));
    DeleteKeyTree(db);
    ASSERT_TRUE(WriteTextFile(scratch / L"TVNdb.txt", L"2000", TextEncoding::Ansi));
    WireScan(L"http://127.0.0.1:9");
  }

  // The twin beside the session's report, checked sound.
  test::ReportTwin Twin() {
    EXPECT_EQ(session.twinPath, ReportTwinPath(session.reportPath));
    EXPECT_EQ(session.twinPath.substr(0, session.twinPath.size() - 5),
              session.reportPath.substr(0, session.reportPath.size() - 4));
    test::ReportTwin twin = test::ReadReportTwin(session.twinPath);
    EXPECT_EQ(twin.problem, "");
    EXPECT_FALSE(FindFiles(scratch / L"*.tmp").Next()) << "a temporary file was left behind";
    return twin;
  }

  // The findings of one tab, in order.
  std::vector<PreferenceNode> Findings(const test::ReportTwin& twin, const std::wstring& tab) {
    std::vector<PreferenceNode> out;
    for (const PreferenceNode& row : twin.Elements(L"findings"))
      if (twin.Member(row, L"tab") == tab) out.push_back(row);
    return out;
  }
};

// Set: the phase stops the scan once its rows are in.
CancelFlags* cancelAfterRows = nullptr;

// One row of every tab with hostile texts and details.
void HostilePhase(ScanEnvironment& scan) {
  ResultSet& results = *scan.results;
  ResultList programs = TabList(results, kProgramsTab);
  const int program = AddRow(programs, kNoGroup, kHostile, L"Acme \"Ltd\"", L"alice", true);
  ScanItemDetails details;
  details.path = L"C:\\Program Files\\" + kHostile;
  details.extra = {{L"Uninstall string", L"\"C:\\u n.exe\" /x " + kHostile}};
  EXPECT_GT(StoreDetails(programs, GetRowKey(programs, program), details), 0);

  ResultList autostart = TabList(results, kAutostartTab);
  const int run = AddRow(autostart, kGroupRegistryAutostart, kLongName, L"(All users)", L"C:\\x\\" + kHostile, false);
  ScanItemDetails runDetails;
  runDetails.group = kGroupRegistryAutostart;
  runDetails.registryKey = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  runDetails.valueName = kLongName;
  EXPECT_GT(StoreDetails(autostart, GetRowKey(autostart, run), runDetails), 0);

  AddRow(TabList(results, kBrowsersTab), kGroupChromeStartPages, L"Start page", L"bob",
         L"https://x.example/?q=\"<a>\"&r=\\", true);
  ResultList malware = TabList(results, kMalwareTab);
  const int file = AddRow(malware, kGroupInfectedFiles, L"C:\\evil\\" + kHostile, L"High", L"Trojan.\"Test\"", true);
  SetColumnText(malware, file, 3, L"2026/12/01 10:00:00");

  if (cancelAfterRows) cancelAfterRows->user = true;
}

TEST_F(TwinFixture, ScanTwinHoldsTheHeaderEveryRowAndTheInventory) {
  const ScanPhase phases[] = {{6, nullptr, HostilePhase}};
  for (const bool cancelled : {false, true}) {
    SCOPED_TRACE(cancelled ? "cancelled" : "completed");
    cancelAfterRows = cancelled ? &cancel : nullptr;
    ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
    std::wstring text;
    ASSERT_TRUE(ReadTextFile(session.reportPath, text));
    EXPECT_NE(text.find(cancelled ? L"The scan was cancelled by the user" : L"The scan completed successfully"),
              std::wstring::npos);
    const test::ReportTwin twin = Twin();
    ASSERT_EQ(twin.problem, "");

    EXPECT_EQ(twin.Text(L"kind"), L"scan");
    EXPECT_EQ(twin.Text(L"program->version"), L"10.9.6.0");
    EXPECT_EQ(twin.Text(L"program->bits"), L"64");
    EXPECT_EQ(twin.Text(L"definitions"), L"2000");
    EXPECT_EQ(twin.Text(L"options->scanAllUsers"), L"true");
    EXPECT_EQ(twin.Text(L"options->detectionLevel"), L"medium");
    EXPECT_EQ(twin.Text(L"outcome"), cancelled ? L"cancelled" : L"completed");
    EXPECT_EQ(twin.Text(L"report"), session.reportPath.substr(session.reportPath.rfind(L'\\') + 1));
    const Pattern iso(L"\\A\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d\\z");
    EXPECT_TRUE(iso.Matches(twin.Text(L"startTime"))) << test::NarrowText(twin.Text(L"startTime"));
    EXPECT_TRUE(iso.Matches(twin.Text(L"endTime")));
    EXPECT_LE(twin.Text(L"startTime"), twin.Text(L"endTime"));
    long long duration = -1;
    EXPECT_TRUE(ParseDecimal(twin.Text(L"durationSeconds"), duration) && duration >= 0);

    const auto programs = Findings(twin, L"programs");
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(twin.Member(programs[0], L"name"), kHostileBack);
    EXPECT_EQ(twin.Member(programs[0], L"publisher"), L"Acme \"Ltd\"");
    EXPECT_EQ(twin.Member(programs[0], L"user"), L"alice");
    EXPECT_EQ(twin.Member(programs[0], L"checked"), L"true");
    EXPECT_EQ(twin.Member(programs[0], L"groupId"), L"<missing>");
    PreferenceNode details;
    ASSERT_TRUE(twin.doc.GetMember(&programs[0], L"details", details));
    EXPECT_EQ(twin.Member(details, L"Path"), L"C:\\Program Files\\" + kHostileBack);
    EXPECT_EQ(twin.Member(details, L"Uninstall string"), L"\"C:\\u n.exe\" /x " + kHostileBack);

    const auto autostart = Findings(twin, L"autostart");
    ASSERT_EQ(autostart.size(), 1u);
    EXPECT_EQ(twin.Member(autostart[0], L"name"), kLongBack);
    EXPECT_EQ(twin.Member(autostart[0], L"groupId"), L"11");
    EXPECT_EQ(twin.Member(autostart[0], L"group"), L"Registry autostart entries");
    EXPECT_EQ(twin.Member(autostart[0], L"path"), L"C:\\x\\" + kHostileBack);
    EXPECT_EQ(twin.Member(autostart[0], L"checked"), L"false");
    ASSERT_TRUE(twin.doc.GetMember(&autostart[0], L"details", details));
    EXPECT_EQ(twin.Member(details, L"Value name"), kLongBack);

    const auto browsers = Findings(twin, L"browsers");
    ASSERT_EQ(browsers.size(), 1u);
    EXPECT_EQ(twin.Member(browsers[0], L"path"), L"https://x.example/?q=\"<a>\"&r=\\");
    EXPECT_EQ(twin.Member(browsers[0], L"group"), L"Chrome's Startup and Home Pages");

    // The infected file, then the fix rows every scan adds, unchecked.
    const auto malware = Findings(twin, L"malware");
    ASSERT_GE(malware.size(), 2u);
    EXPECT_EQ(twin.Member(malware[0], L"name"), L"C:\\evil\\" + kHostileBack);
    EXPECT_EQ(twin.Member(malware[0], L"threatLevel"), L"High");
    EXPECT_EQ(twin.Member(malware[0], L"malwareType"), L"Trojan.\"Test\"");
    EXPECT_EQ(twin.Member(malware[0], L"modified"), L"2026/12/01 10:00:00");
    EXPECT_EQ(twin.Member(malware[0], L"details"), L"<missing>");
    EXPECT_EQ(twin.Member(malware.back(), L"groupId"), L"83");
    EXPECT_EQ(twin.Member(malware.back(), L"checked"), L"false");
    EXPECT_EQ(twin.Elements(L"findings").size(), 3 + malware.size());

    // The scan's own inventory of this machine; a stopped scan keeps none.
    const auto inventory = twin.Elements(L"inventory");
    EXPECT_EQ(inventory.size(), session.inventory.size());
    EXPECT_EQ(inventory.empty(), cancelled);
    for (size_t i = 0; i < std::min(inventory.size(), session.inventory.size()); ++i)
      EXPECT_EQ(twin.Member(inventory[i], L"category"), session.inventory[i].category);
  }
  cancelAfterRows = nullptr;

  // Two entries, one with hostile texts and one without the texts it may
  // lack, as the twin writes them.
  InventoryEntry full{L"Run", L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", kHostile, L"alice",
                      L"\"C:\\a.exe\" -q", L"C:\\a.exe", true, L"Acme \"Signing\"", std::wstring(64, L'a')};
  InventoryEntry bare;
  bare.category = L"Services";
  bare.name = L"gone";
  session.inventory = {full, bare};
  const std::wstring path = scratch / L"inventory.json";
  ASSERT_TRUE(WriteTwinFile(path, ScanTwinText(session, results, session.startTime)));
  const test::ReportTwin twin = test::ReadReportTwin(path);
  EXPECT_EQ(twin.problem, "");
  const auto inventory = twin.Elements(L"inventory");
  ASSERT_EQ(inventory.size(), 2u);
  EXPECT_EQ(twin.Member(inventory[0], L"name"), kHostileBack);
  EXPECT_EQ(twin.Member(inventory[0], L"command"), L"\"C:\\a.exe\" -q");
  EXPECT_EQ(twin.Member(inventory[0], L"signer"), L"Acme \"Signing\"");
  EXPECT_EQ(twin.Member(inventory[0], L"sha256"), std::wstring(64, L'a'));
  EXPECT_EQ(twin.Member(inventory[0], L"fileExists"), L"true");
  EXPECT_EQ(twin.Member(inventory[1], L"category"), L"Services");
  EXPECT_EQ(twin.Member(inventory[1], L"fileExists"), L"false");
  for (const wchar_t* absent : {L"location", L"user", L"command", L"file", L"signer", L"sha256"})
    EXPECT_EQ(twin.Member(inventory[1], absent), L"<missing>") << test::NarrowText(absent);
}

// Something already standing at the twin's name: no twin, nothing left
// behind, and the text report whole.
TEST_F(TwinFixture, TwinThatCannotBeWrittenLeavesTheTextReportWhole) {
  const ScanPhase phases[] = {{6, nullptr, [](ScanEnvironment& scan) {
                                 EXPECT_TRUE(CreateFolderTree(ReportTwinPath(scan.session->reportPath)));
                               }}};
  ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
  EXPECT_TRUE(session.twinPath.empty());
  EXPECT_TRUE(FolderExists(ReportTwinPath(session.reportPath)));
  EXPECT_FALSE(FindFiles(scratch / L"*.tmp").Next());
  std::wstring text;
  ASSERT_TRUE(ReadTextFile(session.reportPath, text));
  const size_t at = text.rfind(L"End of report ") + 14;
  EXPECT_EQ(text.substr(at, text.find(L' ', at) - at), std::to_wstring(FileSize(session.reportPath)));
}

TEST_F(TwinFixture, CustomScanTwinHoldsItsTargetAndTheMalwareRows) {
  test::ScratchFolder tree;
  // A name with characters beyond ASCII and beyond the first plane.
  const std::wstring infected = tree / L"x\x2019y \xD83D\xDE00.exe";
  ASSERT_TRUE(test::WriteBytes(infected, kEicar));
  ASSERT_TRUE(test::WriteBytes(tree / L"clean.exe", "MZ clean"));
  ASSERT_EQ(RunCustomScan(scan, {tree.Path(), false}), kScanRan);
  const test::ReportTwin twin = Twin();
  ASSERT_EQ(twin.problem, "");
  EXPECT_EQ(session.reportPath, CustomScanReportPath(scratch.Path(), session.startTime));
  EXPECT_EQ(twin.Text(L"kind"), L"customScan");
  EXPECT_EQ(twin.Text(L"definitions"), L"2000");
  EXPECT_EQ(twin.Text(L"options->target"), tree.Path());
  EXPECT_EQ(twin.Text(L"options->mode"), L"folderRoot");
  EXPECT_EQ(twin.Text(L"options->recursive"), L"false");
  EXPECT_EQ(twin.Text(L"outcome"), L"completed");
  const auto findings = twin.Elements(L"findings");
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(twin.Member(findings[0], L"tab"), L"malware");
  EXPECT_EQ(twin.Member(findings[0], L"name"), infected);
  EXPECT_EQ(twin.Member(findings[0], L"malwareType"), L"EICAR-Test-File.8766.100");
  EXPECT_EQ(twin.Member(findings[0], L"group"), L"Infected file objects");
  EXPECT_NE(twin.Member(findings[0], L"threatLevel"), L"<missing>");
  EXPECT_TRUE(twin.Elements(L"inventory").empty());
  EXPECT_NE(twin.Text(L"inventory"), L"");
}

TEST(ReportTwinPath, ReplacesOnlyTheFileNamesExtension) {
  EXPECT_EQ(ReportTwinPath(L"C:\\ProgramData\\Tavrin\\tvnScan133.txt"), L"C:\\ProgramData\\Tavrin\\tvnScan133.json");
  EXPECT_EQ(ReportTwinPath(L"C:\\a.b\\TVNrem1"), L"C:\\a.b\\TVNrem1.json");
}

}  // namespace
}  // namespace tavrin
