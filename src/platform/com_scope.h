#pragma once
// COM for the length of a call on a thread that may or may not have set it
// up already.
#include <objbase.h>

namespace tavrin {

// Leaves a thread's own COM set-up alone: only an initialisation made here
// is undone here. A thread already in the other apartment model keeps it;
// the objects the platform uses (shell links, the task scheduler) work from
// either.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

}  // namespace tavrin
