#pragma once
// Test programs link this in place of the machine restart: RestartComputer
// writes a marker file at the path the environment variable names (and
// nothing when it is unset), and never restarts anything.
namespace tavrin::test {

inline constexpr wchar_t kRestartMarkerVariable[] = L"TAVRIN_TEST_RESTART_MARKER";

}  // namespace tavrin::test
