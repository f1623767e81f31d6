// The programs phase on a large machine: 2,000 uninstall entries (a tenth
// named by the definitions, some add-ons, some with an uninstaller on disk
// that is hashed and queued, the rest pointing nowhere) against definitions
// of 10,000 adware names, with a few hundred program and leftover folders.
// It writes into the machine's uninstall keys and program folders, so run
// it in a throw-away prefix:
//
//   tests/scenario/fresh_prefix build/scenario-machines build/cross/tools/phase_bench.exe
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench_scan.h"
#include "definitions/adware_definitions.h"
#include "definitions/definitions_db.h"
#include "definitions/uninstaller_target.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/text_file.h"
#include "results/whitelist.h"
#include "scan/file_objects.h"
#include "scan/folder_guard.h"
#include "scan/folder_listing.h"
#include "scan/programs_phase.h"
#include "scan/scan_phases.h"
#include "scan/scan_session.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

constexpr wchar_t kUninstall[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bench ";
constexpr int kEntries = 2000;
constexpr int kDefinitions = 10000;

std::wstring AdwareName(int i) { return L"Generated Adware " + std::to_wstring(i); }

double timing[8];
const char* timingNames[] = {"2,000 definitions probes of the registry", "2,000 uninstaller targets", "folder guard",
                             "whole phase", "file-object pass again (everything found, folders listed)",
                             "40,000 FindFirstFile probes instead of the listings",
                             "the definitions' names listed", "2,000 definitions probes of the list"};

void TimedPhase(ScanEnvironment& scan) {
  const std::wstring root = scan.session->definitionsKey;
  auto start = Clock::now();
  int found = 0;
  for (int i = 0; i < kEntries; ++i) found += FindAdwareDefinition(root, L"Program Number " + std::to_wstring(i) + L" Suite").has_value();
  timing[0] = Seconds(start);
  start = Clock::now();
  const AdwareNames definitions(root);
  timing[6] = Seconds(start);
  start = Clock::now();
  for (int i = 0; i < kEntries; ++i) found += FindAdwareDefinition(definitions, L"Program Number " + std::to_wstring(i) + L" Suite").has_value();
  timing[7] = Seconds(start);
  start = Clock::now();
  for (int i = 0; i < kEntries; ++i)
    UninstallerTarget(kUninstall + std::to_wstring(i), scan.session->systemFolders);
  timing[1] = Seconds(start);
  start = Clock::now();
  BuildFolderGuard(scan.session->folders, scan.session->users);
  timing[2] = Seconds(start);
  start = Clock::now();
  ScanPrograms(scan);
  timing[3] = Seconds(start);
  FolderListings listings;
  const FolderGuard guard = BuildFolderGuard(scan.session->folders, scan.session->users);
  start = Clock::now();
  ScanFileObjects(scan, definitions, L"|", guard, listings);
  timing[4] = Seconds(start);
  // What the same pass costs when every name asks the file system itself.
  start = Clock::now();
  const KnownFolders& known = scan.session->folders;
  for (int i = 0; i < kDefinitions; ++i) {
    for (const std::wstring* parent : {&known.programFiles64, &known.programFiles32, &known.commonAppData, &known.user.appData}) {
      WIN32_FIND_DATAW data;
      HANDLE find = FindFirstFileW((*parent + L"\\" + AdwareName(i) + L"*").c_str(), &data);
      if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
  }
  timing[5] = Seconds(start);
  (void)found;
}

class NoProgress : public ProgressSink {
 public:
  void SetProgress(int) override {}
  void SetStatus(const std::wstring&) override {}
};

}  // namespace

int wmain() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring data = std::wstring(temp) + L"tavrin-phase-bench";
  CreateFolderTree(data);

  definitions_tool::DefinitionsSource source;
  source.number = 1961;
  for (int i = 0; i < kDefinitions; ++i) source.adware.push_back({AdwareName(i), i % 10 == 0});
  std::wstring error;
  if (!definitions_tool::BuildDefinitionsHive(source, definitions_tool::DefaultScratchKey(), data + L"\\TVNdb2.dat",
                                              error)) {
    fwprintf(stderr, L"build failed: %ls\n", error.c_str());
    return 1;
  }
  WriteTextFile(data + L"\\TVNdb.txt", L"1961", TextEncoding::Ansi);

  const ProgramFiles programFiles = ProgramFilesFolders();
  const std::wstring uninstaller = data + L"\\uninstaller-";
  auto start = Clock::now();
  for (int i = 0; i < kEntries; ++i) {
    const std::wstring key = kUninstall + std::to_wstring(i);
    std::wstring name = L"Program Number " + std::to_wstring(i) + L" Suite";
    if (i % 10 == 0) name = AdwareName(i * 5) + L" Updater";
    if (i % 50 == 1) name = L"Program Number " + std::to_wstring(i) + L" Toolbar";
    WriteStringAt(key, L"DisplayName", name);
    WriteStringAt(key, L"Publisher", L"Publisher " + std::to_wstring(i % 37));
    std::wstring command = L"\"C:\\nowhere\\" + std::to_wstring(i) + L"\\uninstall.exe\" /S";
    if (i % 20 == 3) {
      const std::wstring file = uninstaller + std::to_wstring(i) + L".exe";
      WriteTextFile(file, L"MZ bench uninstaller " + std::to_wstring(i), TextEncoding::Ansi);
      command = L"\"" + file + L"\" /uninstall";
    }
    WriteStringAt(key, L"UninstallString", command);
    if (i % 4 == 0) WriteStringAt(key, L"InstallLocation", L"C:\\nowhere\\" + std::to_wstring(i));
    if (i % 8 == 0) CreateFolderTree(programFiles.native + L"\\" + name + L" Files");
  }
  for (int i = 1; i < kDefinitions; i += 97) CreateFolderTree(programFiles.x86 + L"\\" + AdwareName(i) + L" Data");
  std::printf("seeded %d entries in %.1f s\n", kEntries, Seconds(start));

  NoProgress progress;
  BenchScan bench(data, progress);
  ScanEnvironment& scan = bench.scan;
  ResultSet& results = bench.results;

  start = Clock::now();
  RunScanPhases(scan, {});
  const double empty = Seconds(start);
  const ScanPhase phases[] = {{6, nullptr, TimedPhase}};
  start = Clock::now();
  RunScanPhases(scan, phases);
  const double whole = Seconds(start);
  std::printf("scan without phases: %.2f s; scan with the programs phase: %.2f s\n", empty, whole);
  for (int i = 0; i < 8; ++i) std::printf("  %s: %.3f s\n", timingNames[i], timing[i]);
  std::printf("rows: %d (%d checked)\n", GetCounters(results).rowsAdded, GetCounters(results).rowsAddedChecked);
  return 0;
}
