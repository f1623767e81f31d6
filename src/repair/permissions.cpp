// The reset of the access to the installer's folder and key, the temporary
// folders and the users' hive files. Each list restores what Windows gives
// these objects and inherits from their parents; none grants more than
// Windows does (nobody but the administrators, the system and the owning
// user gets full control).
#include <windows.h>

#include <vector>

#include "platform/access_list.h"
#include "platform/file_system.h"
#include "platform/registry_unlock.h"
#include "platform/strings.h"
#include "repair/immunisation.h"
#include "repair/permissions.h"
#include "repair/repair_actions.h"
#include "repair/repair_values.h"
#include "repair/temp_folders.h"

namespace tavrin {

namespace {

constexpr DWORD kFilesAndFolders = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
constexpr DWORD kAddFilesAndFolders = 0x20000006;  // execute, add file, add subfolder

void AddAppPackages(RepairContext& context, std::vector<AccessEntry>& entries, DWORD rights, DWORD inherit) {
  if (context.windowsVersion <= 6.1) return;
  entries.push_back({kSidAllAppPackages, rights, inherit});
  entries.push_back({kSidAllRestrictedAppPackages, rights, inherit});
}

bool ResetFolder(const std::wstring& folder, const std::vector<AccessEntry>& entries) {
  return FolderExists(folder) && ApplyPermissionReset(folder, SE_FILE_OBJECT, entries);
}

}  // namespace

bool ResetInstallerAccess(RepairContext& context) {
  const std::vector<AccessEntry> folder = {{kSidAdministrators, GENERIC_ALL, kFilesAndFolders},
                                           {kSidLocalSystem, GENERIC_ALL, kFilesAndFolders},
                                           {kSidEveryone, GENERIC_READ | GENERIC_EXECUTE, kFilesAndFolders}};
  if (!ResetFolder(context.windowsFolder + L"\\Installer", folder)) return false;
  const std::wstring key = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
  std::vector<AccessEntry> keyEntries = {{kSidAdministrators, GENERIC_ALL, CONTAINER_INHERIT_ACE},
                                         {kSidLocalSystem, GENERIC_ALL, CONTAINER_INHERIT_ACE},
                                         {L"S-1-3-0", GENERIC_ALL, CONTAINER_INHERIT_ACE},
                                         {kSidUsers, GENERIC_READ, CONTAINER_INHERIT_ACE}};
  AddAppPackages(context, keyEntries, GENERIC_READ, CONTAINER_INHERIT_ACE);
  const std::optional<std::wstring> name = SecurityObjectName(key);
  if (!name || !ApplyPermissionReset(*name, SE_REGISTRY_KEY, keyEntries)) return false;
  SetDword(std::wstring(kCompanionToolKey) + L"\\SmartUninstaller", L"InstallerUnlocked", 1, false);
  return true;
}

std::wstring OwnTempFolderToReset(RepairContext& context) {
  // Only the temporary folder the emptying accepts: a TMP or TEMP value is
  // anybody's to point at a folder whose access list must stay as it is.
  return context.interactiveUser ? RealTempFolder(context.interactiveUser->ProfileFolder(), kProfileTempPart) : L"";
}

bool ResetTempFolderAccess(RepairContext& context) {
  const std::vector<AccessEntry> windowsTemp = {{kSidAdministrators, GENERIC_ALL, kFilesAndFolders},
                                                {kSidLocalSystem, GENERIC_ALL, kFilesAndFolders},
                                                {L"S-1-3-0", GENERIC_ALL, kFilesAndFolders},
                                                {kSidEveryone, kAddFilesAndFolders, kFilesAndFolders}};
  const std::wstring windowsTempFolder = RealTempFolder(context.windowsFolder, L"\\Temp");
  if (windowsTempFolder.empty() || !ResetFolder(windowsTempFolder, windowsTemp)) return false;
  const std::wstring temp = OwnTempFolderToReset(context);
  if (temp.empty()) return false;
  // The running account's own temporary folder: its owner and the system,
  // never everybody.
  std::vector<AccessEntry> own = {{kSidAdministrators, GENERIC_ALL, kFilesAndFolders},
                                  {kSidLocalSystem, GENERIC_ALL, kFilesAndFolders}};
  const std::wstring sid = InteractiveSid(context);
  if (!sid.empty()) own.push_back({sid, GENERIC_ALL, kFilesAndFolders});
  AddAppPackages(context, own, GENERIC_READ | GENERIC_EXECUTE, kFilesAndFolders);
  return ResetFolder(temp, own);
}

namespace {

void ResetHiveFiles(const std::wstring& profile, const std::wstring& owner) {
  if (profile.empty()) return;
  std::vector<AccessEntry> entries = {{kSidAdministrators, GENERIC_ALL, 0}, {kSidLocalSystem, GENERIC_ALL, 0}};
  if (!owner.empty()) entries.push_back({owner, GENERIC_ALL, 0});
  for (const wchar_t* file : {L"\\NTUSER.DAT", L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"}) {
    const std::wstring path = profile + file;
    if (FileExists(path)) ApplyAccessList(path, SE_FILE_OBJECT, entries, owner.empty() ? kSidAdministrators : owner, 0);
  }
}

}  // namespace

int ResetPermissions(RepairContext& context) {
  ShowRepairStatus(context, L"Resetting the access to the registry and user folders...");
  if (CheckCancel(context)) return -1;
  const bool installer = ResetInstallerAccess(context);
  if (CheckCancel(context)) return -1;
  const bool temp = ResetTempFolderAccess(context);
  if (CheckCancel(context)) return -1;
  for (const UserProfile& user : BuildUserList(UserListAllAccounts | UserListMountHives))
    ResetHiveFiles(user.profileFolder, user.sid);
  ResetHiveFiles(DefaultProfileFolder(), {});
  SetDword(std::wstring(kCompanionToolKey) + L" backups", L"HivePermissionsChecked", 1, false);
  if (!installer && !temp) {
    RepairLog(context, L"Failed to reset access to the registry and user folders.");
    return 0;
  }
  RepairLog(context, L"Successfully reset access to the registry and user folders.");
  return 1;
}

}  // namespace tavrin
