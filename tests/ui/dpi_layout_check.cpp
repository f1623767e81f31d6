// dpi_layout_check: opens the program's main window and each of its dialogs
// in this process, at the DPI the Wine prefix gives, and writes one line per
// layout fault to OUT (nothing when every window is sound). Each window is
// then told it moved to a monitor of another DPI (WM_DPICHANGED) and
// checked again there.
//
//   dpi_layout_check EXPECTED_DPI OUT
//
// Wine 8 makes every process aware of each monitor's DPI, with or without
// the manifest that asks for it; dpi_layout_test runs this once per DPI and
// reads the manifest of the real program.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "layout_check.h"
#include "platform/file_system.h"
#include "platform/strings.h"
#include "results/whitelist_manager.h"
#include "support/scratch.h"
#include "ui/custom_scan_dialog.h"
#include "ui/detection_dialog.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/progress_window.h"
#include "ui/settings_dialog.h"
#include "ui/tool_tips.h"
#include "ui/tutorial.h"
#include "ui/ui_fonts.h"
#include "ui/whitelist_manager_window.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"
#include "ui/window_rules.h"
#include "window_driver.h"

using namespace tavrin;

namespace {

std::vector<std::wstring> faults;

void Fault(const std::wstring& window, const std::wstring& text) { faults.push_back(window + L": " + text); }

BOOL CALLBACK CollectFontHeight(HWND control, LPARAM heights) {
  LOGFONTW font{};
  if (HGDIOBJ own = HGDIOBJ(SendMessageW(control, WM_GETFONT, 0, 0)); own && GetObjectW(own, sizeof font, &font))
    reinterpret_cast<std::vector<std::pair<HWND, int>>*>(heights)->emplace_back(control, font.lfHeight);
  return TRUE;
}

// The window at `dpi`: its layout, and its controls' fonts made for that
// DPI (the program's sizes, 8.7, 10 and 16 points).
void CheckAt(HWND window, const std::wstring& name, UINT dpi) {
  const std::wstring where = name + L" at " + std::to_wstring(dpi);
  if (WindowDpi(window) != dpi) Fault(where, L"laid out for " + std::to_wstring(WindowDpi(window)));
  std::vector<std::pair<HWND, int>> heights;
  EnumChildWindows(window, CollectFontHeight, LPARAM(&heights));
  bool windowFont = false;
  for (const auto& [control, height] : heights) {
    windowFont = windowFont || height == -MulDiv(100, int(dpi), 720);
    if (height != -MulDiv(87, int(dpi), 720) && height != -MulDiv(100, int(dpi), 720) &&
        height != -MulDiv(160, int(dpi), 720))
      Fault(where, L"font " + std::to_wstring(height) + L" high on " + test::WindowText(control));
  }
  if (!windowFont) Fault(where, L"no control has the window font");
  for (const std::wstring& fault : test::LayoutFaults(window)) Fault(where, fault);
}

void MoveTo(HWND window, const std::wstring& name, const RECT& suggested, UINT movedDpi, bool sizesItself) {
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(movedDpi, movedDpi), LPARAM(&suggested));
  RECT after;
  GetWindowRect(window, &after);
  const bool taken = sizesItself ? after.left == suggested.left && after.top == suggested.top
                                 : EqualRect(&after, &suggested) != FALSE;
  if (!taken) {
    Fault(name, L"took " + std::to_wstring(after.right - after.left) + L"x" + std::to_wstring(after.bottom - after.top) +
                    L", not the rectangle WM_DPICHANGED suggested");
  }
  CheckAt(window, name, movedDpi);
}

// Checks the window, then moves it to a monitor of `movedDpi` and checks
// that it took the suggested rectangle (its place only, for a window that
// sizes itself around its text) and laid itself out again.
void CheckWindow(HWND window, const std::wstring& name, UINT dpi, UINT movedDpi, bool sizesItself = false) {
  if (!window) {
    Fault(name, L"did not open");
    return;
  }
  CheckAt(window, name, dpi);
  // The client area scaled, as the system suggests it; the frame here is
  // the one the real DPI gives.
  RECT frame, client;
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  const int frameWidth = (frame.right - frame.left) - client.right;
  const int frameHeight = (frame.bottom - frame.top) - client.bottom;
  const RECT suggested{frame.left, frame.top,
                       frame.left + frameWidth + MulDiv(client.right, int(movedDpi), int(dpi)),
                       frame.top + frameHeight + MulDiv(client.bottom, int(movedDpi), int(dpi))};
  MoveTo(window, name, suggested, movedDpi, sizesItself);
}
void CheckTips(HWND owner, UINT dpi) {
  HWND tips = CreateToolTips(owner);
  if (int(SendMessageW(tips, TTM_GETMAXTIPWIDTH, 0, 0)) != Scaled(600, dpi)) Fault(L"tool tips", L"width not scaled");
  DestroyWindow(tips);
  Balloon balloon;
  balloon.Show(owner, {100, 100}, L"Tip", L"Tutorial tip 1 of 6");
  if (int(SendMessageW(balloon.Window(), TTM_GETMAXTIPWIDTH, 0, 0)) != Scaled(520, dpi))
    Fault(L"tutorial tip", L"width not scaled");
}

