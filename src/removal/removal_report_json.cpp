#include "removal/removal_report_json.h"

#include "platform/json_writer.h"
#include "removal/removal_session.h"
#include "scan/scan_report_json.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

}  // namespace

std::string RemovalTwinText(const RemovalSession& session, uint64_t startTime, uint64_t endTime) {
  ReportHeader header;
  std::wstring windowsVersion;
  if (session.scan) {
    // The definitions and Windows facts of the scan whose rows are removed.
    header = session.scan->twin.header;
    windowsVersion = session.scan->twin.windowsVersion;
  }
  header.is32BitProcessOn64 = session.is32BitProcessOn64;
  JsonWriter json;
  json.BeginObject();
  WriteTwinHead(json, L"removal", header, windowsVersion);
  json.Key(L"options");
  json.BeginObject();
  json.Member(L"createRestorePoint", session.createRestorePoint);
  json.EndObject();
  WriteTwinTimes(json, startTime, endTime);
  json.Member(L"outcome", session.succeededCount < session.processedCount ? L"completedWithFailures" : L"completed");
  json.Member(L"report", FileNameOf(session.report.Path()));
  if (session.scan && !session.scan->reportPath.empty()) json.Member(L"scanReport", FileNameOf(session.scan->reportPath));
  json.Member(L"processed", session.processedCount);
  json.Member(L"succeeded", session.succeededCount);
  json.Member(L"restartNeeded", (session.resultFlags & kRemovalRestartNeeded) != 0);
  WriteTwinFindings(json, session.findings);
  json.Key(L"actions");
  json.BeginArray();
  for (const RemovalAction& action : session.actions) {
    json.BeginObject();
    json.Member(L"tab", TwinTabName(action.tab));
    json.Member(L"outcome", action.outcome);
    json.OptionalMember(L"line", action.line);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  return json.Text();
}

bool WriteRemovalTwin(RemovalSession& session, uint64_t startTime, uint64_t endTime) {
  session.twinPath.clear();
  if (session.report.Path().empty()) return false;
  return WriteTwinBeside(session.report.Path(), RemovalTwinText(session, startTime, endTime), session.twinPath);
}

}  // namespace tavrin
