#include "ui/settings_dialog.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/shell_folders.h"
#include "schedule/schedule.h"
#include "support/scratch.h"
#include "ui/schedule_page.h"
#include "ui/ui_ids.h"
#include "ui/window_driver.h"

namespace tavrin {
namespace {

bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }

TEST(SchedulePage, FirstStartFormatFollowsTheLanguage) {
  EXPECT_STREQ(FirstStartFormat(9), L"' 'yyyy'/'MM'/'dd'  'hh':'mm':'ss' 'tt");
  EXPECT_STREQ(FirstStartFormat(0x0409), L"' 'yyyy'/'MM'/'dd'  'HH':'mm':'ss");
}

// The removal options follow "remove"; "Delete schedule" follows the task
// file, asks first and goes grey once the task is gone; a creation the
// scheduler refuses says so.
TEST(SchedulePage, ControlsFollowTheirRulesAndTheTaskFile) {
  const std::wstring taskFile = ShellFolder(CSIDL_SYSTEM) + L"\\Tasks\\" + kScheduleTaskName;
  ASSERT_TRUE(test::WriteBytes(taskFile, test::Utf16Bytes(
      L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/"
      L"mit/task\"><Actions><Exec><Command>C:\\t.exe</Command></Exec></Actions></Task>\r\n")));
  const DWORD pid = GetCurrentProcessId();
  std::thread driver([&] {
    HWND dialog = test::WaitForShownWindow(kSettingsDialogClass, pid);
    ASSERT_NE(dialog, nullptr);
    HWND page = FindWindowExW(dialog, nullptr, L"TVN_SchedulePage", nullptr);
    EXPECT_NE(page, nullptr);
    if (page) {
      for (int id : {kIdScheduleQuiet, kIdScheduleNoRestorePoint, kIdScheduleAutoReboot, kIdScheduleRepeatDays})
        EXPECT_FALSE(Enabled(page, id)) << id;
      EXPECT_EQ(test::ControlText(page, kIdScheduleRepeatDays), L"3");
      SendMessageW(GetDlgItem(page, kIdScheduleRemove), BM_CLICK, 0, 0);
      SendMessageW(GetDlgItem(page, kIdScheduleRepeat), BM_CLICK, 0, 0);
      for (int id : {kIdScheduleQuiet, kIdScheduleNoRestorePoint, kIdScheduleAutoReboot, kIdScheduleRepeatDays})
        EXPECT_TRUE(Enabled(page, id)) << id;

      EXPECT_TRUE(Enabled(page, kIdScheduleDelete));
      PostMessageW(page, WM_COMMAND, kIdScheduleDelete, 0);
      EXPECT_EQ(test::AnswerShownMessageBox(pid, IDNO).value_or(L""),
                L"Are you sure you want to delete the current schedule?");
      EXPECT_TRUE(test::FileExists(taskFile));
      PostMessageW(page, WM_COMMAND, kIdScheduleDelete, 0);
      EXPECT_TRUE(test::AnswerShownMessageBox(pid, IDYES).has_value());
      EXPECT_TRUE(test::WaitUntil([&] { return !Enabled(page, kIdScheduleDelete); }));
      EXPECT_FALSE(test::FileExists(taskFile));

      // Wine's scheduler refuses the task's logon type and run level.
      PostMessageW(page, WM_COMMAND, kIdScheduleCreate, 0);
      std::wstring answer = test::AnswerShownMessageBox(pid, IDNO).value_or(L"");
      if (answer.find(L"Copy it to") != std::wstring::npos) answer = test::AnswerShownMessageBox(pid, IDOK).value_or(L"");
      EXPECT_EQ(answer, L"Sorry, the selected schedule could not be created.");
      EXPECT_FALSE(Enabled(page, kIdScheduleDelete));
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  RunSettingsDialog(nullptr, test::TavrinExePath());
  driver.join();
  DeleteFileW(taskFile.c_str());
}

}  // namespace
}  // namespace tavrin
