#pragma once
// The values of the Session Manager's "SubSystems" key as Windows installs
// them, by Windows version and bitness.
#include <windows.h>

#include <string>
#include <vector>

namespace tavrin {

struct SubSystemsValue {
  const wchar_t* name;  // "" for the default value
  DWORD type;
  std::wstring data;    // REG_MULTI_SZ in the line-feed form
};

// "Windows", the client-server runtime's command line.
std::wstring SubSystemsWindowsCommand(double windowsVersion, bool is64Bit);
std::vector<SubSystemsValue> SubSystemsDefaults(double windowsVersion, bool is64Bit);

}  // namespace tavrin
