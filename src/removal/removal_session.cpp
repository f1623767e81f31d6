#include "removal/removal_session.h"

#include <windows.h>

#include "platform/com_scope.h"
#include "platform/product.h"
#include "platform/strings.h"
#include "removal/autostart_removal.h"
#include "removal/malware_removal.h"
#include "removal/program_removal.h"
#include "removal/restore_point.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

uint64_t LocalFileTimeNow() {
  FILETIME utc{}, local{};
  GetSystemTimeAsFileTime(&utc);
  FileTimeToLocalFileTime(&utc, &local);
  return (uint64_t(local.dwHighDateTime) << 32) | local.dwLowDateTime;
}

void Show(RemovalSession& session, const std::wstring& text) {
  if (session.showDetail) session.showDetail(text);
}

bool AnyChecked(ResultList list) {
  for (int row = RowCount(list) - 1; row >= 0; --row)
    if (IsChecked(list, row)) return true;
  return false;
}

// Browser rows are repaired by the browser repair, which does not exist
// yet: every checked row stays, counts as failed and says so.
void RepairBrowserRows(RemovalSession& session) {
  session.report.Write(L"\r\n->Begin repair of the selected Internet Browser items...\r\n\r\n");
  if (session.progress) session.progress->SetProgress(80);
  ResultList list = TabList(*session.results, kBrowsersTab);
  LoadDetails(*session.results, kBrowsersTab);
  if (!AnyChecked(list)) {
    session.report.Write(L"\tNo items selected in this tab.\r\n\r\n");
    return;
  }
  for (int row = RowCount(list) - 1; row >= 0; --row) {
    if (!IsChecked(list, row)) continue;
    CountRow(session, false);
    ReportLine(session, L"\tFailed to repair Internet browser item: " + GetColumnText(list, row, 0) + L".\r\n");
  }
}

}  // namespace

int UserIndexOf(const UserList& users, const std::wstring& accountName) {
  if (EqualsNoCase(accountName, L"(All users)")) return int(users.size());
  for (size_t i = 0; i < users.size(); ++i)
    if (EqualsNoCase(users[i].accountName, accountName)) return int(i);
  return -1;
}

void ReportLine(RemovalSession& session, std::wstring_view text) {
  if (text.empty()) return;
  session.report.Write(text);
  Show(session, Trim(text));
}

void CountRow(RemovalSession& session, bool succeeded, bool scheduled) {
  ++session.processedCount;
  if (succeeded) ++session.succeededCount;
  if (succeeded && scheduled) session.resultFlags |= kRemovalRestartNeeded;
}

unsigned RunRemoval(RemovalSession& session) {
  ComScope com;
  session.processedCount = 0;
  session.succeededCount = 0;
  session.resultFlags = 0;
  if (session.createRestorePoint) {
    Show(session, L"Creating a restore point...");
    // Whether a point was made changes nothing for the removal.
    CreateRestorePoint(std::wstring(kProductName) + L" threat removal", 100, 12);
  }
  Show(session, L"Preparing to repair the selected issues...");
  if (session.progress) session.progress->SetStatus(L"Cleaning up...");

  const uint64_t start = LocalFileTimeNow();
  session.report.Open(RemovalReportPath(session.dataFolder, start));
  session.report.Write(RemovalReportHeaderText(session.is32BitProcessOn64, start));

  RemoveProgramRows(session);
  RemoveAutostartRows(session);
  RepairBrowserRows(session);
  RemoveMalwareRows(session);

  if (session.succeededCount < session.processedCount) session.resultFlags |= kRemovalSomeFailed;
  if (session.progress) session.progress->SetProgress(100);
  session.report.Finish(LocalFileTimeNow());
  Show(session, L"Cleanup complete");
  return session.resultFlags;
}

}  // namespace tavrin
