#include "platform/users.h"

#include <lm.h>
#include <psapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <userenv.h>
#include <wtsapi32.h>

#include "platform/access_list.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/windows_version.h"

namespace tavrin {

namespace {

constexpr wchar_t kProfileList[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
constexpr wchar_t kUserProfileVariable[] = L"%USERPROFILE%";

std::wstring ExpandEnvironment(const std::wstring& text) {
  DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::wstring expanded(size, L'\0');
  DWORD got = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size);
  if (got == 0 || got > size) return text;
  expanded.resize(got - 1);
  return expanded;
}

std::vector<unsigned char> TokenUserSid(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<unsigned char> info(size);
  if (!GetTokenInformation(token, TokenUser, info.data(), size, &size)) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
  const auto* bytes = static_cast<const unsigned char*>(sid);
  return std::vector<unsigned char>(bytes, bytes + GetLengthSid(sid));
}

std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!sid || !ConvertSidToStringSidW(sid, &text)) return {};
  std::wstring result = text;
  LocalFree(text);
  return result;
}

std::vector<unsigned char> AccountSid(const std::wstring& accountName) { return AccountNameSid(accountName); }

// A token of the process that belongs to the user, or null. SHGetFolderPath
// needs impersonation rights; query rights suffice to compare the user.
UniqueToken MatchingToken(HANDLE process, std::vector<unsigned char>& sid) {
  UniqueToken token;
  if (!OpenProcessToken(process, TOKEN_QUERY | TOKEN_IMPERSONATE | TOKEN_DUPLICATE, token.put()) &&
      !OpenProcessToken(process, TOKEN_QUERY, token.put()))
    return {};
  std::vector<unsigned char> user = TokenUserSid(token.get());
  if (!user.empty() && EqualSid(user.data(), sid.data())) return token;
  return {};
}

bool MountUserHive(const std::wstring& mountName, const std::wstring& profileFolder) {
  if (mountName.empty() || profileFolder.empty()) return false;
  return LoadHive(HiveRoot::Users, mountName, profileFolder + L"\\NTUSER.DAT");
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

UserProfile ProfileOf(const ConsoleUser& user) { return {user.sid, user.profileFolder, user.accountName}; }

}  // namespace

int FindUserByAccount(const UserList& users, const std::wstring& accountName) {
  for (size_t i = 0; i < users.size(); ++i) {
    if (EqualsNoCase(users[i].accountName, accountName)) return int(i);
  }
  return -1;
}

bool FindInteractiveUser(ConsoleUser& user) {
  user = ConsoleUser();
  const DWORD session = WTSGetActiveConsoleSessionId();
  if (session == 0xFFFFFFFF) return false;
  LPWSTR name = nullptr;
  DWORD bytes = 0;
  if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &name, &bytes)) return false;
  user.accountName = name ? name : L"";
  WTSFreeMemory(name);
  if (user.accountName.empty()) return false;

  std::vector<unsigned char> sid = AccountSid(user.accountName);
  if (sid.empty()) return true;
  UniqueToken token;
  DWORD ownSession = 0;
  if (ProcessIdToSessionId(GetCurrentProcessId(), &ownSession) && ownSession == session)
    token = MatchingToken(GetCurrentProcess(), sid);
  if (!token) {
    DWORD ids[1024];
    DWORD got = 0;
    if (K32EnumProcesses(ids, sizeof ids, &got)) {
      for (DWORD i = 0; i < got / sizeof(DWORD) && !token; ++i) {
        DWORD processSession = 0;
        if (!ProcessIdToSessionId(ids[i], &processSession) || processSession != session) continue;
        UniqueProcess process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]));
        if (!process) continue;
        token = MatchingToken(process.get(), sid);
      }
    }
  }
  if (!token) return true;
  user.token = std::move(token);
  std::vector<unsigned char> tokenSid = TokenUserSid(user.token.get());
  user.sid = SidText(tokenSid.empty() ? nullptr : tokenSid.data());
  user.profileFolder = ShellFolder(CSIDL_PROFILE, user.token.get());
  return true;
}

