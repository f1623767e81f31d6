#pragma once
// The on-demand scan of files the user chose, for malware only: the same
// definitions, verdicts and Malware tab as a full scan, its own report
// ("\customScan" + stamp + ".txt"), and the full scan's summary pointing at
// the Malware tab. It runs in the scan thread's slot.
#include <string>

#include "scan/scan_session.h"
#include "scan/scan_summary.h"

namespace tavrin {

// Beside the scan's exit codes: the target names nothing that exists. The
// scan then ends before it touches the results or writes a report.
inline constexpr int kCustomScanNoTarget = 4;

struct CustomScanRequest {
  std::wstring target;  // as the dialog has it
  bool recursive = true;
};

// Data folder + "\customScan" + stamp + ".txt".
std::wstring CustomScanReportPath(const std::wstring& dataFolder, DbStamp stamp);

// The custom scan thread's body: kScanRan, kScanNoUsers (no work folder),
// kScanNoDefinitions or kCustomScanNoTarget. The results of the last scan
// go, all four tabs with their work folder, so that a later removal never
// reads details that were deleted; the report becomes the session's.
int RunCustomScan(ScanEnvironment& scan, const CustomScanRequest& request);

// What the window says when a custom scan has ended.
ScanSummary SummarizeCustomScan(const ScanOutcome& outcome);

}  // namespace tavrin
