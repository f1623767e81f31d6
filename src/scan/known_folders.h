#pragma once
// The folders the scan phases look in, resolved once per scan for the
// console user. The per-user ones are also kept relative to that user's
// profile folder, so that a phase can re-root them in every user's profile.
#include <windows.h>

#include <string>

namespace tavrin {

struct UserFolders {
  std::wstring appData, localAppData, programs, desktop, startup, documents, temp, localLow, quickLaunch;
};

struct KnownFolders {
  std::wstring profile;
  UserFolders user;            // absolute, for the console user
  UserFolders userRelative;    // "\AppData\Roaming" ...; empty when not below the profile
  std::wstring commonAppData, commonPrograms, commonDesktop, commonStartup, commonProgramFiles;
  std::wstring windows, system, system32Bit;
  std::wstring programFiles64, programFiles32;
};

KnownFolders ResolveKnownFolders(HANDLE userToken, const std::wstring& profileFolder);

// The folder's path below the profile, starting with "\"; empty when the
// folder does not lie below it.
std::wstring RelativeToProfile(const std::wstring& folder, const std::wstring& profile);

}  // namespace tavrin
