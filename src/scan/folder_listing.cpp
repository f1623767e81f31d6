#include "scan/folder_listing.h"

#include <algorithm>

#include "platform/find_files.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

FolderListing ListFolders(const std::wstring& parent) {
  FolderListing listing;
  FindFiles entries(parent + L"\\*");
  while (entries.Next()) {
    if (!entries.IsFolder() || entries.IsReparsePoint()) continue;
    listing.folders.emplace_back(ToLower(entries.Name()), entries.Name());
  }
  std::sort(listing.folders.begin(), listing.folders.end());
  return listing;
}

}  // namespace

std::wstring FindSubfolder(FolderListings& listings, const std::wstring& parent, const std::wstring& prefix,
                           bool exact) {
  if (parent.empty() || prefix.empty()) return {};
  const std::wstring parentKey = ToLower(parent);
  auto found = listings.byFolder.find(parentKey);
  if (found == listings.byFolder.end()) found = listings.byFolder.emplace(parentKey, ListFolders(parent)).first;
  const auto& folders = found->second.folders;
  const std::wstring lowered = ToLower(prefix);
  auto at = std::lower_bound(folders.begin(), folders.end(), lowered,
                             [](const auto& entry, const std::wstring& key) { return entry.first < key; });
  if (at == folders.end() || at->first.compare(0, lowered.size(), lowered) != 0) return {};
  if (exact && at->first.size() != lowered.size()) return {};
  return parent + L"\\" + at->second;
}

}  // namespace tavrin
