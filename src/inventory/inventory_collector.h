#pragma once
// Collects the autostart inventory: every entry of every autostart place
// the scans read, in a fixed order of categories and, within one, as read.
// Reads only. Each kind of place is bounded: overlong values are listed
// without a file, and no key gives more than kMaxEntriesPerKey entries, nor
// the whole inventory more than kMaxInventoryEntries.
#include <string>
#include <vector>

#include "filetrust/system_folders.h"
#include "inventory/autostart_inventory.h"
#include "platform/run_control.h"
#include "platform/user_environment.h"

namespace tavrin {

inline constexpr size_t kMaxEntriesPerKey = 10000;
inline constexpr size_t kMaxInventoryEntries = 200000;
// A command stored longer than this is listed cut to it.
inline constexpr size_t kMaxInventoryText = 4096;

struct InventoryUser {
  std::wstring name;           // the account name the rows give
  std::wstring registryRoot;   // "HKU\" + SID
  std::wstring startupFolder;  // empty when not known
  UserEnvironment environment;
};

struct InventoryScope {
  std::vector<InventoryUser> users;
  std::wstring commonStartup;
  SystemFolders folders;
  const CancelFlags* cancel = nullptr;
};

// The entries with their files resolved but not yet judged (FillFileFacts
// does that).
std::vector<InventoryEntry> CollectAutostartEntries(const InventoryScope& scope);

// The entries with the facts of their files.
std::vector<InventoryEntry> CollectAutostartInventory(const InventoryScope& scope);

}  // namespace tavrin
