#include "scan/scan_session.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "definitions/definitions_db.h"
#include "definitions/hash_list_queue.h"
#include "definitions/malware_verdict.h"
#include "platform/file_system.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "platform/unique_handle.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/scan_phases.h"
#include "support/loopback.h"
#include "support/scratch.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "scan/scan_parts.h"

namespace tavrin {
namespace {

class RecordingProgress : public ProgressSink {
 public:
  void SetProgress(int percent) override { positions.push_back(percent); }
  void SetStatus(const std::wstring& text) override { statuses.push_back(text); }
  std::vector<int> positions;
  std::vector<std::wstring> statuses;
};

// A data folder with a small definitions hive in place, and everything a
// scan thread works with. The definitions server address points at a port
// where nothing listens, so the update keeps the hive it finds.
class ScanFixture : public ::testing::Test, public test::ScanParts {
 protected:
  void SetUp() override {
    const std::wstring source = L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-db";
    ASSERT_TRUE(CreateKey(source + L"\\Adware\\Example Toolbar"));
    hive = scratch / L"TVNdb2.dat";
    ASSERT_TRUE(SaveKeyToHive(source, hive));
    DeleteKeyTree(source);
    ASSERT_TRUE(WriteTextFile(scratch / L"TVNdb.txt", L"2000", TextEncoding::Ansi));

    WireScan(L"http://127.0.0.1:9");
    scan.progress = &progress;
  }

  std::wstring ReportText() {
    std::wstring text;
    ReadTextFile(session.reportPath, text);
    return text;
  }

