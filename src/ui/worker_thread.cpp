#include "ui/worker_thread.h"

namespace tavrin {

namespace {

DWORD WINAPI ThreadEntry(void* parameter) {
  auto* body = static_cast<std::function<DWORD()>*>(parameter);
  const DWORD result = (*body)();
  delete body;
  return result;
}

}  // namespace

WorkerThread::~WorkerThread() {
  // The body works on objects that the window owns: it must not outlive them.
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
}

bool WorkerThread::Start(std::function<DWORD()> body) {
  if (thread_) return false;
  auto* owned = new std::function<DWORD()>(std::move(body));
  thread_ = CreateThread(nullptr, 0, ThreadEntry, owned, 0, nullptr);
  if (!thread_) delete owned;
  return thread_ != nullptr;
}

bool WorkerThread::Running() const { return thread_ && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT; }

bool WorkerThread::Wait(DWORD ms) const { return !thread_ || WaitForSingleObject(thread_, ms) != WAIT_TIMEOUT; }

DWORD WorkerThread::Finish() {
  if (!thread_) return 0;
  WaitForSingleObject(thread_, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(thread_, &code);
  CloseHandle(thread_);
  thread_ = nullptr;
  return code;
}

}  // namespace tavrin
