#include "platform/users.h"

#include <gtest/gtest.h>

#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

// The prefix's user (WINE.md).
constexpr wchar_t kPrefixUserSid[] = L"S-1-5-21-0-0-0-1000";
constexpr wchar_t kProfileList[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
constexpr wchar_t kExplorer[] = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

std::wstring Pid() { return std::to_wstring(GetCurrentProcessId()); }

std::wstring WindowsFolder() {
  wchar_t path[MAX_PATH] = {};
  GetWindowsDirectoryW(path, MAX_PATH);
  return path;
}

// Writes a user hive file the way Windows keeps one in a profile: filled
// under a scratch key, saved, and the scratch key removed.
void SaveUserHive(const std::wstring& folder) {
  const std::wstring scratch = L"HKCU\\Software\\TavrinTest-" + Pid() + L"-hive";
  const std::wstring explorer = scratch + kExplorer;
  ASSERT_TRUE(WriteStringAt(scratch + L"\\Environment", L"TMP", L""));
  ASSERT_TRUE(WriteStringAt(scratch + L"\\Environment", L"TEMP", L"%USERPROFILE%\\AppData\\Local\\Temp",
                            REG_EXPAND_SZ));
  ASSERT_TRUE(WriteStringAt(explorer + L"Shell Folders", L"AppData", L"D:\\Resolved\\Roaming"));
  ASSERT_TRUE(WriteStringAt(explorer + L"Shell Folders", L"Fonts", L"%SystemRoot%\\Fonts"));
  ASSERT_TRUE(WriteStringAt(explorer + L"User Shell Folders", L"AppData", L"%USERPROFILE%\\AppData\\Roaming",
                            REG_EXPAND_SZ));
  ASSERT_TRUE(WriteStringAt(explorer + L"User Shell Folders", L"Cache",
                            L"%userprofile%\\AppData\\Local\\Microsoft\\Windows\\INetCache", REG_EXPAND_SZ));
  ASSERT_TRUE(SaveKeyToHive(scratch, folder + L"\\NTUSER.DAT")) << GetLastError();
  ASSERT_TRUE(DeleteKeyTree(scratch));
}

TEST(InteractiveUser, ConsoleUserFoundWithTokenAndFolders) {
  ConsoleUser console;
  ASSERT_TRUE(FindInteractiveUser(console));
  EXPECT_EQ(console.sid, kPrefixUserSid);
  EXPECT_TRUE(console.token);
  EXPECT_FALSE(console.accountName.empty());
  EXPECT_FALSE(console.profileFolder.empty());
  EXPECT_TRUE(EqualsNoCase(console.profileFolder, ProfileFolderOf(console.sid)));
  EXPECT_EQ(SidOfAccount(console.accountName), console.sid);
  EXPECT_TRUE(EqualsNoCase(AccountOfSid(console.sid), console.accountName));

  InteractiveUser cache;
  EXPECT_EQ(cache.RegistryRoot(), L"HKU\\" + console.sid);
  EXPECT_NE(cache.Token(), nullptr);
  const std::wstring profile = cache.ProfileFolder();
  EXPECT_EQ(profile, console.profileFolder);
  EXPECT_TRUE(StartsWithNoCase(cache.AppData(), profile + L"\\")) << cache.AppData();
  EXPECT_TRUE(StartsWithNoCase(cache.LocalAppData(), profile + L"\\")) << cache.LocalAppData();
  EXPECT_NE(cache.AppData(), cache.LocalAppData());
  EXPECT_TRUE(StartsWithNoCase(cache.Startup(), cache.Programs() + L"\\")) << cache.Startup();
  EXPECT_TRUE(StartsWithNoCase(cache.Programs(), cache.AppData() + L"\\")) << cache.Programs();

  const MachineFolders& machine = cache.Machine();
  EXPECT_TRUE(EqualsNoCase(machine.windows, WindowsFolder()));
  EXPECT_TRUE(StartsWithNoCase(machine.system, machine.windows + L"\\"));
  EXPECT_EQ(machine.systemDrive, machine.system.substr(0, 2));
  EXPECT_TRUE(test::FileExists(machine.cmdExe)) << machine.cmdExe;
  EXPECT_FALSE(machine.commonAppData.empty());
  EXPECT_TRUE(StartsWithNoCase(machine.commonStartup, machine.commonPrograms + L"\\"));
  EXPECT_FALSE(machine.programFiles.empty());
  EXPECT_NE(machine.programFilesX86, machine.programFiles);

  cache.Reset();
  EXPECT_EQ(cache.Sid(), console.sid);
}

TEST(Accounts, LookupsBothWays) {
  EXPECT_EQ(SidOfAccount(L"SYSTEM"), kLocalSystemSid);
  EXPECT_EQ(AccountOfSid(std::wstring(kLocalSystemSid)), L"SYSTEM");
  EXPECT_EQ(SidOfAccount(L"TavrinNoSuchAccount"), L"");
  EXPECT_EQ(SidOfAccount(L""), L"");
  EXPECT_EQ(AccountOfSid(std::wstring(L"not a sid")), L"");
  EXPECT_EQ(AccountOfSid(std::wstring()), L"");
}

TEST(Accounts, PrepareAccountProfileRules) {
  // LocalSystem resolves to a SID but has no ProfileList entry under Wine:
  // the account of a user who never logged on.
  ASSERT_EQ(ProfileFolderOf(kLocalSystemSid), L"");
  const std::wstring profiles = ProfilesFolder();
  ASSERT_FALSE(profiles.empty());
  const std::wstring fallback = profiles + L"\\SYSTEM";
  ASSERT_FALSE(test::FileExists(fallback));

  UserProfile user;
  EXPECT_FALSE(PrepareAccount(L"TavrinNoSuchAccount", L"C:\\x", true, user));
  for (const wchar_t* stored : {L"\\\\server\\profiles\\system", L"\\profiles\\system", L"a\\b"}) {
    EXPECT_FALSE(PrepareAccount(L"SYSTEM", stored, true, user)) << stored;
  }
  EXPECT_TRUE(PrepareAccount(L"SYSTEM", L"D:\\Profiles\\system", false, user));
  EXPECT_EQ(user.sid, kLocalSystemSid);
  EXPECT_EQ(user.profileFolder, L"D:\\Profiles\\system");
  EXPECT_EQ(user.accountName, L"SYSTEM");

  EXPECT_FALSE(PrepareAccount(L"SYSTEM", L"", false, user));
  EXPECT_FALSE(PrepareAccount(L"SYSTEM", L"", true, user));  // no such folder
  ASSERT_TRUE(CreateDirectoryW(fallback.c_str(), nullptr));
  EXPECT_FALSE(PrepareAccount(L"SYSTEM", L"", false, user));
  EXPECT_TRUE(PrepareAccount(L"SYSTEM", L"", true, user));
  EXPECT_EQ(user.profileFolder, fallback);
  RemoveDirectoryW(fallback.c_str());

  // The ProfileList gives the folder of an account without a stored path.
  ConsoleUser console;
  ASSERT_TRUE(FindInteractiveUser(console));
  EXPECT_TRUE(PrepareAccount(console.accountName, L"", false, user));
  EXPECT_EQ(user.sid, kPrefixUserSid);
  EXPECT_TRUE(EqualsNoCase(user.profileFolder, console.profileFolder));
}

TEST(Accounts, PrepareAccountMountsTheHiveOfTheProfile) {
  ASSERT_FALSE(UserKeyExists(kLocalSystemSid));
  test::ScratchFolder profile;
  SaveUserHive(profile.Path());
  UserProfile user;
  ASSERT_TRUE(PrepareAccount(L"SYSTEM", profile.Path(), false, user));
  EXPECT_TRUE(UserKeyExists(kLocalSystemSid));
  EXPECT_EQ(ReadStringAt(std::wstring(L"HKU\\") + kLocalSystemSid + L"\\Environment", L"TEMP").value_or(L""),
            L"%USERPROFILE%\\AppData\\Local\\Temp");
  EXPECT_TRUE(UnloadHive(HiveRoot::Users, kLocalSystemSid));
}

TEST(Users, EnumerationEndsInTheInteractiveUserWhenNoAccountQualifies) {
  // Wine lists accounts only at levels that carry no profile path, so the
  // detailed listing fails and the interactive user stands in.
  for (bool fallback : {false, true}) {
    UserList users = EnumerateUsers(fallback);
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].sid, kPrefixUserSid);
    EXPECT_FALSE(users[0].profileFolder.empty());
  }
}

