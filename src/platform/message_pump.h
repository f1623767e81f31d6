#pragma once
// Long loops in the platform and the engine call DispatchPendingMessages()
// between items so that a window owned by the calling thread stays
// responsive. The window thread installs the dispatcher; on any other
// thread the call does nothing.
namespace tavrin {

using MessageDispatcher = void (*)();

// Installs the dispatcher of the calling thread (nullptr removes it).
void SetMessageDispatcher(MessageDispatcher dispatcher);
void DispatchPendingMessages();

// A dispatcher that peeks, translates and dispatches every pending message
// of the calling thread.
void DispatchThreadMessages();

}  // namespace tavrin
