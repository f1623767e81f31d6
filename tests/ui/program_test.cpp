// The real tavrin.exe, started in the test machine as a user or a
// scheduled task would start it.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "app/startup.h"
#include "platform/file_system.h"
#include "platform/ini_document.h"
#include "platform/registry.h"
#include "support/scratch.h"
#include "ui/ui_ids.h"
#include "window_driver.h"

namespace tavrin {
namespace {

using test::ShownProgram;
using test::TavrinExePath;
using test::WaitForShownWindow;

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// The program's settings file of the test machine, put back afterwards.
class RealProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    settingsPath_ = SettingsFilePath(PrepareDataFolder());
    saved_ = test::ReadBytes(settingsPath_);
    existed_ = FileExists(settingsPath_);
  }
  void TearDown() override {
    if (existed_) {
      test::WriteBytes(settingsPath_, saved_);
    } else {
      DeleteFileW(settingsPath_.c_str());
    }
  }
  std::wstring settingsPath_;

 private:
  std::string saved_;
  bool existed_ = false;
};

TEST_F(RealProgram, ASecondStartActivatesTheFirstInstanceAndEnds) {
  ShownProgram first;
  ASSERT_TRUE(first.Start(Quoted(TavrinExePath())));
  HWND window = WaitForShownWindow(kMainWindowClass, first.Id(), 30000);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(test::WindowText(window), L"Tavrin");
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(window));

  ShownProgram second;
  ASSERT_TRUE(second.Start(Quoted(TavrinExePath()) + L" /Scan"));
  EXPECT_EQ(second.Wait(30000), 0u);
  EXPECT_FALSE(IsIconic(window));
  EXPECT_TRUE(first.Running());

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.Wait(30000), 0u);
}

TEST_F(RealProgram, WindowPlacementIsReadAtStartAndWrittenAtExit) {
  {
    IniDocument settings(settingsPath_);
    settings.SetInt(L"UI", L"WindowCX", GetSystemMetrics(SM_CXSCREEN) + 100);
    settings.SetInt(L"UI", L"WindowCY", 600);
    settings.SetString(L"UI", L"Maximized", L"0");
    ASSERT_TRUE(settings.Save());
  }
  ShownProgram program;
  ASSERT_TRUE(program.Start(Quoted(TavrinExePath()) + L" /NewInstance"));
  HWND window = WaitForShownWindow(kMainWindowClass, program.Id(), 30000);
  ASSERT_NE(window, nullptr);
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_EQ(frame.right - frame.left, 750);
  EXPECT_EQ(frame.bottom - frame.top, 600);
  EXPECT_EQ(test::ControlText(window, kIdStatus), L"Press \"Scan\"...");

  SetWindowPos(window, nullptr, 0, 0, 790, 640, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(program.Wait(30000), 0u);

  IniDocument written(settingsPath_);
  EXPECT_EQ(written.GetString(L"UI", L"Maximized", L""), L"0");
  EXPECT_EQ(written.GetInt(L"UI", L"WindowCX", 0), 790);
  EXPECT_EQ(written.GetInt(L"UI", L"WindowCY", 0), 640);
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

TEST_F(RealProgram, UninstallRemovesTheDataTheKeysAndTheProgramItself) {
  test::ScratchFolder scratch;
  const std::wstring installed = scratch / L"tavrin64.exe";
  const std::wstring companion = scratch / L"tavrin.exe";
  ASSERT_TRUE(CopyFileW(TavrinExePath().c_str(), installed.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(TavrinExePath().c_str(), companion.c_str(), FALSE));
  ASSERT_TRUE(WriteStringAt(L"HKLM64\\SOFTWARE\\Halvoret\\Tavrin", L"Installed", L"1"));
  ASSERT_TRUE(WriteStringAt(L"HKLM64\\SOFTWARE\\Halvoret\\VirusTotal reports\\00FF", L"Report", L"clean"));

  ShownProgram program;
  ASSERT_TRUE(program.Start(Quoted(installed) + L" /NewInstance"));
  HWND window = WaitForShownWindow(kMainWindowClass, program.Id(), 30000);
  ASSERT_NE(window, nullptr);
  const std::wstring dataFolder = PlainPath(PrepareDataFolder());
  ASSERT_TRUE(FolderExists(dataFolder));

  // Asked first; No leaves everything.
  PostMessageW(window, WM_COMMAND, kCmdUninstall, 0);
  HWND box = WaitForShownWindow(kMessageBoxClass, program.Id());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(test::MessageBoxText(box), L"Are you sure you want to completely remove Tavrin?");
  test::AnswerMessageBox(box, IDNO);
  ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(box); }));
  EXPECT_TRUE(program.Running());

  PostMessageW(window, WM_COMMAND, kCmdUninstall, 0);
  box = WaitForShownWindow(kMessageBoxClass, program.Id());
  ASSERT_NE(box, nullptr);
  test::AnswerMessageBox(box, IDYES);
  EXPECT_EQ(program.Wait(30000), 0u);
  EXPECT_FALSE(FolderExists(dataFolder));
  EXPECT_FALSE(KeyExists(L"HKLM64\\SOFTWARE\\Halvoret\\Tavrin"));
  EXPECT_FALSE(KeyExists(L"HKLM64\\SOFTWARE\\Halvoret\\VirusTotal reports"));
  EXPECT_FALSE(FileExists(companion));
  // The command interpreter deletes the program after a pause of seconds.
  EXPECT_TRUE(test::WaitUntil([&] { return !FileExists(installed); }, 30000));
}

}  // namespace
}  // namespace tavrin
