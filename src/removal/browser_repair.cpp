#include "removal/browser_repair.h"

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/strings.h"
#include "removal/browser_processes.h"
#include "removal/browser_repair_row.h"
#include "removal/chromium_repair.h"
#include "removal/edge_uwp_repair.h"
#include "removal/firefox_repair.h"
#include "removal/ie_repair.h"
#include "removal/removal_safety.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "results/result_tabs.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

BrowserRow ReadRow(ResultList list, int position) {
  BrowserRow row;
  row.position = position;
  row.group = GetGroup(list, position);
  if (std::optional<ScanItem> item = GetRow(list, position)) {
    row.name = item->columns[0];
    row.column2 = item->columns[2];
    row.iconFile = item->iconFile;
  }
  const int key = GetRowKey(list, position);
  row.key = GetDetail(list, key, L"Registry Key");
  row.path = GetDetail(list, key, L"Path");
  row.user = GetDetail(list, key, L"User name");
  row.valueName = GetDetail(list, key, L"Value name");
  row.valueData = GetDetail(list, key, L"Value data");
  row.clsid = GetDetail(list, key, L"CLSID");
  row.extensionPath = GetDetail(list, key, L"Extension path");
  row.jsonPath = GetDetail(list, key, L"JSONPath");
  row.url = GetDetail(list, key, L"URL");
  row.policyKeys = GetDetail(list, key, L"Policy key");
  return row;
}

bool IsGroupIn(int group, int first, int last) { return group >= first && group <= last; }

// A running browser keeps its settings in memory and writes them back when
// it ends, which would undo a repair reported as done: every browser the
// rows touch is ended first, but only where its image is provably the
// browser's (BrowserImagesToClose).
void CloseBrowsers(const RemovalSession& session, const std::vector<BrowserRow>& rows) {
  std::vector<BrowserClaim> claims = {{BrowserFamily::EdgeLegacy, L"", L""}, {BrowserFamily::InternetExplorer, L"", L""}};
  for (const BrowserRow& row : rows) {
    BrowserFamily family;
    if (IsGroupIn(row.group, kGroupChromeStartPages, kGroupChromePolicies))
      family = BrowserFamily::Chrome;
    else if (IsGroupIn(row.group, kGroupEdgeStartPages, kGroupEdgePolicies))
      family = BrowserFamily::Edge;
    else if (IsGroupIn(row.group, kGroupFirefoxStartPages, kGroupFirefoxResetOptions))
      family = BrowserFamily::Firefox;
    else if (IsGroupIn(row.group, kGroupOtherChromiumStartPages, kGroupOtherChromiumPolicies))
      family = BrowserFamily::OtherChromium;
    else if (IsGroupIn(row.group, kGroupOtherFirefoxStartPages, kGroupOtherFirefoxResetOptions))
      family = BrowserFamily::OtherFirefox;
    else
      continue;
    claims.push_back({family, row.iconFile, row.path});
  }
  const KnownFolders& folders = session.scan->folders;
  BrowserPlaces places{folders.programFiles64, folders.programFiles32, folders.windows, {}};
  if (!folders.userRelative.localAppData.empty())
    for (const UserProfile& user : session.scan->users)
      if (!user.profileFolder.empty()) places.localAppData.push_back(user.profileFolder + folders.userRelative.localAppData);
  CloseBrowserImages(BrowserImagesToClose(claims, places));
}

bool IsIeGroup(int group) { return group >= kGroupIeStartPages && group <= kGroupIePolicies; }
bool IsEdgeUwpGroup(int group) { return group >= kGroupEdgeUwpStartPages && group <= kGroupEdgeUwpPolicies; }

RowRepair RepairRow(RemovalSession& session, const BrowserRow& row) {
  if (IsChromiumGroup(row.group)) return RepairChromiumRow(session, row);
  if (IsFirefoxGroup(row.group)) return RepairFirefoxRow(session, row);
  if (IsIeGroup(row.group)) return RepairIeRow(session, row);
  if (IsEdgeUwpGroup(row.group)) return RepairEdgeUwpRow(session, row);
  return {};
}

RowProbe ProbeOf(const BrowserRow& row) {
  if (IsChromiumGroup(row.group)) return ChromiumRowProbe(row);
  if (IsFirefoxGroup(row.group)) return FirefoxRowProbe(row);
  if (IsIeGroup(row.group)) return IeRowProbe(row);
  if (IsEdgeUwpGroup(row.group)) return EdgeUwpRowProbe(row);
  return {};
}

}  // namespace

void RepairBrowserItems(RemovalSession& session) {
  session.report.Write(L"\r\n->Begin repair of the selected Internet Browser items...\r\n\r\n");
  if (session.progress) {
    session.progress->SetProgress(80);
    session.progress->SetStatus(L"Fixing selected Microsoft Edge items...");
  }
  ResultList list = TabList(*session.results, kBrowsersTab);
  LoadDetails(*session.results, kBrowsersTab);
  std::vector<BrowserRow> rows;
  for (int position = RowCount(list) - 1; position >= 0; --position)
    if (IsChecked(list, position)) rows.push_back(ReadRow(list, position));
  if (rows.empty()) {
    session.report.Write(L"\tNo items selected in this tab.\r\n\r\n");
    return;
  }
  CloseBrowsers(session, rows);
  bool first = true;
  for (const BrowserRow& row : rows) {
    RowRepair repair = RepairRow(session, row);
    if (!repair.attempted) continue;
    // Whatever the repair did, its success stands only when the row's
    // hijack reads back as gone.
    OverturnIfPresent(repair, ProbeOf(row));
    if (!first) session.report.Write(L"\r\n");
    first = false;
    ReportLine(session, repair.line);
    CountRow(session, repair.succeeded, repair.scheduled);
    if (repair.removeRow) DeleteRow(list, row.position);
  }
}

}  // namespace tavrin
