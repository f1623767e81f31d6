#pragma once
// Restarting Windows after removals that had to wait for the next start.
namespace tavrin {

// ExitWindowsEx with reboot and force-if-hung (18), reason 0; needs the
// shutdown privilege, which is enabled first. True when the restart was
// accepted.
//
// Kept in a library of its own (tavrin_restart) that only the program's
// executable links: test programs link a recorder in its place, so that
// nothing in the shipped program needs a switch to keep a test machine
// running.
bool RestartComputer();

}  // namespace tavrin
