#pragma once
// The file-report service's answers as the client reads them: one report
// parsed into a VtReport, and an answer body taken apart into the reports
// it holds. Only text goes in: no platform calls, so the fuzzer builds it
// natively.
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class PreferenceDocument;
struct PreferenceNode;

// The document's root, when the whole text is one JSON object or array.
bool ReadWholeRoot(const PreferenceDocument& document, PreferenceNode& root);

struct VtReport {
  std::wstring scanDate;
  std::wstring permalink;
  std::wstring verboseMessage;
  std::wstring hash;
  int responseCode = -5;
  long long totalEngines = 0;
  long long positives = 0;
  long long ageDays = 0;  // how long ago the scan date was; 0 without one
  double score = 0;       // positives * 100 / total
};

// Days since 1 January 1601 of a Gregorian date, as FILETIME / 864e9 counts them.
long long DaysSince1601(int year, int month, int day);

// Fills `report` from one cached report; returns its response code: 1
// found, 0 not known to the service, -2 queued for analysis (engines 0 and
// a permalink without a scan date), -5 not a report.
int ParseReport(std::wstring_view text, long long today, VtReport& report);

// One report of an answer: the hash it names and its JSON text.
struct AnsweredReport {
  std::wstring hash;
  std::wstring json;
};

enum class AnswerShape {
  Invalid,  // not JSON
  Reports,  // `reports` holds every element worth storing
};

// An array of reports, an object whose "data" is one, or one report
// object. An element is kept when it has a hash of at least 10 characters
// ("md5", else "url", else "resource") and response code 1, or, in the
// partner format without "response_code", both "found" and "hash".
AnswerShape ReadAnswer(std::wstring_view text, std::vector<AnsweredReport>& reports);

}  // namespace tavrin
