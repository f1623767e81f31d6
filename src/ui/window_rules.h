#pragma once
// The decisions of the main window that do not need a window: its first
// size and show command, which controls and commands are enabled in which
// phase, and what follows the end of a scan or a removal in each run mode.
#include <windows.h>

#include <string>

#include "app/settings.h"
#include "scan/scan_summary.h"

namespace tavrin {

inline constexpr int kDesignedWidth = 750;
inline constexpr int kDesignedHeight = 550;

struct WindowSize {
  int width = 0;
  int height = 0;
};

// A stored width or height replaces the designed one only when it is larger
// than that and not larger than the screen.
WindowSize InitialWindowSize(WindowSize designed, const WindowSettings& stored, WindowSize screen);
// A hidden window is never maximized.
int InitialShowCommand(int showCommand, bool storedMaximized);

enum class WindowPhase {
  Ready,      // no results to act on: a scan can start
  Scanning,
  Results,    // a scan ended with rows: they can be cleaned
  Removing,
};

struct ControlStates {
  bool scanEnabled = false;
  bool scanIsStop = false;            // the Scan button reads "Stop"
  const wchar_t* scanToolTip = L"";
  bool cleanEnabled = false;
  bool scanOptionsEnabled = false;    // "Scan all users", "Don't scan malware"
  bool removalOptionsEnabled = false; // "Create restore point", "Auto reboot if needed"
};

ControlStates ControlsFor(WindowPhase phase, bool hasRows);

// What the menu's enable rules look at.
struct CommandContext {
  WindowPhase phase = WindowPhase::Ready;
  int tab = 0;
  bool rowHighlighted = false;
  int highlightedGroup = -1;
};

// `command` is one of the MenuCommand identifiers.
bool IsCommandEnabled(int command, const CommandContext& context);

// After the scan thread ended.
enum class ScanEndStep {
  ShowSummary,    // interactive, or a scan-and-remove run that was cancelled
  StartRemoval,   // scan and remove: checked rows are removed without a question
  EndProgram,     // scan and remove with nothing checked
  Nothing,        // the program is closing
};
ScanEndStep AfterScan(const ScanOutcome& outcome, bool removeAfterScan, bool exiting);

// After the removal thread ended; `resultFlags` as the removal returns it.
inline constexpr unsigned kRemovalScheduledAtRestart = 0x2;
struct RemovalEndSteps {
  bool showReport = false;  // and wait until it is closed
  bool askRestart = false;
  bool restartNow = false;
  bool endProgram = false;
};
RemovalEndSteps AfterRemoval(unsigned resultFlags, bool unattended, bool autoReboot);

}  // namespace tavrin
