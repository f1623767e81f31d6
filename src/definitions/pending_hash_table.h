#pragma once
// The files of one scan whose verdict waits for a cloud look-up: queued by
// CheckMalwareFile, decided by ResolvePendingHashes after the phase that
// queued them.
#include <string>
#include <unordered_map>
#include <vector>

namespace tavrin {

struct PendingHash {
  std::wstring path;
  std::wstring hash;          // uppercase hex
  std::wstring registryText;  // the entry that led to the file; may be empty
  unsigned flags = 0;
  std::wstring spare;
};

struct PendingHashTable {
  std::vector<PendingHash> entries;
  // Lower-cased path -> position in `entries`: a phase asks for every file
  // it checks, and a large scan queues thousands.
  std::unordered_map<std::wstring, size_t> byPath;
};

// Adds the file when it exists and is not listed yet; returns its number
// (from 1), the number it already had, or 0 for a missing file.
size_t AddPendingHash(PendingHashTable& table, const std::wstring& path, const std::wstring& hash,
                      const std::wstring& registryText);
// Null when the path (compared without regard to case) is not listed.
const PendingHash* FindPendingHash(const PendingHashTable& table, const std::wstring& path);
void ClearPendingHashes(PendingHashTable& table);

}  // namespace tavrin