TEST(Users, RepairListsAndLookupByAccount) {
  for (unsigned flags : {0u, unsigned(UserListAllAccounts), unsigned(UserListAllAccounts | UserListMountHives)}) {
    UserList users = BuildUserList(flags);
    ASSERT_EQ(users.size(), 1u) << flags;
    EXPECT_EQ(users[0].sid, kPrefixUserSid) << flags;
    EXPECT_EQ(users[0].RegistryRoot(), std::wstring(L"HKU\\") + kPrefixUserSid);
    EXPECT_EQ(FindUserByAccount(users, ToUpper(users[0].accountName)), 0);
    EXPECT_EQ(FindUserByAccount(users, L"TavrinNoSuchAccount"), -1);
  }
}

// A second user built by the test: a profile folder with its own hive file
// and a ProfileList entry, the hive not mounted.
class OtherProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    sid_ = L"S-1-5-21-7777-" + Pid() + L"-1-1001";
    SaveUserHive(profile_.Path());
    // Stored the way Windows stores it, with an environment reference.
    std::wstring stored = profile_.Path();
    if (StartsWithNoCase(stored, L"C:")) stored = L"%SystemDrive%" + stored.substr(2);
    ASSERT_TRUE(WriteStringAt(kProfileList + sid_, L"ProfileImagePath", stored, REG_EXPAND_SZ));
  }
  void TearDown() override {
    UnloadHive(HiveRoot::Users, sid_);
    UnloadHive(HiveRoot::Users, kDefaultUserName);
    DeleteKeyTree(kProfileList + sid_);
  }
  test::ScratchFolder profile_;
  std::wstring sid_;
};

