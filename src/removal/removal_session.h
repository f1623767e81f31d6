#pragma once
// One removal run on the removal thread: the checked rows of the tabs in
// their fixed order, the removal report, the counters and the result flags
// the window turns into the summary and the restart question.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/run_control.h"
#include "platform/users.h"
#include "removal/removal_report.h"
#include "removal/removal_report_json.h"
#include "scan/scan_report_json.h"

namespace tavrin {

struct ResultSet;
struct ScanSession;

// Bits of `resultFlags`, the removal thread's exit code.
enum RemovalResultFlags : unsigned {
  kRemovalSomeFailed = 0x1,       // succeededCount < processedCount
  kRemovalRestartNeeded = 0x2,    // something was scheduled for the next start
  kRemovalProtectedFile = 0x4,    // a protected system file was dealt with
};

struct RemovalSession {
  // What the finished scan left behind: its users, folders and Windows
  // version, its rows and details files. The removal changes only the rows.
  ScanSession* scan = nullptr;
  ResultSet* results = nullptr;
  ProgressSink* progress = nullptr;  // may be null
  // The progress window's Cancel, which ends a running repair action; may
  // be null.
  CancelFlags* cancel = nullptr;
  // The progress window's detail line; may be empty.
  std::function<void(const std::wstring&)> showDetail;
  std::wstring dataFolder;
  bool is32BitProcessOn64 = false;
  bool createRestorePoint = false;

  RemovalReport report;
  int processedCount = 0;
  int succeededCount = 0;
  unsigned resultFlags = 0;

  // For the report's JSON twin: the rows as they stood at the start, every
  // row dealt with, the tab being worked on, the report lines written since
  // the last row was counted, and the twin's path once written.
  std::vector<TwinRow> findings;
  std::vector<RemovalAction> actions;
  int currentTab = 0;
  std::wstring pendingLine;
  std::wstring twinPath;
};

// "(All users)" (any case) gives the number of users, meaning every one;
// otherwise the first user of that account name (any case); -1 for none.
int UserIndexOf(const UserList& users, const std::wstring& accountName);

// Writes the text to the report and shows it, trimmed, as the progress
// window's detail line. Empty texts are skipped. A row's lines come before
// its CountRow, which files them as that row's action.
void ReportLine(RemovalSession& session, std::wstring_view text);

// One row dealt with: the counters, bit 2 for a scheduled removal, and the
// row's action with the lines reported for it since the last call.
void CountRow(RemovalSession& session, bool succeeded, bool scheduled = false);

// The thread body: the report, the phases, the end; returns resultFlags.
unsigned RunRemoval(RemovalSession& session);

}  // namespace tavrin
