// A small program the tests start as a child process. Modes:
//   wait MS              sleep, then exit 0
//   exit CODE            exit with that code
//   hold PATH MS         open PATH without delete sharing, create PATH.held,
//                        sleep, exit 0
//   privilege NAME       exit 1 when the privilege is enabled in the token,
//                        0 when not, 2 when it cannot be read
//   privileges           exit with the sum of 1 (backup), 2 (restore),
//                        4 (debug) and 8 (take ownership) for those enabled,
//                        or 16 when the token cannot be read
//   cmdline OUTPUT       write the process's command line to OUTPUT (UTF-16)
//   deleteself           remove its own executable and exit
#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/processes.h"
#include "platform/unique_handle.h"

namespace {

int Hold(const wchar_t* path, DWORD ms) {
  tavrin::UniqueFile file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 3;
  const std::wstring marker = std::wstring(path) + L".held";
  tavrin::UniqueFile(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  Sleep(ms);
  return 0;
}

int PrivilegeEnabled(const wchar_t* name) {
  LUID luid;
  tavrin::UniqueToken token;
  if (!LookupPrivilegeValueW(nullptr, name, &luid) || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
    return 2;
  PRIVILEGE_SET set{};
  set.PrivilegeCount = 1;
  set.Control = PRIVILEGE_SET_ALL_NECESSARY;
  set.Privilege[0].Luid = luid;
  BOOL enabled = FALSE;
  BOOL ok = PrivilegeCheck(token.get(), &set, &enabled);
  return ok ? (enabled ? 1 : 0) : 2;
}

int EnabledPowerfulPrivileges() {
  int sum = 0;
  int bit = 1;
  for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME, SE_DEBUG_NAME, SE_TAKE_OWNERSHIP_NAME}) {
    const int enabled = PrivilegeEnabled(name);
    if (enabled == 2) return 16;
    if (enabled == 1) sum += bit;
    bit *= 2;
  }
  return sum;
}

int WriteCommandLine(const wchar_t* path) {
  const wchar_t* line = GetCommandLineW();
  tavrin::UniqueFile file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 3;
  DWORD written = 0;
  WriteFile(file.get(), line, DWORD(wcslen(line) * sizeof(wchar_t)), &written, nullptr);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 100;
  const std::wstring mode = argv[1];
  if (mode == L"wait" && argc >= 3) {
    Sleep(wcstoul(argv[2], nullptr, 10));
    return 0;
  }
  if (mode == L"exit" && argc >= 3) return int(wcstoul(argv[2], nullptr, 10));
  if (mode == L"hold" && argc >= 4) return Hold(argv[2], wcstoul(argv[3], nullptr, 10));
  if (mode == L"privilege" && argc >= 3) return PrivilegeEnabled(argv[2]);
  if (mode == L"privileges") return EnabledPowerfulPrivileges();
  if (mode == L"cmdline" && argc >= 3) return WriteCommandLine(argv[2]);
  if (mode == L"deleteself") tavrin::DeleteSelfAndExit();
  return 100;
}
