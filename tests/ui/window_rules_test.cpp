#include "ui/window_rules.h"

#include <string>
#include <vector>

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
  struct Case {
    int showCommand;
    bool storedMaximized;
    int shown;
  } cases[] = {
      {SW_HIDE, true, SW_HIDE},
      {SW_SHOWNORMAL, true, SW_SHOWMAXIMIZED},
      {SW_SHOWNORMAL, false, SW_SHOWNORMAL},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InitialShowCommand(c.showCommand, c.storedMaximized), c.shown) << c.showCommand << c.storedMaximized;
}

TEST(WindowRules, ControlsOfEachPhase) {
  const wchar_t* const kScanTip = L"Start searching for adware and malware";
  struct Case {
    const char* what;
    WindowPhase phase;
    bool hasRows;
    ControlStates expected;
  } cases[] = {
      {"ready", WindowPhase::Ready, false,
       {.scanEnabled = true, .scanToolTip = kScanTip, .scanOptionsEnabled = true, .removalOptionsEnabled = true}},
      {"scanning", WindowPhase::Scanning, true,
       {.scanEnabled = true, .scanIsStop = true, .scanToolTip = L"Stop the current scan"}},
      {"results", WindowPhase::Results, true,
       {.scanToolTip = kScanTip, .cleanEnabled = true, .removalOptionsEnabled = true}},
      {"results, all whitelisted", WindowPhase::Results, false,
       {.scanToolTip = kScanTip, .removalOptionsEnabled = true}},
      {"removing", WindowPhase::Removing, true,
       {.scanEnabled = true, .scanIsStop = true, .scanToolTip = L"Stop the current removal operation"}},
  };
  for (const Case& c : cases) {
    const ControlStates states = ControlsFor(c.phase, c.hasRows);
    EXPECT_EQ(states.scanEnabled, c.expected.scanEnabled) << c.what;
    EXPECT_EQ(states.scanIsStop, c.expected.scanIsStop) << c.what;
    EXPECT_STREQ(states.scanToolTip, c.expected.scanToolTip) << c.what;
    EXPECT_EQ(states.cleanEnabled, c.expected.cleanEnabled) << c.what;
    EXPECT_EQ(states.scanOptionsEnabled, c.expected.scanOptionsEnabled) << c.what;
    EXPECT_EQ(states.removalOptionsEnabled, c.expected.removalOptionsEnabled) << c.what;
  }
}

TEST(WindowRules, MenuEntriesFollowTheHighlightedRowAndThePhase) {
  const CommandContext none;
  const CommandContext program{.phase = WindowPhase::Results, .tab = kProgramsTab, .rowHighlighted = true};
  const CommandContext infectedFile{.phase = WindowPhase::Results, .tab = kMalwareTab, .rowHighlighted = true,
                                    .highlightedGroup = kGroupInfectedFiles};
  const CommandContext infectedKey{.phase = WindowPhase::Results, .tab = kMalwareTab, .rowHighlighted = true,
                                   .highlightedGroup = kGroupInfectedRegistry};
  const CommandContext scanning{.phase = WindowPhase::Scanning, .tab = kMalwareTab, .rowHighlighted = true,
                                .highlightedGroup = kGroupInfectedFiles};
  const CommandContext removing{.phase = WindowPhase::Removing, .tab = kMalwareTab, .rowHighlighted = true,
                                .highlightedGroup = kGroupInfectedFiles};
  const std::vector<int> highlightedRow = {kCmdOpenRegistryLocation, kCmdOpenFileLocation, kCmdWhitelistHighlighted};
  const std::vector<int> infectedFileOnly = {kCmdReportFalsePositive, kCmdWhitelistParentFolder};
  const std::vector<int> notWhileScanning = {kCmdNewScan, kCmdViewScanLog, kCmdCustomScan};
  // Nothing may change the rows or start work while the removal runs.
  const std::vector<int> notWhileRemoving = {kCmdNewScan, kCmdUninstall, kCmdCheckAll, kCmdWhitelistChecked,
                                             kCmdWhitelistParentFolder, kCmdWhitelistManager, kCmdViewCleanupLog};
  struct Case {
    const char* what;
    std::vector<int> commands;
    const CommandContext& context;
    bool enabled;
  } cases[] = {
      {"no row highlighted", highlightedRow, none, false},
      {"a program highlighted", highlightedRow, program, true},
      {"a program highlighted", infectedFileOnly, program, false},
      {"an infected key highlighted", infectedFileOnly, infectedKey, false},
      {"an infected file highlighted", infectedFileOnly, infectedFile, true},
      {"nothing running", notWhileScanning, none, true},
      {"a scan running", notWhileScanning, scanning, false},
      {"a removal running", notWhileRemoving, removing, false},
      {"a removal running", {kCmdDetectionSettings}, removing, true},
      {"a scan running", {kCmdOpenLogsFolder}, scanning, true},
  };
  for (const Case& c : cases) {
    for (int command : c.commands)
      EXPECT_EQ(IsCommandEnabled(command, c.context), c.enabled) << c.what << ": " << command;
  }
}

