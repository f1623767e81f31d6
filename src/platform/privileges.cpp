#include "platform/privileges.h"

#include <windows.h>

#include <mutex>

#include "platform/unique_handle.h"

namespace tavrin {

namespace {

const wchar_t* const kProcessPrivileges[] = {
    L"SeRestorePrivilege",       L"SeBackupPrivilege",          L"SeDebugPrivilege",
    L"SeSecurityPrivilege",      L"SeTakeOwnershipPrivilege",   L"SeImpersonatePrivilege",
    L"SeSystemProfilePrivilege", L"SeShutdownPrivilege",        L"SeIncreaseQuotaPrivilege",
    L"SeCreateSymbolicLinkPrivilege", L"SeManageVolumePrivilege",
};

// Every adjustment of the process token and the record of its first state
// are made under this lock.
std::mutex& TokenLock() {
  static std::mutex lock;
  return lock;
}

// The token's privileges as they were before the program's first
// adjustment, in the form AdjustTokenPrivileges takes; empty until then.
std::vector<unsigned char>& OriginalState() {
  static std::vector<unsigned char> state;
  return state;
}

UniqueToken OpenOwnToken(DWORD access) {
  UniqueToken token;
  if (!OpenProcessToken(GetCurrentProcess(), access, token.put())) return {};
  return token;
}

// Called with the lock held, before any adjustment.
void RecordOriginalState(HANDLE token) {
  std::vector<unsigned char>& original = OriginalState();
  if (!original.empty()) return;
  DWORD length = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &length);
  if (length < sizeof(TOKEN_PRIVILEGES)) return;
  std::vector<unsigned char> state(length);
  if (!GetTokenInformation(token, TokenPrivileges, state.data(), length, &length)) return;
  // Only the enabled bit is meant to be put back.
  auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(state.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
    privileges->Privileges[i].Attributes &= SE_PRIVILEGE_ENABLED;
  original = std::move(state);
}

// Applies `wanted`; on success `previous` holds what it changed.
bool Adjust(HANDLE token, const TOKEN_PRIVILEGES* wanted, size_t wantedSize, std::vector<unsigned char>& previous) {
  previous.assign(wantedSize, 0);
  DWORD length = 0;
  if (!AdjustTokenPrivileges(token, FALSE, const_cast<TOKEN_PRIVILEGES*>(wanted), DWORD(previous.size()),
                             reinterpret_cast<TOKEN_PRIVILEGES*>(previous.data()), &length)) {
    previous.clear();
    return false;
  }
  return true;
}

void Reapply(HANDLE token, std::vector<unsigned char>& state) {
  if (state.size() >= sizeof(DWORD))
    AdjustTokenPrivileges(token, FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(state.data()), 0, nullptr, nullptr);
  state.clear();
}

}  // namespace

PrivilegeState EnablePrivileges() {
  PrivilegeState state;
  UniqueToken token = OpenOwnToken(TOKEN_ALL_ACCESS);
  if (!token) return state;
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
  std::lock_guard<std::mutex> lock(TokenLock());
  RecordOriginalState(token.get());
  state.valid = Adjust(token.get(), privileges, request.size(), state.previous);
  return state;
}

void RestorePrivileges(PrivilegeState& state) {
  if (state.valid) {
    std::lock_guard<std::mutex> lock(TokenLock());
    if (UniqueToken token = OpenOwnToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY)) Reapply(token.get(), state.previous);
  }
  state.previous.clear();
  state.valid = false;
}

bool EnablePrivilege(const wchar_t* name) {
  TOKEN_PRIVILEGES privilege{};
  privilege.PrivilegeCount = 1;
  privilege.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, name, &privilege.Privileges[0].Luid)) return false;
  UniqueToken token = OpenOwnToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
  if (!token) return false;
  std::lock_guard<std::mutex> lock(TokenLock());
  RecordOriginalState(token.get());
  // A privilege the token does not hold is "adjusted" with ERROR_NOT_ALL_ASSIGNED.
  return AdjustTokenPrivileges(token.get(), FALSE, &privilege, 0, nullptr, nullptr) &&
         GetLastError() == ERROR_SUCCESS;
}

OriginalPrivilegesScope::OriginalPrivilegesScope() {
  TokenLock().lock();
  const std::vector<unsigned char>& original = OriginalState();
  if (original.empty()) return;  // nothing was ever changed
  if (UniqueToken token = OpenOwnToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY))
    Adjust(token.get(), reinterpret_cast<const TOKEN_PRIVILEGES*>(original.data()), original.size(), changed_);
}

OriginalPrivilegesScope::~OriginalPrivilegesScope() {
  // The caller reads why its process creation failed after this.
  const DWORD error = GetLastError();
  if (!changed_.empty()) {
    if (UniqueToken token = OpenOwnToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY)) Reapply(token.get(), changed_);
  }
  TokenLock().unlock();
  SetLastError(error);
}

}  // namespace tavrin
