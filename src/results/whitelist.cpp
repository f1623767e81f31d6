#include "results/whitelist.h"

#include <algorithm>

#include "platform/file_system.h"
#include "platform/strings.h"
#include "results/result_folders.h"
#include "results/result_state.h"
#include "results/whitelist_state.h"

namespace tavrin {

namespace {

using Lock = std::lock_guard<std::mutex>;

constexpr std::wstring_view kInfectedFiles = L"Infected file objects";

struct GroupSection {
  int group;
  WhitelistSection target;
};

constexpr WhitelistSection kProgramsSection = {L"Programs", 0, false};

constexpr GroupSection kGroupSections[] = {
    {kGroupRegistryAutostart, {L"Registry autostart entries", 0, false}},
    {kGroupStartupFolder, {L"Startup folder items", 0, false}},
    {kGroupScheduledTasks, {L"Scheduled tasks", 0, false}},
    {kGroupAppInitDlls, {L"Appinit DLLs", 0, false}},
    {kGroupDnsHijackers, {L"DNS hijackers", 0, false}},
    {kGroupEdgeUwpStartPages, {L"Microsoft Edge startup pages", 2, false}},
    {kGroupEdgeStartPages, {L"Microsoft Edge startup pages", 2, false}},
    {kGroupEdgeUwpSearchProviders, {L"Microsoft Edge search providers", 2, false}},
    {kGroupEdgeSearchProviders, {L"Microsoft Edge search providers", 2, false}},
    {kGroupEdgeUwpExtensions, {L"Microsoft Edge extensions", 0, false}},
    {kGroupEdgeExtensions, {L"Microsoft Edge extensions", 0, false}},
    {kGroupEdgeUwpShortcuts, {L"Microsoft Edge shortcuts", 2, false}},
    {kGroupEdgeShortcuts, {L"Microsoft Edge shortcuts", 2, false}},
    {kGroupEdgeUwpPolicies, {L"Microsoft Edge group policies", 2, false}},
    {kGroupEdgePolicies, {L"Microsoft Edge group policies", 2, false}},
    {kGroupEdgeUwpResetOptions, {L"Microsoft Edge reset options", 0, false}},
    {kGroupEdgeResetOptions, {L"Microsoft Edge reset options", 0, false}},
    {kGroupIeStartPages, {L"IE startup pages", 2, false}},
    {kGroupIeSearchProviders, {L"IE search providers", 2, false}},
    {kGroupIeAddOns, {L"IE ad-ons", 0, false}},
    {kGroupIeShortcuts, {L"IE shortcuts", 2, false}},
    {kGroupIePolicies, {L"IE group policies", 2, false}},
    {kGroupIeResetOptions, {L"IE reset options", 0, false}},
    {kGroupChromeStartPages, {L"Chrome startup pages", 2, false}},
    {kGroupChromeSearchProviders, {L"Chrome search providers", 2, false}},
    {kGroupChromeExtensions, {L"Chrome extensions", 0, false}},
    {kGroupChromeShortcuts, {L"Chrome shortcuts", 2, false}},
    {kGroupChromePolicies, {L"Chrome group policies", 2, false}},
    {kGroupChromeResetOptions, {L"Chrome reset options", 0, false}},
    {kGroupFirefoxStartPages, {L"Firefox startup pages", 2, false}},
    {kGroupFirefoxSearchPlugins, {L"Firefox search providers", 2, false}},
    {kGroupFirefoxExtensions, {L"Firefox extensions", 0, false}},
    {kGroupFirefoxShortcuts, {L"Firefox shortcuts", 2, false}},
    {kGroupFirefoxResetOptions, {L"Firefox reset options", 0, false}},
    {kGroupOtherChromiumStartPages, {L"Other Chromium browsers startup pages", 2, false}},
    {kGroupOtherChromiumSearchProviders, {L"Other Chromium browsers search providers", 2, false}},
    {kGroupOtherChromiumExtensions, {L"Other Chromium browsers extensions", 0, false}},
    {kGroupOtherChromiumShortcuts, {L"Other Chromium browsers shortcuts", 2, false}},
    {kGroupOtherChromiumPolicies, {L"Other Chromium browsers group policies", 2, false}},
    {kGroupOtherChromiumResetOptions, {L"Other Chromium browsers reset options", 0, false}},
    {kGroupOtherFirefoxStartPages, {L"Other Firefox browsers startup pages", 2, false}},
    {kGroupOtherFirefoxSearchPlugins, {L"Other Firefox browsers search providers", 2, false}},
    {kGroupOtherFirefoxExtensions, {L"Other Firefox browsers extensions", 0, false}},
    {kGroupOtherFirefoxShortcuts, {L"Other Firefox browsers shortcuts", 2, false}},
    {kGroupOtherFirefoxResetOptions, {L"Other Firefox browsers reset options", 0, false}},
    {kGroupInfectedFiles, {kInfectedFiles, 0, true}},
    {kGroupInfectedRegistry, {L"Infected registry entries", 0, true}},
};

// Sections written by earlier versions under a misspelt name; still read.
std::wstring_view EarlierSectionName(std::wstring_view section) {
  if (EqualsNoCase(section, L"Chrome startup pages")) return L"Crome startup pages";
  if (EqualsNoCase(section, L"Chrome search providers")) return L"Crome search providers";
  return {};
}

std::wstring OneLine(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  return out;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Every name under which the document's section look-up finds this header:
// "[" + name + "]" must begin the line, so each "]" after the first name
// character ends one.
void RegisterHeaderNames(const WhiteList::State& state, const std::wstring& line, size_t slot) {
  for (size_t p = 2; p < line.size(); ++p) {
    if (line[p] == L']') state.sectionSlots.emplace(ToLower(std::wstring_view(line).substr(1, p - 1)), slot);
  }
}

// An entry line as the key look-up sees it: the text before the first "="
// without the blanks before the "=", and the value without leading blanks.
void AddLineEntry(std::unordered_map<std::wstring, std::wstring>& entries, const std::wstring& line, bool replace) {
  size_t eq = line.find(L'=');
  if (eq == std::wstring::npos || eq == 0) return;
  size_t keyEnd = eq;
  while (keyEnd > 0 && IsBlank(line[keyEnd - 1])) --keyEnd;
  if (keyEnd == 0) return;
  size_t valueStart = eq + 1;
  while (valueStart < line.size() && IsBlank(line[valueStart])) ++valueStart;
  std::wstring key = ToLower(std::wstring_view(line).substr(0, keyEnd));
  std::wstring value = line.substr(valueStart);
  if (replace) {
    entries.insert_or_assign(std::move(key), std::move(value));
  } else {
    entries.emplace(std::move(key), std::move(value));
  }
}

void EnsureIndex(const WhiteList::State& state) {
  if (state.indexed) return;
  state.sectionSlots.clear();
  state.slotEntries.clear();
  bool inSection = false;
  for (const auto& line : state.doc.Lines()) {
    if (IniDocument::IsSectionHeader(line)) {
      state.slotEntries.emplace_back();
      RegisterHeaderNames(state, line, state.slotEntries.size() - 1);
      inSection = true;
    } else if (inSection) {
      AddLineEntry(state.slotEntries.back(), line, false);
    }
  }
  state.indexed = true;
}

bool IsMinusOne(const std::wstring& value) {
  long long number = 0;
  return ParseDecimal(Trim(value), number) && number == -1;
}

// The section and key a row is whitelisted under; false for rows of groups
// without a section and for rows whose key text is empty.
bool RowEntry(const WhiteList::State& state, ResultList list, int row, std::wstring_view& section,
              std::wstring& key) {
  auto item = GetRow(list, row);
  if (!item) return false;
  const WhitelistSection* target = WhitelistSectionOf(list.tab, item->group);
  if (!target) return false;
  const std::wstring& text = item->columns[size_t(target->column)];
  key = WhitelistKey(target->generalise ? GeneralizeItem(text, state.generalize) : text);
  section = target->section;
  return !key.empty();
}

bool WhitelistFolderLocked(WhiteList::State& state, std::wstring_view path) {
  if (path.size() < 2) return false;
  std::wstring folder = GeneralizeItem(path, state.generalize);
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  std::wstring key = WhitelistKey(folder);
  if (!SetEntry(state, kFoldersSection, key, L"0")) return false;
  ReloadFolders(state);
  return true;
}

}  // namespace

WhiteList::WhiteList() : state(std::make_unique<State>()) {}
WhiteList::~WhiteList() = default;

const WhitelistSection* WhitelistSectionOf(int tab, int group) {
  if (tab == kProgramsTab) return &kProgramsSection;
  const GroupInfo* info = FindGroup(group);
  if (!info || info->tab != tab) return nullptr;
  for (const auto& entry : kGroupSections) {
    if (entry.group == group) return &entry.target;
  }
  return nullptr;
}

std::optional<std::wstring> LookupEntry(const WhiteList::State& state, std::wstring_view section,
                                        std::wstring_view key) {
  if (section.empty() || key.empty()) return std::nullopt;
  EnsureIndex(state);
  auto slot = state.sectionSlots.find(ToLower(section));
  if (slot == state.sectionSlots.end()) return std::nullopt;
  const auto& entries = state.slotEntries[slot->second];
  auto found = entries.find(ToLower(key));
  if (found == entries.end()) return std::nullopt;
  return found->second;
}

bool SetEntry(WhiteList::State& state, std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  const std::wstring cleanSection = Trim(OneLine(section));
  const std::wstring cleanKey = Trim(OneLine(key));
  const bool known = state.indexed && state.sectionSlots.count(ToLower(cleanSection)) > 0;
  size_t written = state.doc.SetString(section, key, value);
  if (written == 0) return false;
  if (!state.indexed) return true;
  if (cleanKey.find(L'=') != std::wstring::npos) {
    // The line's key ends before the key asked for: let the index be rebuilt.
    state.indexed = false;
    return true;
  }
  const auto& lines = state.doc.Lines();
  size_t slot = 0;
  if (known) {
    slot = state.sectionSlots.at(ToLower(cleanSection));
  } else {
    // A new section: header and entry were appended at the end.
    slot = state.slotEntries.size();
    state.slotEntries.emplace_back();
    RegisterHeaderNames(state, lines[written - 2], slot);
  }
  // Either the first entry of the key was replaced or the key was new.
  AddLineEntry(state.slotEntries[slot], lines[written - 1], true);
  return true;
}

size_t SetEntries(WhiteList::State& state, std::wstring_view section,
                  const std::vector<std::pair<std::wstring, std::wstring>>& entries) {
  size_t written = state.doc.SetStrings(section, entries);
  if (written > 0) state.indexed = false;
  return written;
}

int DeleteEntry(WhiteList::State& state, std::wstring_view section, std::wstring_view key) {
  int result = state.doc.DeleteKey(section, key);
  if (result == 1) state.indexed = false;
  return result;
}

bool SaveDocument(WhiteList::State& state) {
  if (!state.doc.Save()) return false;
  if (state.saved) state.saved(state.doc.Path());
  return true;
}

void ReloadFolders(WhiteList::State& state) {
  state.folders.clear();
  state.foldersLower.clear();
  size_t header = 0, end = 0;
  if (!state.doc.FindSection(kFoldersSection, header, end)) return;
  std::wstring key, value;
  for (size_t line = header; state.doc.NextEntry(line, end, key, value);) {
    if (key.size() <= 2) continue;
    state.foldersLower.push_back(ToLower(key));
    state.folders.push_back(std::move(key));
  }
}

std::wstring WhitelistFilePath(const std::wstring& programFolder, const std::wstring& dataFolder) {
  std::wstring beside = programFolder + L"\\" + kBesideWhitelistName;
  if (!programFolder.empty() && FileExists(beside)) return beside;
  std::wstring settings = dataFolder + L"\\Settings";
  CreateResultFolder(settings, true);
  return settings + L"\\WhiteList.ini";
}

bool LoadWhiteList(WhiteList& whitelist, const std::wstring& path) {
  auto& state = *whitelist.state;
  Lock lock(state.lock);
  bool read = state.doc.Load(path);
  state.doc.MarkAutoSave();
  state.indexed = false;
  ReloadFolders(state);
  return read;
}

bool OpenWhiteList(WhiteList& whitelist, const std::wstring& dataFolder) {
  return LoadWhiteList(whitelist, WhitelistFilePath(ProgramFolder(), dataFolder));
}

bool SaveWhiteList(WhiteList& whitelist) {
  Lock lock(whitelist.state->lock);
  return SaveDocument(*whitelist.state);
}

void SetWhitelistSavedHook(WhiteList& whitelist, std::function<void(const std::wstring& path)> hook) {
  Lock lock(whitelist.state->lock);
  whitelist.state->saved = std::move(hook);
}

std::wstring WhiteListPath(const WhiteList& whitelist) {
  Lock lock(whitelist.state->lock);
  return whitelist.state->doc.Path();
}

void SetGeneralizeFolders(WhiteList& whitelist, const GeneralizeFolders& folders) {
  Lock lock(whitelist.state->lock);
  whitelist.state->generalize = folders;
}

GeneralizeFolders GetGeneralizeFolders(const WhiteList& whitelist) {
  Lock lock(whitelist.state->lock);
  return whitelist.state->generalize;
}

std::wstring WhitelistKey(std::wstring_view item) {
  std::wstring key = OneLine(item);
  for (auto& c : key) {
    if (c == L'=') c = L'-';
  }
  return Trim(key);
}

bool IsWhitelisted(const WhiteList& whitelist, std::wstring_view item, std::wstring_view section,
                   bool generalise) {
  if (item.size() < 4) return false;
  const auto& state = *whitelist.state;
  Lock lock(state.lock);
  const std::wstring key = WhitelistKey(generalise ? GeneralizeItem(item, state.generalize) : std::wstring(item));
  if (key.empty()) return false;
  for (std::wstring_view name : {section, EarlierSectionName(section)}) {
    if (name.empty()) continue;
    auto value = LookupEntry(state, name, key);
    if (value && !IsMinusOne(*value)) return true;
  }
  if (generalise && EqualsNoCase(section, kInfectedFiles) && !state.foldersLower.empty()) {
    const std::wstring lower = ToLower(key);
    for (const auto& folder : state.foldersLower) {
      if (lower.find(folder) != std::wstring::npos) return true;
    }
  }
  return false;
}

bool AddWhitelistEntry(WhiteList& whitelist, std::wstring_view section, std::wstring_view item) {
  Lock lock(whitelist.state->lock);
  return SetEntry(*whitelist.state, section, WhitelistKey(item), L"0");
}

bool WhitelistRow(WhiteList& whitelist, ResultList list, int row) {
  if (!list) return false;
  // The row is read and deleted under the set's lock, so that another thread
  // cannot move it in between. Always the set's lock first, then the list's.
  std::lock_guard<std::recursive_mutex> rowsLock(list.set->state->lock);
  auto& state = *whitelist.state;
  Lock lock(state.lock);
  std::wstring_view section;
  std::wstring key;
  if (!RowEntry(state, list, row, section, key) || !SetEntry(state, section, key, L"0")) return false;
  SaveDocument(state);
  return DeleteRow(list, row);
}

int WhitelistChecked(WhiteList& whitelist, ResultSet& results, int tab) {
  if (tab != kAllTabs && !FindTab(tab)) return 0;
  std::lock_guard<std::recursive_mutex> rowsLock(results.state->lock);
  auto& state = *whitelist.state;
  Lock lock(state.lock);

  // Rows from the last to the first, so that deleting them in this order
  // moves only rows already dealt with. The entries are written section by
  // section: one walk over the whitelist instead of one per row.
  std::vector<std::pair<ResultList, int>> rows;
  std::vector<std::pair<std::wstring_view, std::vector<std::pair<std::wstring, std::wstring>>>> sections;
  for (int t = 0; t < kTabCount; ++t) {
    if (tab != kAllTabs && t != tab) continue;
    ResultList list = TabList(results, t);
    for (int row = RowCount(list) - 1; row >= 0; --row) {
      std::wstring_view section;
      std::wstring key;
      if (!IsChecked(list, row) || !RowEntry(state, list, row, section, key)) continue;
      auto batch = std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == section; });
      if (batch == sections.end()) batch = sections.insert(sections.end(), {section, {}});
      batch->second.emplace_back(std::move(key), L"0");
      rows.emplace_back(list, row);
    }
  }
  for (const auto& [section, entries] : sections) SetEntries(state, section, entries);
  for (const auto& [list, row] : rows) DeleteRow(list, row);
  if (!rows.empty()) SaveDocument(state);
  return int(rows.size());
}

bool WhitelistFolder(WhiteList& whitelist, std::wstring_view path) {
  Lock lock(whitelist.state->lock);
  if (!WhitelistFolderLocked(*whitelist.state, path)) return false;
  SaveDocument(*whitelist.state);
  return true;
}

bool WhitelistParentFolder(WhiteList& whitelist, ResultList list, int row) {
  if (!list) return false;
  std::lock_guard<std::recursive_mutex> rowsLock(list.set->state->lock);
  Lock lock(whitelist.state->lock);
  auto item = GetRow(list, row);
  if (!item || list.tab != kMalwareTab || item->group != kGroupInfectedFiles) return false;
  const std::wstring& file = item->columns[0];
  size_t slash = file.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  if (!WhitelistFolderLocked(*whitelist.state, std::wstring_view(file).substr(0, slash))) return false;
  SaveDocument(*whitelist.state);
  return DeleteRow(list, row);
}

std::vector<std::wstring> WhitelistedFolders(const WhiteList& whitelist) {
  Lock lock(whitelist.state->lock);
  return whitelist.state->folders;
}

}  // namespace tavrin
