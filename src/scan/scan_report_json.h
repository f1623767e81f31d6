#pragma once
// The JSON twin of a report, for scripts that collect reports from many
// machines: the same folder and stem as the text report, ".json", UTF-8
// without a mark, written whole at the end under a temporary name and then
// renamed, so that a reader never sees half a file. Its layout is
// docs/report.schema.json. The text report never depends on it.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/json_writer.h"
#include "results/result_set.h"
#include "scan/report_text.h"

namespace tavrin {

struct ScanEnvironment;
struct ScanSession;

// The header facts of a scan's twin, kept by the scan beside its text report.
struct ScanTwinFacts {
  std::wstring kind;  // "scan" or "customScan"; empty when no report was opened
  ReportHeader header;
  std::wstring windowsVersion;  // "10.0"
  // The options as the run had them, written as one object of strings and
  // booleans.
  std::vector<std::pair<std::wstring, std::wstring>> textOptions;
  std::vector<std::pair<std::wstring, bool>> flagOptions;
};

// One result row as the twin lists it, with the details filed for it.
struct TwinRow {
  int tab = 0;
  ScanItem item;
  std::vector<std::pair<std::wstring, std::wstring>> details;
};

// "programs", "autostart", "browsers", "malware"; empty for another number.
const wchar_t* TwinTabName(int tab);
// The report's path with ".json" in place of its extension.
std::wstring ReportTwinPath(const std::wstring& reportPath);
// A local FILETIME in ISO 8601 with the machine's offset from UTC:
// "2026-12-10T15:17:09+01:00".
std::wstring IsoTimeText(uint64_t localFileTime);
// The rows of every tab, first tab first, with their details.
std::vector<TwinRow> CollectTwinRows(ResultSet& results);

// The members every twin begins with: "kind", "formatVersion", "program",
// and the definitions and Windows facts where the header has them.
void WriteTwinHead(JsonWriter& json, const std::wstring& kind, const ReportHeader& header,
                   const std::wstring& windowsVersion);
// "startTime", "endTime", "durationSeconds".
void WriteTwinTimes(JsonWriter& json, uint64_t startTime, uint64_t endTime);
// The member "findings": an array of the rows.
void WriteTwinFindings(JsonWriter& json, const std::vector<TwinRow>& rows);
// Writes the complete text to a temporary name beside `path` and renames it
// over `path`; false (and nothing left behind) when any step fails.
bool WriteTwinFile(const std::wstring& path, const std::string& utf8);
// The twin of the report at `reportPath` written; `twinPath` is its path,
// or empty (and the failure sent to the debugger) when it was not written.
bool WriteTwinBeside(const std::wstring& reportPath, const std::string& utf8, std::wstring& twinPath);

// The twin of a scan or custom scan, from the session's facts, rows and
// inventory; the text of the file.
std::string ScanTwinText(const ScanSession& session, ResultSet& results, uint64_t endTime);
// Writes the twin beside the session's report; false when the report has no
// twin facts or the file could not be written.
bool WriteScanTwin(ScanSession& session, ResultSet& results, uint64_t endTime);

}  // namespace tavrin
