#include "ui/settings_dialog.h"

#include <commctrl.h>

#include "platform/product.h"
#include "ui/modal_loop.h"
#include "ui/schedule_page.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 560;

struct DialogState {
  bool ended = false;
  HWND page = nullptr;
};

// The page fills the tab control's display area.
RECT PageArea(HWND dialog) {
  HWND tabs = GetDlgItem(dialog, kIdSettingsTabs);
  RECT area{};
  GetWindowRect(tabs, &area);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, LPARAM(&area));
  return area;
}

LRESULT CALLBACK SettingsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<DialogState*>(WindowData(window, message, lParam));
  switch (message) {
    case WM_COMMAND:
      if (state && LOWORD(wParam) == IDCANCEL) {
        state->ended = true;
        return 0;
      }
      break;
    case WM_CLOSE:
      if (state) state->ended = true;
      return 0;
    case WM_DPICHANGED:
      FollowDpiChange(window, wParam, lParam);
      if (state && state->page) {
        const RECT area = PageArea(window);
        MoveWindow(state->page, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
      }
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void RunSettingsDialog(HWND owner, const std::wstring& executablePath) {
  RegisterWindowClass(kSettingsDialogClass, SettingsDialogProc, COLOR_BTNFACE);
  DialogState state;
  HWND shownOwner = ShownOwner(owner);
  const POINT at = CentredOn(shownOwner, kWidth, kHeight);
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kSettingsDialogClass,
                                (std::wstring(kProductName) + L" settings").c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                at.x, at.y, kWidth, kHeight, shownOwner, nullptr, GetModuleHandleW(nullptr), &state);
  if (!dialog) return;
  PlaceScaled(dialog, shownOwner, kWidth, kHeight);
  const RECT client = DesignClientRect(dialog);
  HWND tabs = AddControl(dialog, WC_TABCONTROLW, nullptr, WS_CLIPSIBLINGS, 10, 10, client.right - 20,
                         client.bottom - 66, kIdSettingsTabs);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  wchar_t title[] = L"Scheduled scans";
  item.pszText = title;
  SendMessageW(tabs, TCM_INSERTITEMW, 0, LPARAM(&item));
  ApplyWindowFont(dialog);
  HWND page = CreateSchedulePage(dialog, PageArea(dialog), executablePath);
  if (page) SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  state.page = page;
  // Uploads have no switch in the window on purpose: sending a user's file
  // away is set in the settings file, where it cannot be clicked by accident.
  HWND upload = AddControl(dialog, L"STATIC",
                           L"Files are only looked up at VirusTotal by their hashes. A file VirusTotal does not "
                           L"know is sent to it only with \"VirusTotalUpload=1\" in section \"Settings\" of "
                           L"settings.ini.",
                           SS_LEFT, 10, client.bottom - 54, client.right - 140, 50, 0);
  SendMessageW(upload, WM_SETFONT, WPARAM(WindowFont(WindowDpi(dialog))), TRUE);
  HWND close = AddControl(dialog, L"BUTTON", L"Close", BS_DEFPUSHBUTTON | WS_TABSTOP, client.right - 110,
                          client.bottom - 46, 100, 32, IDCANCEL);
  SendMessageW(close, WM_SETFONT, WPARAM(WindowFont(WindowDpi(dialog))), TRUE);

  ShowWindow(dialog, SW_SHOW);
  SetFocus(close);
  RunModalLoop(dialog, shownOwner, [&] { return state.ended; });
  DestroyWindow(dialog);
}

}  // namespace tavrin
