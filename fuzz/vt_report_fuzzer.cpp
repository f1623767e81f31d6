// Feeds arbitrary text to the reading of the file-report service's answers
// (they come from the network) and checks what the cache relies on: every
// kept report is a whole JSON object of the answer with a usable hash, it
// parses back to a report, a file object of the public API becomes a
// cached report that parses with a score from 0 to 100, and the escaping of request texts gives back
// the text it escaped.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "browsers/preference_document.h"
#include "cloud/escaping.h"
#include "cloud/vt3_report.h"
#include "cloud/vt_report.h"

namespace {

void Fail(int line) {
  std::fprintf(stderr, "vt_report_fuzzer: check at line %d failed\n", line);
  std::abort();
}
#define Check(condition) \
  do {                   \
    if (!(condition)) Fail(__LINE__); \
  } while (0)

constexpr long long kToday = 155000;  // a day in 2025

void ExerciseAnswer(const std::wstring& text) {
  std::vector<tavrin::AnsweredReport> reports;
  const tavrin::AnswerShape shape = tavrin::ReadAnswer(text, reports);
  if (shape == tavrin::AnswerShape::Invalid) Check(reports.empty());
  for (const tavrin::AnsweredReport& report : reports) {
    Check(report.hash.size() >= 10);
    Check(!report.json.empty() && report.json.front() == L'{' && report.json.back() == L'}');
    Check(text.find(report.json) != std::wstring::npos);
    tavrin::VtReport parsed;
    const int code = tavrin::ParseReport(report.json, kToday, parsed);
    Check(code == parsed.responseCode);
    Check(parsed.score == parsed.score);  // never NaN
  }
  tavrin::VtReport parsed;
  tavrin::ParseReport(text, kToday, parsed);
}

void ExerciseFileObject(const std::wstring& text) {
  tavrin::FileObjectStats stats;
  if (!tavrin::ReadFileObject(text, stats)) return;
  Check(stats.positives >= 0 && stats.positives <= stats.engines);
  const std::wstring hash = L"44D88612FEA8A8F36DE82E1278ABB02F";
  const std::wstring cached = tavrin::CachedFormOf(hash, stats, L"https://localhost/");
  tavrin::VtReport parsed;
  const int code = tavrin::ParseReport(cached, kToday, parsed);
  Check(code == 1 || code == -2);
  Check(parsed.hash == hash);
  Check(parsed.score >= 0 && parsed.score <= 100);
  std::vector<tavrin::AnsweredReport> reports;
  Check(tavrin::ReadAnswer(cached, reports) == tavrin::AnswerShape::Reports && reports.size() == 1);
}

void ExerciseEscaping(const std::wstring& text) {
  const std::wstring escaped = tavrin::JsonEscape(text);
  for (wchar_t c : escaped) Check(c >= 0x20);
  const tavrin::PreferenceDocument document(L"{\"v\": \"" + escaped + L"\"}");
  std::wstring back;
  Check(document.GetString(L"v", back) == tavrin::PreferenceKind::String);
  Check(back == text);
  for (char c : tavrin::PercentEncode(text)) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == '~' || c == '%';
    Check(plain);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::wstring narrow(data, data + size);
  ExerciseAnswer(narrow);
  ExerciseFileObject(narrow);
  std::wstring wide;
  for (size_t i = 0; i + 1 < size; i += 2) wide.push_back(wchar_t(data[i] | (data[i + 1] << 8)));
  ExerciseAnswer(wide);
  ExerciseFileObject(wide);
  ExerciseEscaping(wide);
  return 0;
}
