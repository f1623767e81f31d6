// The repairs that hand over to Windows' own tools: the system file
// checker and DISM in a console window the user watches, and the Store
// reset. A tool that never appears is a failure, not a started repair.
#include <windows.h>

#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "repair/repair_actions.h"
#include "repair/repair_console.h"
#include "repair/repair_values.h"

namespace tavrin {

namespace {

// SFC and DISM may take an hour on a slow disk; the wait ends after two.
constexpr DWORD kLongToolSeconds = 2 * 60 * 60;
constexpr DWORD kChildSeconds = 2;

// Waits for the tool's process; false when cancelled.
bool WaitForChild(RepairContext& context, DWORD child) {
  UniqueProcess process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, child));
  if (!process) return true;  // already ended
  return WaitForTool(context, process.get(), kLongToolSeconds, false) != kConsoleCancelled;
}

// Waits the time, testing Cancel; false when cancelled.
bool Pause(RepairContext& context, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    if (CheckCancel(context)) return false;
    Sleep(50);
  }
  return true;
}

void CloseConsole(UniqueProcessInformation& console) {
  TerminateProcess(console.process.get(), 1);
  WaitForSingleObject(console.process.get(), 1000);
}

bool CopySfcLog(RepairContext& context) {
  std::wstring log;
  if (!ReadTextFile(context.windowsFolder + L"\\Logs\\CBS\\CBS.log", log)) return false;
  std::wstring lines;
  for (const std::wstring& line : Split(log, L"\n"))
    if (line.find(L"[SR]") != std::wstring::npos) lines += line + L"\n";
  const std::wstring folder = context.dataFolder + L"\\Logs";
  return CreateFolderTree(folder) && WriteTextFile(folder + L"\\SFC.log", lines);
}

bool CopyDismLog(RepairContext& context) {
  const std::wstring folder = context.dataFolder + L"\\Logs";
  return CreateFolderTree(folder) && CopyFileW(LongPath(context.windowsFolder + L"\\Logs\\Dism\\dism.log").c_str(),
                                               LongPath(folder + L"\\Dism.log").c_str(), FALSE);
}

}  // namespace

namespace {

// The tool the console runs: found within its first seconds (or the
// console is closed and the start reported as failed), then waited for,
// then its log copied. 1, 0, or -1 when cancelled.
int FollowVisibleTool(RepairContext& context, UniqueProcessInformation& console, const std::wstring& exeName,
                      const std::wstring& started, const std::wstring& failed, bool (*copyLog)(RepairContext&)) {
  bool cancelled = false;
  const DWORD child = FindChildProcess(context, console.processId, exeName, kChildSeconds, &cancelled);
  if (cancelled) return -1;
  if (!child) {
    CloseConsole(console);
    RepairLog(context, failed);
    return 0;
  }
  RepairLog(context, started);
  if (!WaitForChild(context, child)) return -1;
  copyLog(context);
  return 1;
}

}  // namespace

int RunSfcScan(RepairContext& context) {
  const std::wstring started = L"Successfully started the System protected resources scan (Sfc /ScanNow).";
  const std::wstring failed = L"Failed to start the System protected resources scan.";
  if (FindProcessByPath(context.systemFolder + L"\\sfc.exe")) {
    RepairLog(context, failed);
    return 0;
  }
  ShowRepairStatus(context, L"Running the System file checker (SFC) scan...");
  if (CheckCancel(context)) return -1;
  SetDword(L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"SFCDisable", 0, false);
  if (context.is64Bit)
    SetDword(L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"SFCDisable", 0, false);
  UniqueProcessInformation console;
  if (!RunVisibleConsole(context, VisibleTool::Sfc, console)) {
    RepairLog(context, failed);
    return 0;
  }
  if (!Pause(context, 1500)) return -1;
  if (context.windowsVersion < 6.0) {
    // The scan runs inside Winlogon there; the console only asked for it.
    RepairLog(context, started);
    return 1;
  }
  return FollowVisibleTool(context, console, L"sfc.exe", started, failed, CopySfcLog);
}

int RunDism(RepairContext& context) {
  if (context.windowsVersion < 6.2) return 0;
  ShowRepairStatus(context, L"Repairing the Windows image with DISM...");
  if (CheckCancel(context)) return -1;
  const std::wstring failed = L"Failed to start the DISM.exe Windows repair operation.";
  UniqueProcessInformation console;
  if (!RunVisibleConsole(context, VisibleTool::Dism, console)) {
    RepairLog(context, failed);
    return 0;
  }
  return FollowVisibleTool(context, console, L"Dism.exe",
                           L"Successfully started the DISM.exe Windows image repair operation.", failed, CopyDismLog);
}

int ResetStore(RepairContext& context) {
  if (context.windowsVersion < 6.2) return 0;
  ShowRepairStatus(context, L"Resetting the Windows Store...");
  if (CheckCancel(context)) return -1;
  UniqueProcessInformation process;
  long long exitCode = kConsoleNotStarted;
  if (StartSystemTool(context, L"WSReset.exe", L"", SW_HIDE, process))
    exitCode = WaitForTool(context, process.process.get(), kConsoleDefaultSeconds);
  if (exitCode == kConsoleCancelled) return -1;
  if (exitCode != 0) {
    RepairLog(context, L"Failed to reset the Windows Store.");
    return 0;
  }
  RepairLog(context, L"Successfully reset the Windows Store.");
  return 1;
}

}  // namespace tavrin
