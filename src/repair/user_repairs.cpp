// Repairs of the users' own settings: the hung-application time-out and
// profiles that Windows replaced by a temporary one.
#include <windows.h>

#include "platform/access_list.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "repair/repair_actions.h"
#include "repair/repair_values.h"
#include "repair/user_repairs.h"

namespace tavrin {

namespace {

constexpr wchar_t kProfileList[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

std::wstring ExpandedPath(const std::wstring& text) {
  wchar_t buffer[4096] = {};
  const DWORD length = ExpandEnvironmentStringsW(text.c_str(), buffer, 4096);
  return length > 0 && length <= 4096 ? std::wstring(buffer) : text;
}

unsigned long long FolderBytes(const std::wstring& folder, int depth = 0) {
  if (depth > 64) return 0;
  unsigned long long total = 0;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(LongPath(folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      total += FolderBytes(folder + L"\\" + name, depth + 1);
    else
      total += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return total;
}

}  // namespace

std::wstring ComputerNameText() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 2] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

ProfileRepair RepairProfileEntry(const std::wstring& profileList, const std::wstring& subkey,
                                 const std::wstring& computerName) {
  if (!EndsWithNoCase(subkey, L".bak") || subkey.size() <= 4) return ProfileRepair::NotHandled;
  const std::wstring bakKey = profileList + L"\\" + subkey;
  const std::wstring currentKey = profileList + L"\\" + subkey.substr(0, subkey.size() - 4);
  if (!KeyExists(currentKey)) return ProfileRepair::NotHandled;
  const std::wstring bakPath = ExpandedPath(ReadStringAt(bakKey, L"ProfileImagePath").value_or(L""));
  const std::wstring currentPath = ExpandedPath(ReadStringAt(currentKey, L"ProfileImagePath").value_or(L""));
  if (bakPath.empty() || !IsAbsolutePath(bakPath) || !FolderExists(bakPath)) {
    DeleteForRepair(bakKey);
    return ProfileRepair::StaleRemoved;
  }
  const bool temporary = EndsWithNoCase(currentPath, L"\\TEMP") ||
                         (!computerName.empty() && FindNoCase(currentPath, L"\\TEMP." + computerName) != std::wstring::npos);
  if (!EqualsNoCase(bakPath, currentPath) && !temporary && FolderBytes(currentPath) > FolderBytes(bakPath)) {
    // The current profile holds more: it is the one the user works in.
    DeleteForRepair(bakKey);
    return ProfileRepair::StaleRemoved;
  }
  if (CopyKey(bakKey, currentKey) == 0) return ProfileRepair::Failed;
  DeleteForRepair(bakKey);
  const bool written = SetDword(currentKey, L"RefCount", 0, true) && SetDword(currentKey, L"State", 0, true);
  // The profile's hive files belong to their user again.
  const std::wstring sid = subkey.substr(0, subkey.size() - 4);
  const std::vector<AccessEntry> entries = {
      {kSidAdministrators, GENERIC_ALL, 0}, {kSidLocalSystem, GENERIC_ALL, 0}, {sid, GENERIC_ALL, 0}};
  for (const wchar_t* file : {L"\\NTUSER.DAT", L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"})
    if (FileExists(bakPath + file)) ApplyAccessList(bakPath + file, SE_FILE_OBJECT, entries, kSidAdministrators, 0);
  return written ? ProfileRepair::Fixed : ProfileRepair::Failed;
}

int RepairUserProfiles(RepairContext& context) {
  ShowRepairStatus(context, L"Fixing corrupted user profiles...");
  if (CheckCancel(context)) return -1;
  std::vector<std::wstring> subkeys;
  {
    RegKey list = OpenKey(kProfileList, kRegRead);
    subkeys = SubKeyNames(list);
  }
  const std::wstring computer = ComputerNameText();
  int fixed = 0;
  for (size_t i = subkeys.size(); i-- > 0;) {
    if (CheckCancel(context)) return -1;
    const ProfileRepair outcome = RepairProfileEntry(kProfileList, subkeys[i], computer);
    if (outcome == ProfileRepair::Fixed) ++fixed;
  }
  RepairLog(context, std::to_wstring(fixed), fixed == 1 ? L" corrupted user profile" : L" corrupted user profiles",
            L" successfully fixed.");
  // The count is the result, so with nothing fixed the removal report says
  // the action failed.
  return fixed;
}

int RaiseHungAppTimeout(RepairContext& context) {
  ShowRepairStatus(context, L"Fixing the \"App not responding\" message too soon...");
  if (CheckCancel(context)) return -1;
  int written = 0;
  for (const UserProfile& user : BuildUserList(UserListAllAccounts)) {
    if (user.sid.empty() || !EnsureUserHive(user.sid)) continue;
    if (SetValueOf(L"HKU\\" + user.sid + L"\\Control Panel\\Desktop", L"HungAppTimeout", REG_SZ, L"12000", true))
      ++written;
  }
  if (written == 0) {
    RepairLog(context, L"Failed to increase the \"Hung Application\" timeout for all users.");
    return 0;
  }
  RepairLog(context, L"Successfully increased the \"Hung Application\" timeout to 12 seconds for all users.");
  return written;
}

}  // namespace tavrin
