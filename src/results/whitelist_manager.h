#pragma once
// What the Whitelist Manager window does with the whitelist: list every
// entry, delete entries, import entries from another INI file and export
// the whole list. The window shows the texts these functions hand back.
#include <string>
#include <vector>

#include "results/whitelist.h"

namespace tavrin {

struct WhitelistEntry {
  std::wstring section;
  std::wstring item;
};

// Every entry, section by section in the manager's order, each section's
// entries in file order.
std::vector<WhitelistEntry> ListWhitelistEntries(const WhiteList& whitelist);
// Deletes the entries (last to first), saves, and reloads the folder list
// when a whitelisted folder was among them. Returns how many were removed.
int DeleteWhitelistEntries(WhiteList& whitelist, const std::vector<WhitelistEntry>& entries);
// Merges every entry of every section of the file into the whitelist (an
// existing key takes the imported value) and saves it. When nothing could
// be taken over the whitelist is unchanged, the message to show is set and
// the result is false.
bool ImportWhitelist(WhiteList& whitelist, const std::wstring& path, std::wstring* failureMessage = nullptr);
// Writes the whole whitelist to the file. The whitelist keeps its own file:
// later changes still go there, not to the export.
bool ExportWhitelist(const WhiteList& whitelist, const std::wstring& path, std::wstring* failureMessage = nullptr);

}  // namespace tavrin
