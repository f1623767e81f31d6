#pragma once
// What a repair overwrites is saved into the data folder first, so that a
// repair never loses the user's data: a copy of a file, or a registry key
// exported in the registry editor's text format.
#include <string>
#include <vector>

#include "repair/repair_context.h"

namespace tavrin {

// The registry editor's export text ("Windows Registry Editor Version
// 5.00") of the keys with their values and subkeys; keys that do not exist
// are left out.
std::wstring ExportKeysText(const std::vector<std::wstring>& keys);

// Data folder + "\Backups\" + `name` + "-" + the current local time as a
// 64-bit file time + `extension`; the file holds a copy of `source` or the
// export of `keys`. The backup's path, empty when it could not be written.
std::wstring BackupFile(RepairContext& context, const std::wstring& source, const std::wstring& name,
                        const std::wstring& extension);
std::wstring BackupKeys(RepairContext& context, const std::vector<std::wstring>& keys, const std::wstring& name);

}  // namespace tavrin
