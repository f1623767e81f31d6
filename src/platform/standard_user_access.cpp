#include "platform/standard_user_access.h"

#include <aclapi.h>

#include <vector>

#include "platform/unique_handle.h"

namespace tavrin {

namespace {

std::vector<unsigned char> RunningAccountSid() {
  UniqueToken token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  if (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) return {};
  const DWORD length = GetLengthSid(sid);
  const auto* bytes = static_cast<const unsigned char*>(sid);
  return std::vector<unsigned char>(bytes, bytes + length);
}

bool IsStandardAccount(PSID sid, const std::vector<unsigned char>& running) {
  if (!sid || !IsValidSid(sid)) return false;
  for (WELL_KNOWN_SID_TYPE type :
       {WinWorldSid, WinAuthenticatedUserSid, WinBuiltinUsersSid, WinInteractiveSid})
    if (IsWellKnownSid(sid, type)) return true;
  return !running.empty() && EqualSid(sid, PSID(running.data()));
}

DWORD WithGenericRights(DWORD mask) {
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  DWORD mapped = mask;
  MapGenericMask(&mapped, &mapping);
  return mask | mapped;
}

}  // namespace

bool StandardUsersMayChange(PSID owner, const ACL* dacl, DWORD rights) {
  const std::vector<unsigned char> running = RunningAccountSid();
  if (!dacl || IsStandardAccount(owner, running)) return true;
  // The specific rights asked for; an entry's generic rights are mapped to
  // specific ones before they are compared.
  const DWORD wanted = rights & ~DWORD(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(const_cast<ACL*>(dacl), i, reinterpret_cast<void**>(&header)) ||
        header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
      continue;
    const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    const PSID sid = PSID(const_cast<DWORD*>(&allowed->SidStart));
    if ((WithGenericRights(allowed->Mask) & wanted) && IsStandardAccount(sid, running)) return true;
  }
  return false;
}

bool StandardUsersMayChange(const std::wstring& path, DWORD rights) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return true;
  const bool changeable = StandardUsersMayChange(owner, dacl, rights);
  LocalFree(descriptor);
  return changeable;
}

}  // namespace tavrin