  std::wstring hive;
  RecordingProgress progress;
};

std::vector<std::wstring> phasesRun;
CancelFlags* phaseCancel = nullptr;

void AddingPhase(ScanEnvironment& scan) {
  phasesRun.push_back(L"adding");
  EXPECT_FALSE(scan.session->definitionsKey.empty());
  EXPECT_TRUE(KeyExists(scan.session->definitionsKey + L"\\Adware\\Example Toolbar"));
  AddRow(TabList(*scan.results, kProgramsTab), kNoGroup, L"Example Toolbar", L"Example Inc.", L"alice", true);
  scan.session->report.Write(L"\r\n\r\n->Programs scan:\r\n");
}
void CancellingPhase(ScanEnvironment&) {
  phasesRun.push_back(L"cancelling");
  phaseCancel->user = true;
}
void LatePhase(ScanEnvironment&) { phasesRun.push_back(L"late"); }

bool DebugPrivilegeEnabled() {
  PRIVILEGE_SET set{};
  set.PrivilegeCount = 1;
  UniqueToken token;
  if (!LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &set.Privilege[0].Luid) ||
      !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
    return false;
  BOOL enabled = FALSE;
  return PrivilegeCheck(token.get(), &set, &enabled) && enabled;
}
bool debugEnabledInPhase = false;
void PrivilegePhase(ScanEnvironment&) { debugEnabledInPhase = DebugPrivilegeEnabled(); }
bool Never(const ScanEnvironment&) { return false; }
void SkippedPhase(ScanEnvironment&) { phasesRun.push_back(L"skipped"); }

std::wstring SourceFolder() {
  std::wstring path = L"Z:";
  for (char c : std::string(TAVRIN_SOURCE_DIR)) path += c == '/' ? L'\\' : wchar_t(c);
  return path;
}

// The whole way a first scan goes on a machine without definitions: the
// project's own data, compiled by its tool and served by the loopback
// server, is downloaded, unpacked, mounted and read by the phases.
TEST_F(ScanFixture, FirstScanFetchesTheProjectsDefinitionsFromTheServer) {
  ASSERT_TRUE(test::TheLoopback().running);
  definitions_tool::DefinitionsSource source;
  std::vector<std::wstring> errors;
  ASSERT_TRUE(definitions_tool::ReadDefinitionsFolder(SourceFolder() + L"\\data\\definitions", source, errors));
  const std::wstring served = L"scan-" + std::to_wstring(GetCurrentProcessId());
  std::wstring error;
  ASSERT_TRUE(definitions_tool::BuildUpdateFolder(source, test::TheLoopback().root + L"\\" + served, error));
  DeleteFileW(hive.c_str());
  DeleteFileW((scratch / L"TVNdb.txt").c_str());
  scan.dataFolder = L"\\\\?\\" + scratch.Path();
  scan.definitionsServer = test::TheLoopback().HttpUrl(L"/" + served);

  phasesRun.clear();
  const ScanPhase phases[] = {{6, nullptr, [](ScanEnvironment& scan) {
                                 phasesRun.push_back(L"probe");
                                 EXPECT_TRUE(KeyExists(scan.session->definitionsKey + L"\\Adware\\Ask Toolbar"));
                               }}};
  ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
  EXPECT_EQ(phasesRun, std::vector<std::wstring>{L"probe"});
  EXPECT_EQ(definitions.number.load(), source.number);
  const std::wstring text = ReportText();
  EXPECT_NE(text.find(L"\tTavrin definitions database number: " + std::to_wstring(source.number) + L".\r\n"),
            std::wstring::npos);
  EXPECT_FALSE(KeyExists(L"HKLM\\TVN DB " + std::to_wstring(session.startTime)));
}

TEST_F(ScanFixture, CompletedScanWritesTheWholeReportAndUnmountsTheDefinitions) {
  const ScanPhase phases[] = {{6, nullptr, AddingPhase}, {38, Never, SkippedPhase}, {55, nullptr, LatePhase}};
  phasesRun.clear();
  ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
  EXPECT_EQ(phasesRun, (std::vector<std::wstring>{L"adding", L"late"}));

  EXPECT_EQ(definitions.state.load(), DefinitionsState::Ready);
  EXPECT_FALSE(KeyExists(L"HKLM\\TVN DB " + std::to_wstring(session.startTime)));
  EXPECT_TRUE(session.definitionsKey.empty());

  ASSERT_EQ(session.reportPath, scratch / (L"tvnScan" + std::to_wstring(session.startTime) + L".txt"));
  const std::wstring text = ReportText();
  EXPECT_EQ(text.find(L"\r\n###### Tavrin's threat scan report ######\r\n"), 0u);
  EXPECT_NE(text.find(L"\tTavrin definitions database number: 2000.\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\tOption \"Scan all users\": Checked.\r\n"), std::wstring::npos);
  EXPECT_LT(text.find(L"->Programs scan:"), text.find(L"->Anti-Malware scan:"));
  EXPECT_NE(text.find(L"The scan completed successfully.\r\n\r\n\r\n############ End of report "), std::wstring::npos);
  const size_t at = text.rfind(L"End of report ") + 14;
  EXPECT_EQ(text.substr(at, text.find(L' ', at) - at), std::to_wstring(FileSize(session.reportPath)));

  // One program row plus the fixes, counted by their rule on Windows 10.
  EXPECT_EQ(GetCounters(results).rowsAdded, 1 + 9);
  EXPECT_EQ(GetCounters(results).rowsAddedChecked, 1);
  EXPECT_TRUE(FolderExists(WorkFolder(results)));
  EXPECT_TRUE(GetFileAttributesW(WorkFolder(results).c_str()) & FILE_ATTRIBUTE_HIDDEN);
  ASSERT_GE(session.users.size(), 2u);
  EXPECT_EQ(session.users[session.users.size() - 1].sid == L"DefaultUser" ? session.users[session.users.size() - 2].sid
                                                                          : session.users.back().sid,
            L"S-1-5-18");
  EXPECT_EQ(session.userDisplayNames.back(), L"(All users)");

  EXPECT_EQ(progress.positions.front(), 1);
  EXPECT_EQ(progress.positions.back(), 100);
  EXPECT_EQ(progress.statuses.back(), L"Scan complete.");
  EXPECT_FALSE(session.cancelled);
}

// A phase hands the detection rules its entries through the context the
// scan gives it: the mounted definitions, this scan's rows and pending
// files (empty again at every start), the run's level and hash list.
TEST_F(ScanFixture, PhasesJudgeEntriesThroughTheScansDetectionContext) {
  HashListQueue hashList;
  scan.hashList = &hashList;
  scan.options.detectionLevel = DetectionLevel::Soft;
  session.pending.entries.push_back({L"C:\\left\\over.exe", L"44D88612FEA8A8F36DE82E1278ABB02F", L"", 0, {}});
  static DetectionContext seen;
  static bool listed = false;
  const ScanPhase phases[] = {{6, nullptr, [](ScanEnvironment& scan) {
                                 seen = DetectionContextOf(scan);
                                 listed = CheckMalwareFile(seen, L"", L"HKLM\\SOFTWARE\\Bad / Value / data");
                                 EXPECT_TRUE(seen.pending->entries.empty());
                               }}};
  ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
  EXPECT_TRUE(listed);
  EXPECT_TRUE(StartsWithNoCase(seen.definitionsRoot, L"HKLM\\TVN DB "));
  EXPECT_EQ(seen.level, DetectionLevel::Soft);
  EXPECT_EQ(seen.hashList, &hashList);
  EXPECT_EQ(seen.systemFolders->systemDrive.size(), 2u);
  // Besides the fix rows every scan ends with.
  std::vector<ScanItem> rows;
  for (const ScanItem& row : GetRows(TabList(results, kMalwareTab))) {
    if (row.group != kGroupMalwareFixes) rows.push_back(row);
  }
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].group, kGroupInfectedRegistry);
  EXPECT_EQ(rows[0].columns[1], L"Low");
  EXPECT_TRUE(EndsWithNoCase(rows[0].columns[2], L".15"));  // just above Soft
}

