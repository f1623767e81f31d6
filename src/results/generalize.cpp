#include "results/generalize.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/shell_folders.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

bool Is64BitWindows() {
#if defined(_WIN64)
  return true;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

}  // namespace

GeneralizeFolders MachineGeneralizeFolders() {
  GeneralizeFolders folders;
  folders.is64Bit = Is64BitWindows();
  folders.programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
  folders.programFilesX86 = ShellFolder(CSIDL_PROGRAM_FILESX86);
  folders.windows = ShellFolder(CSIDL_WINDOWS);
  wchar_t drive[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    folders.systemDrive = drive;
  } else if (folders.windows.size() >= 2 && folders.windows[1] == L':') {
    folders.systemDrive = folders.windows.substr(0, 2);
  }
  return folders;
}

std::wstring GeneralizeItem(std::wstring_view item, const GeneralizeFolders& folders) {
  std::wstring text(item);
  if (text.empty()) return text;
  if (text.rfind(L"HKU\\", 0) == 0) {
    size_t second = text.find(L'\\', 4);
    if (second != std::wstring::npos) text.erase(0, second + 1);
    return text;
  }
  if (StartsWithNoCase(text, L"HK")) return text;

  const std::pair<const std::wstring*, const wchar_t*> order[] = {
      {&folders.appData, L"%AppData%"},
      {&folders.localAppData, L"%LocalAppData%"},
      {&folders.userProfile, L"%UserProfile%"},
      {&folders.programFiles, L"%ProgramFiles%"},
      {folders.is64Bit ? &folders.programFilesX86 : nullptr, L"%ProgramFiles(x86)%"},
      {&folders.windows, L"%WinDir%"},
  };
  for (const auto& [folder, placeholder] : order) {
    if (!folder) continue;
    // A folder given with a trailing backslash would leave the placeholder
    // without one ("%AppData%x.exe") and never match entries made without.
    std::wstring_view name = *folder;
    while (!name.empty() && name.back() == L'\\') name.remove_suffix(1);
    if (name.empty()) continue;
    size_t at = FindNoCase(text, name);
    if (at == std::wstring::npos) continue;
    text.replace(at, name.size(), placeholder);
    return text;
  }
  if (!folders.systemDrive.empty() && StartsWithNoCase(text, folders.systemDrive))
    text.replace(0, folders.systemDrive.size(), L"%SystemDrive%");
  return text;
}

}  // namespace tavrin
