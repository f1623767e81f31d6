#pragma once
// A worker's progress and status for a window: the worker's calls only
// store the latest values and post one message; the window thread takes
// them when the message arrives. Workers never touch a window.
#include <windows.h>

#include <mutex>
#include <optional>
#include <string>

#include "platform/run_control.h"

namespace tavrin {

class PostedProgress : public ProgressSink {
 public:
  PostedProgress(HWND window, UINT message) : window_(window), message_(message) {}
  // The window to post to, once it exists; set before any worker starts.
  void Attach(HWND window) { window_ = window; }

  void SetProgress(int percent) override;
  void SetStatus(const std::wstring& text) override;

  struct Update {
    std::optional<int> progress;
    std::optional<std::wstring> status;
  };
  // Window thread: what changed since the last call.
  Update Take();

 private:
  void Post();

  HWND window_;
  UINT message_;
  std::mutex lock_;
  Update pending_;
  bool posted_ = false;
};

}  // namespace tavrin
