#include "scan/scan_report_json.h"

#include <windows.h>

#include <cwchar>

#include "platform/file_system.h"
#include "platform/product.h"
#include "platform/strings.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr int kFormatVersion = 1;

// The member names of each tab's columns, in column order.
constexpr const wchar_t* kColumnMembers[kTabCount][kMaxColumns] = {
    {L"name", L"publisher", L"user", nullptr},
    {L"name", L"user", L"path", nullptr},
    {L"name", L"user", L"path", nullptr},
    {L"name", L"threatLevel", L"malwareType", L"modified"},
};
constexpr const wchar_t* kTabMembers[kTabCount] = {L"programs", L"autostart", L"browsers", L"malware"};

void WriteInventory(JsonWriter& json, const std::vector<InventoryEntry>& inventory) {
  json.Key(L"inventory");
  json.BeginArray();
  for (const InventoryEntry& entry : inventory) {
    json.BeginObject();
    json.OptionalMember(L"category", entry.category);
    json.OptionalMember(L"location", entry.location);
    json.OptionalMember(L"name", entry.name);
    json.OptionalMember(L"user", entry.user);
    json.OptionalMember(L"command", entry.command);
    json.OptionalMember(L"file", entry.file);
    json.Member(L"fileExists", entry.fileExists);
    json.OptionalMember(L"signer", entry.signer);
    json.OptionalMember(L"sha256", entry.sha256);
    json.EndObject();
  }
  json.EndArray();
}

}  // namespace

const wchar_t* TwinTabName(int tab) { return tab >= 0 && tab < kTabCount ? kTabMembers[tab] : L""; }

std::wstring ReportTwinPath(const std::wstring& reportPath) {
  const size_t dot = reportPath.rfind(L'.');
  const size_t slash = reportPath.find_last_of(L"\\/");
  const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
  return (hasExtension ? reportPath.substr(0, dot) : reportPath) + L".json";
}

