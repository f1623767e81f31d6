#include "window_driver.h"

#include <vector>

#include "ui/ui_ids.h"

namespace tavrin::test {

bool WaitUntil(const std::function<bool()>& condition, DWORD ms) {
  for (DWORD waited = 0;; waited += 10) {
    if (condition()) return true;
    if (waited >= ms) return false;
    Sleep(10);
  }
}

namespace {

struct Search {
  const wchar_t* className;
  DWORD pid;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  if (lstrcmpiW(name, search->className) != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (search->pid && pid != search->pid) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindProcessWindow(const wchar_t* className, DWORD pid) {
  Search search{className, pid, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(const wchar_t* className, DWORD pid, DWORD ms) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindProcessWindow(className, pid)) != nullptr; }, ms);
  return found;
}

HWND WaitForShownWindow(const wchar_t* className, DWORD pid, DWORD ms) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindProcessWindow(className, pid);
        return found && IsWindowVisible(found);
      },
      ms);
  return found && IsWindowVisible(found) ? found : nullptr;
}

std::wstring WindowText(HWND window) {
  // WM_GETTEXT is marshalled between processes, unlike GetWindowText for
  // another process's controls.
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::vector<wchar_t> buffer(size_t(length) + 1);
  SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return buffer.data();
}

std::wstring ControlText(HWND parent, int id) { return WindowText(GetDlgItem(parent, id)); }

std::wstring MessageBoxText(HWND box) { return ControlText(box, kIdMessageText); }

void AnswerMessageBox(HWND box, int answer) { PostMessageW(box, WM_COMMAND, answer, 0); }

ShownProgram::~ShownProgram() {
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  if (process_) CloseHandle(process_);
}

bool ShownProgram::Start(const std::wstring& commandLine) {
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
  return true;
}

bool ShownProgram::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

DWORD ShownProgram::Wait(DWORD ms) const {
  if (!process_ || WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return ~0u;
  DWORD code = ~0u;
  GetExitCodeProcess(process_, &code);
  return code;
}

std::wstring TavrinExePath() {
  wchar_t own[1024] = {};
  GetModuleFileNameW(nullptr, own, 1024);
  std::wstring path = own;
  path = path.substr(0, path.rfind(L'\\')) + L"\\..\\..\\src\\app\\tavrin.exe";
  wchar_t full[1024] = {};
  const DWORD length = GetFullPathNameW(path.c_str(), 1024, full, nullptr);
  return length > 0 && length < 1024 ? std::wstring(full, length) : path;
}

}  // namespace tavrin::test