TEST(WindowRules, WhatFollowsAScan) {
  const ScanOutcome clean;
  const ScanOutcome found{.itemsFound = 3, .itemsChecked = 2};
  const ScanOutcome optionalOnly{.itemsFound = 8};
  const ScanOutcome cancelled{.cancelled = true, .itemsFound = 3, .itemsChecked = 2};
  const ScanOutcome definitionsFailed{.exitCode = 3};
  struct Case {
    const char* what;
    const ScanOutcome& outcome;
    bool removeAfterScan;
    bool exiting;
    ScanEndStep step;
  } cases[] = {
      {"found", found, false, false, ScanEndStep::ShowSummary},
      {"clean", clean, false, false, ScanEndStep::ShowSummary},
      {"found, scan and remove", found, true, false, ScanEndStep::StartRemoval},
      {"optional only, scan and remove", optionalOnly, true, false, ScanEndStep::EndProgram},
      {"clean, scan and remove", clean, true, false, ScanEndStep::EndProgram},
      {"definitions failed, scan and remove", definitionsFailed, true, false, ScanEndStep::EndProgram},
      {"cancelled, scan and remove", cancelled, true, false, ScanEndStep::ShowSummary},
      {"found while exiting", found, false, true, ScanEndStep::Nothing},
  };
  for (const Case& c : cases) EXPECT_EQ(AfterScan(c.outcome, c.removeAfterScan, c.exiting), c.step) << c.what;
}

TEST(WindowRules, WhatFollowsARemoval) {
  struct Case {
    unsigned flags;
    bool unattended;
    bool autoReboot;
    RemovalEndSteps steps;
  } cases[] = {
      {2 | 1, true, true, {.restartNow = true, .endProgram = true}},
      {2, true, false, {.endProgram = true}},
      {1 | 4, true, true, {.endProgram = true}},
      {0, true, true, {.endProgram = true}},
      {2, false, true, {.showReport = true, .askRestart = true}},
      {1, false, true, {.showReport = true}},
  };
  for (const Case& c : cases) {
    const RemovalEndSteps steps = AfterRemoval(c.flags, c.unattended, c.autoReboot);
    const std::string what = "flags " + std::to_string(c.flags) + (c.unattended ? ", unattended" : "") +
                             (c.autoReboot ? ", auto reboot" : "");
    EXPECT_EQ(steps.showReport, c.steps.showReport) << what;
    EXPECT_EQ(steps.askRestart, c.steps.askRestart) << what;
    EXPECT_EQ(steps.restartNow, c.steps.restartNow) << what;
    EXPECT_EQ(steps.endProgram, c.steps.endProgram) << what;
  }
}

}  // namespace
}  // namespace tavrin
