#include "scan/scan_session.h"

#include <windows.h>

#include <cwchar>

#include "definitions/definitions_db.h"
#include "inventory/inventory_collector.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/file_version.h"
#include "platform/privileges.h"
#include "platform/registry.h"
#include "platform/user_environment.h"
#include "platform/windows_version.h"
#include "results/details_files.h"
#include "scan/autostart_scan.h"
#include "scan/malware_section.h"
#include "scan/report_text.h"
#include "scan/scan_phases.h"

namespace tavrin {

namespace {

void Report(ScanEnvironment& scan, int percent, const wchar_t* status) {
  if (!scan.progress) return;
  if (percent >= 0) scan.progress->SetProgress(percent);
  if (status) scan.progress->SetStatus(status);
}

ReportHeader BuildHeader(const ScanEnvironment& scan) {
  const ScanSession& s = *scan.session;
  ReportHeader h;
  h.databaseNumber = std::to_wstring(scan.definitions->number.load());
  const std::wstring version = L"HKLM64\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  h.windowsProductName = ReadStringAt(version, L"ProductName").value_or(L"");
  h.csdVersion = ReadStringAt(version, L"CSDVersion").value_or(L"");
  h.buildNumber = ReadStringAt(version, L"CurrentBuildNumber").value_or(ReadStringAt(version, L"CurrentBuild").value_or(L""));
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  h.is32BitProcessOn64 = wow64 != FALSE;
  static const std::pair<const wchar_t*, const wchar_t*> browsers[] = {
      {L"Microsoft Edge", L"\\Microsoft\\Edge\\Application\\msedge.exe"},
      {L"Internet Explorer", L"\\Internet Explorer\\iexplore.exe"},
      {L"Google Chrome", L"\\Google\\Chrome\\Application\\chrome.exe"},
      {L"Mozilla Firefox", L"\\Mozilla Firefox\\firefox.exe"},
  };
  for (const auto& [label, file] : browsers) {
    for (const std::wstring& folder : {s.folders.programFiles64, s.folders.programFiles32}) {
      if (folder.empty() || !FileExists(folder + file)) continue;
      h.browserVersions.emplace_back(label, FileVersionText(folder + file));
      break;
    }
  }
  h.scanUser = scan.interactiveUser->AccountName();
  h.scanAllUsers = scan.options.scanAllUsers;
  h.startTime = s.startTime;
  return h;
}

// The autostart inventory of the scan's users and the machine. A scan
// stopped on the way keeps none: a part of it would read as the whole.
void CollectScanInventory(ScanEnvironment& scan) {
  ScanSession& s = *scan.session;
  Report(scan, -1, L"Collecting the autostart inventory...");
  InventoryScope scope;
  scope.folders = s.systemFolders;
  scope.commonStartup = s.folders.commonStartup;
  scope.cancel = scan.cancel;
  for (size_t i = 0; i < s.users.size() && !scan.Cancelled(); ++i) {
    InventoryUser user;
    user.name = i < s.userDisplayNames.size() ? s.userDisplayNames[i] : s.users[i].accountName;
    user.registryRoot = s.users[i].RegistryRoot();
    user.startupFolder = UserStartupFolder(scan, s.users[i]);
    user.environment = UserEnvironmentOf(s.users[i]);
    scope.users.push_back(std::move(user));
  }
  if (!scan.Cancelled()) s.inventory = CollectAutostartInventory(scope);
  if (scan.Cancelled()) s.inventory.clear();
}

std::wstring VersionText(double version) {
  wchar_t text[32];
  std::swprintf(text, 32, L"%.1f", version);
  return text;
}

const wchar_t* LevelName(DetectionLevel level) {
  switch (level) {
    case DetectionLevel::Aggressive: return L"aggressive";
    case DetectionLevel::Soft: return L"soft";
    default: return L"medium";
  }
}

ScanTwinFacts ScanFacts(const ScanEnvironment& scan, const ReportHeader& header) {
  ScanTwinFacts facts;
  facts.kind = L"scan";
  facts.header = header;
  facts.windowsVersion = VersionText(scan.session->windowsVersion);
  const ScanOptions& o = scan.options;
  facts.textOptions = {{L"detectionLevel", LevelName(o.detectionLevel)}};
  facts.flagOptions = {{L"scanAllUsers", o.scanAllUsers},         {L"noMalware", o.noMalware},
                       {L"removeAfterScan", o.removeAfterScan},   {L"createRestorePoint", o.createRestorePoint},
                       {L"autoReboot", o.autoReboot},             {L"scanAtStart", o.scanAtStart}};
  return facts;
}

}  // namespace

int LoadScanDefinitions(ScanEnvironment& scan) {
  DefinitionsDb& db = *scan.definitions;
  Report(scan, 3, L"Updating definitions...");
  bool updatedHere = false;
  if (db.state.load() == DefinitionsState::Idle) {
    UpdateDefinitions(db, scan.dataFolder, scan.definitionsServer, *scan.cancel);
    updatedHere = true;
  }
  while (db.state.load() == DefinitionsState::Updating) {
    if (scan.Cancelled()) return kScanNoDefinitions;
    Sleep(100);
  }
  // The update this scan waited for ran on the start-up thread and may have
  // ended without definitions (stopped, or its download failed); the scan
  // then tries once itself, as the next scan would.
  if (!updatedHere && db.state.load() == DefinitionsState::Idle && !scan.Cancelled())
    UpdateDefinitions(db, scan.dataFolder, scan.definitionsServer, *scan.cancel);
  if (scan.Cancelled() && db.state.load() != DefinitionsState::Ready) return kScanNoDefinitions;
  Report(scan, 6, L"Loading definitions...");
  const std::wstring keyName = L"TVN DB " + std::to_wstring(scan.session->startTime);
  if (!MountDefinitions(db, keyName)) return kScanNoDefinitions;
  scan.session->definitionsKey = L"HKLM\\" + keyName;
  return kScanRan;
}

void DeleteHiveLogs(const std::wstring& dataFolder) {
  for (const wchar_t* pattern : {L"\\*.LOG*", L"\\*.blf", L"\\*.regtrans-ms"})
    RemoveFileObject(dataFolder + pattern, 0);
}

DbStamp CurrentDbStamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME ft;
  SystemTimeToFileTime(&now, &ft);
  return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

std::wstring ScanReportPath(const std::wstring& dataFolder, DbStamp stamp) {
  return dataFolder + L"\\tvnScan" + std::to_wstring(stamp) + L".txt";
}

DetectionContext DetectionContextOf(const ScanEnvironment& scan) {
  DetectionContext context;
  context.results = scan.results;
  context.whitelist = scan.whitelist;
  context.level = scan.options.detectionLevel;
  context.hashList = scan.hashList;
  context.cloud = scan.cloud;
  context.cancel = scan.cancel;
  if (scan.session) {
    context.definitionsRoot = scan.session->definitionsKey;
    context.systemFolders = &scan.session->systemFolders;
    context.pending = &scan.session->pending;
  }
  return context;
}

int RunScan(ScanEnvironment& scan) { return RunScanPhases(scan, ScanPhases()); }

void BeginScanSession(ScanEnvironment& scan) {
  ScanSession& s = *scan.session;
  EnablePrivileges();
  s.startTime = CurrentDbStamp();
  s.cancelled = false;
  s.foundProgramsReport.reset();
  s.reportPath.clear();
  s.twin = {};
  s.twinPath.clear();
  s.inventory.clear();
  s.definitionsKey.clear();
  ClearPendingHashes(s.pending);
  DiscardResults(*scan.results);
  s.users.clear();
  s.userDisplayNames.clear();
  Report(scan, 1, L"Preparing to scan...");
  for (int tab = 0; tab < kTabCount; ++tab) ClearList(TabList(*scan.results, tab));
}

int RunScanPhases(ScanEnvironment& scan, std::span<const ScanPhase> phases) {
  ScanSession& s = *scan.session;
  ResultSet& results = *scan.results;

  // 1. A clean slate.
  BeginScanSession(scan);
  s.windowsVersion = WindowsVersion();

  // 2-4. The users: every account or the console user, then the system
  // account and the default profile.
  scan.interactiveUser->Reset();
  s.users = PrepareScanUsers(*scan.interactiveUser, scan.options.scanAllUsers);
  if (s.users.empty()) return kScanNoUsers;

  // 5. The work folder of the details files.
  if (!PrepareWorkFolder(results, scan.dataFolder, s.startTime)) return kScanNoUsers;

  // 6. Folders the phases look in.
  s.folders = ResolveKnownFolders(scan.interactiveUser->Token(), scan.interactiveUser->ProfileFolder());
  s.systemFolders = FindSystemFolders();

  // 7-8. Definitions.
  if (int failed = LoadScanDefinitions(scan); failed != kScanRan) return failed;

  // 9. The report.
  if (s.report.Open(ScanReportPath(scan.dataFolder, s.startTime))) {
    s.reportPath = s.report.Path();
    const ReportHeader header = BuildHeader(scan);
    s.report.Write(ReportHeaderText(header));
    s.twin = ScanFacts(scan, header);
  }

  // 10. Display names and the first details file.
  for (const auto& user : s.users) s.userDisplayNames.push_back(user.accountName);
  s.userDisplayNames.push_back(L"(All users)");
  s.userDisplayNames.push_back(L"(All users)");
  LoadDetails(results, kProgramsTab);

  // 11. The phases in their order; the Malware section and its fix rows
  // close every scan that loaded the definitions, also a cancelled one.
  for (const ScanPhase& phase : phases) {
    if (scan.Cancelled()) break;
    if (phase.applies && !phase.applies(scan)) continue;
    Report(scan, phase.progress, nullptr);
    phase.run(scan);
  }
  FinishMalwareSection(results, s.report, s.windowsVersion);
  SaveDetails(results);
  if (!scan.Cancelled()) CollectScanInventory(scan);

  // 12. The end.
  return EndScanSession(scan, L"End of scans");
}

int EndScanSession(ScanEnvironment& scan, std::wstring_view heading) {
  ScanSession& s = *scan.session;
  s.cancelled = scan.Cancelled();
  const uint64_t end = CurrentDbStamp();
  if (s.report.IsOpen()) {
    s.report.Finish(end, end > s.startTime ? end - s.startTime : 0, s.cancelled, heading);
    WriteScanTwin(s, *scan.results, end);
  } else {
    s.reportPath.clear();
  }
  UnmountDefinitions(*scan.definitions);
  s.definitionsKey.clear();
  Report(scan, 100, s.cancelled ? L"Scan aborted." : L"Scan complete.");
  DeleteHiveLogs(scan.dataFolder);
  return kScanRan;
}

}  // namespace tavrin
