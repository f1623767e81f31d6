#include "scan/custom_scan.h"

#include <windows.h>

#include "definitions/definitions_db.h"
#include "definitions/malware_verdict.h"
#include "filetrust/command_target.h"
#include "filetrust/shortcut.h"
#include "platform/strings.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "scan/malware_file_list.h"
#include "scan/custom_scan_target.h"
#include "scan/malware_section.h"
#include "scan/report_text.h"

namespace tavrin {

namespace {

void Report(ScanEnvironment& scan, int percent, const wchar_t* status) {
  if (!scan.progress) return;
  if (percent >= 0) scan.progress->SetProgress(percent);
  if (status) scan.progress->SetStatus(status);
}

ReportHeader TitleHeader(const ScanEnvironment& scan) {
  ReportHeader header;
  header.databaseNumber = std::to_wstring(scan.definitions->number.load());
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  header.is32BitProcessOn64 = wow64 != FALSE;
  return header;
}

const wchar_t* ModeName(CustomScanMode mode) {
  switch (mode) {
    case CustomScanMode::RecursiveFolder: return L"recursiveFolder";
    case CustomScanMode::FolderRoot: return L"folderRoot";
    case CustomScanMode::MultipleFiles: return L"multipleFiles";
    default: return L"singleFile";
  }
}

ScanTwinFacts CustomScanFacts(const ReportHeader& header, const CustomScanRequest& request, const CustomScanPlan& plan) {
  ScanTwinFacts facts;
  facts.kind = L"customScan";
  facts.header = header;
  facts.textOptions = {{L"target", request.target}, {L"mode", ModeName(plan.mode)}};
  facts.flagOptions = {{L"recursive", request.recursive}};
  return facts;
}

// A shortcut stands for the file it starts, found the way the anti-malware
// phase finds it; empty when it starts nothing that exists.
std::wstring ShortcutTarget(const std::wstring& path, const SystemFolders& folders) {
  Shortcut link;
  if (!ReadShortcut(path, link) || link.target.empty()) return {};
  if (!link.arguments.empty()) {
    std::wstring command = link.target + L" " + link.arguments;
    return ResolveCommandTarget(command, folders, ResolveSearch | ResolveCommandLine) ? command : std::wstring();
  }
  std::wstring target;
  for (wchar_t c : link.target) {
    if (c != L'"') target += c;
  }
  return target;
}

void CheckEntries(ScanEnvironment& scan, const std::vector<std::wstring>& entries) {
  const DetectionContext context = DetectionContextOf(scan);
  const size_t n = entries.size();
  for (size_t k = 0; k < n; ++k) {
    if (scan.Cancelled()) return;
    Report(scan, int(30 + k * 70 / n), nullptr);
    const std::wstring& entry = entries[k];
    if (EndsWithNoCase(entry, L".lnk")) {
      const std::wstring target = ShortcutTarget(entry, scan.session->systemFolders);
      if (!target.empty()) CheckMalwareFile(context, target, entry);
    } else {
      CheckMalwareFile(context, entry, L"");
    }
  }
  if (!scan.Cancelled()) ResolvePendingHashes(context);
}

std::wstring InfectedFilesText(const std::vector<ScanItem>& rows) {
  const std::wstring entries = InfectedFileEntries(rows);
  return L"\tInfected file objects:\r\n" + (entries.empty() ? std::wstring(L"\r\n\t\tNo threats found") : entries);
}

}  // namespace

std::wstring CustomScanReportPath(const std::wstring& dataFolder, DbStamp stamp) {
  return dataFolder + L"\\customScan" + std::to_wstring(stamp) + L".txt";
}

int RunCustomScan(ScanEnvironment& scan, const CustomScanRequest& request) {
  ScanSession& s = *scan.session;
  ResultSet& results = *scan.results;

  // 1. What to scan; nothing changes when it does not exist.
  CustomScanPlan plan;
  if (!ParseCustomScanTarget(request.target, request.recursive, plan)) return kCustomScanNoTarget;

  // 2. A clean slate. The rows of every tab go with the work folder that
  // holds their details, so that a later removal never reads details that
  // are gone.
  BeginScanSession(scan);

  // 3. The work folder.
  if (!PrepareWorkFolder(results, scan.dataFolder, s.startTime)) return kScanNoUsers;
  if (scan.Cancelled()) {
    s.cancelled = true;
    Report(scan, 100, L"Scan aborted.");
    return kScanRan;
  }
  s.systemFolders = FindSystemFolders();

  // 4. Definitions, as a full scan loads them.
  if (int failed = LoadScanDefinitions(scan); failed != kScanRan) return failed;
  Report(scan, 15, L"Preparing to scan...");

  // 5-6. The report's head.
  if (s.report.Open(CustomScanReportPath(scan.dataFolder, s.startTime))) {
    s.reportPath = s.report.Path();
    const ReportHeader header = TitleHeader(scan);
    s.twin = CustomScanFacts(header, request, plan);
    s.report.Write(ReportTitleText(header) + CustomScanModeLine(plan.mode) + L"\tScan start time: " +
                   ReportTimeText(s.startTime) + L".\r\n\r\n");
  }
  Report(scan, 20, L"Analyzing files...");
  if (plan.mode != CustomScanMode::MultipleFiles) s.report.Write(L"->Scanning " + Trim(request.target) + L"...\r\n\r\n");

  // 7-8. The files, then their verdicts.
  std::vector<std::wstring> entries;
  if (plan.mode == CustomScanMode::RecursiveFolder || plan.mode == CustomScanMode::FolderRoot) {
    CollectedFiles collected;
    CollectFolder(collected, plan.entries[0], plan.mode == CustomScanMode::RecursiveFolder, scan.cancel);
    entries = collected.Paths();
  } else {
    entries = plan.entries;
  }
  if (!scan.Cancelled()) CheckEntries(scan, entries);

  // 9-10. What was found, and the footer.
  s.report.Write(InfectedFilesText(GetRows(TabList(results, kMalwareTab))));
  SaveDetails(results);

  // 11. The end.
  return EndScanSession(scan, L"End of custom scan");
}

ScanSummary SummarizeCustomScan(const ScanOutcome& outcome) {
  if (outcome.exitCode == kCustomScanNoTarget) {
    ScanSummary summary;
    summary.message = L"Sorry, the selected file or folder could not be found.\r\n\r\n"
                      L"Please check the path and try again.";
    summary.status = L"Error starting scan.";
    return summary;
  }
  ScanOutcome custom = outcome;
  custom.customScan = true;
  return SummarizeScan(custom);
}

}  // namespace tavrin
