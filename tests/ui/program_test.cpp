// The real tavrin.exe, started in the test machine as a user or a
// scheduled task would start it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/file_system.h"
#include "platform/ini_document.h"
#include "platform/registry.h"
#include "platform/unique_handle.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "support/loopback.h"
#include "support/scratch.h"
#include "ui/ui_ids.h"
#include "window_driver.h"

namespace tavrin {
namespace {

using test::ShownProgram;
using test::TavrinExePath;
using test::WaitForShownWindow;

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

std::wstring SourceFolder() {
  std::wstring path = L"Z:";
  for (char c : std::string(TAVRIN_SOURCE_DIR)) path += c == '/' ? L'\\' : wchar_t(c);
  return path;
}

// The definitions of the project's data, built once and offered by the
// loopback server; the base address to give the program.
std::wstring ServedDefinitions() {
  static std::wstring address;
  if (!address.empty() || !test::TheLoopback().running) return address;
  definitions_tool::DefinitionsSource source;
  std::vector<std::wstring> errors;
  if (!definitions_tool::ReadDefinitionsFolder(SourceFolder() + L"\\data\\definitions", source, errors)) return {};
  const std::wstring served = L"ui-" + std::to_wstring(GetCurrentProcessId());
  std::wstring error;
  if (!definitions_tool::BuildUpdateFolder(source, test::TheLoopback().root + L"\\" + served, error)) return {};
  address = test::TheLoopback().HttpUrl(L"/" + served);
  return address;
}

// The program's settings file of the test machine, put back afterwards. The
// program fetches its definitions from the loopback server, or from a port
// nobody listens on: never from the outside.
class RealProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    settingsPath_ = SettingsFilePath(PrepareDataFolder());
    existed_ = FileExists(settingsPath_);
    saved_ = test::ReadBytes(settingsPath_);
    EnsureSettingsFile(settingsPath_);
    std::wstring server = ServedDefinitions();
    if (server.empty()) server = L"http://127.0.0.1:" + std::to_wstring(test::ClosedPort());
    IniDocument settings(settingsPath_);
    settings.SetString(L"Settings", L"DefinitionsServer", server);
    settings.Save();
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

TEST_F(RealProgram, UninstallEndsAnotherRunningCopySoThatTheProgramGoes) {
  test::ScratchFolder scratch;
  const std::wstring installed = scratch / L"tavrin.exe";
  ASSERT_TRUE(CopyFileW(TavrinExePath().c_str(), installed.c_str(), FALSE));
  // A second copy of the same file, as a scheduled quiet run or a second
  // instance would be; it keeps the executable locked while it runs.
  ShownProgram other;
  ASSERT_TRUE(other.Start(Quoted(installed) + L" /NewInstance"));
  ASSERT_NE(WaitForShownWindow(kMainWindowClass, other.Id(), 30000), nullptr);
  ShownProgram program;
  ASSERT_TRUE(program.Start(Quoted(installed) + L" /NewInstance"));
  HWND window = WaitForShownWindow(kMainWindowClass, program.Id(), 30000);
  ASSERT_NE(window, nullptr);

  PostMessageW(window, WM_COMMAND, kCmdUninstall, 0);
  HWND box = WaitForShownWindow(kMessageBoxClass, program.Id());
  ASSERT_NE(box, nullptr);
  test::AnswerMessageBox(box, IDYES);
  EXPECT_EQ(program.Wait(30000), 0u);
  EXPECT_TRUE(test::WaitUntil([&] { return !other.Running(); }, 10000));
  EXPECT_TRUE(test::WaitUntil([&] { return !FileExists(installed); }, 30000));
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

TEST_F(RealProgram, ScanAtStartEndsItsScanAndShowsTheSummary) {
  ASSERT_FALSE(ServedDefinitions().empty());
  ShownProgram program;
  ASSERT_TRUE(program.Start(Quoted(TavrinExePath()) + L" /Scan /NewInstance"));
  HWND window = WaitForShownWindow(kMainWindowClass, program.Id(), 30000);
  ASSERT_NE(window, nullptr);
  HWND box = WaitForShownWindow(kMessageBoxClass, program.Id(), 120000);
  ASSERT_NE(box, nullptr);
  const std::wstring summary = test::MessageBoxText(box);
  // A clean machine: only the optional fixes of the Malware tab.
  EXPECT_EQ(summary.rfind(L"Tavrin found ", 0), 0u);
  EXPECT_NE(summary.find(L" optional items.\r\n\r\nTake a look at all the tabs, "), std::wstring::npos);
  EXPECT_EQ(test::ControlText(window, kIdStatus), L"Press \"Clean\"...");
  test::AnswerMessageBox(box, IDNO);
  EXPECT_GT(SendMessageW(GetDlgItem(window, kIdFirstList + 3), LVM_GETITEMCOUNT, 0, 0), 0);

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.Wait(30000), 0u);
}

BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM parameter) {
  auto* watch = reinterpret_cast<std::pair<DWORD, bool>*>(parameter);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == watch->first && IsWindowVisible(window)) watch->second = true;
  return TRUE;
}

int ScanReportCount() {
  int count = 0;
  WIN32_FIND_DATAW found;
  UniqueFind find(FindFirstFileW((PrepareDataFolder() + L"\\tvnScan*.txt").c_str(), &found));
  if (!find) return 0;
  do ++count;
  while (FindNextFileW(find.get(), &found));
  return count;
}

TEST_F(RealProgram, QuietScanAndRemoveOnACleanMachineEndsWithoutAWindow) {
  ASSERT_FALSE(ServedDefinitions().empty());
  const int reportsBefore = ScanReportCount();
  ShownProgram program;
  ASSERT_TRUE(program.Start(Quoted(TavrinExePath()) + L" -scanremove -QUIET /NewInstance"));
  std::pair<DWORD, bool> watch{program.Id(), false};
  bool sawWindow = false;
  const DWORD start = GetTickCount();
  while (program.Running() && GetTickCount() - start < 120000) {
    EnumWindows(NoteVisibleWindow, reinterpret_cast<LPARAM>(&watch));
    if (!sawWindow) sawWindow = test::FindProcessWindow(kMainWindowClass, program.Id()) != nullptr;
    Sleep(5);
  }
  EXPECT_EQ(program.Wait(1000), 0u);
  EXPECT_TRUE(sawWindow);  // the hidden window existed
  EXPECT_FALSE(watch.second);
  EXPECT_EQ(ScanReportCount(), reportsBefore + 1);  // it did scan
}

}  // namespace
}  // namespace tavrin
