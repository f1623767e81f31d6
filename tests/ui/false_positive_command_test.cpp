#include "ui/false_positive_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "results/result_set.h"
#include "results/result_tabs.h"

namespace tavrin {
namespace {

TEST(ReportFalsePositive, OnlyAnInfectedFileIsReportedAndTheTipTellsHowItStarted) {
  ResultSet results;
  const ResultList list = TabList(results, kMalwareTab);
  const int file = AddRow(list, kGroupInfectedFiles, L"C:\\Users\\a\\x.exe", L"High", L"Trojan.1.50", true);
  const int entry = AddRow(list, 82, L"HKLM\\Software\\Run / x", L"High", L"Trojan.1.50", true);
  ASSERT_GE(file, 0);
  ASSERT_GE(entry, 0);

  const std::wstring thanks = L"Thank you for your submission!\r\nNo personal information is ever sent by these reports.";
  const std::wstring busy = L"Sorry a previous submission is still in progress.";
  const std::wstring failed = L"Submission failed. Please try later.";
  struct Case {
    int row;
    int started;
    std::wstring path;
    std::wstring tip;
  } cases[] = {
      {file, 1, L"C:\\Users\\a\\x.exe", thanks},
      {file, 3, L"C:\\Users\\a\\x.exe", busy},
      {file, 0, L"C:\\Users\\a\\x.exe", failed},
      {entry, 1, L"", thanks},  // a registry entry names no file to send
      {-1, 1, L"", thanks},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> asked;
    const auto start = [&](const std::wstring& path) {
      asked.push_back(path);
      return c.started;
    };
    EXPECT_EQ(ReportFalsePositive(start, list, c.row), c.tip);
    EXPECT_EQ(asked, std::vector<std::wstring>{c.path});
  }
  EXPECT_EQ(ReportFalsePositive({}, list, file), failed);
}

}  // namespace
}  // namespace tavrin
