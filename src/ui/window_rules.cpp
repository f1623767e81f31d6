#include "ui/window_rules.h"

#include "results/result_tabs.h"
#include "ui/ui_ids.h"

namespace tavrin {

WindowSize InitialWindowSize(WindowSize designed, const WindowSettings& stored, WindowSize screen) {
  WindowSize size = designed;
  if (stored.width > designed.width && stored.width <= screen.width) size.width = stored.width;
  if (stored.height > designed.height && stored.height <= screen.height) size.height = stored.height;
  return size;
}

int InitialShowCommand(int showCommand, bool storedMaximized) {
  if (showCommand == SW_HIDE) return SW_HIDE;
  return storedMaximized ? SW_SHOWMAXIMIZED : showCommand;
}

ControlStates ControlsFor(WindowPhase phase, bool hasRows) {
  ControlStates s;
  switch (phase) {
    case WindowPhase::Ready:
      s.scanEnabled = true;
      s.scanToolTip = L"Start searching for adware and malware";
      s.cleanEnabled = hasRows;
      s.scanOptionsEnabled = true;
      s.removalOptionsEnabled = true;
      break;
    case WindowPhase::Scanning:
      s.scanEnabled = true;
      s.scanIsStop = true;
      s.scanToolTip = L"Stop the current scan";
      break;
    case WindowPhase::Results:
      // A new scan starts from "New scan", which empties the lists first.
      s.scanToolTip = L"Start searching for adware and malware";
      s.cleanEnabled = hasRows;
      s.removalOptionsEnabled = true;
      break;
    case WindowPhase::Removing:
      s.scanEnabled = true;
      s.scanIsStop = true;
      s.scanToolTip = L"Stop the current removal operation";
      break;
  }
  return s;
}

bool IsCommandEnabled(int command, const CommandContext& c) {
  const bool scanning = c.phase == WindowPhase::Scanning;
  const bool removing = c.phase == WindowPhase::Removing;
  const bool infectedFile = c.rowHighlighted && c.tab == kMalwareTab && c.highlightedGroup == kGroupInfectedFiles;
  switch (command) {
    case kCmdNewScan:
    case kCmdCustomScan:
    case kCmdUninstall:
      return !scanning && !removing;
    case kCmdViewScanLog:
      return !scanning;
    case kCmdViewCleanupLog:
      return !removing;
    case kCmdOpenRegistryLocation:
    case kCmdOpenFileLocation:
      return c.rowHighlighted;
    case kCmdReportFalsePositive:
      return infectedFile;
    case kCmdWhitelistParentFolder:
      return infectedFile && !removing;
    case kCmdWhitelistHighlighted:
      return c.rowHighlighted && !removing;
    // The removal deletes rows as it goes: nothing else may change them.
    case kCmdCheckAll:
    case kCmdCheckNone:
    case kCmdWhitelistChecked:
    case kCmdWhitelistCheckedAllTabs:
    case kCmdWhitelistManager:
      return !removing;
    default:
      return true;
  }
}

ScanEndStep AfterScan(const ScanOutcome& outcome, bool removeAfterScan, bool exiting) {
  if (exiting) return ScanEndStep::Nothing;
  if (!removeAfterScan || outcome.cancelled) return ScanEndStep::ShowSummary;
  // A scan that could not run found nothing to remove either.
  if (outcome.exitCode != 0 || outcome.itemsChecked == 0) return ScanEndStep::EndProgram;
  return ScanEndStep::StartRemoval;
}

RemovalEndSteps AfterRemoval(unsigned resultFlags, bool unattended, bool autoReboot) {
  RemovalEndSteps steps;
  const bool scheduled = (resultFlags & kRemovalScheduledAtRestart) != 0;
  if (unattended) {
    steps.restartNow = autoReboot && scheduled;
    steps.endProgram = true;
    return steps;
  }
  steps.showReport = true;
  steps.askRestart = scheduled;
  return steps;
}

}  // namespace tavrin
