#pragma once
// Starting programs and waiting for them, terminating processes by
// identifier, image path, name or folder, and the program's removal of its
// own executable.
#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

namespace tavrin {

struct RunOptions {
  std::wstring workingFolder;  // empty: the System folder
  // Suspends file-system redirection while the process is created (only
  // meaningful for a 32-bit build on 64-bit Windows).
  bool suspendRedirection = false;
};

// Splits a command line into the program and its arguments. A quoted
// program ends at its closing quote; an unquoted one at the first space
// before which an existing file is named (so "C:\Program Files\x.exe /a"
// works unquoted), else at the first space.
void SplitCommandLine(const std::wstring& commandLine, std::wstring& program, std::wstring& arguments);

// Expands environment references; a bare name (no folder) is looked up on
// the platform's search path, with ".exe" when it has no extension.
// Unresolved names are returned expanded.
std::wstring ResolveProgram(const std::wstring& program);

// Starts the command line with `arguments` appended. Without waiting: the
// process identifier, 0 when it could not start. With waiting: the exit
// code (0 to 0xFFFFFFFF) once the process has ended, the calling thread's
// messages dispatched meanwhile; -1 when it could not start.
// Every process this layer starts (here, OpenDocument, RegisterComDll,
// DeleteSelfAndExit) is created with the privileges the program had before
// it enabled its own set (OriginalPrivilegesScope).
long long RunProgram(const std::wstring& commandLine, const std::wstring& arguments, int showCommand, bool wait,
                     const RunOptions& options = {});

// Starts the command line as RunProgram does and hands over the process
// and thread handles, for callers that wait on their own terms (a time
// limit, a cancel test). False when nothing could be started.
bool StartProgram(const std::wstring& commandLine, const std::wstring& arguments, int showCommand,
                  UniqueProcessInformation& process, const RunOptions& options = {});

// Shell-opens a file, folder or URL: the new process identifier, 1 when the
// shell started no process, 0 on failure.
DWORD OpenDocument(const std::wstring& path);

enum ComDllExport : unsigned {
  ExportsDllInstall = 0x1,
  ExportsDllRegisterServer = 0x2,
};
// Which registration entry points a DLL exports, read from the file's
// export table without loading it; 0 for anything else.
unsigned ComDllExports(const std::wstring& path);
// The regsvr32 arguments for those exports: " /s /i /n \"", " /s \"" or
// " /s /i \"", then the path and a closing quote; empty for none.
std::wstring RegsvrArguments(unsigned exports, const std::wstring& path);
// Runs regsvr32 of the system folder silently on the DLL without waiting:
// the process identifier, 0 when the DLL exports no entry point or nothing
// could be started.
DWORD RegisterComDll(const std::wstring& path);

// Identifiers below 5 count as running only for 4 (the System process).
bool IsProcessRunning(DWORD pid);

// Asks the process's windows to go, then terminates it, then its threads.
// True when the process has ended. The calling process is never killed.
bool KillProcess(DWORD pid);

// Kill every running process whose image path equals `imagePath`, whose
// executable name equals `exeName`, or whose image lies below `folder`
// (case-insensitive). The number of processes that ended.
int KillProcessesByPath(const std::wstring& imagePath);
int KillProcessesByName(const std::wstring& exeName);
int KillProcessesInFolder(const std::wstring& folder);

// The first running process with that image path other than `except`; 0
// when none.
DWORD FindProcessByPath(const std::wstring& imagePath, DWORD except = 0);

// The image path of a process in the Win32 form; empty when unknown.
std::wstring ProcessImagePath(DWORD pid);
// Turns the kernel forms of an image path ("\SystemRoot\...", "\??\C:\...",
// "\\?\C:\...", "\Device\HarddiskVolume2\...", "\Device\Mup\...") into the
// Win32 form.
std::wstring NormalizeImagePath(const std::wstring& path);

// The command that removes `executablePath` once the process has ended:
// the System folder's command interpreter and ping by their full paths, not
// the ComSpec value, which every user may set in their environment.
std::wstring SelfDeleteCommand(const std::wstring& executablePath, const std::wstring& systemFolder);
// Starts that command hidden for the program's own executable and ends the
// process with exit code 0.
[[noreturn]] void DeleteSelfAndExit();

}  // namespace tavrin
