// Infected files that Windows File Protection guards, with the protection's
// answer and the system checker supplied by the test (Wine guards nothing):
// the file goes, the checker restores it by its full path from the System
// folder, and the system's own critical images are never ended or deleted.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/strings.h"
#include "removal/malware_removal.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "scan/known_folders.h"
#include "scan/scan_session.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::FileExists;

struct CheckerRun {
  std::wstring program, arguments, workingFolder;
};

class ProtectedFileRemoval : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartNewResults(results, scratch.Path(), 4343));
    // A Windows folder of the test's own, so that its "System32\lsass.exe"
    // is a critical image without touching the prefix's.
    windows = scratch / L"Win";
    scan.folders.windows = windows;
    scan.folders.system = windows + L"\\System32";
    scan.windowsVersion = 10.0;
    ASSERT_TRUE(CreateFolderTree(scan.folders.system));
    session.scan = &scan;
    session.results = &results;
    protection.isProtected = [this](const std::wstring& path) {
      for (const std::wstring& guarded : guardedFiles)
        if (EqualsNoCase(path, guarded)) return true;
      return false;
    };
    protection.runChecker = [this](const std::wstring& program, const std::wstring& arguments,
                                   const std::wstring& folder) { runs.push_back({program, arguments, folder}); };
  }

  // A copy of the helper program at `path`, running.
  void StartCopy(const std::wstring& path, test::ChildProcess& child) {
    ASSERT_TRUE(CopyFileW(test::HelperPath().c_str(), path.c_str(), FALSE)) << path;
    ASSERT_TRUE(child.Start(L"\"" + path + L"\" wait 60000"));
    ASSERT_TRUE(child.Running());
  }

  std::wstring LineOf(size_t action) const {
    return action < session.actions.size() ? session.actions[action].line : std::wstring();
  }

  test::ScratchFolder scratch;
  std::wstring windows;
  ResultSet results;
  ScanSession scan;
  RemovalSession session;
  SystemFileProtection protection;
  std::vector<std::wstring> guardedFiles;
  std::vector<CheckerRun> runs;
};

TEST_F(ProtectedFileRemoval, GuardedFileIsEndedRemovedAndRestoredButCriticalImagesStay) {
  const std::wstring guarded = scan.folders.system + L"\\evilhook.exe";
  const std::wstring critical = scan.folders.system + L"\\lsass.exe";
  const std::wstring plain = scratch / L"plain-evil.exe";
  test::ChildProcess guardedProcess, criticalProcess;
  StartCopy(guarded, guardedProcess);
  StartCopy(critical, criticalProcess);
  ASSERT_TRUE(test::WriteBytes(plain, "MZ evil"));
  guardedFiles = {guarded, critical};
  ResultList malware = TabList(results, kMalwareTab);
  // Taken from the last row to the first.
  for (const std::wstring& file : {plain, critical, guarded}) AddRow(malware, kGroupInfectedFiles, file, L"", L"", true);

  RemoveMalwareRows(session, protection);

  EXPECT_FALSE(guardedProcess.Running());
  EXPECT_FALSE(FileExists(guarded));
  EXPECT_TRUE(criticalProcess.Running());
  EXPECT_TRUE(FileExists(critical));
  EXPECT_FALSE(FileExists(plain));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].program, scan.folders.system + L"\\sfc.exe");
  EXPECT_EQ(runs[0].arguments, L" /scanfile=\"" + guarded + L"\"");
  EXPECT_EQ(runs[0].workingFolder, scan.folders.system);
  EXPECT_TRUE(session.resultFlags & kRemovalProtectedFile);
  EXPECT_EQ(LineOf(0), L"Successfully removed infected file: " + guarded + L".");
  EXPECT_EQ(LineOf(1), L"Failed to remove infected file: " + critical + L".");
  EXPECT_EQ(LineOf(2), L"Successfully removed infected file: " + plain + L".");
  EXPECT_EQ(RowCount(malware), 1);
}

TEST_F(ProtectedFileRemoval, UnguardedFilesSetNoFlagAndOldSystemsRunNoChecker) {
  const std::wstring plain = scratch / L"evil.dll";
  const std::wstring guarded = scan.folders.system + L"\\hook.dll";
  for (const std::wstring& file : {plain, guarded}) ASSERT_TRUE(test::WriteBytes(file, "MZ"));
  ResultList malware = TabList(results, kMalwareTab);
  AddRow(malware, kGroupInfectedFiles, plain, L"", L"", true);
  RemoveMalwareRows(session, protection);
  EXPECT_FALSE(FileExists(plain));
  EXPECT_EQ(session.resultFlags & kRemovalProtectedFile, 0u);
  EXPECT_TRUE(runs.empty());

  // Before 6.0 the checker has no single-file mode: the file still goes.
  scan.windowsVersion = 5.1;
  guardedFiles = {guarded};
  AddRow(malware, kGroupInfectedFiles, guarded, L"", L"", true);
  RemoveMalwareRows(session, protection);
  EXPECT_FALSE(FileExists(guarded));
  EXPECT_TRUE(session.resultFlags & kRemovalProtectedFile);
  EXPECT_TRUE(runs.empty());
}

}  // namespace
}  // namespace tavrin
