#pragma once
// Driving the program's windows from a test with messages: finding them,
// reading their texts and answering their message boxes.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "support/child_process.h"
#include "support/scratch.h"
#include "ui/main_window.h"

namespace tavrin::test {

// Polls every 10 ms, up to `ms`.
bool WaitUntil(const std::function<bool()>& condition, DWORD ms = 10000);

// The first top-level window of the class owned by the process (any
// process when `pid` is 0), waiting up to `ms`; null when none came.
HWND FindProcessWindow(const wchar_t* className, DWORD pid);
HWND WaitForWindow(const wchar_t* className, DWORD pid, DWORD ms = 10000);
// The same for a window that has been shown: the program shows its windows
// once their controls are in place.
HWND WaitForShownWindow(const wchar_t* className, DWORD pid, DWORD ms = 10000);

std::wstring WindowText(HWND window);
std::wstring ControlText(HWND parent, int id);

// The program's message box: its text, and an answer (IDOK, IDYES, IDNO).
std::wstring MessageBoxText(HWND box);
void AnswerMessageBox(HWND box, int answer);
// Waits up to `ms` for the process's message box to be shown, answers it
// and waits for it to go: its text, or nothing when no box came.
std::optional<std::wstring> AnswerShownMessageBox(DWORD pid, int answer, DWORD ms = 10000);

// A program started as a user would start it (shown normally), ended on
// scope exit when it still runs.
class ShownProgram : public ChildProcess {
 public:
  bool Start(const std::wstring& commandLine) { return ChildProcess::Start(commandLine, SW_SHOWNORMAL); }
};

// What the main window needs of the rest of the program, in a scratch
// folder: settings, whitelist, results and cancel flags, and a host shown
// normally that names them. Scans and removals are the test's to give.
struct TestWindowHost {
  TestWindowHost();
  TestWindowHost(const TestWindowHost&) = delete;
  TestWindowHost& operator=(const TestWindowHost&) = delete;

  ScratchFolder scratch;
  IniDocument settings;
  WhiteList whitelist;
  ResultSet results;
  CancelFlags cancel;
  MainWindowHost host;
};

// The real program, beside the test build.
std::wstring TavrinExePath();

}  // namespace tavrin::test
