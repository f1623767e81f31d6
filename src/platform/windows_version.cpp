#include "platform/windows_version.h"

#include <windows.h>

namespace tavrin {

double WindowsVersionNumber(unsigned major, unsigned minor, unsigned build) {
  if (major == 10 && minor == 0 && build >= 22000) return 11.0;
  return major + minor / 10.0;
}

double WindowsVersion() {
  static const double version = [] {
    // GetVersionEx lies to programs without a compatibility manifest;
    // RtlGetVersion does not.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                                     reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                               : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) return 0.0;
    return WindowsVersionNumber(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
  }();
  return version;
}

}  // namespace tavrin
