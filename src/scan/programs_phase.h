#pragma once
// The first phase of a scan: the installed programs of every scanned user
// and of the machine, judged by their display names and uninstallers, then
// the folders named like a definition although no such program is
// installed ("file objects"). Fills the Programs tab and its details file.
#include <string>
#include <vector>

#include "platform/users.h"
#include "scan/program_folder.h"

namespace tavrin {

struct ScanEnvironment;
struct ScanSession;

struct UninstallRoot {
  std::wstring key;       // RegPath of the Uninstall key
  std::wstring userName;  // shown in the rows, "(All users)" for the machine
  int user = -1;          // index into the session's users; -1 for the machine
};

// Every scanned user's Uninstall key in user order, then the machine's in
// its 64-bit and its 32-bit view.
std::vector<UninstallRoot> UninstallRoots(const ScanSession& session);

// The Run and RunOnce keys of every user and of the machine in both views,
// whose entries' folders no program's folder may hold.
std::vector<std::wstring> RunKeysOf(const UserList& users);

// The other programs', services' and Run entries' folders as the session's
// machine has them now (GatherProgramFolderFacts over the session's roots).
ProgramFolderFacts ProgramFolderFactsOf(const ScanSession& session);

// The phase itself, as the session runs it.
void ScanPrograms(ScanEnvironment& scan);

}  // namespace tavrin
