#pragma once
// The first phase of a scan: the installed programs of every scanned user
// and of the machine, judged by their display names and uninstallers, then
// the folders named like a definition although no such program is
// installed ("file objects"). Fills the Programs tab and its details file.
#include <string>
#include <vector>

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

// The phase itself, as the session runs it.
void ScanPrograms(ScanEnvironment& scan);

}  // namespace tavrin
