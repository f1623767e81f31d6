#include "ui/window_rules.h"

#include <gtest/gtest.h>

#include "results/result_tabs.h"
#include "ui/ui_ids.h"

namespace tavrin {
namespace {

TEST(WindowRules, StoredSizeReplacesTheDesignedOneOnlyWhenLargerAndOnScreen) {
  const WindowSize designed{750, 550};
  const WindowSize screen{1024, 768};
  struct Case {
    int storedWidth, storedHeight;
    int width, height;
  } cases[] = {
      {0, 0, 750, 550},        // nothing stored
      {900, 700, 900, 700},    // larger, fits
      {1024, 768, 1024, 768},  // exactly the screen
      {1025, 700, 750, 700},   // wider than the screen: the default width
      {900, 769, 900, 550},    // taller than the screen
      {600, 400, 750, 550},    // smaller than designed
      {-5, 99999, 750, 550},
  };
  for (const Case& c : cases) {
    WindowSettings stored;
    stored.width = c.storedWidth;
    stored.height = c.storedHeight;
    const WindowSize size = InitialWindowSize(designed, stored, screen);
    EXPECT_EQ(size.width, c.width) << c.storedWidth << "x" << c.storedHeight;
    EXPECT_EQ(size.height, c.height) << c.storedWidth << "x" << c.storedHeight;
  }
}

TEST(WindowRules, AHiddenWindowIsNeverMaximized) {
  EXPECT_EQ(InitialShowCommand(SW_HIDE, true), SW_HIDE);
  EXPECT_EQ(InitialShowCommand(SW_SHOWNORMAL, true), SW_SHOWMAXIMIZED);
  EXPECT_EQ(InitialShowCommand(SW_SHOWNORMAL, false), SW_SHOWNORMAL);
}

TEST(WindowRules, ControlsOfEachPhase) {
  const ControlStates ready = ControlsFor(WindowPhase::Ready, false);
  EXPECT_TRUE(ready.scanEnabled);
  EXPECT_FALSE(ready.scanIsStop);
  EXPECT_FALSE(ready.cleanEnabled);
  EXPECT_TRUE(ready.scanOptionsEnabled);
  EXPECT_STREQ(ready.scanToolTip, L"Start searching for adware and malware");

  const ControlStates scanning = ControlsFor(WindowPhase::Scanning, true);
  EXPECT_TRUE(scanning.scanEnabled);
  EXPECT_TRUE(scanning.scanIsStop);
  EXPECT_FALSE(scanning.cleanEnabled);
  EXPECT_FALSE(scanning.scanOptionsEnabled);
  EXPECT_FALSE(scanning.removalOptionsEnabled);
  EXPECT_STREQ(scanning.scanToolTip, L"Stop the current scan");

  const ControlStates results = ControlsFor(WindowPhase::Results, true);
  EXPECT_FALSE(results.scanEnabled);
  EXPECT_TRUE(results.cleanEnabled);
  EXPECT_FALSE(results.scanOptionsEnabled);
  EXPECT_TRUE(results.removalOptionsEnabled);
  EXPECT_FALSE(ControlsFor(WindowPhase::Results, false).cleanEnabled);

  const ControlStates removing = ControlsFor(WindowPhase::Removing, true);
  EXPECT_TRUE(removing.scanIsStop);
  EXPECT_FALSE(removing.cleanEnabled);
  EXPECT_FALSE(removing.removalOptionsEnabled);
  EXPECT_STREQ(removing.scanToolTip, L"Stop the current removal operation");
}

TEST(WindowRules, MenuEntriesFollowTheHighlightedRowAndThePhase) {
  CommandContext none;
  CommandContext program{WindowPhase::Results, kProgramsTab, true, kNoGroup};
  CommandContext infectedFile{WindowPhase::Results, kMalwareTab, true, 81};
  CommandContext infectedKey{WindowPhase::Results, kMalwareTab, true, 82};
  CommandContext scanning{WindowPhase::Scanning, kMalwareTab, true, 81};
  CommandContext removing{WindowPhase::Removing, kMalwareTab, true, 81};

  for (int command : {kCmdOpenRegistryLocation, kCmdOpenFileLocation, kCmdWhitelistHighlighted}) {
    EXPECT_FALSE(IsCommandEnabled(command, none)) << command;
    EXPECT_TRUE(IsCommandEnabled(command, program)) << command;
  }
  for (int command : {kCmdReportFalsePositive, kCmdWhitelistParentFolder}) {
    EXPECT_FALSE(IsCommandEnabled(command, program)) << command;
    EXPECT_FALSE(IsCommandEnabled(command, infectedKey)) << command;
    EXPECT_TRUE(IsCommandEnabled(command, infectedFile)) << command;
  }
  for (int command : {kCmdNewScan, kCmdViewScanLog, kCmdCustomScan}) {
    EXPECT_TRUE(IsCommandEnabled(command, none)) << command;
    EXPECT_FALSE(IsCommandEnabled(command, scanning)) << command;
  }
  // Nothing may change the rows or start work while the removal runs.
  for (int command : {kCmdNewScan, kCmdUninstall, kCmdCheckAll, kCmdWhitelistChecked, kCmdWhitelistParentFolder,
                      kCmdWhitelistManager, kCmdViewCleanupLog})
    EXPECT_FALSE(IsCommandEnabled(command, removing)) << command;
  EXPECT_TRUE(IsCommandEnabled(kCmdDetectionSettings, removing));
  EXPECT_TRUE(IsCommandEnabled(kCmdOpenLogsFolder, scanning));
}

TEST(WindowRules, WhatFollowsAScan) {
  ScanOutcome clean;
  ScanOutcome found{0, false, 3, 2, false};
  ScanOutcome optionalOnly{0, false, 8, 0, false};
  ScanOutcome cancelled{0, true, 3, 2, false};
  ScanOutcome definitionsFailed{3, false, 0, 0, false};

  EXPECT_EQ(AfterScan(found, false, false), ScanEndStep::ShowSummary);
  EXPECT_EQ(AfterScan(clean, false, false), ScanEndStep::ShowSummary);
  EXPECT_EQ(AfterScan(found, true, false), ScanEndStep::StartRemoval);
  EXPECT_EQ(AfterScan(optionalOnly, true, false), ScanEndStep::EndProgram);
  EXPECT_EQ(AfterScan(clean, true, false), ScanEndStep::EndProgram);
  EXPECT_EQ(AfterScan(definitionsFailed, true, false), ScanEndStep::EndProgram);
  EXPECT_EQ(AfterScan(cancelled, true, false), ScanEndStep::ShowSummary);
  EXPECT_EQ(AfterScan(found, false, true), ScanEndStep::Nothing);
}

TEST(WindowRules, WhatFollowsARemoval) {
  const RemovalEndSteps quietScheduled = AfterRemoval(2 | 1, true, true);
  EXPECT_TRUE(quietScheduled.restartNow);
  EXPECT_TRUE(quietScheduled.endProgram);
  EXPECT_FALSE(quietScheduled.showReport);
  EXPECT_FALSE(quietScheduled.askRestart);

  EXPECT_FALSE(AfterRemoval(2, true, false).restartNow);
  EXPECT_FALSE(AfterRemoval(1 | 4, true, true).restartNow);
  EXPECT_TRUE(AfterRemoval(0, true, true).endProgram);

  const RemovalEndSteps interactive = AfterRemoval(2, false, true);
  EXPECT_TRUE(interactive.showReport);
  EXPECT_TRUE(interactive.askRestart);
  EXPECT_FALSE(interactive.restartNow);
  EXPECT_FALSE(interactive.endProgram);
  EXPECT_FALSE(AfterRemoval(1, false, true).askRestart);
}

}  // namespace
}  // namespace tavrin
