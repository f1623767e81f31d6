#pragma once
// User- and machine-specific folder prefixes replaced by placeholders, so
// that a whitelist entry made for one user matches the same item in every
// profile and on every machine.
#include <string>
#include <string_view>

namespace tavrin {

// The folders behind the placeholders. The three user folders are the
// interactive user's and are filled by the application from its user list;
// the others by MachineGeneralizeFolders. An empty folder is never replaced.
struct GeneralizeFolders {
  std::wstring appData;       // roaming application data -> "%AppData%"
  std::wstring localAppData;  // -> "%LocalAppData%"
  std::wstring userProfile;   // -> "%UserProfile%"
  std::wstring programFiles;  // -> "%ProgramFiles%"
  std::wstring programFilesX86;  // -> "%ProgramFiles(x86)%", on 64-bit Windows only
  std::wstring windows;       // -> "%WinDir%"
  std::wstring systemDrive;   // -> "%SystemDrive%", at the start of the text only
  bool is64Bit = false;
};

// Program Files, Program Files (x86), the Windows folder and the system
// drive of this machine; the user folders stay empty.
GeneralizeFolders MachineGeneralizeFolders();

// "HKU\" + SID + "\" is cut from per-user registry texts; in file-system
// texts the first folder of the order above that occurs is replaced by its
// placeholder; other registry texts stay as they are.
std::wstring GeneralizeItem(std::wstring_view item, const GeneralizeFolders& folders);

}  // namespace tavrin