TEST_F(OtherProfile, HiveMountedOnceThenFoundPresent) {
  EXPECT_TRUE(EqualsNoCase(ProfileFolderOf(sid_), profile_.Path())) << ProfileFolderOf(sid_);
  ASSERT_FALSE(UserKeyExists(sid_));
  EXPECT_TRUE(EnsureUserHive(sid_));
  EXPECT_TRUE(UserKeyExists(sid_));
  // A second mount under the same name would be refused: true means found.
  EXPECT_TRUE(EnsureUserHive(sid_));
  EXPECT_FALSE(LoadHive(HiveRoot::Users, sid_, profile_ / L"NTUSER.DAT"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));

  EXPECT_FALSE(EnsureUserHive(L""));
  EXPECT_FALSE(EnsureUserHive(L"S-1-5-21-7777-" + Pid() + L"-1-1002"));  // no profile
}

TEST_F(OtherProfile, UserFoldersComeFromTheUsersOwnHive) {
  const std::wstring profile = ProfileFolderOf(sid_);
  struct Case {
    const wchar_t* name;
    std::wstring expected;
  } cases[] = {
      // "Shell Folders" before "User Shell Folders".
      {L"AppData", L"D:\\Resolved\\Roaming"},
      // Re-rooted into this user's profile, not the running account's.
      {L"Cache", profile + L"\\AppData\\Local\\Microsoft\\Windows\\INetCache"},
      {L"Fonts", WindowsFolder() + L"\\Fonts"},
      // "TMP" is empty, so "TEMP" answers.
      {L"Temp", profile + L"\\AppData\\Local\\Temp"},
      {L"temp", profile + L"\\AppData\\Local\\Temp"},
      {L"Personal", L""},
  };
  for (const auto& c : cases) EXPECT_TRUE(EqualsNoCase(UserFolder(sid_, c.name), c.expected)) << c.name;
  // A given profile folder is used as it is.
  EXPECT_EQ(UserFolder(sid_, L"Cache", L"E:\\Elsewhere"), L"E:\\Elsewhere\\AppData\\Local\\Microsoft\\Windows\\INetCache");
  EXPECT_EQ(UserFolder(L"S-1-5-21-7777-" + Pid() + L"-1-1002", L"AppData"), L"");
}

TEST_F(OtherProfile, DefaultUserCountedOnlyWithItsHive) {
  ASSERT_FALSE(UserKeyExists(kDefaultUserName));
  UserList users;
  test::ScratchFolder empty;
  EXPECT_FALSE(AppendDefaultUser(users, L""));
  EXPECT_FALSE(AppendDefaultUser(users, empty.Path()));  // no NTUSER.DAT
  EXPECT_TRUE(users.empty());

  // Wine has no default profile, so a scan lists the user and LocalSystem.
  InteractiveUser interactive;
  for (bool allUsers : {false, true}) {
    UserList scan = PrepareScanUsers(interactive, allUsers);
    ASSERT_EQ(scan.size(), 2u);
    EXPECT_EQ(scan[0].sid, kPrefixUserSid);
    EXPECT_EQ(scan[1].sid, kLocalSystemSid);
    EXPECT_EQ(scan[1].accountName, L"SYSTEM");
    EXPECT_EQ(scan[1].profileFolder, L"");
  }

  EXPECT_TRUE(AppendDefaultUser(users, profile_.Path()));
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].sid, kDefaultUserName);
  EXPECT_EQ(users[0].accountName, kDefaultUserName);
  EXPECT_EQ(users[0].profileFolder, profile_.Path());
  EXPECT_TRUE(KeyExists(L"HKU\\DefaultUser\\Environment"));

  // Once mounted, it is counted without a default profile folder.
  UserList scan = PrepareScanUsers(interactive, true);
  ASSERT_EQ(scan.size(), 3u);
  EXPECT_EQ(scan[2].sid, kDefaultUserName);
}

}  // namespace
}  // namespace tavrin
