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

// Design units (see window_kit.h).
constexpr int kMargin = 16;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 8;
constexpr int kIconSize = 32;
constexpr int kTextWidth = 440;
constexpr int kMinimumTextWidth = 240;

struct BoxState {
  int answer = 0;
  int closeAnswer = IDOK;
  UINT type = 0;
  std::wstring text;
  HWND icon = nullptr;
  std::vector<HWND> buttons;
};

LPCWSTR IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONQUESTION: return IDI_QUESTION;
    case MB_ICONWARNING: return IDI_WARNING;
    case MB_ICONERROR: return IDI_ERROR;
    default: return IDI_INFORMATION;
  }
}

// The text decides the size of the box: measured in the font for `dpi`,
// then the box and its controls are sized around it.
void LayoutBox(HWND box, const BoxState& state, UINT dpi) {
  const int margin = Scaled(kMargin, dpi);
  const int iconSize = Scaled(kIconSize, dpi);
  const int buttonWidth = Scaled(kButtonWidth, dpi);
  const int buttonHeight = Scaled(kButtonHeight, dpi);
  const int gap = Scaled(kButtonGap, dpi);
  RECT textRect{0, 0, Scaled(kTextWidth, dpi), 0};
  HDC dc = GetDC(box);
  HGDIOBJ old = SelectObject(dc, WindowFont(dpi));
  DrawTextW(dc, state.text.c_str(), int(state.text.size()), &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(box, dc);
  const int textWidth = std::max(Scaled(kMinimumTextWidth, dpi), int(textRect.right));
  const int textHeight = std::max(iconSize, int(textRect.bottom));
  const int clientWidth = margin * 3 + iconSize + textWidth;
  const int clientHeight = margin * 3 + textHeight + buttonHeight;

  SendMessageW(state.icon, STM_SETICON, WPARAM(LoadScaledIcon(nullptr, IconOf(state.type), kIconSize, dpi)), 0);
  MoveWindow(state.icon, margin, margin, iconSize, iconSize, TRUE);
  MoveWindow(GetDlgItem(box, kIdMessageText), margin * 2 + iconSize, margin, textWidth, textHeight, TRUE);
  int bx = clientWidth - margin - int(state.buttons.size()) * (buttonWidth + gap) + gap;
  for (HWND button : state.buttons) {
    MoveWindow(button, bx, clientHeight - margin - buttonHeight, buttonWidth, buttonHeight, TRUE);
    bx += buttonWidth + gap;
  }
  SetClientSize(box, clientWidth, clientHeight);
}

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
    case WM_DPICHANGED:
      FollowDpiChange(window, wParam, lParam);
      if (state) LayoutBox(window, *state, HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      return TransparentBackground(HDC(wParam), COLOR_WINDOW);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int ShowMessage(HWND owner, const std::wstring& text, UINT type) {
  RegisterWindowClass(kMessageBoxClass, MessageBoxProc, COLOR_WINDOW);
  const bool yesNo = (type & MB_TYPEMASK) == MB_YESNO;
  BoxState state;
  state.closeAnswer = yesNo ? IDNO : IDOK;
  state.type = type;
  state.text = text;

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | (owner ? 0 : WS_EX_TOPMOST);
  // Made first and sized afterwards: the size depends on the DPI of the
  // monitor the box is on. Centred on the owner when it is shown, else on
  // the screen.
  HWND shownOwner = ShownOwner(owner);
  // Made with room for a client area, so that the frame around it can be
  // measured.
  const POINT centre = CentredOn(shownOwner, 400, 300);
  HWND box = CreateWindowExW(exStyle, kMessageBoxClass, kProductName, style, centre.x, centre.y, 400, 300, shownOwner,
                             nullptr, GetModuleHandleW(nullptr), &state);
  if (!box) return state.closeAnswer;

  state.icon = AddControl(box, L"STATIC", nullptr, SS_ICON, 0, 0, 0, 0, 0);
  AddControl(box, L"STATIC", text.c_str(), SS_NOPREFIX, 0, 0, 0, 0, kIdMessageText);
  std::vector<std::pair<int, const wchar_t*>> buttons;
  if (yesNo) {
    buttons = {{IDYES, L"Yes"}, {IDNO, L"No"}};
  } else {
    buttons = {{IDOK, L"OK"}};
  }
  for (const auto& [id, label] : buttons)
    state.buttons.push_back(
        AddControl(box, L"BUTTON", label, WS_TABSTOP | (state.buttons.empty() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0,
                   0, 0, 0, id));
  ApplyWindowFont(box);
  LayoutBox(box, state, WindowDpi(box));
  RECT frame;
  GetWindowRect(box, &frame);
  const POINT at = CentredOn(shownOwner, frame.right - frame.left, frame.bottom - frame.top);
  SetWindowPos(box, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  ShowWindow(box, SW_SHOW);
  if (!state.buttons.empty()) SetFocus(state.buttons.front());
  RunModalLoop(box, shownOwner, [&] { return state.answer != 0; });
  if (state.answer == 0) state.answer = state.closeAnswer;
  DestroyWindow(box);
  return state.answer;
}

}  // namespace tavrin
