#include "definitions/pending_hash_table.h"

#include "platform/file_system.h"
#include "platform/strings.h"

namespace tavrin {

size_t AddPendingHash(PendingHashTable& table, const std::wstring& path, const std::wstring& hash,
                      const std::wstring& registryText) {
  if (!FileExists(path)) return 0;
  const std::wstring key = ToLower(path);
  if (auto found = table.byPath.find(key); found != table.byPath.end()) return found->second + 1;
  if (table.entries.empty()) table.entries.reserve(100);
  table.entries.push_back({path, ToUpper(hash), registryText, 0, {}});
  table.byPath.emplace(key, table.entries.size() - 1);
  return table.entries.size();
}

const PendingHash* FindPendingHash(const PendingHashTable& table, const std::wstring& path) {
  auto found = table.byPath.find(ToLower(path));
  return found == table.byPath.end() ? nullptr : &table.entries[found->second];
}

void ClearPendingHashes(PendingHashTable& table) {
  table.entries.clear();
  table.byPath.clear();
}

}  // namespace tavrin
