#include "platform/loaded_modules.h"

#include <psapi.h>
#include <tlhelp32.h>

#include "platform/unique_handle.h"

namespace tavrin {

std::vector<DWORD> ListProcessIds() {
  std::vector<DWORD> ids(kMaxListedProcesses);
  DWORD bytes = 0;
  if (!K32EnumProcesses(ids.data(), DWORD(ids.size() * sizeof(DWORD)), &bytes)) return {};
  ids.resize(bytes / sizeof(DWORD));
  return ids;
}

std::vector<std::wstring> LoadedModulePaths(DWORD pid) {
  std::vector<std::wstring> paths;
  UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid));
  // A snapshot taken while the process is loading a module fails once with
  // ERROR_BAD_LENGTH; a second try sees a settled list.
  if (!snapshot && GetLastError() == ERROR_BAD_LENGTH)
    snapshot.reset(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid));
  if (!snapshot) return paths;
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Module32FirstW(snapshot.get(), &entry); more; more = Module32NextW(snapshot.get(), &entry)) {
    if (entry.szExePath[0] != L'\0') paths.emplace_back(entry.szExePath);
    entry.dwSize = sizeof(entry);
  }
  return paths;
}

}  // namespace tavrin
