#include "ui/modal_loop.h"

namespace tavrin {

bool RunModalLoop(HWND window, HWND owner, const std::function<bool()>& done) {
  const bool disabled = owner && IsWindowEnabled(owner);
  if (disabled) EnableWindow(owner, FALSE);
  bool quit = false;
  MSG msg;
  while (!done() && IsWindow(window)) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(int(msg.wParam));
      quit = true;
      break;
    }
    if (got < 0) break;
    if (IsDialogMessageW(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (disabled) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  return !quit;
}

}  // namespace tavrin
