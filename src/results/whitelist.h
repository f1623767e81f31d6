#pragma once
// The items the user never wants to see listed again: one INI document, one
// section per kind of item, the item as key and "0" as value, plus the
// whitelisted folders below which no infected file is listed. The scans ask
// IsWhitelisted before they add a row; the window's whitelist commands and
// the Whitelist Manager change it.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "results/generalize.h"
#include "results/result_set.h"

namespace tavrin {

// Where the rows of one group are whitelisted, and which column is the key.
struct WhitelistSection {
  std::wstring_view section;
  int column;
  // Malware rows are stored with placeholders for user and machine folders.
  bool generalise;
};

// Null for a group that cannot be whitelisted (the malware fixes, unknown
// groups). The Programs tab has one section whatever the group.
const WhitelistSection* WhitelistSectionOf(int tab, int group);

struct WhiteList {
  WhiteList();
  ~WhiteList();
  WhiteList(const WhiteList&) = delete;
  WhiteList& operator=(const WhiteList&) = delete;

  struct State;
  std::unique_ptr<State> state;
};

// The whitelist a program keeps beside itself, in its own folder.
inline constexpr wchar_t kBesideWhitelistName[] = L"TVN_White_list.ini";

// "TVN_White_list.ini" in the program folder when it is there; otherwise
// dataFolder + "\Settings\WhiteList.ini", the settings folder created
// hidden when missing.
std::wstring WhitelistFilePath(const std::wstring& programFolder, const std::wstring& dataFolder);
// Loads the document and its folder list and marks it for auto-save. False
// when the file could not be read (it is then created by the first save).
bool LoadWhiteList(WhiteList& whitelist, const std::wstring& path);
// LoadWhiteList on the file chosen for the running program.
bool OpenWhiteList(WhiteList& whitelist, const std::wstring& dataFolder);
bool SaveWhiteList(WhiteList& whitelist);
// Called with the file's path after each save of the whitelist that
// succeeded, under the whitelist's lock (it must not use the whitelist).
// Lets a layer above keep other copies of the file in step.
void SetWhitelistSavedHook(WhiteList& whitelist, std::function<void(const std::wstring& path)> hook);
std::wstring WhiteListPath(const WhiteList& whitelist);

// The interactive user's and the machine's folders behind the placeholders.
void SetGeneralizeFolders(WhiteList& whitelist, const GeneralizeFolders& folders);
GeneralizeFolders GetGeneralizeFolders(const WhiteList& whitelist);

// The key an item is stored under: "=" (which would end the key) becomes
// "-", line breaks become spaces, surrounding white space goes.
std::wstring WhitelistKey(std::wstring_view item);

// False for items shorter than 4 characters. An entry of the section
// answers true unless its value reads as -1. With `generalise` set, the item
// is generalised first, and an infected file also counts as whitelisted when
// it lies in a whitelisted folder. Chrome's startup pages and search
// providers are also looked up under the earlier "Crome" section names.
bool IsWhitelisted(const WhiteList& whitelist, std::wstring_view item, std::wstring_view section,
                   bool generalise);

// Writes the item into the section with the value "0" (an existing entry
// takes that value). False for an empty item or section.
bool AddWhitelistEntry(WhiteList& whitelist, std::wstring_view section, std::wstring_view item);

// Whitelists the row by its group and deletes it from its list; rows of
// groups without a section stay. Saves the whitelist.
bool WhitelistRow(WhiteList& whitelist, ResultList list, int row);
inline constexpr int kAllTabs = -1;
// The checked rows of the tab (kAllTabs: Programs first, Malware last), from
// the last row to the first; returns how many were whitelisted.
int WhitelistChecked(WhiteList& whitelist, ResultSet& results, int tab);
// False for paths shorter than 2 characters. Stores the generalised folder
// with a trailing "\" in "Whitelisted directories".
bool WhitelistFolder(WhiteList& whitelist, std::wstring_view path);
// The folder that holds the file of an infected-file row is
// whitelisted, and the row deleted when that worked.
bool WhitelistParentFolder(WhiteList& whitelist, ResultList list, int row);
// The keys of "Whitelisted directories", as stored.
std::vector<std::wstring> WhitelistedFolders(const WhiteList& whitelist);

}  // namespace tavrin
