#include "browsers/user_folder_fragments.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/file_system.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"

namespace tavrin {

std::wstring FragmentBelow(const std::wstring& folder, const std::wstring& profileFolder,
                           const std::wstring& fallback) {
  std::wstring profile = profileFolder;
  while (!profile.empty() && profile.back() == L'\\') profile.pop_back();
  if (profile.empty() || folder.size() <= profile.size() + 1 || !StartsWithNoCase(folder, profile) ||
      folder[profile.size()] != L'\\')
    return fallback;
  std::wstring tail = folder.substr(profile.size());
  while (tail.size() > 1 && tail.back() == L'\\') tail.pop_back();
  return tail;
}

UserFolderFragments ComputeUserFolderFragments() {
  UserFolderFragments f;
  const std::wstring profile = ShellFolder(CSIDL_PROFILE);
  f.localAppData = FragmentBelow(ShellFolder(CSIDL_LOCAL_APPDATA), profile, L"\\AppData\\Local");
  f.roamingAppData = FragmentBelow(ShellFolder(CSIDL_APPDATA), profile, L"\\AppData\\Roaming");
  f.desktop = FragmentBelow(ShellFolder(CSIDL_DESKTOPDIRECTORY), profile, L"\\Desktop");
  f.programs = FragmentBelow(ShellFolder(CSIDL_PROGRAMS), profile,
                             L"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
  f.commonDesktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  f.commonPrograms = ShellFolder(CSIDL_COMMON_PROGRAMS);
  ProgramFiles programFiles = ProgramFilesFolders();
  f.programFiles = programFiles.native;
  f.programFilesX86 = programFiles.x86;
  return f;
}

}  // namespace tavrin
