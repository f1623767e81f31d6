#include "ui/progress_window.h"

#include <commctrl.h>

#include "platform/product.h"
#include "platform/strings.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 190;

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* cancel = static_cast<CancelFlags*>(WindowData(window, message, lParam));
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        if (cancel) cancel->user = true;
        EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
        return 0;
      }
      break;
    case WM_CLOSE:
      // Closing asks the removal to stop; the window goes when it has.
      if (cancel) cancel->user = true;
      return 0;
    case WM_DPICHANGED:
      FollowDpiChange(window, wParam, lParam);
      return 0;
    case WM_CTLCOLORSTATIC:
      return TransparentBackground(HDC(wParam), COLOR_WINDOW);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool ProgressWindow::Open(HWND owner, const std::wstring& caption, CancelFlags& cancel) {
  Close();
  RegisterWindowClass(kProgressWindowClass, ProgressProc, COLOR_WINDOW);
  HWND shownOwner = ShownOwner(owner);
  const POINT at = CentredOn(shownOwner, kWidth, kHeight);
  window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kProgressWindowClass, kProductName, WS_POPUP | WS_CAPTION, at.x,
                            at.y, kWidth, kHeight, owner, nullptr, GetModuleHandleW(nullptr), &cancel);
  if (!window_) return false;
  PlaceScaled(window_, shownOwner, kWidth, kHeight);
  const RECT client = DesignClientRect(window_);
  const int width = client.right - 32;
  HWND title = AddControl(window_, L"STATIC", caption.c_str(), SS_NOPREFIX, 16, 14, width, 26, kIdProgressTitle);
  AddControl(window_, L"STATIC", L"", SS_NOPREFIX | SS_PATHELLIPSIS, 16, 48, width, 22, kIdProgressDetail);
  HWND bar = AddControl(window_, PROGRESS_CLASSW, nullptr, 0, 16, 78, width, 18, kIdProgressBar);
  SendMessageW(bar, PBM_SETRANGE32, 0, 100);
  AddControl(window_, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, client.right - 106, client.bottom - 42, 90, 28,
             IDCANCEL);
  ApplyWindowFont(window_);
  SendMessageW(title, WM_SETFONT, WPARAM(BoldFont(WindowDpi(window_))), TRUE);
  // A hidden (quiet) run shows no progress either.
  ShowWindow(window_, shownOwner ? SW_SHOW : SW_HIDE);
  return true;
}

void ProgressWindow::SetDetail(const std::wstring& text) {
  if (window_) SetDlgItemTextW(window_, kIdProgressDetail, Trim(text).c_str());
}

void ProgressWindow::SetProgress(int percent) {
  if (window_) SendDlgItemMessageW(window_, kIdProgressBar, PBM_SETPOS, percent, 0);
}

void ProgressWindow::Close() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

}  // namespace tavrin