std::wstring IsoTimeText(uint64_t localFileTime) {
  FILETIME local{DWORD(localFileTime), DWORD(localFileTime >> 32)}, utc{};
  SYSTEMTIME t{};
  if (!FileTimeToSystemTime(&local, &t)) return {};
  long long offsetMinutes = 0;
  if (LocalFileTimeToFileTime(&local, &utc)) {
    const uint64_t u = (uint64_t(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
    offsetMinutes = (static_cast<long long>(localFileTime) - static_cast<long long>(u)) / 600000000LL;
  }
  const wchar_t sign = offsetMinutes < 0 ? L'-' : L'+';
  const long long magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  wchar_t text[40];
  std::swprintf(text, 40, L"%04u-%02u-%02uT%02u:%02u:%02u%lc%02lld:%02lld", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, sign, magnitude / 60, magnitude % 60);
  return text;
}

std::vector<TwinRow> CollectTwinRows(ResultSet& results) {
  std::vector<TwinRow> rows;
  for (int tab = 0; tab < kTabCount; ++tab) {
    ResultList list = TabList(results, tab);
    for (ScanItem& item : GetRows(list)) {
      TwinRow row;
      row.tab = tab;
      row.details = GetRowDetails(list, item.key);
      row.item = std::move(item);
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

void WriteTwinHead(JsonWriter& json, const std::wstring& kind, const ReportHeader& header,
                   const std::wstring& windowsVersion) {
  json.Member(L"kind", kind);
  json.Member(L"formatVersion", kFormatVersion);
  json.Key(L"program");
  json.BeginObject();
  json.Member(L"name", header.productName);
  json.Member(L"version", kProductVersion);
  json.Member(L"bits", header.is32BitProcessOn64 ? 32 : 64);
  json.EndObject();
  json.OptionalMember(L"definitions", header.databaseNumber);
  if (!header.windowsProductName.empty() || !windowsVersion.empty()) {
    json.Key(L"windows");
    json.BeginObject();
    json.OptionalMember(L"productName", header.windowsProductName);
    json.OptionalMember(L"servicePack", header.csdVersion);
    json.OptionalMember(L"build", header.buildNumber);
    json.OptionalMember(L"version", windowsVersion);
    json.EndObject();
  }
}

void WriteTwinTimes(JsonWriter& json, uint64_t startTime, uint64_t endTime) {
  json.Member(L"startTime", IsoTimeText(startTime));
  json.Member(L"endTime", IsoTimeText(endTime));
  json.Member(L"durationSeconds", int64_t(endTime > startTime ? (endTime - startTime) / 10000000ULL : 0));
}

void WriteTwinFindings(JsonWriter& json, const std::vector<TwinRow>& rows) {
  json.Key(L"findings");
  json.BeginArray();
  for (const TwinRow& row : rows) {
    if (row.tab < 0 || row.tab >= kTabCount) continue;
    json.BeginObject();
    json.Member(L"tab", TwinTabName(row.tab));
    if (const GroupInfo* group = FindGroup(row.item.group)) {
      json.Member(L"groupId", group->id);
      json.Member(L"group", group->title);
    }
    for (int column = 0; column < kMaxColumns; ++column) {
      const wchar_t* member = kColumnMembers[row.tab][column];
      if (!member) break;
      if (column == 0) json.Member(member, row.item.columns[0]);
      else json.OptionalMember(member, row.item.columns[size_t(column)]);
    }
    json.Member(L"checked", row.item.checked);
    if (!row.details.empty()) {
      // A key filed twice is read as its first entry, so that is the one
      // the object keeps.
      json.Key(L"details");
      json.BeginObject();
      std::vector<std::wstring> seen;
      for (const auto& [key, value] : row.details) {
        bool again = false;
        for (const std::wstring& earlier : seen) again = again || EqualsNoCase(earlier, key);
        if (again) continue;
        seen.push_back(key);
        json.Member(key, value);
      }
      json.EndObject();
    }
    json.EndObject();
  }
  json.EndArray();
}

bool WriteTwinFile(const std::wstring& path, const std::string& utf8) {
  const std::wstring temporary = path + L".tmp";
  bool written = false;
  {
    UniqueFile file = CreateFileReplacing(temporary);
    if (!file) return false;
    DWORD done = 0;
    written = utf8.size() <= MAXDWORD && WriteFile(file.get(), utf8.data(), DWORD(utf8.size()), &done, nullptr) &&
              done == utf8.size() && FlushFileBuffers(file.get());
  }
  if (written && MoveFileReplacing(temporary, path)) return true;
  DeleteFileW(temporary.c_str());
  return false;
}

bool WriteTwinBeside(const std::wstring& reportPath, const std::string& utf8, std::wstring& twinPath) {
  twinPath.clear();
  const std::wstring path = ReportTwinPath(reportPath);
  if (!WriteTwinFile(path, utf8)) {
    OutputDebugStringW((L"Tavrin: the JSON twin of a report could not be written: " + path + L"\n").c_str());
    return false;
  }
  twinPath = path;
  return true;
}

std::string ScanTwinText(const ScanSession& session, ResultSet& results, uint64_t endTime) {
  const ScanTwinFacts& facts = session.twin;
  JsonWriter json;
  json.BeginObject();
  WriteTwinHead(json, facts.kind, facts.header, facts.windowsVersion);
  json.Key(L"options");
  json.BeginObject();
  for (const auto& [name, value] : facts.textOptions) json.Member(name, value);
  for (const auto& [name, value] : facts.flagOptions) json.Member(name, value);
  json.EndObject();
  json.OptionalMember(L"scanUser", facts.header.scanUser);
  WriteTwinTimes(json, session.startTime, endTime);
  json.Member(L"outcome", session.cancelled ? L"cancelled" : L"completed");
  json.Member(L"report", session.reportPath.substr(session.reportPath.find_last_of(L'\\') + 1));
  WriteTwinFindings(json, CollectTwinRows(results));
  WriteInventory(json, session.inventory);
  json.EndObject();
  return json.Text();
}

bool WriteScanTwin(ScanSession& session, ResultSet& results, uint64_t endTime) {
  session.twinPath.clear();
  if (session.twin.kind.empty() || session.reportPath.empty()) return false;
  return WriteTwinBeside(session.reportPath, ScanTwinText(session, results, endTime), session.twinPath);
}

}  // namespace tavrin
