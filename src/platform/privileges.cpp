#include "platform/privileges.h"

#include <windows.h>

namespace tavrin {

namespace {

const wchar_t* const kProcessPrivileges[] = {
    L"SeRestorePrivilege",       L"SeBackupPrivilege",          L"SeDebugPrivilege",
    L"SeSecurityPrivilege",      L"SeTakeOwnershipPrivilege",   L"SeImpersonatePrivilege",
    L"SeSystemProfilePrivilege", L"SeShutdownPrivilege",        L"SeIncreaseQuotaPrivilege",
    L"SeCreateSymbolicLinkPrivilege", L"SeManageVolumePrivilege",
};

}  // namespace

PrivilegeState EnablePrivileges() {
  PrivilegeState state;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token)) return state;
  constexpr size_t count = sizeof kProcessPrivileges / sizeof kProcessPrivileges[0];
  std::vector<unsigned char> request(sizeof(TOKEN_PRIVILEGES) + count * sizeof(LUID_AND_ATTRIBUTES));
  auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(request.data());
  DWORD n = 0;
  for (const wchar_t* name : kProcessPrivileges) {
    LUID luid;
    if (!LookupPrivilegeValueW(nullptr, name, &luid)) continue;
    privileges->Privileges[n].Luid = luid;
    privileges->Privileges[n].Attributes = SE_PRIVILEGE_ENABLED;
    ++n;
  }
  privileges->PrivilegeCount = n;
  state.previous.resize(request.size());
  DWORD previousLength = 0;
  if (AdjustTokenPrivileges(token, FALSE, privileges, DWORD(state.previous.size()),
                            reinterpret_cast<TOKEN_PRIVILEGES*>(state.previous.data()), &previousLength)) {
    state.valid = true;
  } else {
    state.previous.clear();
  }
  CloseHandle(token);
  return state;
}

void RestorePrivileges(PrivilegeState& state) {
  if (state.valid) {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      AdjustTokenPrivileges(token, FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(state.previous.data()), 0, nullptr,
                            nullptr);
      CloseHandle(token);
    }
  }
  state.previous.clear();
  state.valid = false;
}

}  // namespace tavrin
