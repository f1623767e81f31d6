#include "removal/autostart_removal.h"

#include <windows.h>

#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/registry.h"
#include "platform/registry_unlock.h"
#include "platform/scheduled_tasks.h"
#include "platform/strings.h"
#include "removal/app_init_list.h"
#include "removal/removal_probe.h"
#include "removal/removal_safety.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "scan/autostart_places.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {


struct Row {
  int position = -1;
  int group = -1;
  std::wstring name, key, user, valueName, valueData, path;
};

enum class Outcome { Failed, Removed, Scheduled, Silent };

bool IsUserOrMachineKey(const ScanSession& scan, const std::wstring& key, const wchar_t* userPart,
                        const wchar_t* machinePart) {
  for (const UserProfile& user : scan.users)
    if (!user.sid.empty() && EqualsNoCase(key, user.RegistryRoot() + userPart)) return true;
  for (const wchar_t* root : {L"HKLM64", L"HKLM32"})
    if (EqualsNoCase(key, root + std::wstring(machinePart))) return true;
  return false;
}

// The row's name and command come back from its details file trimmed and
// on one line: the value is found by that form, deleted, and read back the
// same way. None left that reads back as the row's is success, a value
// that was already gone included.
Outcome RemoveRunValue(const RemovalSession& session, const Row& row) {
  if (row.key.empty()) return Outcome::Silent;
  if (row.valueName.empty() || !IsScannedRunKey(*session.scan, row.key)) return Outcome::Failed;
  return DeleteValuesFiledAs(row.key, row.valueName, row.valueData) ? Outcome::Removed : Outcome::Failed;
}

// Read back the way the scan lists a Startup folder, by name whatever the
// entry is: a link that the platform answers for as missing, or one whose
// deletion took its target instead, is still there.
bool StartupEntryListed(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return true;
  const std::wstring name = path.substr(slash + 1);
  FindFiles files(path.substr(0, slash) + L"\\*.*");
  while (files.Next())
    if (EqualsNoCase(files.Name(), name)) return true;
  return IdentifyEntry(path) != EntryIdentity::Missing;
}

Outcome RemoveStartupItem(const RemovalSession& session, const Row& row) {
  if (row.path.empty()) return Outcome::Silent;
  const std::wstring path = CanonicalFilePath(row.path);
  if (path.empty() || !EqualsNoCase(path, row.path) || !IsScannedStartupItem(*session.scan, path))
    return Outcome::Failed;
  if (IsUntouchableFile(path, session.scan->folders.windows)) return Outcome::Failed;
  // Never scheduled: a Startup item that stays would start once more, and
  // the user must see that it failed.
  bool removed = false;
  for (int attempt = 0; attempt < 2 && !removed; ++attempt)
    removed = RemoveFileObject(path, RemovalTakeOverPermissions) == RemovalResult::Removed;
  return removed && !StartupEntryListed(path) ? Outcome::Removed : Outcome::Failed;
}

Outcome RemoveTask(const RemovalSession& session, const Row& row) {
  // A name with a folder part or ".." would reach beyond the root folder's tasks.
  if (!IsPlainName(row.name)) return Outcome::Failed;
  // A 1.0 work item ("name.job") is not the service's to delete.
  if (DeleteRootTask(row.name) || (EndsWithNoCase(row.name, L".job") && DeleteLegacyTask(row.name)))
    return Outcome::Removed;
  const bool workItem = EndsWithNoCase(row.name, L".job");
  if (workItem && session.scan->folders.windows.empty()) return Outcome::Failed;
  const std::wstring file =
      workItem ? session.scan->folders.windows + L"\\Tasks\\" + row.name : RootTaskFile(row.name);
  if (file.empty()) return Outcome::Failed;
  RemovalResult result = RemoveFileObject(file, RemovalScheduleAtRestart | RemovalTakeOverPermissions);
  if (result == RemovalResult::Failed)
    result = RemoveFileObject(file, RemovalScheduleAtRestart | RemovalTakeOverPermissions);
  if (result == RemovalResult::Removed) return Outcome::Removed;
  return result == RemovalResult::Scheduled ? Outcome::Scheduled : Outcome::Failed;
}

Outcome RemoveAppInitDll(const RemovalSession& session, const Row& row) {
  if (!EqualsNoCase(row.valueName, kAppInitValue) || !IsScannedWindowsKey(*session.scan, row.key))
    return Outcome::Failed;
  RegValueBuffer value;
  if (!ReadRawAt(row.key, kAppInitValue, value)) return Outcome::Failed;
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ && value.type != REG_MULTI_SZ) return Outcome::Failed;
  const std::optional<std::wstring> edited = RemoveAppInitEntry(value.Text(), row.name);
  if (!edited) return Outcome::Failed;
  // The value keeps its own type: a REG_EXPAND_SZ list written back as
  // REG_SZ would stop expanding the entries that stay.
  const bool written = value.type == REG_MULTI_SZ
                           ? WriteValueForced(row.key, kAppInitValue, REG_MULTI_SZ, edited->c_str(),
                                              0)
                           : WriteStringForced(row.key, kAppInitValue, *edited, value.type);
  return written ? Outcome::Removed : Outcome::Failed;
}

