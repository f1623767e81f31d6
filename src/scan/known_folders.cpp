#include "scan/known_folders.h"

#include <shlobj.h>

#include "platform/file_system.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"

namespace tavrin {

std::wstring RelativeToProfile(const std::wstring& folder, const std::wstring& profile) {
  if (profile.empty() || folder.size() <= profile.size() || !StartsWithNoCase(folder, profile) ||
      folder[profile.size()] != L'\\')
    return {};
  return folder.substr(profile.size());
}

KnownFolders ResolveKnownFolders(HANDLE userToken, const std::wstring& profileFolder) {
  KnownFolders k;
  k.profile = profileFolder.empty() ? ShellFolder(CSIDL_PROFILE, userToken) : profileFolder;
  UserFolders& u = k.user;
  u.appData = ShellFolder(CSIDL_APPDATA, userToken);
  u.localAppData = ShellFolder(CSIDL_LOCAL_APPDATA, userToken);
  u.programs = ShellFolder(CSIDL_PROGRAMS, userToken);
  u.desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY, userToken);
  u.startup = ShellFolder(CSIDL_STARTUP, userToken);
  u.documents = ShellFolder(CSIDL_PERSONAL, userToken);
  u.temp = ExpandForUser(L"%TEMP%", userToken);
  if (!k.profile.empty()) u.localLow = k.profile + L"\\AppData\\LocalLow";
  if (!u.appData.empty()) u.quickLaunch = u.appData + L"\\Microsoft\\Internet Explorer\\Quick Launch";

  UserFolders& r = k.userRelative;
  r.appData = RelativeToProfile(u.appData, k.profile);
  r.localAppData = RelativeToProfile(u.localAppData, k.profile);
  r.programs = RelativeToProfile(u.programs, k.profile);
  r.desktop = RelativeToProfile(u.desktop, k.profile);
  r.startup = RelativeToProfile(u.startup, k.profile);
  r.documents = RelativeToProfile(u.documents, k.profile);
  r.temp = RelativeToProfile(u.temp, k.profile);
  r.localLow = RelativeToProfile(u.localLow, k.profile);
  r.quickLaunch = RelativeToProfile(u.quickLaunch, k.profile);

  k.commonAppData = ShellFolder(CSIDL_COMMON_APPDATA);
  k.commonPrograms = ShellFolder(CSIDL_COMMON_PROGRAMS);
  k.commonDesktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  k.commonStartup = ShellFolder(CSIDL_COMMON_STARTUP);
  k.commonProgramFiles = ShellFolder(CSIDL_PROGRAM_FILES_COMMON);
  k.windows = ShellFolder(CSIDL_WINDOWS);
  k.system = ShellFolder(CSIDL_SYSTEM);
  if (!k.windows.empty()) k.system32Bit = k.windows + L"\\SysWOW64";
  ProgramFiles programFiles = ProgramFilesFolders();
  k.programFiles64 = programFiles.native;
  k.programFiles32 = programFiles.x86;
  return k;
}

}  // namespace tavrin
