#include "window_driver.h"

#include <vector>

#include "platform/file_system.h"
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

std::optional<std::wstring> AnswerShownMessageBox(DWORD pid, int answer, DWORD ms) {
  HWND box = WaitForShownWindow(kMessageBoxClass, pid, ms);
  if (!box) return std::nullopt;
  std::wstring text = MessageBoxText(box);
  AnswerMessageBox(box, answer);
  WaitUntil([&] { return !IsWindow(box); });
  return text;
}

TestWindowHost::TestWindowHost() {
  settings.Load(scratch / L"settings.ini");
  LoadWhiteList(whitelist, scratch / L"WhiteList.ini");
  host.options.showCommand = SW_SHOWNORMAL;
  host.dataFolder = scratch.Path();
  host.executablePath = OwnExecutablePath();
  host.settings = &settings;
  host.whitelist = &whitelist;
  host.results = &results;
  host.cancel = &cancel;
}

std::wstring TavrinExePath() { return TestBuildPath(L"..\\..\\src\\ui\\tavrin.exe"); }

}  // namespace tavrin::test
