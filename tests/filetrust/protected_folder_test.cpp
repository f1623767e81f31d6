#include "filetrust/protected_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/shell_folders.h"
#include "platform/users.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::RemoveTreeForTest;
using test::ScratchFolder;

std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

TEST(ProtectedFolder, SystemUserAndOrdinaryFolders) {
  const std::wstring profiles = ProfilesFolder();
  const std::wstring profile = EnvironmentValue(L"USERPROFILE");
  const std::wstring windows = FindMachineFolders().windows;
  ASSERT_FALSE(profiles.empty());
  ASSERT_FALSE(profile.empty());
  ASSERT_FALSE(windows.empty());
  const std::wstring suffix = L"tavrin-test-" + std::to_wstring(GetCurrentProcessId());

  // A profile root of this test's own, and folders below a profile that are
  // no shell folder.
  const std::wstring otherRoot = profiles + L"\\" + suffix;
  const std::wstring belowProfile = profile + L"\\" + suffix;
  for (const std::wstring& folder : {otherRoot, otherRoot + L"\\Documents", belowProfile, belowProfile + L"\\deeper"})
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << folder;
  ScratchFolder scratch;

  const struct {
    std::wstring path;
    bool isProtected;
  } cases[] = {
      {windows.substr(0, 3), true},
      {windows.substr(0, 2) + L"\\\\", true},
      {profiles, true},
      {profile, true},
      {L"%USERPROFILE%", true},
      {otherRoot, true},
      {otherRoot + L"\\", true},
      {otherRoot + L"\\Documents", false},
      {belowProfile, false},
      {belowProfile + L"\\deeper", false},
      {ShellFolder(CSIDL_APPDATA), true},
      {ShellFolder(CSIDL_DESKTOPDIRECTORY), true},
      {L"%TEMP%", true},
      {L"%TEMP%\\", true},
      {windows, true},
      {windows + L"\\Tasks", true},
      {windows + L"\\system32\\drivers", true},
      {windows + L"\\winsxs", true},
      {scratch.Path(), false},
      {scratch.Path() + L"\\missing", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsProtectedFolder(c.path), c.isProtected) << "[" << c.path << "]";

  RemoveTreeForTest(otherRoot);
  RemoveTreeForTest(belowProfile);
  EXPECT_FALSE(test::FileExists(otherRoot));
}

// Depth below the profiles folder decides, not the depth of the whole path.
TEST(ProtectedFolder, ProfileRootsBelowDeepProfilesFolder) {
  const struct {
    const wchar_t* folder;
    bool isRoot;
  } cases[] = {
      {L"D:\\Data\\Users\\Name", true},
      {L"d:\\data\\users\\Name", true},
      {L"D:\\Data\\Users\\Name\\Projects", false},
      {L"D:\\Data\\Users", false},
      {L"D:\\Data\\UsersOld\\Name", false},
      {L"D:\\Data", false},
      {L"C:\\Name", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsProfileRoot(c.folder, L"D:\\Data\\Users"), c.isRoot) << c.folder;
}

}  // namespace
}  // namespace tavrin
