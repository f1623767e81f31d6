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
    bool tips;
  };
  const Case cases[] = {
      {{1, false, 0, 0, false}, L"Sorry, an error occurred while enumerating user accounts.", L"Error starting scan.", false},
      {{3, true, 5, 1, false}, L"Sorry, an error occurred while loading the definitions' database.",
       L"Error loading definitions.", false},
      {{0, false, 3, 2, false}, L"Tavrin found 2 recommended items, which are already checked, and one optional item.",
       L"Press \"Clean\"...", true},
      {{0, true, 1, 1, false}, L"Tavrin found one recommended item, which is already checked, and no optional items.",
       L"Press \"Clean\"...", true},
      {{0, false, 8, 0, false}, L"Tavrin found 8 optional items.\r\n\r\nTake a look at all the tabs,", L"Press \"Clean\"...",
       true},
      {{0, false, 2, 0, true}, L"Tavrin found 2 optional items.\r\n\r\nTake a look at the Malware tab,", L"Press \"Clean\"...",
       true},
      {{0, true, 0, 0, false}, L"The scan was cancelled.\r\n\r\nNo Items were found so far.", L"", false},
      {{0, false, 0, 0, false}, L"Congratulations!\r\n\r\nTavrin did not find any threats this time.",
       L"Scan complete. No items found.", false},
  };
  for (const auto& c : cases) {
    ScanSummary s = SummarizeScan(c.outcome);
    EXPECT_TRUE(StartsWith(s.message, c.begins)) << std::string(s.message.begin(), s.message.end());
    EXPECT_EQ(s.status, c.status);
    EXPECT_EQ(s.asksForTips, c.tips);
  }
  EXPECT_NE(SummarizeScan({0, false, 1, 0, false}).message.find(L"Would you like to see a few instructive tips?"),
            std::wstring::npos);
}

}  // namespace
}  // namespace tavrin
