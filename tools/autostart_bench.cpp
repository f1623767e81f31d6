// Times the autostart phase on a generated machine: 500 Run values of the
// console user (programs under Program Files, in the temporary folder,
// missing ones, host-program command lines) and 200 Startup items
// (shortcuts and plain files), then the steps the phase spends its time in
// on the same entries. Meant for a throw-away prefix:
//
//   tests/scenario/fresh_prefix build/cross/scenario-machines build/cross/tools/autostart_bench.exe
//
// The seeded values, files and folders are removed at the end.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_scan.h"
#include "definitions/definitions_db.h"
#include "definitions/detection_context.h"
#include "definitions/malware_verdict.h"
#include "filetrust/command_target.h"
#include "filetrust/file_trust.h"
#include "filetrust/shortcut.h"
#include "platform/com_ptr.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/hives.h"
#include "platform/path_lookup.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/text_file.h"
#include "platform/unique_handle.h"
#include "platform/user_environment.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/autostart_scan.h"
#include "scan/scan_phases.h"
#include "scan/scan_session.h"

using namespace tavrin;

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Line(const char* what, size_t count, double seconds) {
  std::printf("%-44s %5zu items %8.3f s %9.2f ms/item\n", what, count, seconds, count ? seconds * 1000 / count : 0.0);
  std::fflush(stdout);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  UniqueFile file = CreateFileReplacing(path);
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
}

bool MakeShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& arguments) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  return SUCCEEDED(CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                    link.PutVoid())) &&
         SUCCEEDED(link->SetPath(target.c_str())) && SUCCEEDED(link->SetArguments(arguments.c_str())) &&
         SUCCEEDED(link->QueryInterface(__uuidof(IPersistFile), file.PutVoid())) &&
         SUCCEEDED(file->Save(path.c_str(), TRUE));
}

