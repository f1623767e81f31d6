// Times the removal on a generated machine: one program whose leftover
// folder holds 20,000 files (200 folders of 100), then 500 checked Run
// values. The host's own figure for a tree of the same shape comes from
// rm -rf beside it. Meant for a throw-away prefix:
//
//   tests/scenario/fresh_prefix build/cross/scenario-machines build/cross/tools/removal_bench.exe
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/unique_handle.h"
#include "platform/users.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "scan/known_folders.h"
#include "scan/scan_session.h"

using namespace tavrin;

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

constexpr int kFolders = 200;
constexpr int kFilesPerFolder = 100;
constexpr int kRunValues = 500;
constexpr wchar_t kRun[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

bool SeedTree(const std::wstring& root) {
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::wstring path = root + L"\\part" + std::to_wstring(folder);
    if (!CreateFolderTree(path)) return false;
    for (int file = 0; file < kFilesPerFolder; ++file) {
      UniqueFile handle = CreateFileReplacing(path + L"\\f" + std::to_wstring(file) + L".dat");
      DWORD written = 0;
      if (!handle || !WriteFile(handle.get(), "leftover", 8, &written, nullptr)) return false;
    }
  }
  return true;
}

}  // namespace

int wmain() {
  const std::wstring common = L"C:\\ProgramData";
  const std::wstring program = common + L"\\Bench Program";
  const std::wstring leftover = common + L"\\BenchLeftoverData";
  if (!CreateFolderTree(program) || !SeedTree(leftover)) {
    std::printf("seeding failed\n");
    return 1;
  }

  ScanSession scan;
  scan.folders = ResolveKnownFolders(nullptr, L"");
  InteractiveUser console;
  scan.users.push_back({console.Sid(), scan.folders.profile, console.AccountName()});
  ResultSet results;
  StartNewResults(results, common + L"\\BenchWork", 1);

  ScanItemDetails details;
  details.path = program;
  details.dbName = L"BenchLeftover";
  details.userName = L"(All users)";
  ResultList programs = TabList(results, kProgramsTab);
  StoreDetails(programs, GetRowKey(programs, AddRow(programs, kNoGroup, L"Bench Program", L"", L"", true)), details);

  RemovalSession first;
  first.scan = &scan;
  first.results = &results;
  first.dataFolder = common + L"\\BenchWork";
  Clock::time_point start = Clock::now();
  RunRemoval(first);
  const double programSeconds = Seconds(start);
  const int files = kFolders * kFilesPerFolder;
  std::printf("program with %d leftover files: %.3f s, %.0f files/s (tree gone: %s)\n", files, programSeconds,
              files / programSeconds, FolderExists(leftover) ? "no" : "yes");

  ResultList autostart = TabList(results, kAutostartTab);
  ScanItemDetails run;
  run.group = kGroupRegistryAutostart;
  run.registryKey = kRun;
  run.userName = L"(All users)";
  for (int i = 0; i < kRunValues; ++i) {
    run.valueName = L"BenchRun" + std::to_wstring(i);
    WriteStringAt(kRun, run.valueName.c_str(), L"C:\\Bench\\run" + std::to_wstring(i) + L".exe");
    StoreDetails(autostart,
                 GetRowKey(autostart, AddRow(autostart, kGroupRegistryAutostart, run.valueName, L"", L"", true)),
                 run);
  }
  RemovalSession second;
  second.scan = &scan;
  second.results = &results;
  second.dataFolder = common + L"\\BenchWork";
  start = Clock::now();
  RunRemoval(second);
  const double runSeconds = Seconds(start);
  std::printf("%d checked Run values: %.3f s, %.2f ms/row (%d removed)\n", kRunValues, runSeconds,
              runSeconds * 1000 / kRunValues, second.succeededCount);
  DiscardResults(results);
  return 0;
}
