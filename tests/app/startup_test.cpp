#include "app/startup.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/file_system.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::ScratchFolder;
using test::WriteBytes;

TEST(Startup, DeletesTheOldExecutable) {
  ScratchFolder scratch;
  const std::wstring exe = scratch / L"tavrin.exe";
  ASSERT_TRUE(WriteBytes(exe + L".old", "MZ"));
  EXPECT_TRUE(DeleteOldExecutable(exe));
  EXPECT_FALSE(FileExists(exe + L".old"));
  // Nothing left to delete: done at once rather than after 50 attempts.
  const DWORD before = GetTickCount();
  EXPECT_TRUE(DeleteOldExecutable(exe));
  EXPECT_LT(GetTickCount() - before, 1000u);
}

TEST(Startup, LongPathPrefix) {
  EXPECT_EQ(WithLongPathPrefix(L"C:\\x\\tavrin.exe"), L"\\\\?\\C:\\x\\tavrin.exe");
  EXPECT_EQ(WithLongPathPrefix(L"\\\\server\\share\\t.exe"), L"\\\\server\\share\\t.exe");
  EXPECT_EQ(PlainPath(L"\\\\?\\C:\\x"), L"C:\\x");
  const std::wstring own = OwnExecutablePath();
  ASSERT_GT(own.size(), 13u);
  EXPECT_EQ(own.substr(own.size() - 13), L"app_tests.exe");
}

TEST(Startup, FirewallStepRunsOncePerLocationAndSkipsWhenTheFirewallIsOff) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IniDocument settings;
  const std::wstring exe = L"\\\\?\\C:\\Tools\\Tavrin\\tavrin.exe";
  settings.SetString(L"Settings", L"FirewallPath64", L"\\\\?\\c:\\tools\\tavrin\\TAVRIN.EXE");
  EXPECT_EQ(RunFirewallStep(settings, exe), FirewallStep::AlreadyAuthorized);

  // Another location: Wine's firewall reports itself disabled, so nothing is
  // authorised and the stored location stays as it was.
  IniDocument moved;
  EXPECT_EQ(RunFirewallStep(moved, exe), FirewallStep::FirewallOff);
  EXPECT_FALSE(moved.GetString(L"Settings", L"FirewallPath64").has_value());
  CoUninitialize();
}

}  // namespace
}  // namespace tavrin
