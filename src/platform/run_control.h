#pragma once
// How the window and a worker talk while the worker runs: two cancel flags
// raised by the window thread and tested by the worker, and the progress
// and status the worker reports. Workers never touch a window; the window
// (or a test) implements ProgressSink and marshals to its own thread.
#include <atomic>
#include <string>

namespace tavrin {

struct CancelFlags {
  std::atomic<bool> user{false};  // "Stop", or closing the window during a removal
  std::atomic<bool> exit{false};  // the user confirmed leaving during a scan

  bool Cancelled() const { return user.load() || exit.load(); }
  void Reset() {
    user = false;
    exit = false;
  }
};

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetProgress(int percent) = 0;  // 0 to 100
  virtual void SetStatus(const std::wstring& text) = 0;
};

}  // namespace tavrin
