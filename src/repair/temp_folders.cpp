#include "repair/temp_folders.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>

#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "repair/repair_actions.h"

namespace tavrin {

// The folder as it resolves, when it still is `base` + `part` and exists.
std::wstring RealTempFolder(const std::wstring& base, const std::wstring& part) {
  if (base.size() < 3 || !IsAbsolutePath(base)) return {};
  const std::wstring canonicalBase = CanonicalFilePath(base);
  const std::wstring folder = CanonicalFilePath(base + part);
  if (canonicalBase.empty() || !EqualsNoCase(folder, canonicalBase + part)) return {};
  // A link anywhere on the way below the base would lead the emptying
  // somewhere else.
  for (size_t at = canonicalBase.size() + 1; at <= folder.size(); ++at) {
    if (at < folder.size() && folder[at] != L'\\') continue;
    const DWORD attributes = GetFileAttributesW(LongPath(folder.substr(0, at)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return {};
  }
  return folder;
}

std::vector<std::wstring> TempFoldersToEmpty(const UserList& users, const std::wstring& commonAppData,
                                             const std::wstring& windowsFolder) {
  std::vector<std::wstring> folders;
  auto add = [&folders](const std::wstring& folder) {
    if (folder.empty()) return;
    for (const std::wstring& known : folders)
      if (EqualsNoCase(known, folder)) return;
    folders.push_back(folder);
  };
  for (const UserProfile& user : users) add(RealTempFolder(user.profileFolder, kProfileTempPart));
  add(RealTempFolder(commonAppData, L"\\Temp"));
  add(RealTempFolder(windowsFolder, L"\\Temp"));
  return folders;
}

int EmptyTempFolders(RepairContext& context) {
  ShowRepairStatus(context, L"Emptying the temporary folders...");
  if (CheckCancel(context)) return -1;
  // Measured before the recycle bin goes, so that what it held counts as
  // freed too.
  const unsigned long long before = FreeDiskSpace(context.systemDrive + L"\\");
  SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
  if (CheckCancel(context)) return -1;
  for (const std::wstring& folder : TempFoldersToEmpty(BuildUserList(UserListAllAccounts | UserListMountHives),
                                                       ShellFolder(CSIDL_COMMON_APPDATA), context.windowsFolder)) {
    if (CheckCancel(context)) return -1;
    // Files in use stay; permissions are never taken over here, so a file
    // that refuses deletion keeps the access list it had.
    RemoveFileObject(folder + L"\\*", RemovalKeepTopFolder);
    CreateFolderTree(folder);
  }
  const unsigned long long after = FreeDiskSpace(context.systemDrive + L"\\");
  const unsigned long long freed = after > before ? after - before : 0;
  RepairLog(context, L"Emptied the temporary folders, ", std::to_wstring(freed / (1024 * 1024)), L" MB freed.");
  // The bytes freed are the result; the removal reads 0 as a failure, and
  // emptying folders that held nothing is done all the same.
  return int(std::clamp<unsigned long long>(freed, 1, INT_MAX));
}

}  // namespace tavrin
