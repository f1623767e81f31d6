#include "scan/scan_summary.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }

TEST(ScanSummary, MessagesByOutcome) {
  struct Case {
    ScanOutcome outcome;
    const wchar_t* begins;
    const wchar_t* status;
    bool tips = false;
  };
  const Case cases[] = {
      {.outcome = {.exitCode = 1},
       .begins = L"Sorry, an error occurred while enumerating user accounts.",
       .status = L"Error starting scan."},
      {.outcome = {.exitCode = 3, .cancelled = true, .itemsFound = 5, .itemsChecked = 1},
       .begins = L"Sorry, an error occurred while loading the definitions' database.",
       .status = L"Error loading definitions."},
      {.outcome = {.itemsFound = 3, .itemsChecked = 2},
       .begins = L"Tavrin found 2 recommended items, which are already checked, and one optional item.",
       .status = L"Press \"Clean\"...",
       .tips = true},
      {.outcome = {.cancelled = true, .itemsFound = 1, .itemsChecked = 1},
       .begins = L"Tavrin found one recommended item, which is already checked, and no optional items.",
       .status = L"Press \"Clean\"...",
       .tips = true},
      {.outcome = {.itemsFound = 8},
       .begins = L"Tavrin found 8 optional items.\r\n\r\nTake a look at all the tabs,",
       .status = L"Press \"Clean\"...",
       .tips = true},
      {.outcome = {.itemsFound = 2, .customScan = true},
       .begins = L"Tavrin found 2 optional items.\r\n\r\nTake a look at the Malware tab,",
       .status = L"Press \"Clean\"...",
       .tips = true},
      {.outcome = {.cancelled = true},
       .begins = L"The scan was cancelled.\r\n\r\nNo Items were found so far.",
       .status = L""},
      {.outcome = {},
       .begins = L"Congratulations!\r\n\r\nTavrin did not find any threats this time.",
       .status = L"Scan complete. No items found."},
  };
  for (const auto& c : cases) {
    ScanSummary s = SummarizeScan(c.outcome);
    EXPECT_TRUE(StartsWith(s.message, c.begins)) << std::string(s.message.begin(), s.message.end());
    EXPECT_EQ(s.status, c.status);
    EXPECT_EQ(s.asksForTips, c.tips);
  }
  EXPECT_NE(SummarizeScan({.itemsFound = 1}).message.find(L"Would you like to see a few instructive tips?"),
            std::wstring::npos);
}

}  // namespace
}  // namespace tavrin
