#include "removal/removal_session.h"

#include <windows.h>

#include "platform/com_scope.h"
#include "platform/product.h"
#include "platform/strings.h"
#include "removal/autostart_removal.h"
#include "removal/browser_repair.h"
#include "removal/malware_removal.h"
#include "removal/program_removal.h"
#include "removal/restore_point.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "results/result_tabs.h"
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
  session.pendingLine += text;
  Show(session, Trim(text));
}

void CountRow(RemovalSession& session, bool succeeded, bool scheduled) {
  ++session.processedCount;
  if (succeeded) ++session.succeededCount;
  if (succeeded && scheduled) session.resultFlags |= kRemovalRestartNeeded;
  RemovalAction action;
  action.tab = session.currentTab;
  action.outcome = !succeeded ? L"failed" : scheduled ? L"scheduled" : L"removed";
  action.line = Trim(session.pendingLine);
  session.actions.push_back(std::move(action));
  session.pendingLine.clear();
}

unsigned RunRemoval(RemovalSession& session) {
  ComScope com;
  session.processedCount = 0;
  session.succeededCount = 0;
  session.resultFlags = 0;
  session.actions.clear();
  session.pendingLine.clear();
  session.twinPath.clear();
  session.findings = CollectTwinRows(*session.results);
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

  // The phases in their order, each with the tab its actions belong to.
  static const std::pair<int, void (*)(RemovalSession&)> phases[] = {{kProgramsTab, RemoveProgramRows},
                                                                      {kAutostartTab, RemoveAutostartRows},
                                                                      {kBrowsersTab, RepairBrowserItems},
                                                                      {kMalwareTab, RemoveMalwareRows}};
  for (const auto& [tab, phase] : phases) {
    session.currentTab = tab;
    session.pendingLine.clear();
    phase(session);
  }

  if (session.succeededCount < session.processedCount) session.resultFlags |= kRemovalSomeFailed;
  if (session.progress) session.progress->SetProgress(100);
  const uint64_t end = LocalFileTimeNow();
  session.report.Finish(end);
  WriteRemovalTwin(session, start, end);
  Show(session, L"Cleanup complete");
  return session.resultFlags;
}

}  // namespace tavrin
