#pragma once
// Restarting Windows after removals that had to wait for the next start.
namespace tavrin {

// Set by the tests only: instead of restarting the machine, RestartComputer
// writes a marker file at the path this variable names. The machine that
// runs the tests must never restart.
inline constexpr wchar_t kRestartMarkerVariable[] = L"TAVRIN_TEST_RESTART_MARKER";

// ExitWindowsEx with reboot and force-if-hung (18), reason 0; needs the
// shutdown privilege, which is enabled first. True when the restart was
// accepted.
bool RestartComputer();

}  // namespace tavrin
