// A program named like a console tool of Windows (netsh.exe, cmd.exe ...)
// that the tests put where a tool found by name would come from: when it
// ever runs, it leaves its own path + ".ran" and ends.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  const std::wstring marker = std::wstring(path) + L".ran";
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return 0;
}
