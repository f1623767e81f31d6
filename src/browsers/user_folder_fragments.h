#pragma once
// Where browsers keep their data, as tails that fit any account's profile
// folder: the running account's shell folders with its own profile folder
// cut off the front ("\AppData\Local"), plus the machine-wide folders.
#include <string>

namespace tavrin {

struct UserFolderFragments {
  std::wstring localAppData;    // "\AppData\Local"
  std::wstring roamingAppData;  // "\AppData\Roaming"
  std::wstring desktop;         // "\Desktop"
  std::wstring programs;        // "\AppData\Roaming\Microsoft\Windows\Start Menu\Programs"
  std::wstring commonDesktop;
  std::wstring commonPrograms;
  std::wstring programFiles;     // 64-bit
  std::wstring programFilesX86;  // 32-bit
};

// Computed once per scan. A shell folder outside the running account's
// profile (redirected to another drive, say) cannot be carried over to
// another account, so its fragment falls back to the usual layout.
UserFolderFragments ComputeUserFolderFragments();

// The tail of `folder` after `profileFolder` (with its leading backslash),
// or `fallback` when the folder does not lie below the profile.
std::wstring FragmentBelow(const std::wstring& folder, const std::wstring& profileFolder,
                           const std::wstring& fallback);

}  // namespace tavrin
