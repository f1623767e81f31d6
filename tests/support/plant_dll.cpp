// A DLL named like one of Windows (srclient.dll, version.dll ...) that the
// tests put beside the program and in its working folder: when it is ever
// loaded, it leaves its own path + ".loaded". It exports the restore-point
// call so that a program that loads it by name also finds what it looks for.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  const std::wstring marker = std::wstring(path) + L".loaded";
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI SRSetRestorePointW(void*, void*) { return FALSE; }