const wchar_t kRun[] = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class Timing : public ProgressSink {
 public:
  void SetProgress(int) override {}
  void SetStatus(const std::wstring&) override {}
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runValues = argc > 1 ? _wtoi(argv[1]) : 500;
  const int startupItems = argc > 2 ? _wtoi(argv[2]) : 200;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  const std::wstring programs = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\AutostartBench";
  const std::wstring temp = TempFolder() + L"AutostartBench";
  const std::wstring startup = ShellFolder(CSIDL_STARTUP);
  const std::wstring data = TempFolder() + L"AutostartBenchData";
  CreateFolderTree(programs);
  CreateFolderTree(temp);
  CreateFolderTree(startup);
  CreateFolderTree(data);

  // The machine.
  std::vector<std::wstring> commands, names;
  for (int i = 0; i < runValues; ++i) {
    const std::wstring n = std::to_wstring(i);
    const std::string body = "MZ program " + std::to_string(i) + std::string(4096, char('a' + i % 26));
    std::wstring command;
    switch (i % 5) {
      case 0: command = L"\"" + programs + L"\\Tool " + n + L".exe\" /background"; break;
      case 1: command = programs + L"\\Tool " + n + L".exe -tray"; break;  // unquoted, with a blank
      case 2: command = L"\"" + temp + L"\\upd" + n + L".exe\""; break;
      case 3: command = L"C:\\Missing\\gone" + n + L".exe /x"; break;
      default: command = L"rundll32.exe \"" + programs + L"\\lib" + n + L".dll\",Start"; break;
    }
    if (i % 5 == 0 || i % 5 == 1) WriteFileBytes(programs + L"\\Tool " + n + L".exe", body);
    if (i % 5 == 2) WriteFileBytes(temp + L"\\upd" + n + L".exe", body);
    if (i % 5 == 4) WriteFileBytes(programs + L"\\lib" + n + L".dll", body);
    names.push_back(L"AutostartBench " + n);
    commands.push_back(command);
    WriteStringAt(kRun, names.back().c_str(), command);
  }
  std::vector<std::wstring> items;
  for (int i = 0; i < startupItems; ++i) {
    const std::wstring n = std::to_wstring(i);
    const std::wstring target = programs + L"\\Startup " + n + L".exe";
    WriteFileBytes(target, "MZ startup " + std::to_string(i) + std::string(2048, 'x'));
    const std::wstring item = startup + L"\\AutostartBench " + n + (i % 4 == 3 ? L".cmd" : L".lnk");
    if (i % 4 == 3) WriteFileBytes(item, "@echo off\r\n");
    else MakeShortcut(item, target, L"--minimized");
    items.push_back(item);
  }

  // A data folder with a small definitions hive, as a scan finds it.
  const std::wstring db = L"HKCU\\Software\\AutostartBench-db";
  CreateKey(db + L"\\Adware\\203.0.113.66");
  SaveKeyToHive(db, data + L"\\TVNdb2.dat");
  DeleteKeyTree(db);
  WriteTextFile(data + L"\\TVNdb.txt", L"1", TextEncoding::Ansi);

  Timing progress;
  BenchScan bench(data, progress);
  ScanEnvironment& scan = bench.scan;
  ResultSet& results = bench.results;
  ScanSession& session = bench.session;

  static double phaseSeconds = 0;
  static DetectionContext detection;
  const ScanPhase phases[] = {{35, nullptr, [](ScanEnvironment& s) {
                                 const auto start = Clock::now();
                                 ScanAutostart(s);
                                 phaseSeconds = Seconds(start);
                                 detection = DetectionContextOf(s);
                               }}};
  const auto whole = Clock::now();
  RunScanPhases(scan, phases);
  const double scanSeconds = Seconds(whole);
  const int rows = RowCount(TabList(results, kAutostartTab));
  Line("autostart phase", size_t(rows), phaseSeconds);
  Line("whole scan (preparation, definitions, report)", size_t(rows), scanSeconds);

  // The steps, on the same entries, outside the phase.
  std::vector<std::wstring> resolved;
  auto start = Clock::now();
  for (const std::wstring& command : commands) {
    std::wstring text = command;
    if (ResolveCommandTarget(text, session.systemFolders, ResolveSearch | ResolveCommandLine))
      resolved.push_back(CanonicalFilePath(text));
  }
  Line("ResolveCommandTarget + canonical (Run)", commands.size(), Seconds(start));

  start = Clock::now();
  UserEnvironment environment;
  for (int i = 0; i < 50; ++i) environment = UserEnvironmentOf(session.users.front());
  Line("UserEnvironmentOf (once per user)", 50, Seconds(start));

  detection.definitionsRoot.clear();  // unmounted by now: every file is a miss
  start = Clock::now();
  for (const std::wstring& file : resolved) CheckMalwareFile(detection, file, L"");
  Line("CheckMalwareFile (trust, hash, look-up)", resolved.size(), Seconds(start));

  start = Clock::now();
  for (const std::wstring& file : resolved) {
    std::wstring publisher, fingerprint;
    VerifyFileTrust(file, publisher, &fingerprint);
  }
  Line("  of which VerifyFileTrust", resolved.size(), Seconds(start));

  start = Clock::now();
  for (const std::wstring& item : items) {
    Shortcut link;
    ReadShortcut(item, link);
  }
  Line("ReadShortcut (Startup)", items.size(), Seconds(start));

  ResultSet scratchRows;
  PrepareWorkFolder(scratchRows, data, 1);
  start = Clock::now();
  ResultList list = TabList(scratchRows, kAutostartTab);
  for (size_t i = 0; i < commands.size(); ++i) {
    const int row = AddRow(list, kGroupRegistryAutostart, names[i], L"root", commands[i], false, commands[i]);
    ScanItemDetails details;
    details.group = kGroupRegistryAutostart;
    details.registryKey = kRun;
    details.path = commands[i];
    details.userName = L"root";
    details.valueName = names[i];
    StoreDetails(list, GetRowKey(list, row), details);
  }
  SaveDetails(scratchRows);
  Line("AddRow + StoreDetails + save", commands.size(), Seconds(start));
  DiscardResults(scratchRows);

  // Clean up the machine.
  for (const std::wstring& name : names) DeleteValueAt(kRun, name.c_str());
  for (const std::wstring& item : items) DeleteFileW(item.c_str());
  for (const std::wstring& folder : {programs, temp, data}) RemoveFileObject(folder, 0);
  DiscardResults(results);
  CoUninitialize();
  return rows >= runValues + startupItems ? 0 : 1;
}
