// The main window's tutorial: the tips shown one after the other after a
// scan, each pointing at its control, advanced by a timer.
#include "ui/main_window_class.h"

#include <commctrl.h>

#include "ui/ui_ids.h"

namespace tavrin {

namespace {

bool AnyMouseButtonDown() {
  return (GetAsyncKeyState(VK_LBUTTON) | GetAsyncKeyState(VK_RBUTTON) | GetAsyncKeyState(VK_MBUTTON)) & 0x8000;
}

}  // namespace

void MainWindow::StartTutorial() {
  tutorialShown_ = true;
  tip_ = 0;
  ShowTip();
  ApplyControlStates();
  SetTimer(window_, kTutorialTimer, 100, nullptr);
}

void MainWindow::ShowTip() {
  const TutorialTip& tip = TutorialTips()[size_t(tip_)];
  if (tip.tab >= 0) {
    SendMessageW(tabs_, TCM_SETCURSEL, tip.tab, 0);
    views_.ShowTab(tip.tab);
  }
  RECT target{};
  switch (tip.anchor) {
    case TipAnchor::Tab:
      SendMessageW(tabs_, TCM_GETITEMRECT, tip.tab, reinterpret_cast<LPARAM>(&target));
      MapWindowPoints(tabs_, nullptr, reinterpret_cast<POINT*>(&target), 2);
      break;
    case TipAnchor::RemovalOptions: {
      RECT second;
      GetWindowRect(GetDlgItem(window_, kIdRestorePoint), &target);
      GetWindowRect(GetDlgItem(window_, kIdAutoReboot), &second);
      target.bottom = second.bottom;
      break;
    }
    case TipAnchor::CleanButton:
      GetWindowRect(GetDlgItem(window_, kIdClean), &target);
      break;
  }
  std::wstring body, title;
  SplitTipText(tip.text, body, title);
  balloon_.Show(window_, {(target.left + target.right) / 2, target.bottom}, body, title);
  tipShownAt_ = GetTickCount();
  tipClosed_ = false;
}

void MainWindow::OnTutorialTimer() {
  if (tip_ < 0) {
    KillTimer(window_, kTutorialTimer);
    return;
  }
  const TutorialTip& tip = TutorialTips()[size_t(tip_)];
  const DWORD shown = GetTickCount() - tipShownAt_;
  if (!tipClosed_ && tip.stayMs > 0 && shown >= DWORD(tip.stayMs)) {
    balloon_.Hide();
    tipClosed_ = true;
  }
  if (!ShouldAdvanceTip(AnyMouseButtonDown(), tipClosed_, shown)) return;
  if (++tip_ >= int(TutorialTips().size())) {
    EndTutorial();
    return;
  }
  ShowTip();
}

void MainWindow::EndTutorial() {
  if (tip_ < 0) return;
  tip_ = -1;
  balloon_.Hide();
  KillTimer(window_, kTutorialTimer);
  ApplyControlStates();
}

}  // namespace tavrin
