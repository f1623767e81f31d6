#include <gtest/gtest.h>

#include "app/program_keys.h"
#include "app/self_removal.h"
#include "platform/registry.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::ScratchFolder;
using test::WriteBytes;

// The tests own the program's keys of the test machine for their length.
class ProgramKeys : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    for (const wchar_t* key : {kLegacyProgramKey, kProgramKey, kVirusTotalReportsKey}) DeleteKeyTree(key);
  }
};

TEST_F(ProgramKeys, OlderKeysMoveUnderTheMakersKey) {
  ASSERT_TRUE(WriteStringAt(std::wstring(kLegacyProgramKey) + L"\\Sub", L"Value", L"kept"));
  ASSERT_TRUE(WriteStringAt(kLegacyProgramKey, L"Top", L"1"));
  ASSERT_TRUE(WriteStringAt(std::wstring(kLegacyVirusTotalKey) + L"\\0123ABCD", L"Report", L"clean"));
  MoveLegacyKeys();
  EXPECT_FALSE(KeyExists(kLegacyProgramKey));
  EXPECT_EQ(ReadStringAt(kProgramKey, L"Top").value_or(L""), L"1");
  EXPECT_EQ(ReadStringAt(std::wstring(kProgramKey) + L"\\Sub", L"Value").value_or(L""), L"kept");
  EXPECT_EQ(ReadStringAt(std::wstring(kVirusTotalReportsKey) + L"\\0123ABCD", L"Report").value_or(L""), L"clean");
  // The report cache went to its own place, not along with the program key.
  EXPECT_FALSE(KeyExists(std::wstring(kProgramKey) + L"\\VT reports"));

  // Nothing to move: nothing changes.
  MoveLegacyKeys();
  EXPECT_EQ(ReadStringAt(kProgramKey, L"Top").value_or(L""), L"1");
}

TEST(SelfRemoval, CompanionExecutable) {
  EXPECT_EQ(CompanionExecutable(L"\\\\?\\C:\\Tools\\tavrin64.exe"), L"C:\\Tools\\tavrin.exe");
  EXPECT_EQ(CompanionExecutable(L"C:\\Tools\\TAVRIN64.EXE"), L"C:\\Tools\\TAVRIN.exe");
  EXPECT_EQ(CompanionExecutable(L"C:\\Tools\\tavrin.exe"), L"C:\\Tools\\tavrin.exe");
  EXPECT_EQ(CompanionExecutable(L"C:\\x64.exe\\tavrin.exe"), L"C:\\x64.exe\\tavrin.exe");
}

TEST_F(ProgramKeys, UninstallRemovesDataKeysAndTheCompanionWhileItRuns) {
  ScratchFolder scratch;
  const std::wstring data = scratch / L"Tavrin";
  ASSERT_TRUE(CreateDirectoryW(data.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((data + L"\\Settings").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(data + L"\\Settings\\settings.ini", "\xFF\xFE"));
  ASSERT_TRUE(WriteBytes(data + L"\\tvnScan1.txt", "report"));
  ASSERT_TRUE(WriteStringAt(kProgramKey, L"Top", L"1"));
  ASSERT_TRUE(WriteStringAt(std::wstring(kVirusTotalReportsKey) + L"\\ABC", L"Report", L"x"));

  // A running copy of the companion executable is ended before its deletion.
  const std::wstring companion = scratch / L"tavrin.exe";
  ASSERT_TRUE(CopyFileW(test::HelperPath().c_str(), companion.c_str(), FALSE));
  test::ChildProcess running;
  ASSERT_TRUE(running.Start(L"\"" + companion + L"\" wait 20000"));

  EXPECT_TRUE(RemoveProgramFiles(L"\\\\?\\" + data, L"\\\\?\\" + (scratch / L"tavrin64.exe")));
  EXPECT_FALSE(FileExists(data));
  EXPECT_FALSE(KeyExists(kProgramKey));
  EXPECT_FALSE(KeyExists(kVirusTotalReportsKey));
  EXPECT_FALSE(running.Running());
  EXPECT_FALSE(FileExists(companion));
}

}  // namespace
}  // namespace tavrin
