#include "platform/message_pump.h"

#include <windows.h>

namespace tavrin {

namespace {
thread_local MessageDispatcher threadDispatcher = nullptr;
}

void SetMessageDispatcher(MessageDispatcher dispatcher) { threadDispatcher = dispatcher; }

void DispatchPendingMessages() {
  if (threadDispatcher) threadDispatcher();
}

void DispatchThreadMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace tavrin
