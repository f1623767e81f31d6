#include "ui/running_instance.h"

#include <windows.h>

#include "platform/product.h"
#include "ui/ui_ids.h"

namespace tavrin {

bool ActivateRunningInstance() {
  HWND window = FindWindowW(kMainWindowClass, kProductName);
  if (!window) return false;
  const bool wasVisible = IsWindowVisible(window) != FALSE;
  ShowWindow(window, SW_RESTORE);
  if (!wasVisible) return false;
  SetForegroundWindow(window);
  return true;
}

}  // namespace tavrin
