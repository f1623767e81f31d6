#pragma once
// The full autostart inventory of a scan: every entry of every autostart
// place the program reads, whether or not a phase lists it as a row, with
// its command as written, the file it resolves to, and that file's signer
// and hash where known. Collected read-only.
#include <string>
#include <vector>

namespace tavrin {

struct InventoryEntry {
  std::wstring category;  // e.g. "Run", "Winlogon", "Services", "Scheduled tasks", ...
  std::wstring location;  // key path, folder or task folder, as the report writes locations
  std::wstring name;      // value name, service name, task name, CLSID, file name
  std::wstring user;      // owning account name, empty for machine-wide places
  std::wstring command;   // as written there
  std::wstring file;      // resolved file, empty when none
  bool fileExists = false;
  std::wstring signer;    // empty when unsigned or not known
  std::wstring sha256;    // lowercase hex, empty when not hashed
};

}  // namespace tavrin