Outcome RemoveNameServer(const Row& row) {
  if (!EqualsNoCase(row.valueName, kNameServerValue) || !IsInterfaceKey(row.key)) return Outcome::Failed;
  return WriteStringForced(row.key, kNameServerValue, L"", REG_SZ) ? Outcome::Removed : Outcome::Failed;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring LineFor(const Row& row, Outcome outcome) {
  const bool ok = outcome == Outcome::Removed;
  const std::wstring& u = row.user;
  switch (row.group) {
    case kGroupRegistryAutostart:
      return (ok ? L"\tSuccessfully removed autostart registry value " : L"\tFailed to remove autostart registry value ") +
             Quoted(row.valueName) + L" for " + u + L".\r\n";
    case kGroupStartupFolder:
      return (ok ? L"\tSuccessfully removed Startup folder item " : L"\tFailed to remove Startup folder item ") +
             Quoted(row.name) + L" for " + u + L".\r\n";
    case kGroupScheduledTasks:
      if (outcome == Outcome::Scheduled)
        return L"\tScheduled removal of scheduled task " + Quoted(row.name) + L" for " + u + L" on next reboot.\r\n";
      return (ok ? L"\tSuccessfully removed autostart scheduled task " : L"\tFailed to remove scheduled task ") +
             Quoted(row.name) + L" for " + u + L".\r\n";
    case kGroupAppInitDlls:
      return (ok ? L"\tSuccessfully removed AppInit_DLLs entry " : L"\tFailed to remove AppInit_DLLs entry ") +
             Quoted(row.name) + L" for " + u + L".\r\n";
    case kGroupDnsHijackers:
      return (ok ? L"\tSuccessfully removed DNS hijacker " : L"\tFailed to remove DNS hijacker ") + Quoted(row.name) +
             L" for " + u + L".\r\n";
    default:
      return {};
  }
}

Outcome RemoveRow(const RemovalSession& session, const Row& row) {
  switch (row.group) {
    case kGroupRegistryAutostart:
      return RemoveRunValue(session, row);
    case kGroupStartupFolder:
      return RemoveStartupItem(session, row);
    case kGroupScheduledTasks:
      return RemoveTask(session, row);
    case kGroupAppInitDlls:
      return RemoveAppInitDll(session, row);
    case kGroupDnsHijackers:
      return RemoveNameServer(row);
    default:
      return Outcome::Silent;
  }
}

}  // namespace

bool IsScannedRunKey(const ScanSession& scan, const std::wstring& key) {
  return IsUserOrMachineKey(scan, key, kUserRunKey, kMachineRunKey);
}

bool IsScannedWindowsKey(const ScanSession& scan, const std::wstring& key) {
  return IsUserOrMachineKey(scan, key, kUserWindowsKey, kMachineWindowsKey);
}

bool IsScannedStartupItem(const ScanSession& scan, const std::wstring& path) {
  const KnownFolders& folders = scan.folders;
  std::vector<std::wstring> startupFolders = {folders.commonStartup, folders.user.startup};
  if (!folders.userRelative.startup.empty())
    for (const UserProfile& user : scan.users)
      if (!user.profileFolder.empty()) startupFolders.push_back(user.profileFolder + folders.userRelative.startup);
  for (const std::wstring& folder : startupFolders)
    if (!folder.empty() && LiesInFolder(path, folder, true)) return true;
  return false;
}

bool IsInterfaceKey(const std::wstring& key) {
  for (const wchar_t* root : kInterfaceRoots) {
    const std::wstring_view prefix = root;
    if (key.size() <= prefix.size() + 1 || !StartsWithNoCase(key, prefix) || key[prefix.size()] != L'\\') continue;
    const std::wstring interfaceName = key.substr(prefix.size() + 1);
    if (IsPlainName(interfaceName)) return true;
  }
  return false;
}

void RemoveAutostartRows(RemovalSession& session) {
  session.report.Write(L"\r\n->Begin repair of the selected Autostart items...\r\n\r\n");
  if (session.progress) session.progress->SetProgress(75);
  ResultList list = TabList(*session.results, kAutostartTab);
  LoadDetails(*session.results, kAutostartTab);
  bool anyChecked = false;
  for (int row = RowCount(list) - 1; row >= 0 && !anyChecked; --row) anyChecked = IsChecked(list, row);
  if (!anyChecked) {
    session.report.Write(L"\tNo items selected in this group.\r\n\r\n");
    return;
  }
  if (session.showDetail) session.showDetail(L"Fixing selected Autostart items...");
  for (int position = RowCount(list) - 1; position >= 0; --position) {
    if (!IsChecked(list, position)) continue;
    Row row;
    row.position = position;
    row.group = GetGroup(list, position);
    row.name = GetColumnText(list, position, 0);
    const int key = GetRowKey(list, position);
    row.key = GetDetail(list, key, L"Registry Key");
    row.user = GetDetail(list, key, L"User name");
    row.valueName = GetDetail(list, key, L"Value name");
    row.valueData = GetDetail(list, key, L"Value data");
    row.path = GetDetail(list, key, L"Path");
    const Outcome outcome = RemoveRow(session, row);
    if (outcome != Outcome::Silent) ReportLine(session, LineFor(row, outcome));
    const bool succeeded = outcome == Outcome::Removed || outcome == Outcome::Scheduled;
    CountRow(session, succeeded, outcome == Outcome::Scheduled);
    if (succeeded) DeleteRow(list, position);
  }
  session.report.Write(L"\r\n");
}

}  // namespace tavrin