TEST_F(ScanFixture, EveryScanEnablesTheProcessPrivilegesAgain) {
  // Whatever disabled them since start-up, the phases have them.
  UniqueToken token;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()));
  TOKEN_PRIVILEGES disabled{};
  disabled.PrivilegeCount = 1;
  ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &disabled.Privileges[0].Luid));
  ASSERT_TRUE(AdjustTokenPrivileges(token.get(), FALSE, &disabled, 0, nullptr, nullptr));
  ASSERT_FALSE(DebugPrivilegeEnabled());
  const ScanPhase phases[] = {{6, nullptr, PrivilegePhase}};
  ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
  EXPECT_TRUE(debugEnabledInPhase);
}

TEST_F(ScanFixture, CancelledScanSkipsTheRestButStillEndsItsReport) {
  phaseCancel = &cancel;
  const ScanPhase phases[] = {{6, nullptr, CancellingPhase}, {35, nullptr, LatePhase}};
  phasesRun.clear();
  ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
  EXPECT_EQ(phasesRun, (std::vector<std::wstring>{L"cancelling"}));
  EXPECT_TRUE(session.cancelled);
  const std::wstring text = ReportText();
  EXPECT_NE(text.find(L"->Anti-Malware scan:"), std::wstring::npos);
  EXPECT_NE(text.find(L"\r\n\t\tOption name: Empty temporary folders\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"The scan was cancelled by the user."), std::wstring::npos);
  EXPECT_FALSE(KeyExists(L"HKLM\\TVN DB " + std::to_wstring(session.startTime)));
  EXPECT_EQ(progress.statuses.back(), L"Scan aborted.");
}

// The autostart inventory is the scan's last step: it sees what the phases
// left, lists the console user's entries under the account's name, and
// adds neither a row nor a report line. A cancelled scan keeps none of it.
TEST_F(ScanFixture, InventoryIsCollectedAfterThePhasesWithoutRowsOrReportLines) {
  const std::wstring run = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::wstring name = L"TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-inventory";
  const std::wstring program = scratch / L"inventoried.exe";
  ASSERT_TRUE(test::WriteBytes(program, "MZ inventoried"));
  ASSERT_TRUE(WriteStringAt(run, name.c_str(), L"\"" + program + L"\" /tray"));
  const ScanPhase phases[] = {{6, nullptr, LatePhase}};
  const int rowsBefore = GetCounters(results).rowsAdded;
  const bool ran = RunScanPhases(scan, phases) == kScanRan;
  DeleteValueAt(run, name.c_str());
  ASSERT_TRUE(ran);

  const InventoryEntry* entry = nullptr;
  for (const InventoryEntry& candidate : session.inventory)
    if (candidate.category == L"Run" && candidate.name == name) entry = &candidate;
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->user, interactiveUser.AccountName());
  EXPECT_TRUE(EqualsNoCase(entry->file, CanonicalFilePath(program)));
  EXPECT_TRUE(entry->fileExists);
  EXPECT_EQ(entry->sha256.size(), 64u);
  EXPECT_EQ(ReportText().find(name), std::wstring::npos);
  // The fix rows every scan ends with, and nothing for the inventory.
  EXPECT_EQ(GetCounters(results).rowsAdded - rowsBefore, 9);
  const auto collecting = std::find(progress.statuses.begin(), progress.statuses.end(),
                                    L"Collecting the autostart inventory...");
  ASSERT_NE(collecting, progress.statuses.end());
  EXPECT_EQ(progress.statuses.back(), L"Scan complete.");

  phaseCancel = &cancel;
  const ScanPhase cancelling[] = {{6, nullptr, CancellingPhase}};
  ASSERT_EQ(RunScanPhases(scan, cancelling), kScanRan);
  EXPECT_TRUE(session.inventory.empty());
}

TEST_F(ScanFixture, DefinitionsFailures) {
  // No hive and no server: nothing to mount.
  DeleteFileW(hive.c_str());
  EXPECT_EQ(RunScanPhases(scan, {}), kScanNoDefinitions);
  EXPECT_TRUE(session.reportPath.empty());

  // An update still running at start-up, and the user stops the scan while
  // it waits for it.
  definitions.state = DefinitionsState::Updating;
  cancel.user = true;
  EXPECT_EQ(RunScanPhases(scan, {}), kScanNoDefinitions);
}

TEST_F(ScanFixture, NoWorkFolderEndsTheScanBeforeAnythingElse) {
  ASSERT_TRUE(test::WriteBytes(scratch / L"file", "x"));
  scan.dataFolder = scratch / L"file";  // a file where the data folder should be
  EXPECT_EQ(RunScanPhases(scan, {}), kScanNoUsers);
  EXPECT_EQ(definitions.state.load(), DefinitionsState::Idle);
}

}  // namespace
}  // namespace tavrin