// Runs `open` (a modal window) on this thread while another thread checks
// the window of `className` and closes it.
void CheckModal(const wchar_t* className, const std::wstring& name, UINT dpi, UINT movedDpi,
                const std::function<void()>& open, bool sizesItself = false) {
  std::thread driver([&] {
    HWND window = test::WaitForShownWindow(className, GetCurrentProcessId(), 10000);
    CheckWindow(window, name, dpi, movedDpi, sizesItself);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  });
  open();
  driver.join();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: dpi_layout_check EXPECTED_DPI OUT\n", stderr);
    return 2;
  }
  const UINT dpi = UINT(_wtoi(argv[1]));
  const UINT movedDpi = dpi == 192 ? 96 : dpi + 48;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_LINK_CLASS | ICC_TAB_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_DATE_CLASSES};
  InitCommonControlsEx(&controls);
  if (WindowDpi(nullptr) != dpi) Fault(L"system", L"DPI " + std::to_wstring(WindowDpi(nullptr)));

  test::TestWindowHost parts;
  MainWindowHost& host = parts.host;
  IniDocument& settings = parts.settings;
  WhiteList& whitelist = parts.whitelist;
  CancelFlags& cancel = parts.cancel;
  AddWhitelistEntry(whitelist, L"Programs", L"Handy Toolbar");
  // The test screen is 1024 x 768: the main window's designed size does not
  // fit it above 96 DPI, and the window is cut to the screen. It is checked
  // where it fits, and moved to 120 DPI (96 from above) at its designed size.
  std::thread mainDriver([&] {
    HWND window = test::WaitForShownWindow(kMainWindowClass, GetCurrentProcessId());
    if (!window) {
      Fault(L"main window", L"did not open");
      return;
    }
    if (Scaled(kDesignedWidth, dpi) <= GetSystemMetrics(SM_CXSCREEN) &&
        Scaled(kDesignedHeight, dpi) <= GetSystemMetrics(SM_CYSCREEN))
      CheckAt(window, L"main window", dpi);
    const UINT moved = dpi == 96 ? 120 : 96;
    const RECT suggested{0, 0, Scaled(kDesignedWidth, moved), Scaled(kDesignedHeight, moved)};
    MoveTo(window, L"main window", suggested, moved, false);
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  RunMainWindow(host);
  mainDriver.join();

  CheckModal(kSettingsDialogClass, L"settings", dpi, movedDpi,
             [&] { RunSettingsDialog(nullptr, test::TavrinExePath()); });
  CheckModal(kCustomScanDialogClass, L"custom scan", dpi, movedDpi, [&] { RunCustomScanDialog(nullptr, L""); });
  CheckModal(kDetectionDialogClass, L"detection settings", dpi, movedDpi, [&] {
    DetectionLevel level = DetectionLevel::Medium;
    RunDetectionSettingsDialog(nullptr, level, settings);
  });
  CheckModal(kWhitelistManagerClass, L"whitelist manager", dpi, movedDpi,
             [&] { RunWhitelistManager(nullptr, whitelist); });
  CheckModal(kMessageBoxClass, L"message box", dpi, movedDpi, [&] {
    ShowMessage(nullptr,
                L"Some file system objects were scheduled for removal on reboot.\r\n\r\nYou should reboot your "
                L"computer as soon as possible. Do you want to reboot now?",
                MB_YESNO | MB_ICONQUESTION);
  }, true);

  ProgressWindow progress;
  progress.Open(nullptr, L"Preparing to fix the selected items", cancel);
  HWND progressWindow = test::FindProcessWindow(kProgressWindowClass, GetCurrentProcessId());
  CheckWindow(progressWindow, L"progress window", dpi, movedDpi);
  progress.Close();

  HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  CheckTips(owner, dpi);
  DestroyWindow(owner);

  std::wstring text;
  for (const std::wstring& fault : faults) text += fault + L"\r\n";
  return test::WriteBytes(argv[2], WideToUtf8(text)) ? 0 : 1;
}
