#include "ui/progress_window.h"

#include <commctrl.h>

#include "platform/product.h"
#include "platform/strings.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"

namespace tavrin {

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 190;

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* cancel = reinterpret_cast<CancelFlags*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        LONG_PTR(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
      break;
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
    case WM_CTLCOLORSTATIC:
      SetBkMode(HDC(wParam), TRANSPARENT);
      return LRESULT(GetSysColorBrush(COLOR_WINDOW));
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool ProgressWindow::Open(HWND owner, const std::wstring& caption, CancelFlags& cancel) {
  Close();
  static bool registered = false;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!registered) {
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = ProgressProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = kProgressWindowClass;
    registered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
  RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const bool ownerShown = owner && IsWindowVisible(owner) && !IsIconic(owner);
  if (ownerShown) GetWindowRect(owner, &around);
  window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kProgressWindowClass, kProductName, WS_POPUP | WS_CAPTION,
                            around.left + ((around.right - around.left) - kWidth) / 2,
                            around.top + ((around.bottom - around.top) - kHeight) / 2, kWidth, kHeight, owner,
                            nullptr, instance, &cancel);
  if (!window_) return false;
  RECT client;
  GetClientRect(window_, &client);
  const int width = client.right - 32;
  HWND title = CreateWindowExW(0, L"STATIC", caption.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 16, 14, width, 26,
                               window_, HMENU(INT_PTR(kIdProgressTitle)), instance, nullptr);
  CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX | SS_PATHELLIPSIS, 16, 48, width, 22,
                  window_, HMENU(INT_PTR(kIdProgressDetail)), instance, nullptr);
  HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, 16, 78, width, 18, window_,
                             HMENU(INT_PTR(kIdProgressBar)), instance, nullptr);
  SendMessageW(bar, PBM_SETRANGE32, 0, 100);
  CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, client.right - 106,
                  client.bottom - 42, 90, 28, window_, HMENU(INT_PTR(IDCANCEL)), instance, nullptr);
  ApplyWindowFont(window_);
  SendMessageW(title, WM_SETFONT, WPARAM(BoldFont()), TRUE);
  // A hidden (quiet) run shows no progress either.
  ShowWindow(window_, ownerShown ? SW_SHOW : SW_HIDE);
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
