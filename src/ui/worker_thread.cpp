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
  if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
}

bool WorkerThread::Start(std::function<DWORD()> body) {
  if (thread_) return false;
  auto* owned = new std::function<DWORD()>(std::move(body));
  thread_.reset(CreateThread(nullptr, 0, ThreadEntry, owned, 0, nullptr));
  if (!thread_) delete owned;
  return bool(thread_);
}

bool WorkerThread::Running() const { return thread_ && WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT; }

bool WorkerThread::Wait(DWORD ms) const { return !thread_ || WaitForSingleObject(thread_.get(), ms) != WAIT_TIMEOUT; }

DWORD WorkerThread::Finish() {
  if (!thread_) return 0;
  WaitForSingleObject(thread_.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeThread(thread_.get(), &code);
  thread_.reset();
  return code;
}

}  // namespace tavrin
