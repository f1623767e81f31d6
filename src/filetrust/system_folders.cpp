#include "filetrust/system_folders.h"

#include <windows.h>

#include "platform/users.h"

namespace tavrin {

SystemFolders FindSystemFolders() {
  const MachineFolders machine = FindMachineFolders();
  SystemFolders folders;
  folders.systemDrive = machine.systemDrive;
  folders.windows = machine.windows;
  // A 64-bit process sees the 64-bit system folder without redirection.
  folders.system = machine.system;
#if defined(_WIN64)
  folders.is64Bit = true;
#else
  BOOL wow64 = FALSE;
  folders.is64Bit = IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
  return folders;
}

}  // namespace tavrin
