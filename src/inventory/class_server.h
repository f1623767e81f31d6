#pragma once
// From a class identifier to the file that serves it, as the shell and COM
// find it: the class's in-process server, else its local server, else its
// in-process handler; a class that only stands for another ("TreatAs") is
// followed to that one.
#include <string>

#include "filetrust/system_folders.h"

namespace tavrin {

// The classes root of the machine: "HKCR64" on 64-bit Windows, else "HKCR".
std::wstring MachineClassesRoot(const SystemFolders& folders);

// Looks the identifier up below `classesRoot` ("\CLSID\" + identifier, or
// "\Wow6432Node\CLSID\" + identifier when that is missing) and resolves the
// server's text as a command line into `file`. A chain of TreatAs classes
// ends at a fixed depth or where it comes back to a class seen before.
// False when no server file exists.
bool ClassServerFile(const std::wstring& classesRoot, const std::wstring& classId, const SystemFolders& folders,
                     std::wstring& file);

}  // namespace tavrin
