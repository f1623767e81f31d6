#include "repair/immunisation.h"

#include <vector>

#include "platform/access_list.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/registry_unlock.h"

namespace tavrin {

namespace {

constexpr int kApplyAttempts = 4;

struct LockedObject {
  std::wstring path;
  unsigned protectFlags;
  unsigned unprotectFlags;
};

std::vector<LockedObject> ObjectsOf(RepairContext& context, int category, const UserList& users) {
  std::vector<LockedObject> objects;
  switch (category) {
    case kImmunizedPolicies:
      objects.push_back({context.systemFolder + L"\\GroupPolicy", 9, 0});
      objects.push_back({L"HKLM\\SOFTWARE\\Policies", 13, 4});
      objects.push_back({L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies", 13, 4});
      if (context.is64Bit) {
        objects.push_back({L"HKLM\\SOFTWARE\\Wow6432Node\\Policies", 13, 12});
        objects.push_back({L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies", 13, 12});
      }
      for (const UserProfile& user : users) {
        if (user.sid.empty()) continue;
        objects.push_back({L"HKU\\" + user.sid + L"\\Software\\Policies", 13, 12});
        objects.push_back({L"HKU\\" + user.sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies", 13, 12});
      }
      break;
    case kImmunizedHosts:
      objects.push_back({context.systemFolder + L"\\drivers\\etc", 1, 0});
      break;
    case kImmunizedSubSystems:
      objects.push_back({L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems", 13, 12});
      break;
    default:
      break;
  }
  return objects;
}

}  // namespace

bool ListsCategory(std::wstring_view immunized, int category) {
  const std::wstring all = L"|" + std::wstring(immunized) + L"|";
  return all.find(L"|" + std::to_wstring(category) + L"|") != std::wstring::npos;
}

bool SetObjectLock(RepairContext& context, const std::wstring& object, unsigned flags) {
  const bool key = flags & LockRegistryKey;
  const bool protect = flags & LockProtect;
  const DWORD inherit = key ? CONTAINER_INHERIT_ACE : (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  const DWORD readRights = key ? GENERIC_READ : (GENERIC_READ | GENERIC_EXECUTE);
  std::wstring name = object;
  if (key) {
    if (!KeyExists(object) && !CreateKey(object)) return false;
    const std::optional<std::wstring> securityName = SecurityObjectName(object);
    if (!securityName) return false;
    name = *securityName;
  } else if (!FileExists(object) && !FolderExists(object)) {
    return false;
  }
  std::vector<AccessEntry> entries = {{kSidLocalSystem, GENERIC_ALL, inherit}};
  if (context.windowsVersion > 6.1) {
    entries.push_back({kSidAllAppPackages, readRights, inherit});
    entries.push_back({kSidAllRestrictedAppPackages, readRights, inherit});
  }
  if (context.windowsVersion >= 6.0) entries.push_back({kSidTrustedInstaller, GENERIC_ALL, inherit});
  if (protect) {
    entries.push_back({kSidEveryone, readRights, inherit});
    DWORD denied = WRITE_DAC | WRITE_OWNER;
    if (flags & LockStrict) denied = key ? 0xC0006 : 0xD0102;
    entries.push_back({kSidEveryone, denied, inherit, true});
  } else {
    entries.push_back({kSidAdministrators, GENERIC_ALL, inherit});
  }
  unsigned how = protect ? unsigned(ApplyProtected) : 0u;
  // A file is locked alone; a tree only below a folder or a key.
  if ((flags & LockTree) && (key || FolderExists(object))) how |= ApplyTree;
  const SE_OBJECT_TYPE type = key ? SE_REGISTRY_KEY : SE_FILE_OBJECT;
  for (int attempt = 0; attempt < kApplyAttempts; ++attempt) {
    if (ApplyAccessList(name, type, entries, kSidAdministrators, how) == ERROR_SUCCESS) return true;
    ApplyAccessList(name, type, {}, kSidAdministrators, ApplyOwnerOnly);
  }
  return false;
}

int ApplyProtection(RepairContext& context, int category, bool protect, const UserList& users) {
  int done = 0;
  for (const LockedObject& object : ObjectsOf(context, category, users))
    done += SetObjectLock(context, object.path, protect ? object.protectFlags : object.unprotectFlags) ? 1 : 0;
  return done;
}

std::optional<UserList> LiftProtection(RepairContext& context, int category) {
  const std::wstring records = std::wstring(kCompanionToolKey) + L"\\Immunization";
  const std::optional<std::wstring> immunized = ReadStringAt(records, L"Immunized");
  if (!immunized || !ListsCategory(*immunized, category)) return std::nullopt;
  DWORD allUsers = 0;
  ReadDwordAt(records, L"ImmunizeAllUsers", allUsers);
  UserList users = BuildUserList(allUsers ? (UserListAllAccounts | UserListMountHives) : UserListMountHives);
  if (ApplyProtection(context, category, false, users) == 0) return std::nullopt;
  return users;
}

}  // namespace tavrin
