#pragma once
// The subfolders of the few folders the programs phase guesses in (program
// files, program data, each user's application data), each folder listed
// once per scan. Thousands of uninstall entries and definitions are looked
// up as "name*" in the same handful of folders; asking the file system for
// every one of them is what made the phase slow.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

struct FolderListing {
  // Lower-cased name -> name as stored, in order; folders only, no links.
  std::vector<std::pair<std::wstring, std::wstring>> folders;
  // The parent made canonical once; empty when it has no canonical form.
  std::wstring canonicalParent;
};

struct FolderListings {
  std::map<std::wstring, FolderListing> byFolder;  // by lower-cased parent path
};

// The first subfolder of `parent` (in case-insensitive name order) whose
// name begins with `prefix`, in its canonical form (as CanonicalFolder gives
// it), built from the parent's canonical form and the name as listed, which
// is the long name already. Reparse points never match. With `exact`, only
// the folder named `prefix` itself. Nothing when none is found or it has no
// canonical form.
std::optional<std::wstring> FindSubfolder(FolderListings& listings, const std::wstring& parent,
                                          const std::wstring& prefix, bool exact = false);

}  // namespace tavrin
