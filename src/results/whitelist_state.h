#pragma once
// Inside of WhiteList, shared by the whitelist and the manager's functions.
// The functions below expect the caller to hold the lock.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ini_document.h"
#include "results/whitelist.h"

namespace tavrin {

inline constexpr std::wstring_view kFoldersSection = L"Whitelisted directories";

struct WhiteList::State {
  mutable std::mutex lock;
  IniDocument doc;
  std::vector<std::wstring> folders;
  std::vector<std::wstring> foldersLower;
  GeneralizeFolders generalize;
  std::function<void(const std::wstring&)> saved;

  // A scan asks once per candidate row, and a whitelist can hold thousands
  // of entries: walking the document line by line each time would dominate
  // the scan. The index answers exactly as the document's own look-up does
  // (first section and first entry of a name win, names compared without
  // regard to case, a key followed by blanks before "=" is still the key).
  // Section names map to a slot, since one header can serve several names.
  mutable bool indexed = false;
  mutable std::unordered_map<std::wstring, size_t> sectionSlots;
  mutable std::vector<std::unordered_map<std::wstring, std::wstring>> slotEntries;
};

// The value the document's GetString would give, through the index.
std::optional<std::wstring> LookupEntry(const WhiteList::State& state, std::wstring_view section,
                                        std::wstring_view key);
// SetString on the document, keeping the index in step. False when nothing
// was written.
bool SetEntry(WhiteList::State& state, std::wstring_view section, std::wstring_view key, std::wstring_view value);
// SetStrings on the document for many entries of one section; the index
// is rebuilt on the next look-up. Returns how many were written.
size_t SetEntries(WhiteList::State& state, std::wstring_view section,
                  const std::vector<std::pair<std::wstring, std::wstring>>& entries);
// DeleteKey on the document: 1 removed, 2 missing, 0 empty arguments.
int DeleteEntry(WhiteList::State& state, std::wstring_view section, std::wstring_view key);
// Saves the document to its file and then tells the saved hook. Every
// save of a change goes through here.
bool SaveDocument(WhiteList::State& state);
// The folder list from the document's "Whitelisted directories".
void ReloadFolders(WhiteList::State& state);

}  // namespace tavrin
