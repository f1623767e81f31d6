#pragma once
// The console tools of the repair actions. Every one is started through the
// platform's process layer (privileges put back), and every wait has a time
// limit and tests Cancel on each round, so a tool that hangs or never
// starts ends the action instead of the removal.
#include <windows.h>

#include <string>

#include "repair/repair_context.h"

namespace tavrin {

// What a wait ended with.
inline constexpr long long kConsoleCancelled = -1;
inline constexpr long long kConsoleTimedOut = -2;
inline constexpr long long kConsoleNotStarted = -3;

// The longest any console command of the actions may take when the action
// names no limit of its own.
inline constexpr DWORD kConsoleDefaultSeconds = 300;

// Waits for the process to end, testing Cancel on every round: its exit
// code (0 to 0xFFFFFFFF), kConsoleCancelled or kConsoleTimedOut. With
// `endOnGiveUp` the process is ended when the wait is given up; a tool in
// a window of its own is left to the user.
long long WaitForTool(RepairContext& context, HANDLE process, DWORD seconds, bool endOnGiveUp = true);

// Starts System folder + "\" + `tool` ("ipconfig.exe") by its full path
// with `arguments`, the System folder as its working folder. Never through
// the command interpreter, which would look the tool up in its current
// folder and on PATH, where anybody can put a program of that name. False
// when nothing could be started.
bool StartSystemTool(const RepairContext& context, const std::wstring& tool, const std::wstring& arguments, int show,
                     UniqueProcessInformation& process);

// The tool started so, hidden, and waited for: the exit code,
// kConsoleCancelled (-1), kConsoleTimedOut or kConsoleNotStarted.
long long RunConsole(RepairContext& context, const std::wstring& tool, const std::wstring& arguments,
                     DWORD seconds = kConsoleDefaultSeconds);
// The same with the action's own limit: 1 when it ended, -2 when the limit
// passed, -1 when cancelled (and -3 when it could not start). `exitCode`
// receives the exit code when it ended.
int RunConsoleTimed(RepairContext& context, const std::wstring& tool, const std::wstring& arguments, DWORD seconds,
                    DWORD* exitCode = nullptr);

enum class VisibleTool { Dism, Sfc };
// The System folder's "cmd.exe /k" with the tool's command, the tool named
// by its full path, in a visible window that stays open: the process
// identifier, 0 when it could not start. `process`
// receives the handles.
DWORD RunVisibleConsole(RepairContext& context, VisibleTool tool, UniqueProcessInformation& process);

// Looks for `seconds` (testing Cancel between rounds) for a process named
// `exeName` whose parent is `parent`: its identifier; 0 when none appeared
// in time or Cancel was pressed (which also sets `cancelled`).
DWORD FindChildProcess(RepairContext& context, DWORD parent, const std::wstring& exeName, DWORD seconds,
                       bool* cancelled = nullptr);

// Installs the DefaultInstall section of an INF file with setupapi through
// rundll32, hidden, and waits for it. Nothing when the file is missing;
// true when the installer ran and ended with exit code 0.
bool InstallInf(RepairContext& context, const std::wstring& path);

}  // namespace tavrin
