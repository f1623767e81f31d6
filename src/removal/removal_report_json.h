#pragma once
// The JSON twin of the removal report (see scan/scan_report_json.h): the
// header facts, the rows as they stood when the removal began, and every
// row the removal dealt with, with its true outcome and its report line.
#include <cstdint>
#include <string>

namespace tavrin {

struct RemovalSession;

// One row dealt with. The outcome is what the counters were told:
// "removed", "scheduled" (for the next start) or "failed".
struct RemovalAction {
  int tab = 0;
  std::wstring outcome;
  std::wstring line;  // the report's line for it, trimmed; empty when it has none
};

std::string RemovalTwinText(const RemovalSession& session, uint64_t startTime, uint64_t endTime);
// Writes the twin beside the session's report and sets its twinPath; false
// when there is no report or the file could not be written.
bool WriteRemovalTwin(RemovalSession& session, uint64_t startTime, uint64_t endTime);

}  // namespace tavrin
