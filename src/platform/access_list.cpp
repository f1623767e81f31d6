#include "platform/access_list.h"

#include <sddl.h>

#include "platform/windows_version.h"

namespace tavrin {

std::vector<unsigned char> TrusteeSid(const std::wstring& trustee) {
  std::vector<unsigned char> sid;
  if (trustee.empty()) return sid;
  PSID converted = nullptr;
  if (trustee.rfind(L"S-", 0) == 0 && ConvertStringSidToSidW(trustee.c_str(), &converted)) {
    const unsigned char* bytes = static_cast<const unsigned char*>(converted);
    sid.assign(bytes, bytes + GetLengthSid(converted));
    LocalFree(converted);
    return sid;
  }
  DWORD sidSize = 0, domainSize = 0;
  SID_NAME_USE use;
  LookupAccountNameW(nullptr, trustee.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
  if (sidSize == 0) return sid;
  sid.resize(sidSize);
  std::wstring domain(domainSize + 1, L'\0');
  if (!LookupAccountNameW(nullptr, trustee.c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use))
    sid.clear();
  return sid;
}

bool BuildAccessList(const std::vector<AccessEntry>& entries, std::vector<unsigned char>& acl) {
  acl.clear();
  std::vector<std::vector<unsigned char>> sids;
  DWORD size = sizeof(ACL);
  for (const auto& entry : entries) {
    sids.push_back(TrusteeSid(entry.trustee));
    if (sids.back().empty()) return false;
    size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + DWORD(sids.back().size());
  }
  size = (size + 3) & ~DWORD(3);
  std::vector<unsigned char> built(size);
  auto* list = reinterpret_cast<ACL*>(built.data());
  if (!InitializeAcl(list, size, ACL_REVISION)) return false;
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& entry = entries[i];
    BOOL added = entry.deny ? AddAccessDeniedAceEx(list, ACL_REVISION, entry.inheritance, entry.mask, sids[i].data())
                            : AddAccessAllowedAceEx(list, ACL_REVISION, entry.inheritance, entry.mask, sids[i].data());
    if (!added) return false;
  }
  if (!IsValidAcl(list)) return false;
  acl = std::move(built);
  return true;
}

DWORD ApplyAccessList(const std::wstring& objectName, SE_OBJECT_TYPE type, const std::vector<AccessEntry>& entries,
                      const std::wstring& owner, unsigned how) {
  std::vector<unsigned char> ownerSid = TrusteeSid(owner);
  if (!owner.empty() && ownerSid.empty()) return ERROR_INVALID_PARAMETER;
  std::vector<unsigned char> acl;
  if (!(how & ApplyOwnerOnly) && !BuildAccessList(entries, acl)) return ERROR_INVALID_PARAMETER;

  SECURITY_INFORMATION info = 0;
  if (!ownerSid.empty()) info |= OWNER_SECURITY_INFORMATION;
  if (!(how & ApplyOwnerOnly)) {
    info |= DACL_SECURITY_INFORMATION;
    info |= (how & ApplyProtected) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
  }
  PSID ownerPtr = ownerSid.empty() ? nullptr : ownerSid.data();
  PACL aclPtr = acl.empty() ? nullptr : reinterpret_cast<PACL>(acl.data());
  std::wstring name = objectName;
  if (how & ApplyTree) {
    DWORD status = TreeResetNamedSecurityInfoW(name.data(), type, info, ownerPtr, nullptr, aclPtr, nullptr, FALSE,
                                               nullptr, ProgressInvokeNever, nullptr);
    // The object itself is set once more on its own: some platforms report a
    // tree reset as done without changing anything (Wine), and where the
    // tree reset is missing altogether what lies below inherits the list.
    if (status != ERROR_SUCCESS && status != ERROR_CALL_NOT_IMPLEMENTED) return status;
  }
  return SetNamedSecurityInfoW(name.data(), type, info, ownerPtr, nullptr, aclPtr, nullptr);
}

std::vector<AccessEntry> PermissionResetEntries(PermissionTarget target, const std::wstring& extraOwner,
                                                double windowsVersion) {
  constexpr DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  std::vector<AccessEntry> entries = {
      {kSidAdministrators, GENERIC_ALL, inherit},
      {kSidLocalSystem, GENERIC_ALL, inherit},
      {kSidEveryone, GENERIC_ALL, inherit},
      {kSidUsers, GENERIC_ALL, inherit},
  };
  if (windowsVersion > 5.3) entries.push_back({kSidTrustedInstaller, GENERIC_ALL, inherit});
  if (windowsVersion > 6.1) {
    const DWORD packageAccess =
        target == PermissionTarget::RegistryKey ? GENERIC_READ : (GENERIC_READ | GENERIC_EXECUTE);
    entries.push_back({kSidAllAppPackages, packageAccess, inherit});
    entries.push_back({kSidAllRestrictedAppPackages, packageAccess, inherit});
  }
  if (!extraOwner.empty()) entries.push_back({extraOwner, GENERIC_ALL, inherit});
  return entries;
}

std::vector<AccessEntry> PermissionResetEntries(PermissionTarget target, const std::wstring& extraOwner) {
  return PermissionResetEntries(target, extraOwner, WindowsVersion());
}

bool ApplyPermissionReset(const std::wstring& objectName, SE_OBJECT_TYPE type, const std::vector<AccessEntry>& entries,
                          const std::wstring& owner) {
  unsigned how = ApplyTree;
  if (type == SE_FILE_OBJECT) {
    DWORD attributes = GetFileAttributesW(objectName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) how = 0;
  }
  const std::wstring& objectOwner = owner.empty() ? std::wstring(kSidAdministrators) : owner;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (ApplyAccessList(objectName, type, entries, objectOwner, how) == ERROR_SUCCESS) return true;
  }
  return false;
}

}  // namespace tavrin
