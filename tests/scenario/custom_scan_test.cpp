// A folder tree with the anti-virus test file at several depths, beside a
// text copy that is never collected, a clean library and a shortcut to a
// copy elsewhere. The real program, driven through its window as a user
// drives it, scans it in each of the four target forms; the report must
// list exactly the planted files. A target that does not exist is an
// error, and Stop ends a long custom scan as cancelled.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "platform/file_system.h"
#include "platform/strings.h"
#include "results/result_tabs.h"
#include "scenario/scenario_machine.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"
#include "ui/ui_ids.h"
#include "ui/window_driver.h"

namespace tavrin::scenario {
namespace {

constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The "Path: " lines of the report's infected files.
std::set<std::wstring> ReportedPaths(const std::wstring& report) {
  std::set<std::wstring> paths;
  const std::wstring label = L"\r\n\t\tPath: ";
  for (size_t at = report.find(label); at != std::wstring::npos; at = report.find(label, at + 1)) {
    const size_t start = at + label.size();
    paths.insert(report.substr(start, report.find(L"\r\n", start) - start));
  }
  return paths;
}

int ListCount(HWND window, int tab) {
  return int(SendMessageW(GetDlgItem(window, kIdFirstList + tab), LVM_GETITEMCOUNT, 0, 0));
}

class CustomScanScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 5150\n[Malware]\n"
                               L"44D88612FEA8A8F36DE82E1278ABB02F = EICAR-Test-File.8766.100\n"),
              L"");
    ASSERT_TRUE(CreateFolderTree(root + L"\\a\\b"));
    ASSERT_TRUE(CreateFolderTree(L"C:\\Scan\\elsewhere"));
    for (const wchar_t* file : {L"\\top.exe", L"\\readme.txt", L"\\a\\mid.scr", L"\\a\\b\\deep.dll"})
      ASSERT_TRUE(test::WriteBytes(root + file, kEicar));
    ASSERT_TRUE(test::WriteBytes(root + L"\\clean.dll", "MZ clean"));
    ASSERT_TRUE(test::WriteBytes(hidden, kEicar));
    ASSERT_TRUE(test::MakeShortcut(link, hidden));

    ASSERT_TRUE(program.Start(L"\"" + test::TavrinExePath() + L"\""));
    window = test::WaitForShownWindow(kMainWindowClass, program.Id(), 30000);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (window && IsWindow(window)) {
      PostMessageW(window, WM_CLOSE, 0, 0);
      test::AnswerShownMessageBox(program.Id(), IDYES, 2000);
      program.Wait(20000);
    }
    CoUninitialize();
  }

  // Opens the dialog, fills it in as the user would and starts the scan;
  // the summary's text once the scan has ended (answered No).
  std::wstring CustomScan(const std::wstring& target, bool recursive) {
    PostMessageW(window, WM_COMMAND, kCmdCustomScan, 0);
    HWND dialog = test::WaitForShownWindow(kCustomScanDialogClass, program.Id());
    if (!dialog) return L"no dialog";
    EXPECT_EQ(test::WindowText(dialog), L"Custom Scan");
    SendDlgItemMessageW(dialog, kIdCustomTarget, WM_SETTEXT, 0, LPARAM(target.c_str()));
    SendDlgItemMessageW(dialog, kIdCustomRecursive, BM_SETCHECK, recursive ? BST_CHECKED : BST_UNCHECKED, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return test::AnswerShownMessageBox(program.Id(), IDNO, 60000).value_or(L"no summary");
  }

  const std::wstring root = L"C:\\Scan\\Tools";
  const std::wstring hidden = L"C:\\Scan\\elsewhere\\hidden.exe";
  const std::wstring link = L"C:\\Scan\\Tools\\a\\go.lnk";
  test::ShownProgram program;
  HWND window = nullptr;
};

