#include "ui/message_box.h"

#include <algorithm>
#include <vector>

#include "platform/product.h"
#include "ui/modal_loop.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

constexpr int kMargin = 16;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 28;
constexpr int kIconSize = 32;

struct BoxState {
  int answer = 0;
  int closeAnswer = IDOK;
};

LRESULT CALLBACK MessageBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<BoxState*>(WindowData(window, message, lParam));
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (state && (id == IDOK || id == IDYES || id == IDNO || id == IDCANCEL)) {
        // Enter without a focused button presses the first one.
        state->answer = id == IDCANCEL ? state->closeAnswer : (id == IDOK && state->closeAnswer == IDNO) ? IDYES : id;
        return 0;
      }
      break;
    }
    case WM_CLOSE:
      if (state) state->answer = state->closeAnswer;
      return 0;
    case WM_CTLCOLORSTATIC:
      return TransparentBackground(HDC(wParam), COLOR_WINDOW);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LPCWSTR IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONQUESTION: return IDI_QUESTION;
    case MB_ICONWARNING: return IDI_WARNING;
    case MB_ICONERROR: return IDI_ERROR;
    default: return IDI_INFORMATION;
  }
}

}  // namespace

int ShowMessage(HWND owner, const std::wstring& text, UINT type) {
  RegisterWindowClass(kMessageBoxClass, MessageBoxProc, COLOR_WINDOW);
  const bool yesNo = (type & MB_TYPEMASK) == MB_YESNO;
  BoxState state;
  state.closeAnswer = yesNo ? IDNO : IDOK;

  // The text decides the size of the box.
  RECT textRect{0, 0, 440, 0};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, WindowFont());
  DrawTextW(dc, text.c_str(), int(text.size()), &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  const int textWidth = std::max(240, int(textRect.right));
  const int textHeight = std::max(kIconSize, int(textRect.bottom));
  const int clientWidth = kMargin * 3 + kIconSize + textWidth;
  const int clientHeight = kMargin * 3 + textHeight + kButtonHeight;

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | (owner ? 0 : WS_EX_TOPMOST);
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;

  // Centred on the owner when it is shown, else on the screen.
  HWND shownOwner = ShownOwner(owner);
  const POINT at = CentredOn(shownOwner, width, height);
  HWND box = CreateWindowExW(exStyle, kMessageBoxClass, kProductName, style, at.x, at.y, width, height, shownOwner,
                             nullptr, GetModuleHandleW(nullptr), &state);
  if (!box) return state.closeAnswer;

  HWND icon = AddControl(box, L"STATIC", nullptr, SS_ICON, kMargin, kMargin, kIconSize, kIconSize, 0);
  SendMessageW(icon, STM_SETICON, WPARAM(LoadIconW(nullptr, IconOf(type))), 0);
  AddControl(box, L"STATIC", text.c_str(), SS_NOPREFIX, kMargin * 2 + kIconSize, kMargin, textWidth, textHeight,
             kIdMessageText);

  std::vector<std::pair<int, const wchar_t*>> buttons;
  if (yesNo) {
    buttons = {{IDYES, L"Yes"}, {IDNO, L"No"}};
  } else {
    buttons = {{IDOK, L"OK"}};
  }
  int bx = clientWidth - kMargin - int(buttons.size()) * (kButtonWidth + 8) + 8;
  const int by = clientHeight - kMargin - kButtonHeight;
  HWND first = nullptr;
  for (const auto& [id, label] : buttons) {
    HWND button = AddControl(box, L"BUTTON", label, WS_TABSTOP | (first ? BS_PUSHBUTTON : BS_DEFPUSHBUTTON), bx, by,
                             kButtonWidth, kButtonHeight, id);
    if (!first) first = button;
    bx += kButtonWidth + 8;
  }
  ApplyWindowFont(box);

  ShowWindow(box, SW_SHOW);
  if (first) SetFocus(first);
  RunModalLoop(box, shownOwner, [&] { return state.answer != 0; });
  if (state.answer == 0) state.answer = state.closeAnswer;
  DestroyWindow(box);
  return state.answer;
}

}  // namespace tavrin
