#pragma once
// A worker thread whose end the window's event loop can wait for together
// with its messages, and whose exit code it reads afterwards.
#include <windows.h>

#include <functional>

#include "platform/unique_handle.h"

namespace tavrin {

class WorkerThread {
 public:
  WorkerThread() = default;
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // False when a thread of this slot still runs or none could start.
  bool Start(std::function<DWORD()> body);
  bool Running() const;
  // Null when no thread is held.
  HANDLE Handle() const { return thread_.get(); }
  // Waits for the end (up to `ms`); false on time-out.
  bool Wait(DWORD ms) const;
  // The exit code of the ended thread, and the slot is free again.
  DWORD Finish();

 private:
  UniqueThread thread_;
};

}  // namespace tavrin