TEST_F(CustomScanScenario, EachTargetFormFindsExactlyThePlantedFiles) {
  struct Case {
    std::wstring target;
    bool recursive;
    const wchar_t* modeLine;
    std::set<std::wstring> found;
  };
  const Case cases[] = {
      {root, true, L"\r\n\tOn demand recursive directory threat scan\r\n",
       {root + L"\\top.exe", root + L"\\a\\mid.scr", root + L"\\a\\b\\deep.dll", hidden, link}},
      {root, false, L"\r\n\tOn demand directory root threat scan\r\n", {root + L"\\top.exe"}},
      {root + L"\\a\\b\\deep.dll", true, L"\r\n\tOn demand single file threat scan\r\n", {root + L"\\a\\b\\deep.dll"}},
      {root + L"\\a|mid.scr|go.lnk", true, L"\r\n\tOn demand multiple file threat scan\r\n",
       {root + L"\\a\\mid.scr", hidden, link}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.target));
    const std::wstring summary = CustomScan(c.target, c.recursive);
    const unsigned n = unsigned(c.found.size());
    const std::wstring count = n == 1 ? L"one recommended item, which is already checked, and "
                                      : std::to_wstring(n) + L" recommended items, which are already checked, and ";
    EXPECT_EQ(summary.find(L"Tavrin found " + count + L"no optional items.\r\n\r\nTake a look at the Malware tab,"), 0u)
        << Narrow(summary);
    EXPECT_EQ(ListCount(window, kMalwareTab), int(n));
    for (int tab : {kProgramsTab, kAutostartTab, kBrowsersTab}) EXPECT_EQ(ListCount(window, tab), 0);

    const std::wstring report = LatestReport(L"customScan*.txt");
    EXPECT_EQ(report.find(L"\r\n###### Tavrin's threat scan report ######\r\n\r\n\tTavrin version: 10.9.6.0 (64bits).\r\n"
                          L"\tTavrin definitions database number: 5150.\r\n" + std::wstring(c.modeLine) +
                          L"\tScan start time: "),
              0u);
    EXPECT_EQ(ReportedPaths(report), c.found);
    for (const std::wstring& path : c.found) {
      EXPECT_NE(report.find(L"\r\n\t\tPath: " + path + L"\r\n\t\tThreat level: "), std::wstring::npos);
    }
    EXPECT_NE(report.find(L"\r\n\t\tMalware type: EICAR-Test-File.8766.100\r\n\t\tModified in: "), std::wstring::npos);
    EXPECT_NE(report.find(L"\r\n\r\n->End of custom scan\r\n\r\n\tScan end time:   "), std::wstring::npos);
    EXPECT_NE(report.find(L"\tThe scan completed successfully.\r\n\r\n\r\n############ End of report "),
              std::wstring::npos);
  }
}

TEST_F(CustomScanScenario, MissingTargetIsAnErrorNotACleanResult) {
  // The scenarios share one machine: a report an earlier one left stays the newest.
  const std::wstring before = LatestReport(L"customScan*.txt");
  const std::wstring summary = CustomScan(root + L"\\not-there", true);
  EXPECT_EQ(summary.find(L"Congratulations"), std::wstring::npos) << Narrow(summary);
  EXPECT_NE(summary.find(L"could not be found"), std::wstring::npos) << Narrow(summary);
  EXPECT_EQ(LatestReport(L"customScan*.txt"), before);
  EXPECT_EQ(test::ControlText(window, kIdStatus), L"Error starting scan.");
}

TEST_F(CustomScanScenario, StopEndsALongScanAsCancelled) {
  // Enough clean files that the checks take a while.
  const std::wstring big = L"C:\\Scan\\Big";
  ASSERT_TRUE(CreateFolderTree(big));
  const std::string filler(2048, 'x');
  constexpr int kFiles = 3000;
  for (int i = 0; i < kFiles; ++i)
    ASSERT_TRUE(test::WriteBytes(big + L"\\f" + std::to_wstring(10000 + i) + L".dll", filler + std::to_string(i)));

  PostMessageW(window, WM_COMMAND, kCmdCustomScan, 0);
  HWND dialog = test::WaitForShownWindow(kCustomScanDialogClass, program.Id());
  ASSERT_NE(dialog, nullptr);
  SendDlgItemMessageW(dialog, kIdCustomTarget, WM_SETTEXT, 0, LPARAM(big.c_str()));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(test::WaitUntil([&] { return test::ControlText(window, kIdStatus) == L"Analyzing files..."; }, 30000));
  PostMessageW(window, WM_COMMAND, kIdScan, 0);  // "Stop"
  const auto summary = test::AnswerShownMessageBox(program.Id(), IDNO, 60000);
  ASSERT_TRUE(summary.has_value());
  EXPECT_EQ(*summary, L"The scan was cancelled.\r\n\r\nNo Items were found so far.");
  const std::wstring report = LatestReport(L"customScan*.txt");
  EXPECT_NE(report.find(L"\r\n\tOn demand recursive directory threat scan\r\n"), std::wstring::npos);
  EXPECT_NE(report.find(L"\r\n\t\tNo threats found\r\n\r\n->End of custom scan"), std::wstring::npos);
  EXPECT_NE(report.find(L"\tThe scan was cancelled by the user.\r\n"), std::wstring::npos);
  EXPECT_EQ(test::ControlText(window, kIdStatus), L"Scan aborted.");
}

}  // namespace
}  // namespace tavrin::scenario
