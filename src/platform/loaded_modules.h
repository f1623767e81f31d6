#pragma once
// The program files that running processes have loaded: every process the
// system lists, and the modules of both bitnesses in each.
#include <windows.h>

#include <string>
#include <vector>

namespace tavrin {

// The system lists at most this many processes at once for a scan.
inline constexpr DWORD kMaxListedProcesses = 2000;

// The identifiers of the running processes; empty when they cannot be listed.
std::vector<DWORD> ListProcessIds();

// The full paths of the modules loaded in the process (its image first, as
// the system gives them, 32-bit modules of a WOW64 process included); empty
// when the process cannot be looked at.
std::vector<std::wstring> LoadedModulePaths(DWORD pid);

}  // namespace tavrin
