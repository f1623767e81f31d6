#include "cloud/vt_report.h"

#include <cwctype>

#include "browsers/preference_document.h"

namespace tavrin {

namespace {

bool Blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool Member(const PreferenceDocument& document, const PreferenceNode* node, std::wstring_view key,
            std::wstring& out) {
  out.clear();
  return document.GetMemberString(node, key, out) != PreferenceKind::None;
}

long long Number(const std::wstring& text) {
  long long value = 0;
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    if (value > 100000000000000LL) break;  // far beyond any engine count
    value = value * 10 + (text[i] - L'0');
  }
  return negative ? -value : value;
}

std::wstring HashOf(const PreferenceDocument& document, const PreferenceNode* node) {
  std::wstring hash;
  for (const wchar_t* key : {L"md5", L"url", L"resource"}) {
    if (Member(document, node, key, hash)) return hash;
  }
  return {};
}

// Digits at [from, from + count) of the text, or -1.
int Digits(const std::wstring& text, size_t from, size_t count) {
  if (text.size() < from + count) return -1;
  int value = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return -1;
    value = value * 10 + (text[i] - L'0');
  }
  return value;
}

int FillReport(const PreferenceDocument& document, const PreferenceNode* node, long long today, VtReport& report) {
  int code = -5;
  std::wstring text;
  if (Member(document, node, L"total", text)) report.totalEngines = Number(text);
  if (Member(document, node, L"response_code", text)) {
    code = int(Number(text));
    Member(document, node, L"verbose_msg", report.verboseMessage);
    report.hash = HashOf(document, node);
    if (code >= 1 && Member(document, node, L"scan_date", report.scanDate)) {
      const int year = Digits(report.scanDate, 0, 4);
      const int month = Digits(report.scanDate, 5, 2);
      const int day = Digits(report.scanDate, 8, 2);
      if (year > 1600 && month >= 1 && month <= 12 && day >= 1 && day <= 31)
        report.ageDays = today - DaysSince1601(year, month, day);
    }
  } else {
    std::wstring found;
    if (Member(document, node, L"found", found)) {
      Member(document, node, L"hash", report.hash);
      bool isTrue = found.size() == 4;
      for (size_t i = 0; isTrue && i < 4; ++i) isTrue = std::towlower(found[i]) == L"true"[i];
      code = isTrue ? (report.hash.size() > 30 ? 1 : -5) : 0;
      Member(document, node, L"scan_date", report.scanDate);
    }
  }
  if (code >= 1) {
    Member(document, node, L"permalink", report.permalink);
    if (Member(document, node, L"positives", text)) report.positives = Number(text);
    if (report.totalEngines != 0) {
      report.score = double(report.positives) * 100.0 / double(report.totalEngines);
    } else {
      report.score = 0;
      if (report.permalink.size() > 10 && report.scanDate.empty()) code = -2;
    }
  }
  report.responseCode = code;
  return code;
}

}  // namespace

bool ReadWholeRoot(const PreferenceDocument& document, PreferenceNode& root) {
  if (!document.FindNode(L"", root)) return false;
  const std::wstring& text = document.Text();
  for (size_t i = root.valueEnd + 1; i < text.size(); ++i) {
    if (!Blank(text[i])) return false;
  }
  return true;
}

long long DaysSince1601(int year, int month, int day) {
  // Days from the civil calendar's epoch, shifted so that March starts the year.
  const int y = year - (month <= 2 ? 1 : 0);
  const long long era = y / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long sinceYear0 = era * 146097 + doe;
  // 1 January 1601 in the same count.
  constexpr long long kEpoch1601 = 1600LL / 400 * 146097 + 0 * 365 + 306;
  return sinceYear0 - kEpoch1601;
}

int ParseReport(std::wstring_view text, long long today, VtReport& report) {
  report = VtReport{};
  if (text.size() < 10) return report.responseCode;
  PreferenceDocument document{std::wstring(text)};
  PreferenceNode root;
  if (!ReadWholeRoot(document, root) || root.kind != PreferenceKind::Object) return report.responseCode;
  return FillReport(document, &root, today, report);
}

AnswerShape ReadAnswer(std::wstring_view text, std::vector<AnsweredReport>& reports) {
  reports.clear();
  PreferenceDocument document{std::wstring(text)};
  PreferenceNode root;
  if (!ReadWholeRoot(document, root)) return AnswerShape::Invalid;

  auto keep = [&](const PreferenceNode& node) {
    if (node.kind != PreferenceKind::Object) return;
    std::wstring code;
    std::wstring hash;
    if (Member(document, &node, L"response_code", code)) {
      if (code != L"1") return;  // "-1" rejected, and nothing else is a found report
      hash = HashOf(document, &node);
    } else {
      std::wstring found;
      if (!Member(document, &node, L"found", found) || !Member(document, &node, L"hash", hash)) return;
    }
    if (hash.size() < 10) return;
    const std::wstring& all = document.Text();
    reports.push_back({hash, all.substr(node.valueStart, node.valueEnd - node.valueStart + 1)});
  };
  auto keepElements = [&](const PreferenceNode& array) {
    ElementCursor cursor;
    while (document.NextElement(cursor, array)) keep(document.NodeOf(cursor));
  };

  PreferenceNode data;
  if (root.kind == PreferenceKind::Array) {
    keepElements(root);
  } else if (document.GetMember(&root, L"data", data) && data.kind == PreferenceKind::Array) {
    keepElements(data);
  } else {
    keep(root);
  }
  return AnswerShape::Reports;
}

}  // namespace tavrin
