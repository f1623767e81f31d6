#include "cloud/vt_report.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cloud/escaping.h"
#include "cloud/request_batch.h"
#include "cloud/vt3_report.h"

namespace tavrin {
namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

const std::wstring kHash = L"44D88612FEA8A8F36DE82E1278ABB02F";

TEST(VtReport, ParsesBothFormatsAndRefusesWhatIsNoReport) {
  const long long today = DaysSince1601(2026, 12, 10);
  struct Case {
    std::wstring text;
    int code;
    double score;
    long long age;
  } cases[] = {
      {L"{\"hash\": \"" + kHash + L"\", \"found\": true, \"positives\": 23, \"total\": 200}", 1, 11.5, 0},
      {L"{\"hash\": \"" + kHash + L"\", \"found\": \"True\", \"positives\": 36, \"total\": 60}", 1, 60, 0},
      {L"{\"hash\": \"" + kHash + L"\", \"found\": false}", 0, 0, 0},
      // Found, but a hash too short to be one.
      {L"{\"hash\": \"ABCDEF\", \"found\": true, \"positives\": 3, \"total\": 6}", -5, 0, 0},
      // Queued for analysis: no engines yet, a permalink, no scan date.
      {L"{\"hash\": \"" + kHash + L"\", \"found\": true, \"total\": 0, \"permalink\": \"https://x/file/1/\"}", -2, 0, 0},
      {L"{\"response_code\": 1, \"md5\": \"" + kHash +
           L"\", \"scan_date\": \"2026-11-29 08:00:00\", \"positives\": 6, \"total\": 60}",
       1, 10, 11},
      {L"{\"response_code\": 0, \"resource\": \"" + kHash + L"\", \"verbose_msg\": \"not there\"}", 0, 0, 0},
      {L"{\"response_code\": -1, \"resource\": \"x\"}", -1, 0, 0},
      {L"{\"found\": tr", -5, 0, 0},
      {L"{\"a\": 1} trailing", -5, 0, 0},
      {L"[{\"found\": true}]", -5, 0, 0},
      {L"{}", -5, 0, 0},
  };
  for (const Case& c : cases) {
    VtReport report;
    EXPECT_EQ(ParseReport(c.text, today, report), c.code) << Narrow(c.text);
    EXPECT_DOUBLE_EQ(report.score, c.score) << Narrow(c.text);
    EXPECT_EQ(report.ageDays, c.age) << Narrow(c.text);
  }
}

TEST(VtReport, AnswersYieldOnlyFoundReportsWithAHash) {
  struct Case {
    std::wstring text;
    AnswerShape shape;
    std::vector<std::wstring> hashes;
  } cases[] = {
      {L"{\"data\": [{\"hash\": \"" + kHash + L"\", \"found\": false}, {\"hash\": \"short\", \"found\": true}, {}]}",
       AnswerShape::Reports, {kHash}},
      {L"[{\"response_code\": 1, \"md5\": \"AAAAAAAAAAAA\"}, {\"response_code\": -1, \"md5\": \"BBBBBBBBBBBB\"}, "
       L"{\"response_code\": 0, \"md5\": \"CCCCCCCCCCCC\"}]",
       AnswerShape::Reports, {L"AAAAAAAAAAAA"}},
      {L"{\"response_code\": 1, \"resource\": \"DDDDDDDDDDDD\", \"permalink\": \"p\"}", AnswerShape::Reports,
       {L"DDDDDDDDDDDD"}},
      {L"{\"data\": [{\"hash\": \"" + kHash + L"\", \"found\": true}, {\"ha", AnswerShape::Invalid, {}},
      {L"Internal error", AnswerShape::Invalid, {}},
  };
  for (const Case& c : cases) {
    std::vector<AnsweredReport> reports;
    EXPECT_EQ(ReadAnswer(c.text, reports), c.shape) << Narrow(c.text);
    std::vector<std::wstring> hashes;
    for (const AnsweredReport& r : reports) hashes.push_back(r.hash);
    EXPECT_EQ(hashes, c.hashes) << Narrow(c.text);
  }
  // The stored text is the element as received.
  std::vector<AnsweredReport> reports;
  ReadAnswer(L"[ {\"hash\": \"" + kHash + L"\", \"found\": false} ]", reports);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].json, L"{\"hash\": \"" + kHash + L"\", \"found\": false}");
}

// A file object of the public API, with the given analysis statistics.
std::wstring FileObject(const std::wstring& stats, const std::wstring& date = L"1765324800") {
  return L"{\"data\": {\"id\": \"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08\", "
         L"\"type\": \"file\", \"attributes\": {\"last_analysis_date\": " + date +
         L", \"last_analysis_stats\": {" + stats + L"}}}}";
}

