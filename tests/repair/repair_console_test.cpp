// Console tools never hold up a repair: a wait ends at its limit or at
// Cancel, and a program that is not there fails at once.
#include "repair/repair_console.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/processes.h"
#include "platform/shell_folders.h"
#include "support/child_process.h"

namespace tavrin {
namespace {

// The helper stands in for a tool of the System folder: its folder is the
// context's System folder.
constexpr wchar_t kHelper[] = L"tavrin_test_helper.exe";

RepairContext Context(CancelFlags& cancel) {
  RepairContext context;
  const std::wstring helper = test::HelperPath();
  context.systemFolder = helper.substr(0, helper.rfind(L'\\'));
  context.cancel = &cancel;
  return context;
}

long long Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - since).count();
}

TEST(RepairConsole, AnEndedCommandGivesItsExitCode) {
  CancelFlags cancel;
  RepairContext context = Context(cancel);
  EXPECT_EQ(RunConsole(context, kHelper, L"exit 7", 30), 7);
  DWORD exitCode = 99;
  EXPECT_EQ(RunConsoleTimed(context, kHelper, L"exit 0", 30, &exitCode), 1);
  EXPECT_EQ(exitCode, 0u);
}

TEST(RepairConsole, TheLimitEndsAHangingCommand) {
  CancelFlags cancel;
  RepairContext context = Context(cancel);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunConsoleTimed(context, kHelper, L"wait 15000", 1), -2);
  EXPECT_LT(Seconds(start), 10);
}

TEST(RepairConsole, CancelEndsTheWait) {
  CancelFlags cancel;
  RepairContext context = Context(cancel);
  std::thread presser([&cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel.user = true;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunConsole(context, kHelper, L"wait 15000", 120), kConsoleCancelled);
  presser.join();
  EXPECT_LT(Seconds(start), 10);
}

TEST(RepairConsole, AMissingToolFailsAtOnce) {
  CancelFlags cancel;
  RepairContext context = Context(cancel);
  context.systemFolder = L"C:\\NoSuchFolder-Tavrin";
  EXPECT_EQ(RunConsole(context, L"cmd.exe", L"/c exit 0", 30), kConsoleNotStarted);
  EXPECT_FALSE(InstallInf(context, L"C:\\NoSuchFolder-Tavrin\\x.inf"));
  UniqueProcessInformation process;
  EXPECT_EQ(RunVisibleConsole(context, VisibleTool::Sfc, process), 0u);
}

TEST(RepairConsole, AChildIsFoundByItsParentOnly) {
  CancelFlags cancel;
  RepairContext context = Context(cancel);
  UniqueProcessInformation console;
  ASSERT_TRUE(StartProgram(L"\"" + ShellFolder(CSIDL_SYSTEM) + L"\\cmd.exe\"",
                           L" /c " + test::HelperPath() + L" wait 5000", SW_HIDE, console));
  test::ChildProcess owner(console.processId);
  EXPECT_NE(FindChildProcess(context, console.processId, L"tavrin_test_helper.exe", 5), 0u);
  EXPECT_EQ(FindChildProcess(context, GetCurrentProcessId(), L"tavrin_test_helper.exe", 0), 0u);
  bool cancelled = false;
  cancel.user = true;
  EXPECT_EQ(FindChildProcess(context, console.processId, L"nothing.exe", 30, &cancelled), 0u);
  EXPECT_TRUE(cancelled);
}

}  // namespace
}  // namespace tavrin
