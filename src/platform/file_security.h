#pragma once
// A file's owner and access list kept aside while a repair takes the file
// over to write it, and put back afterwards whatever the write did; and the
// take-over itself. Every change goes through a handle proved to be the
// entry named (not a link's target): a link's target is never ours.
#include <string>
#include <vector>

#include "platform/access_list.h"

namespace tavrin {

struct SavedFileSecurity {
  std::vector<unsigned char> descriptor;  // self-relative; empty when not saved
};

// Reads owner, group and access list; false when the platform refuses or
// the path is reached through a link.
bool SaveFileSecurity(const std::wstring& path, SavedFileSecurity& saved);
// Puts a saved descriptor back; false when there is none, it is refused or
// the path is reached through a link.
bool RestoreFileSecurity(const std::wstring& path, const SavedFileSecurity& saved);
// BUILTIN\Administrators as owner and full control for the administrators,
// LocalSystem and Everyone, so that the running administrator can write.
bool TakeOverFile(const std::wstring& path);

// Owner BUILTIN\Administrators and `entries` as a protected list on one
// file or folder. False for a link, for a path reached through one, and
// when the platform refuses.
bool TakeOverEntry(const std::wstring& path, const std::vector<AccessEntry>& entries);
// The same for a folder and everything below it. Links below are passed
// over and nothing behind them is entered; false when any entry was not
// taken over.
bool TakeOverTree(const std::wstring& folder, const std::vector<AccessEntry>& entries);

}  // namespace tavrin
