#pragma once
// What the main window tells the user when a scan has ended.
#include <string>

namespace tavrin {

struct ScanOutcome {
  int exitCode = 0;  // 0 ran, 1 no users or no work folder, 3 definitions failure
  bool cancelled = false;
  unsigned itemsFound = 0;
  unsigned itemsChecked = 0;
  bool customScan = false;
};

struct ScanSummary {
  std::wstring message;
  std::wstring status;        // empty: the status text stays as the scan left it
  bool asksForTips = false;   // Yes/No: Yes starts the tutorial tips
};

ScanSummary SummarizeScan(const ScanOutcome& outcome);

}  // namespace tavrin
