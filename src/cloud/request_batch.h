#pragma once
// What the client collects before a request: the items of one request to
// the file-report or file-scan endpoint. No platform calls.
#include <string>
#include <vector>

namespace tavrin {

enum class RequestKind : int {
  FileReports = 64,  // up to 25 hashes, a JSON array
  FileScan = 12,     // one file, a multipart form
};

struct RequestBatch {
  explicit RequestBatch(RequestKind k) : kind(k) { text.reserve(65536); }

  RequestKind kind;
  int count = 0;
  std::wstring text;
  // What the request asks for: hashes for file reports, the file for a
  // scan. Only answers about these are stored.
  std::vector<std::wstring> asked;
};

int ItemsPerRequest(RequestKind kind);
void ResetBatch(RequestBatch& batch);

// The facts of one file-report item; empty texts are left out.
struct ReportItem {
  std::wstring hash;
  std::wstring autostartText;  // the registry text of the finding
  std::wstring imagePath;
  std::wstring creationTime;   // in the report time format
};

// Appends the item as a JSON object: "autostart_location" and
// "autostart_entry" (from an autostart text longer than five characters,
// split at " / "), "hash", then "image_path" (a path longer than three
// characters with a "\" among its first seven) and "creation_datetime".
// Every value is escaped.
void AppendReportItem(RequestBatch& batch, const ReportItem& item);

// The body of a file-report request: "[" + items + "]", with ",{}" after a
// single item.
std::wstring FileReportsBody(const RequestBatch& batch);

}  // namespace tavrin
