#include "scan/folder_listing.h"

#include <algorithm>

#include "platform/find_files.h"
#include "platform/strings.h"
#include "scan/folder_guard.h"

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
  if (!listing.folders.empty()) listing.canonicalParent = CanonicalFolder(parent).value_or(L"");
  return listing;
}

}  // namespace

std::optional<std::wstring> FindSubfolder(FolderListings& listings, const std::wstring& parent,
                                          const std::wstring& prefix, bool exact) {
  if (parent.empty() || prefix.empty()) return std::nullopt;
  const std::wstring parentKey = ToLower(parent);
  auto found = listings.byFolder.find(parentKey);
  if (found == listings.byFolder.end()) found = listings.byFolder.emplace(parentKey, ListFolders(parent)).first;
  const FolderListing& listing = found->second;
  const std::wstring lowered = ToLower(prefix);
  auto at = std::lower_bound(listing.folders.begin(), listing.folders.end(), lowered,
                             [](const auto& entry, const std::wstring& key) { return entry.first < key; });
  if (at == listing.folders.end() || at->first.compare(0, lowered.size(), lowered) != 0) return std::nullopt;
  if (exact && at->first.size() != lowered.size()) return std::nullopt;
  const std::wstring& name = at->second;
  // A name the path rules would change (trailing dots or blanks) is left to
  // the full canonical form.
  if (listing.canonicalParent.empty() || name.back() == L'.' || name.back() == L' ')
    return CanonicalFolder(parent + L"\\" + name);
  return listing.canonicalParent + L"\\" + name;
}

}  // namespace tavrin
