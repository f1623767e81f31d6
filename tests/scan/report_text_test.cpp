#include "scan/report_text.h"

#include <gtest/gtest.h>

#include "platform/text_file.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

constexpr uint64_t kSecond = 10000000ULL;

TEST(ReportText, Durations) {
  const std::pair<uint64_t, const wchar_t*> cases[] = {
      {0, L"0 seconds"},
      {kSecond - 1, L"0 seconds"},
      {1 * kSecond, L"1 second"},
      {120 * kSecond, L"2 minutes"},
      {3605 * kSecond, L"1 hour and 5 seconds"},
      {3725 * kSecond, L"1 hour, 2 minutes and 5 seconds"},
      {(604800 + 1) * kSecond, L"1 week and 1 second"},
      {(2 * 604800 + 3 * 86400 + 60) * kSecond, L"2 weeks, 3 days and 1 minute"},
  };
  for (const auto& [duration, text] : cases) EXPECT_EQ(DurationText(duration), text);
}

TEST(ReportText, TimesArePadded) {
  SYSTEMTIME t{};
  t.wYear = 2024, t.wMonth = 3, t.wDay = 5, t.wHour = 7, t.wMinute = 4, t.wSecond = 9;
  EXPECT_EQ(ReportTimeText(t), L"2024/03/05 07:04:09");
  FILETIME ft;
  SystemTimeToFileTime(&t, &ft);
  EXPECT_EQ(ReportTimeText((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime), L"2024/03/05 07:04:09");
}

TEST(ReportText, HeaderLines) {
  ReportHeader h;
  h.databaseNumber = L"2001";
  h.windowsProductName = L"Windows 10 Pro";
  h.csdVersion = L"";
  h.buildNumber = L"19045";
  h.browserVersions = {{L"Google Chrome", L"120.0.1.2"}};
  h.scanUser = L"alice";
  h.scanAllUsers = false;
  const std::wstring text = ReportHeaderText(h);
  EXPECT_EQ(text.rfind(L"\r\n###### Tavrin's threat scan report ######\r\n\r\n\tTavrin version: 10.9.6.0 (64bits).\r\n"
                       L"\tTavrin definitions database number: 2001.\r\n"
                       L"\tWindows version: Windows 10 Pro  64-bit build 19045\r\n"
                       L"\tGoogle Chrome version: 120.0.1.2\r\n\r\n\tScan started by user: alice.\r\n"
                       L"\tOption \"Scan all users\": Unchecked.\r\n",
                       0),
            0u);
  h.productName = L"threatkiller";
  h.buildNumber.clear();
  const std::wstring other = ReportHeaderText(h);
  EXPECT_NE(other.find(L"###### threatkiller's scan report ######"), std::wstring::npos);
  EXPECT_NE(other.find(L"64-bit\r\n"), std::wstring::npos);
}

// The closing line's count is the size of the whole file, also where adding
// the count's own digits makes it one digit longer.
TEST(ReportText, EndLineCountsTheWholeFile) {
  test::ScratchFolder scratch;
  for (size_t filler : {0u, 10u, 49945u, 49948u, 49950u, 499930u}) {
    const std::wstring path = scratch / L"report.txt";
    TextFile file;
    ASSERT_TRUE(file.Open(path, TextReplace, TextEncoding::Utf16Le));
    file.Write(std::wstring(filler, L'x'));
    file.Write(kReportEndPrefix);
    file.Write(ReportEndSuffix(uint64_t(file.Size())));
    const int64_t finalSize = file.Size();
    file.Close();
    std::wstring text;
    ReadTextFile(path, text);
    const size_t at = text.rfind(L"End of report ") + 14;
    EXPECT_EQ(text.substr(at, text.find(L' ', at) - at), std::to_wstring(finalSize)) << filler;
  }
}

}  // namespace
}  // namespace tavrin
