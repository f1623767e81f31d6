#include "ui/detection_dialog.h"

#include "ui/modal_loop.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

constexpr int kWidth = 580;
constexpr int kHeight = 270;

struct DialogState {
  int option = kIdMedium;
  bool ended = false;
  bool accepted = false;
};

LRESULT CALLBACK DetectionDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<DialogState*>(WindowData(window, message, lParam));
  switch (message) {
    case WM_COMMAND:
      if (!state) break;
      switch (LOWORD(wParam)) {
        case IDOK:
          for (int id : {kIdSoft, kIdMedium, kIdAggressive}) {
            if (IsDlgButtonChecked(window, id) == BST_CHECKED) state->option = id;
          }
          state->accepted = true;
          state->ended = true;
          return 0;
        case IDCANCEL:
          state->ended = true;
          return 0;
      }
      break;
    case WM_CLOSE:
      if (state) state->ended = true;
      return 0;
    case WM_DPICHANGED:
      FollowDpiChange(window, wParam, lParam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return TransparentBackground(HDC(wParam), COLOR_WINDOW);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int DetectionOptionOf(DetectionLevel level) {
  if (level == DetectionLevel::Soft) return kIdSoft;
  if (level == DetectionLevel::Aggressive) return kIdAggressive;
  return kIdMedium;
}

DetectionLevel DetectionLevelOf(int option) {
  if (option == kIdSoft) return DetectionLevel::Soft;
  if (option == kIdAggressive) return DetectionLevel::Aggressive;
  return DetectionLevel::Medium;
}

bool RunDetectionSettingsDialog(HWND owner, DetectionLevel& level, IniDocument& settings) {
  RegisterWindowClass(kDetectionDialogClass, DetectionDialogProc, COLOR_WINDOW);

  DialogState state;
  state.option = DetectionOptionOf(level);
  HWND shownOwner = ShownOwner(owner);
  const POINT at = CentredOn(shownOwner, kWidth, kHeight);
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, kDetectionDialogClass, L"Malware scan behavior settings",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, kWidth, kHeight, shownOwner, nullptr,
                                GetModuleHandleW(nullptr), &state);
  if (!dialog) return false;
  PlaceScaled(dialog, shownOwner, kWidth, kHeight);

  const RECT client = DesignClientRect(dialog);
  const int width = client.right - 40;
  HWND heading = AddControl(dialog, L"STATIC", L"   Malware detection settings", SS_NOPREFIX, 10, 10, width, 30, 0);
  AddControl(dialog, L"STATIC",
             L"Please select below the desired malware scan detection behavior.\r\n"
             L"You can bring up this dialog box anytime from Menu >> Malware detection settings.",
             SS_NOPREFIX, 20, 48, width, 40, 0);
  AddControl(dialog, L"BUTTON", L"Soft - Lower detection rate, but very few false positives",
             BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 30, 98, width - 10, 24, kIdSoft);
  AddControl(dialog, L"BUTTON",
             L"Medium - A combination of good detection rate and few false positives (default)", BS_AUTORADIOBUTTON,
             30, 124, width - 10, 24, kIdMedium);
  AddControl(dialog, L"BUTTON", L"Aggressive - Very good detection rate but there may be more false positives",
             BS_AUTORADIOBUTTON, 30, 150, width - 10, 24, kIdAggressive);
  HWND ok = AddControl(dialog, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, client.right - 110,
                       client.bottom - 42, 90, 30, IDOK);
  ApplyWindowFont(dialog);
  SendMessageW(heading, WM_SETFONT, WPARAM(HeadingFont(WindowDpi(dialog))), TRUE);
  CheckRadioButton(dialog, kIdSoft, kIdAggressive, state.option);

  ShowWindow(dialog, SW_SHOW);
  SetFocus(ok);
  RunModalLoop(dialog, shownOwner, [&] { return state.ended; });
  DestroyWindow(dialog);
  if (!state.accepted) return false;

  level = DetectionLevelOf(state.option);
  settings.SetInt(L"SCAN", L"ScanSoftness", Threshold(level));
  return true;
}

}  // namespace tavrin