MachineFolders FindMachineFolders() {
  MachineFolders folders;
  wchar_t path[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryW(path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.windows = path;
  length = GetSystemDirectoryW(path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.system = path;
  folders.systemDrive = folders.system.substr(0, 2);
  folders.commonAppData = ShellFolder(CSIDL_COMMON_APPDATA, nullptr);
  folders.commonStartup = ShellFolder(CSIDL_COMMON_STARTUP, nullptr);
  folders.commonPrograms = ShellFolder(CSIDL_COMMON_PROGRAMS, nullptr);
  folders.programFiles = ShellFolder(CSIDL_PROGRAM_FILES, nullptr);
  folders.programFilesX86 = ShellFolder(CSIDL_PROGRAM_FILESX86, nullptr);
  if (folders.programFilesX86.empty()) folders.programFilesX86 = folders.programFiles;
  if (!folders.system.empty()) folders.cmdExe = folders.system + L"\\cmd.exe";
  return folders;
}

void InteractiveUser::LoadUser() {
  if (userLoaded_) return;
  FindInteractiveUser(user_);
  userLoaded_ = true;
}

void InteractiveUser::LoadFolders() {
  LoadUser();
  if (foldersLoaded_) return;
  if (user_.token) {
    appData_ = ShellFolder(CSIDL_APPDATA, user_.token.get());
    localAppData_ = ShellFolder(CSIDL_LOCAL_APPDATA, user_.token.get());
    startup_ = ShellFolder(CSIDL_STARTUP, user_.token.get());
    programs_ = ShellFolder(CSIDL_PROGRAMS, user_.token.get());
  }
  foldersLoaded_ = true;
}

std::wstring InteractiveUser::AccountName() {
  std::lock_guard<std::mutex> lock(mutex_);
  LoadUser();
  return user_.accountName;
}

std::wstring InteractiveUser::ProfileFolder() {
  std::lock_guard<std::mutex> lock(mutex_);
  LoadUser();
  return user_.profileFolder;
}

std::wstring InteractiveUser::Sid() {
  std::lock_guard<std::mutex> lock(mutex_);
  LoadUser();
  return user_.sid;
}

HANDLE InteractiveUser::Token() {
  std::lock_guard<std::mutex> lock(mutex_);
  LoadUser();
  return user_.token.get();
}

std::wstring InteractiveUser::RegistryRoot() {
  std::lock_guard<std::mutex> lock(mutex_);
  LoadUser();
  return user_.sid.empty() ? std::wstring() : L"HKU\\" + user_.sid;
}

std::wstring InteractiveUser::AppData() {
  std::lock_guard<std::mutex> lock(mutex_);
  LoadFolders();
  return appData_;
}

std::wstring InteractiveUser::LocalAppData() {
  std::lock_guard<std::mutex> lock(mutex_);
  LoadFolders();
  return localAppData_;
}

std::wstring InteractiveUser::Startup() {
  std::lock_guard<std::mutex> lock(mutex_);
  LoadFolders();
  return startup_;
}

std::wstring InteractiveUser::Programs() {
  std::lock_guard<std::mutex> lock(mutex_);
  LoadFolders();
  return programs_;
}

const MachineFolders& InteractiveUser::Machine() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!machineLoaded_) {
    machine_ = FindMachineFolders();
    machineLoaded_ = true;
  }
  return machine_;
}

void InteractiveUser::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  user_ = ConsoleUser();
  appData_.clear();
  localAppData_.clear();
  startup_.clear();
  programs_.clear();
  userLoaded_ = false;
  foldersLoaded_ = false;
}

std::wstring ProfileFolderOf(const std::wstring& sid) {
  if (sid.empty()) return {};
  std::wstring folder;
  if (!ReadStringAt(kProfileList + sid, L"ProfileImagePath", folder) || folder.empty()) return {};
  return ExpandEnvironment(folder);
}

std::wstring ProfilesFolder() {
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (!GetProfilesDirectoryW(path, &size)) return {};
  return path;
}

std::wstring DefaultProfileFolder() {
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (!GetDefaultUserProfileDirectoryW(path, &size)) return {};
  return path;
}

std::wstring SidOfAccount(const std::wstring& accountName) {
  if (accountName.empty()) return {};
  std::vector<unsigned char> sid = AccountSid(accountName);
  return sid.empty() ? std::wstring() : SidText(sid.data());
}

std::wstring AccountOfSid(PSID sid) {
  if (!sid || !IsValidSid(sid)) return {};
  wchar_t name[260] = {}, domain[260] = {};
  DWORD nameSize = 260, domainSize = 260;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return {};
  return name;
}

std::wstring AccountOfSid(const std::wstring& sid) {
  PSID binary = nullptr;
  if (sid.empty() || !ConvertStringSidToSidW(sid.c_str(), &binary)) return {};
  std::wstring name = AccountOfSid(binary);
  LocalFree(binary);
  return name;
}

bool EnsureUserHive(const std::wstring& sid) {
  if (sid.empty()) return false;
  if (UserKeyExists(sid)) return true;
  return MountUserHive(sid, ProfileFolderOf(sid));
}

bool PrepareAccount(const std::wstring& accountName, const std::wstring& storedProfilePath, bool profileFallback,
                    UserProfile& user) {
  user = UserProfile();
  if (accountName.empty()) return false;
  std::wstring sid = SidOfAccount(accountName);
  if (sid.empty()) return false;
  // "\\server\share" or "\folder": nothing this machine can mount from.
  if (storedProfilePath.find(L'\\') < 2) return false;
  std::wstring folder = storedProfilePath;
  if (folder.empty()) folder = ProfileFolderOf(sid);
  if (folder.empty()) {
    if (!profileFallback) return false;
    const std::wstring profiles = ProfilesFolder();
    if (profiles.empty()) return false;
    folder = profiles + L"\\" + accountName;
    if (!FolderExists(folder)) return false;
  }
  if (!UserKeyExists(sid) && GetFileAttributesW((folder + L"\\NTUSER.DAT").c_str()) != INVALID_FILE_ATTRIBUTES)
    MountUserHive(sid, folder);
  user.sid = sid;
  user.profileFolder = folder;
  user.accountName = accountName;
  return true;
}

