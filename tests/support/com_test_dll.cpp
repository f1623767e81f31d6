// A DLL with a chosen set of registration entry points. Each entry point
// appends its name (and DllInstall its arguments) to the file named by the
// environment variable TAVRIN_TEST_COM_LOG, so a test sees what regsvr32
// called.
#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

namespace {

[[maybe_unused]] void Log(const std::wstring& line) {
  wchar_t path[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"TAVRIN_TEST_COM_LOG", path, MAX_PATH)) return;
  tavrin::UniqueFile file(
      CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::wstring text = line + L"\n";
  DWORD written = 0;
  WriteFile(file.get(), text.data(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
}

}  // namespace

extern "C" {

#ifdef EXPORT_REGISTER_SERVER
__declspec(dllexport) HRESULT DllRegisterServer() {
  Log(L"DllRegisterServer");
  return S_OK;
}
#endif

#ifdef EXPORT_INSTALL
__declspec(dllexport) HRESULT DllInstall(BOOL install, const wchar_t* commandLine) {
  Log(std::wstring(L"DllInstall ") + (install ? L"1" : L"0") + L" [" + (commandLine ? commandLine : L"") + L"]");
  return S_OK;
}
#endif

__declspec(dllexport) int Unrelated() { return 1; }

}
