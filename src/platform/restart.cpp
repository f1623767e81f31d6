#include "platform/restart.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tavrin {

namespace {

bool EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool ok = LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid) &&
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
            GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return ok;
}

bool WriteRestartMarker(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const char text[] = "restart 18\r\n";
  DWORD written = 0;
  WriteFile(file, text, sizeof text - 1, &written, nullptr);
  CloseHandle(file);
  return true;
}

}  // namespace

bool RestartComputer() {
  const DWORD length = GetEnvironmentVariableW(kRestartMarkerVariable, nullptr, 0);
  if (length > 1) {
    std::vector<wchar_t> marker(length);
    GetEnvironmentVariableW(kRestartMarkerVariable, marker.data(), length);
    return WriteRestartMarker(marker.data());
  }
  EnableShutdownPrivilege();
  return ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, 0) != FALSE;
}

}  // namespace tavrin
