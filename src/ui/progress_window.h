#pragma once
// The window that accompanies a removal: a caption, the current detail
// line, a progress bar and "Cancel", which raises the user cancel flag.
#include <windows.h>

#include <string>

#include "platform/run_control.h"

namespace tavrin {

class ProgressWindow {
 public:
  ProgressWindow() = default;
  ~ProgressWindow() { Close(); }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Modeless, owned by `owner` (which it does not disable).
  bool Open(HWND owner, const std::wstring& caption, CancelFlags& cancel);
  void SetDetail(const std::wstring& text);
  void SetProgress(int percent);
  void Close();
  HWND Window() const { return window_; }

 private:
  HWND window_ = nullptr;
};

}  // namespace tavrin
