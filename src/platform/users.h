#pragma once
// The accounts a scan or repair covers, and their registry hives. Per-user
// data is never read through HKEY_CURRENT_USER: the program may run under
// another administrator than the console user and may scan every account,
// so each user is addressed as "HKU\" + SID, with the hive of a user who is
// not logged on mounted there from the profile's NTUSER.DAT. Mounted hives
// stay mounted; later calls find them present.
#include <windows.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/unique_handle.h"

namespace tavrin {

inline constexpr wchar_t kLocalSystemSid[] = L"S-1-5-18";
// Mount name, SID text and account name of the default profile's entry.
inline constexpr wchar_t kDefaultUserName[] = L"DefaultUser";

struct UserProfile {
  std::wstring sid;  // also the name of the user's hive under HKEY_USERS
  std::wstring profileFolder;
  std::wstring accountName;

  // "HKU\" + SID, the root of the user's registry.
  std::wstring RegistryRoot() const { return L"HKU\\" + sid; }
};

// Accounts in the order found: enumerated accounts as the platform returns
// them, then LocalSystem, then "DefaultUser".
using UserList = std::vector<UserProfile>;

// Index of the first entry with that account name (any case), or -1.
int FindUserByAccount(const UserList& users, const std::wstring& accountName);

// The user of the active console session. When no running process of that
// session belongs to the user, only the account name is known: SID and
// profile folder are empty and the token is invalid.
struct ConsoleUser {
  std::wstring accountName;
  std::wstring profileFolder;
  std::wstring sid;
  UniqueToken token;
};

// False when there is no console session or it has no user name.
bool FindInteractiveUser(ConsoleUser& user);

// Machine-wide folders, the same for every user.
struct MachineFolders {
  std::wstring windows;
  std::wstring system;
  std::wstring systemDrive;  // "C:"
  std::wstring commonAppData;
  std::wstring commonStartup;
  std::wstring commonPrograms;
  std::wstring programFiles;
  std::wstring programFilesX86;  // the same as programFiles on 32-bit Windows
  std::wstring cmdExe;           // the System folder's "\cmd.exe"
};
MachineFolders FindMachineFolders();

// The console user and the folders derived from it, found on first use and
// kept; the application object owns one. Safe to use from several threads.
class InteractiveUser {
 public:
  InteractiveUser() = default;
  InteractiveUser(const InteractiveUser&) = delete;
  InteractiveUser& operator=(const InteractiveUser&) = delete;

  std::wstring AccountName();
  std::wstring ProfileFolder();
  std::wstring Sid();  // empty when the user could not be matched
  // The user's token, owned by this object until Reset; null when unknown.
  HANDLE Token();
  // "HKU\" + SID; empty without a SID.
  std::wstring RegistryRoot();

  // Folders of the user, resolved with the user's token; empty without one.
  std::wstring AppData();       // roaming application data
  std::wstring LocalAppData();
  std::wstring Startup();
  std::wstring Programs();      // the Start menu's Programs

  // Never reset: the machine's folders do not change while it runs.
  const MachineFolders& Machine();

  // Forgets the user (closing its token) so that the next use finds it again.
  void Reset();

 private:
  void LoadUser();     // with mutex_ held
  void LoadFolders();  // with mutex_ held

  std::mutex mutex_;
  bool userLoaded_ = false;
  bool foldersLoaded_ = false;
  bool machineLoaded_ = false;
  ConsoleUser user_;
  std::wstring appData_, localAppData_, startup_, programs_;
  MachineFolders machine_;
};

// "ProfileImagePath" of the user's ProfileList entry with environment
// references expanded; empty when there is none.
std::wstring ProfileFolderOf(const std::wstring& sid);
// The folder of new profiles ("C:\Users") and of the default profile;
// empty when the platform cannot say.
std::wstring ProfilesFolder();
std::wstring DefaultProfileFolder();

// Account look-ups on the local machine; empty when they fail. The account
// name is without its domain ("SYSTEM" for "S-1-5-18").
std::wstring SidOfAccount(const std::wstring& accountName);
std::wstring AccountOfSid(const std::wstring& sid);
std::wstring AccountOfSid(PSID sid);

// Mounts the user's NTUSER.DAT (from the ProfileList) under "HKU\" + SID
// unless a key of that name is already there. False for an empty SID.
bool EnsureUserHive(const std::wstring& sid);

// One account of the enumeration: resolves its SID and profile folder (the
// stored profile path, else the ProfileList, else with `profileFallback`
// the profiles folder + "\" + name when that folder exists) and mounts its
// hive when needed. False when the account is left out: no SID, a network
// or relative profile path, or no profile folder.
bool PrepareAccount(const std::wstring& accountName, const std::wstring& storedProfilePath, bool profileFallback,
                    UserProfile& user);

// The local accounts; when none qualifies, the interactive user alone (or
// nobody when that has no SID either).
UserList EnumerateUsers(bool profileFallback);

enum UserListFlags : unsigned {
  UserListAllAccounts = 0x1,
  UserListMountHives = 0x2,  // with UserListAllAccounts
};

// The users of a repair action: every account (UserListAllAccounts) or the
// interactive user alone, who is listed even when not found (empty fields).
UserList BuildUserList(unsigned flags);

// Appends the "DefaultUser" entry when its hive is under HKEY_USERS already
// or can be mounted there from `defaultProfileFolder` + "\NTUSER.DAT".
// True when the entry was added.
bool AppendDefaultUser(UserList& users, const std::wstring& defaultProfileFolder);

// The users of a scan: every account (`allUsers`) or the interactive user,
// then LocalSystem and, when its hive is there, "DefaultUser". Empty when
// neither way yields a user: the scan then has nobody to scan.
UserList PrepareScanUsers(InteractiveUser& interactive, bool allUsers);

// A folder of the user from the user's own hive: "Temp" from the
// Environment key ("TMP", else "TEMP"), any other name from the Explorer
// "Shell Folders" key, else "User Shell Folders". A leading "%USERPROFILE%"
// becomes `profileFolder` (or the ProfileList's folder of the SID); other
// references expand in the program's environment. Mounts the hive when
// needed; empty when the folder cannot be found.
std::wstring UserFolder(const std::wstring& sid, const std::wstring& folderName,
                        const std::wstring& profileFolder = {});

}  // namespace tavrin
