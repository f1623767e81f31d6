// ui_probe: drives a running Tavrin window from a script (the demo and the
// screenshot) with window messages.
//
//   ui_probe wait-box MS      waits for the program's message box, prints
//                             its text; exit 1 when none came in time
//   ui_probe answer yes|no|ok answers the shown message box
//   ui_probe show-tab N       switches the main window to result tab N
//   ui_probe open DIALOG      opens a dialog from the main window's menu
//                             (custom, detection, whitelist, settings) and
//                             waits until it is shown; exit 1 when it is not
//   ui_probe dismiss DIALOG   closes that dialog
//   ui_probe close            closes the main window
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/product.h"
#include "platform/remote_buffer.h"
#include "platform/strings.h"
#include "ui/ui_ids.h"

using namespace tavrin;

namespace {

HWND ShownMessageBox() {
  HWND box = FindWindowW(kMessageBoxClass, nullptr);
  return box && IsWindowVisible(box) ? box : nullptr;
}

int WaitForBox(DWORD ms) {
  for (DWORD waited = 0; waited <= ms; waited += 50) {
    if (HWND box = ShownMessageBox()) {
      HWND text = GetDlgItem(box, kIdMessageText);
      const LRESULT length = SendMessageW(text, WM_GETTEXTLENGTH, 0, 0);
      std::wstring buffer(size_t(length) + 1, L'\0');
      SendMessageW(text, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
      buffer.resize(size_t(length));
      std::fputs(WideToUtf8(buffer).c_str(), stdout);
      std::fputs("\n", stdout);
      return 0;
    }
    Sleep(50);
  }
  return 1;
}

int Answer(const wchar_t* answer) {
  HWND box = ShownMessageBox();
  if (!box) return 1;
  const int id = EqualsNoCase(answer, L"yes") ? IDYES : EqualsNoCase(answer, L"no") ? IDNO : IDOK;
  PostMessageW(box, WM_COMMAND, id, 0);
  for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
  return 0;
}

// A click on the tab's item, as the user would make it: the window learns of
// the change through the tab control's own notification.
int ShowTab(int tab) {
  HWND window = FindWindowW(kMainWindowClass, kProductName);
  HWND tabs = window ? GetDlgItem(window, kIdTabs) : nullptr;
  if (!tabs) return 1;
  DWORD pid = 0;
  GetWindowThreadProcessId(tabs, &pid);
  RemoteBuffer remote(pid, sizeof(RECT));
  if (!remote || !SendMessageW(tabs, TCM_GETITEMRECT, tab, reinterpret_cast<LPARAM>(remote.Address()))) return 1;
  RECT item{};
  remote.Read(0, &item, sizeof item);
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(tabs, WM_LBUTTONUP, 0, at);
  return 0;
}

struct Dialog {
  const wchar_t* name;
  int command;
  const wchar_t* className;
};

constexpr Dialog kDialogs[] = {
    {L"custom", kCmdCustomScan, kCustomScanDialogClass},
    {L"detection", kCmdDetectionSettings, kDetectionDialogClass},
    {L"whitelist", kCmdWhitelistManager, kWhitelistManagerClass},
    {L"settings", kCmdSettings, kSettingsDialogClass},
};

const Dialog* DialogNamed(const wchar_t* name) {
  for (const Dialog& dialog : kDialogs) {
    if (EqualsNoCase(name, dialog.name)) return &dialog;
  }
  return nullptr;
}

// The menu command, as the menu sends it.
int Open(const wchar_t* name) {
  const Dialog* dialog = DialogNamed(name);
  HWND window = FindWindowW(kMainWindowClass, kProductName);
  if (!dialog || !window || !PostMessageW(window, WM_COMMAND, dialog->command, 0)) return 1;
  for (int i = 0; i < 200; ++i) {
    HWND shown = FindWindowW(dialog->className, nullptr);
    if (shown && IsWindowVisible(shown)) return 0;
    Sleep(50);
  }
  return 1;
}

int Dismiss(const wchar_t* name) {
  const Dialog* dialog = DialogNamed(name);
  HWND shown = dialog ? FindWindowW(dialog->className, nullptr) : nullptr;
  if (!shown || !PostMessageW(shown, WM_CLOSE, 0, 0)) return 1;
  for (int i = 0; i < 100 && IsWindow(shown); ++i) Sleep(20);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && EqualsNoCase(argv[1], L"wait-box")) return WaitForBox(DWORD(_wtoi(argv[2])));
  if (argc >= 3 && EqualsNoCase(argv[1], L"answer")) return Answer(argv[2]);
  if (argc >= 3 && EqualsNoCase(argv[1], L"show-tab")) return ShowTab(_wtoi(argv[2]));
  if (argc >= 3 && EqualsNoCase(argv[1], L"open")) return Open(argv[2]);
  if (argc >= 3 && EqualsNoCase(argv[1], L"dismiss")) return Dismiss(argv[2]);
  if (argc >= 2 && EqualsNoCase(argv[1], L"close")) {
    HWND window = FindWindowW(kMainWindowClass, kProductName);
    return window && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  std::fputs("usage: ui_probe wait-box MS | answer yes|no|ok | show-tab N | open|dismiss DIALOG | close\n", stderr);
  return 2;
}
