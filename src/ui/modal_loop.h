#pragma once
// The message loop of the program's modal windows.
#include <windows.h>

#include <functional>

namespace tavrin {

// Disables the owner (when given), dispatches the thread's messages with
// the window's keyboard navigation until `done` answers true or the window
// is gone, then enables and activates the owner again. A WM_QUIT ends the
// loop and is posted again for the caller's loop; the result is then false.
bool RunModalLoop(HWND window, HWND owner, const std::function<bool()>& done);

}  // namespace tavrin