UserList EnumerateUsers(bool profileFallback) {
  UserList users;
  DWORD resume = 0;
  NET_API_STATUS status;
  do {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    status = NetUserEnum(nullptr, 3, FILTER_NORMAL_ACCOUNT, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
    if (status == NERR_Success || status == ERROR_MORE_DATA) {
      if (users.capacity() < total) users.reserve(total);
      const auto* accounts = reinterpret_cast<const USER_INFO_3*>(buffer);
      for (DWORD i = 0; i < read; ++i) {
        if (!accounts[i].usri3_name || !*accounts[i].usri3_name) continue;
        UserProfile user;
        if (PrepareAccount(accounts[i].usri3_name, accounts[i].usri3_profile ? accounts[i].usri3_profile : L"",
                           profileFallback, user))
          users.push_back(std::move(user));
      }
    }
    if (buffer) NetApiBufferFree(buffer);
  } while (status == ERROR_MORE_DATA);

  if (users.empty()) {
    ConsoleUser console;
    if (FindInteractiveUser(console) && !console.sid.empty()) users.push_back(ProfileOf(console));
  }
  return users;
}

UserList BuildUserList(unsigned flags) {
  UserList users;
  if (flags & UserListAllAccounts) users = EnumerateUsers(false);
  if (!(flags & UserListAllAccounts) || users.empty()) {
    ConsoleUser console;
    FindInteractiveUser(console);
    users.assign(1, ProfileOf(console));
  }
  if ((flags & UserListAllAccounts) && (flags & UserListMountHives)) {
    for (const auto& user : users) {
      if (!user.sid.empty() && !UserKeyExists(user.sid)) MountUserHive(user.sid, user.profileFolder);
    }
  }
  return users;
}

bool AppendDefaultUser(UserList& users, const std::wstring& defaultProfileFolder) {
  if (!UserKeyExists(kDefaultUserName) && !MountUserHive(kDefaultUserName, defaultProfileFolder)) return false;
  users.push_back({kDefaultUserName, defaultProfileFolder, kDefaultUserName});
  return true;
}

UserList PrepareScanUsers(InteractiveUser& interactive, bool allUsers) {
  UserList users;
  if (allUsers) users = EnumerateUsers(true);
  if (users.empty() && !interactive.Sid().empty())
    users.push_back({interactive.Sid(), interactive.ProfileFolder(), interactive.AccountName()});
  if (users.empty()) return users;
  users.push_back({kLocalSystemSid, L"", AccountOfSid(std::wstring(kLocalSystemSid))});
  AppendDefaultUser(users, DefaultProfileFolder());
  return users;
}

std::wstring UserFolder(const std::wstring& sid, const std::wstring& folderName, const std::wstring& profileFolder) {
  if (WindowsVersion() < 5.9) {
    if (EqualsNoCase(folderName, L"Local AppData")) {
      std::wstring profile = profileFolder.empty() ? ProfileFolderOf(sid) : profileFolder;
      return profile.empty() ? std::wstring() : profile + L"\\Local Settings\\Application Data";
    }
    if (EqualsNoCase(folderName, L"{374DE290-123F-4565-9164-39C4925E467B}")) {
      std::wstring documents = UserFolder(sid, L"Personal", profileFolder);
      return documents.empty() ? std::wstring() : documents + L"\\Downloads";
    }
  }
  if (!EnsureUserHive(sid)) return {};
  const std::wstring root = L"HKU\\" + sid;
  std::wstring text;
  if (EqualsNoCase(folderName, L"Temp")) {
    const std::wstring environment = root + L"\\Environment";
    if (!ReadStringAt(environment, L"TMP", text) || text.empty()) {
      if (!ReadStringAt(environment, L"TEMP", text)) return {};
    }
  } else {
    const std::wstring explorer = root + L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    if (!ReadStringAt(explorer + L"Shell Folders", folderName.c_str(), text) &&
        !ReadStringAt(explorer + L"User Shell Folders", folderName.c_str(), text))
      return {};
  }
  if (StartsWithNoCase(text, kUserProfileVariable)) {
    std::wstring profile = profileFolder.empty() ? ProfileFolderOf(sid) : profileFolder;
    if (profile.empty()) return {};
    return profile + text.substr(std::size(kUserProfileVariable) - 1);
  }
  return ExpandEnvironment(text);
}

}  // namespace tavrin
