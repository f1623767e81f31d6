#include "repair/repair_console.h"

#include <tlhelp32.h>

#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

constexpr DWORD kRoundMs = 50;

bool IsChildOf(DWORD parent, const std::wstring& exeName, DWORD& child) {
  UniqueHandle<KernelHandleTraits> snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID == parent && EqualsNoCase(entry.szExeFile, exeName)) {
      child = entry.th32ProcessID;
      return true;
    }
  }
  return false;
}

}  // namespace

long long WaitForTool(RepairContext& context, HANDLE process, DWORD seconds, bool endOnGiveUp) {
  const ULONGLONG deadline = GetTickCount64() + ULONGLONG(seconds) * 1000;
  for (;;) {
    if (WaitForSingleObject(process, kRoundMs) != WAIT_TIMEOUT) break;
    const bool cancelled = CheckCancel(context);
    if (cancelled || GetTickCount64() >= deadline) {
      if (endOnGiveUp) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 1000);
      }
      return cancelled ? kConsoleCancelled : kConsoleTimedOut;
    }
  }
  DWORD exitCode = 0;
  return GetExitCodeProcess(process, &exitCode) ? (long long)exitCode : kConsoleTimedOut;
}

std::wstring SystemTool(const RepairContext& context, const std::wstring& tool) {
  return context.systemFolder + L"\\" + tool;
}

bool StartSystemTool(const RepairContext& context, const std::wstring& tool, const std::wstring& arguments, int show,
                     UniqueProcessInformation& process) {
  if (context.systemFolder.empty()) return false;
  RunOptions options;
  options.workingFolder = context.systemFolder;
  return StartProgram(L"\"" + SystemTool(context, tool) + L"\"", arguments, show, process, options);
}

long long RunConsole(RepairContext& context, const std::wstring& tool, const std::wstring& arguments, DWORD seconds) {
  UniqueProcessInformation process;
  if (!StartSystemTool(context, tool, arguments, SW_HIDE, process)) return kConsoleNotStarted;
  return WaitForTool(context, process.process.get(), seconds);
}

int RunConsoleTimed(RepairContext& context, const std::wstring& tool, const std::wstring& arguments, DWORD seconds,
                    DWORD* exitCode) {
  const long long result = RunConsole(context, tool, arguments, seconds);
  if (result < 0) return int(result);
  if (exitCode) *exitCode = DWORD(result);
  return 1;
}

DWORD RunVisibleConsole(RepairContext& context, VisibleTool tool, UniqueProcessInformation& process) {
  const std::wstring command = tool == VisibleTool::Dism
                                   ? L"\"" + SystemTool(context, L"Dism.exe") + L"\" /Online /Cleanup-Image /RestoreHealth"
                                   : L"\"" + SystemTool(context, L"sfc.exe") + L"\" /scannow";
  // With /s the console takes the text between the outer quotes as it
  // stands, the tool's own quoted full path included.
  if (!StartSystemTool(context, L"cmd.exe", L"/s /k \"" + command + L"\"", SW_SHOWNORMAL, process)) return 0;
  return process.processId;
}

DWORD FindChildProcess(RepairContext& context, DWORD parent, const std::wstring& exeName, DWORD seconds,
                       bool* cancelled) {
  const ULONGLONG deadline = GetTickCount64() + ULONGLONG(seconds) * 1000;
  for (;;) {
    DWORD child = 0;
    if (IsChildOf(parent, exeName, child)) return child;
    if (CheckCancel(context)) {
      if (cancelled) *cancelled = true;
      return 0;
    }
    if (GetTickCount64() >= deadline) return 0;
    Sleep(kRoundMs);
  }
}

bool InstallInf(RepairContext& context, const std::wstring& path) {
  if (!FileExists(path)) return false;
  std::wstring target = path;
  if (target.find(L' ') != std::wstring::npos) {
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (length > 0 && length < MAX_PATH) target = shortPath;
  }
  UniqueProcessInformation process;
  if (!StartSystemTool(context, L"rundll32.exe", L"setupapi,InstallHinfSection DefaultInstall 128 " + target, SW_HIDE,
                       process))
    return false;
  return WaitForTool(context, process.process.get(), 60) == 0;
}

}  // namespace tavrin