TEST(FileObjectReport, ScoresCountVerdictsOfEnginesThatJudgedTheFile) {
  const long long today = DaysSince1601(2026, 12, 10);
  struct Case {
    std::wstring answer;
    bool read;
    int code;  // of the cached form
    double score;
  } cases[] = {
      // 36 of 60 judging engines; the 17 that could not judge do not count.
      {FileObject(L"\"malicious\": 36, \"suspicious\": 4, \"undetected\": 20, \"harmless\": 0, "
                  L"\"type-unsupported\": 12, \"timeout\": 2, \"confirmed-timeout\": 1, \"failure\": 2"),
       true, 1, 60},
      // "Suspicious" alone is no detection.
      {FileObject(L"\"malicious\": 0, \"suspicious\": 30, \"undetected\": 30"), true, 1, 0},
      {FileObject(L"\"malicious\": 23, \"undetected\": 177"), true, 1, 11.5},
      // No engine could judge it: no verdict (the form of a file waiting for its analysis).
      {FileObject(L"\"malicious\": 0, \"type-unsupported\": 70, \"timeout\": 3"), true, -2, 0},
      {FileObject(L""), true, -2, 0},
      // Counted but never dated: no verdict either.
      {FileObject(L"\"malicious\": 5, \"undetected\": 5", L"null"), true, -2, 0},
      // Counts that are no counts, and what is no file object.
      {FileObject(L"\"malicious\": -3, \"undetected\": 5"), false, 0, 0},
      {FileObject(L"\"malicious\": \"7\", \"undetected\": 5"), false, 0, 0},
      {FileObject(L"\"malicious\": 1.5, \"undetected\": 5"), false, 0, 0},
      {FileObject(L"\"malicious\": 99999999999999999999, \"undetected\": 5"), false, 0, 0},
      {L"{\"data\": {\"attributes\": {\"last_analysis_stats\": []}}}", false, 0, 0},
      {L"{\"data\": [{\"attributes\": {}}]}", false, 0, 0},
      {L"{\"error\": {\"code\": \"NotFoundError\"}}", false, 0, 0},
      {FileObject(L"\"malicious\": 3") + L" trailing", false, 0, 0},
      {L"{\"data\": {\"attributes\": {\"last_analysis_stats\": {\"malicious\": 3", false, 0, 0},
  };
  for (const Case& c : cases) {
    FileObjectStats stats;
    ASSERT_EQ(ReadFileObject(c.answer, stats), c.read) << Narrow(c.answer);
    if (!c.read) continue;
    const std::wstring cached = CachedFormOf(kHash, stats, L"https://localhost:8443/");
    VtReport report;
    EXPECT_EQ(ParseReport(cached, today, report), c.code) << Narrow(cached);
    EXPECT_DOUBLE_EQ(report.score, c.score) << Narrow(cached);
    EXPECT_EQ(report.hash, kHash);
    EXPECT_EQ(report.permalink,
              L"https://localhost:8443/gui/file/9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
  }
}

TEST(FileObjectReport, TheCachedFormCarriesTheAnalysisDateAndReadsAsAnAnswer) {
  FileObjectStats stats;
  // Seconds since 1970 to a UTC date, across a leap day.
  for (const auto& [seconds, text] : std::vector<std::pair<std::wstring, std::wstring>>{
           {L"1765324800", L"2025-12-10 00:00:00"}, {L"951782399", L"2000-02-28 23:59:59"},
           {L"951868800", L"2000-03-01 00:00:00"}}) {
    ASSERT_TRUE(ReadFileObject(FileObject(L"\"malicious\": 1, \"undetected\": 9", seconds), stats));
    const std::wstring cached = CachedFormOf(kHash, stats, L"https://www.virustotal.com");
    VtReport report;
    EXPECT_EQ(ParseReport(cached, DaysSince1601(2025, 12, 20), report), 1);
    EXPECT_EQ(report.scanDate, text);
    // What QueueLookup takes for a fresh report.
    EXPECT_NE(cached.find(L"\"detection_ratio\": \"1/10\""), std::wstring::npos) << Narrow(cached);
    std::vector<AnsweredReport> answered;
    ASSERT_EQ(ReadAnswer(cached, answered), AnswerShape::Reports);
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_EQ(answered[0].hash, kHash);
  }
  VtReport unknown;
  EXPECT_EQ(ParseReport(NotKnownForm(kHash), 0, unknown), 0);
}

TEST(RequestText, EveryValueIsEscaped) {
  EXPECT_EQ(JsonEscape(L"C:\\a \"b\"\t\x01"), L"C:\\\\a \\\"b\\\"\\t\\u0001");
  EXPECT_EQ(JsonEscape(std::wstring(L"x\xD800y\xD83D\xDE00")), std::wstring(L"x\\ud800y\xD83D\xDE00"));
  EXPECT_EQ(PercentEncode(L"a&b=c+d e/\x00FC~"), "a%26b%3Dc%2Bd%20e%2F%C3%BC~");
  EXPECT_EQ(FormFileName(L"a\"b\r\n.exe"), L"a%22b%0D%0A.exe");

  RequestBatch batch(RequestKind::FileReports);
  AppendReportItem(batch, {kHash, L"HKLM\\Software\\Run / \"C:\\x.exe\" -a", L"C:\\dir\\x.exe", L"2026/01/02 03:04:05"});
  batch.count = 1;
  EXPECT_EQ(FileReportsBody(batch),
            L"[{\"autostart_location\": \"HKLM\\\\Software\\\\Run\", \"autostart_entry\": \"\\\"C:\\\\x.exe\\\" -a\", "
            L"\"hash\": \"" + kHash + L"\", \"image_path\": \"C:\\\\dir\\\\x.exe\", \"creation_datetime\": "
            L"\"2026/01/02 03:04:05\"},{}]");
  // No autostart text worth splitting, and a path without a folder.
  AppendReportItem(batch, {kHash, L"HKLM", L"x.exe", L""});
  batch.count = 2;
  const std::wstring body = FileReportsBody(batch);
  const std::wstring last = L", {\"hash\": \"" + kHash + L"\"}]";
  ASSERT_GT(body.size(), last.size());
  EXPECT_EQ(body.substr(body.size() - last.size()), last);
}

}  // namespace
}  // namespace tavrin
