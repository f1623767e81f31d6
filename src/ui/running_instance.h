#pragma once
// The single-instance test of the start-up: one visible instance at a time.

namespace tavrin {

// Looks for a running instance's main window. Restores it when found; true
// when it had been visible (it is brought to the front and this process
// should end), false when there is none or it was hidden.
bool ActivateRunningInstance();

}  // namespace tavrin
