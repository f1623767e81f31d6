#include "results/details_files.h"

#include "platform/strings.h"
#include "results/result_folders.h"
#include "results/result_state.h"

namespace tavrin {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// The Malware tab files only the parts of its registry rows, which its
// column cannot give back once a name holds the " / " that joins them.
constexpr std::wstring_view kDetailsNames[kDetailsTabs] = {L"Programs", L"AutoStart", L"Internet Browsers",
                                                           L"Malware"};

void CloseDetails(DetailsFile& file, bool save) {
  if (save && !file.doc.Path().empty()) file.doc.Save();
  file.doc.Clear();
  file.headers.clear();
  file.indexed = false;
}

// The tab's details file, opened from the work folder when it is not yet.
DetailsFile* OpenDetails(ResultSet::State& state, int tab) {
  if (tab < 0 || tab >= kDetailsTabs || state.workFolder.empty()) return nullptr;
  DetailsFile& file = state.details[size_t(tab)];
  if (file.doc.Path().empty()) {
    // A file that is not there yet is an empty document with its path.
    file.doc.Load(state.workFolder + L"\\" + std::wstring(kDetailsNames[tab]));
    file.doc.MarkAutoSave();
    file.indexed = false;
  }
  return &file;
}

// A section is found by the first header that begins with "[" + name + "]";
// the index keeps, for every header, the name up to its first "]".
void EnsureIndex(DetailsFile& file) {
  if (file.indexed) return;
  file.headers.clear();
  const auto& lines = file.doc.Lines();
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::wstring& line = lines[i];
    if (line.size() < 3 || line[0] != L'[') continue;
    size_t close = line.find(L']');
    if (close == std::wstring::npos || close < 2) continue;
    file.headers.emplace(ToLower(std::wstring_view(line).substr(1, close - 1)), i);
  }
  file.indexed = true;
}

// Header line and end of the section, or false when it does not exist.
bool LocateSection(DetailsFile& file, std::wstring_view section, size_t& header, size_t& end) {
  if (section.empty()) return false;
  if (section.find(L']') != std::wstring_view::npos) return file.doc.FindSection(section, header, end);
  EnsureIndex(file);
  auto found = file.headers.find(ToLower(section));
  if (found == file.headers.end()) return false;
  header = found->second;
  const auto& lines = file.doc.Lines();
  end = header + 1;
  while (end < lines.size() && !IniDocument::IsSectionHeader(lines[end])) ++end;
  return true;
}

std::wstring ReadEntry(DetailsFile& file, std::wstring_view section, std::wstring_view key) {
  size_t header = 0, end = 0;
  if (key.empty() || !LocateSection(file, section, header, end)) return {};
  std::wstring entryKey, value;
  for (size_t line = header; file.doc.NextEntry(line, end, entryKey, value);) {
    if (EqualsNoCase(entryKey, key)) return value;
  }
  return {};
}

}  // namespace

std::wstring_view DetailsFileName(int tab) {
  return (tab >= 0 && tab < kDetailsTabs) ? kDetailsNames[tab] : std::wstring_view();
}

int DetailsTabOfName(std::wstring_view name) {
  for (int tab = 0; tab < kDetailsTabs; ++tab) {
    if (EqualsNoCase(name, kDetailsNames[tab])) return tab;
  }
  return -1;
}

std::wstring WorkFolderPath(const std::wstring& dataFolder, uint64_t dbStamp) {
  return dataFolder + L"\\Temp" + std::to_wstring(dbStamp);
}

bool PrepareWorkFolder(ResultSet& results, const std::wstring& dataFolder, uint64_t dbStamp) {
  auto& state = *results.state;
  Lock lock(state.lock);
  for (auto& file : state.details) CloseDetails(file, true);
  state.workFolder = WorkFolderPath(dataFolder, dbStamp);
  return CreateResultFolder(state.workFolder, true);
}

bool StartNewResults(ResultSet& results, const std::wstring& dataFolder, uint64_t dbStamp) {
  Lock lock(results.state->lock);
  DiscardResults(results);
  for (int tab = 0; tab < kTabCount; ++tab) ClearList(TabList(results, tab));
  return PrepareWorkFolder(results, dataFolder, dbStamp);
}

std::wstring WorkFolder(const ResultSet& results) {
  Lock lock(results.state->lock);
  return results.state->workFolder;
}

std::wstring FiledText(std::wstring_view text) {
  // The details file's own document does the round trip, so that the form
  // can never drift from what a field really reads back as.
  IniDocument document;
  document.SetString(L"Row", L"Field", text);
  return document.GetString(L"Row", L"Field", L"");
}

bool LoadDetails(ResultSet& results, int tab) {
  auto& state = *results.state;
  Lock lock(state.lock);
  DetailsFile* file = OpenDetails(state, tab);
  if (!file) return false;
  // Re-reading saves first (auto-save), so nothing written is lost.
  file->doc.Load(file->doc.Path());
  file->indexed = false;
  return true;
}

int StoreDetails(ResultList list, int rowKey, const ScanItemDetails& details) {
  if (!list || rowKey < 0) return 0;
  auto& state = *list.set->state;
  Lock lock(state.lock);
  DetailsFile* file = OpenDetails(state, list.tab);
  if (!file) return 0;

  std::vector<std::pair<std::wstring, std::wstring>> entries;
  auto add = [&](const wchar_t* key, const std::wstring& value) {
    if (!value.empty()) entries.emplace_back(key, value);
  };
  if (details.group != kNoGroup) add(L"Group ID", std::to_wstring(details.group));
  add(L"Registry Key", details.registryKey);
  add(L"Path", details.path);
  add(L"User name", details.userName);
  add(L"Value name", details.valueName);
  add(L"Extension path", details.extensionPath);
  add(L"URL", details.url);
  add(L"Value data", details.valueData);
  add(L"CLSID", details.clsid);
  add(L"JSONPath", details.jsonPath);
  add(L"DBName", details.dbName);
  for (const auto& [key, value] : details.extra) {
    if (!key.empty() && !value.empty()) entries.emplace_back(key, value);
  }
  if (entries.empty()) return 0;

  const std::wstring section = std::to_wstring(rowKey);
  size_t header = 0, end = 0;
  if (!LocateSection(*file, section, header, end)) {
    size_t written = file->doc.AppendSection(section, entries);
    if (written == 0) return 0;
    file->headers.emplace(section, written - 1);
    return int(entries.size());
  }
  // Filed before: entries are inserted into the middle of the document.
  for (const auto& [key, value] : entries) file->doc.SetString(section, key, value);
  file->indexed = false;
  return int(entries.size());
}

std::wstring GetDetail(ResultList list, int rowKey, std::wstring_view key) {
  if (rowKey < 0) return {};
  return ReadDetail(list, std::to_wstring(rowKey), key);
}

std::vector<std::pair<std::wstring, std::wstring>> GetRowDetails(ResultList list, int rowKey) {
  std::vector<std::pair<std::wstring, std::wstring>> fields;
  if (!list || rowKey < 0) return fields;
  auto& state = *list.set->state;
  Lock lock(state.lock);
  DetailsFile* file = OpenDetails(state, list.tab);
  size_t header = 0, end = 0;
  if (!file || !LocateSection(*file, std::to_wstring(rowKey), header, end)) return fields;
  std::wstring key, value;
  for (size_t line = header; file->doc.NextEntry(line, end, key, value);) fields.emplace_back(key, value);
  return fields;
}

bool WriteDetail(ResultList list, std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  if (!list) return false;
  auto& state = *list.set->state;
  Lock lock(state.lock);
  DetailsFile* file = OpenDetails(state, list.tab);
  if (!file) return false;
  size_t header = 0, end = 0;
  const bool existed = LocateSection(*file, section, header, end);
  const size_t before = file->doc.Lines().size();
  if (file->doc.SetString(section, key, value) == 0) return false;
  const auto& lines = file->doc.Lines();
  if (!existed) {
    // A new section goes at the end and moves no other header.
    if (file->indexed) {
      const std::wstring& line = lines[before];
      file->headers.emplace(ToLower(std::wstring_view(line).substr(1, line.find(L']') - 1)), before);
    }
  } else if (lines.size() != before && end != before) {
    file->indexed = false;
  }
  return true;
}

std::wstring ReadDetail(ResultList list, std::wstring_view section, std::wstring_view key) {
  if (!list) return {};
  auto& state = *list.set->state;
  Lock lock(state.lock);
  DetailsFile* file = OpenDetails(state, list.tab);
  return file ? ReadEntry(*file, section, key) : std::wstring();
}

bool SaveDetails(ResultSet& results) {
  auto& state = *results.state;
  Lock lock(state.lock);
  bool ok = true;
  for (auto& file : state.details) {
    if (!file.doc.Path().empty() && !file.doc.Save()) ok = false;
  }
  return ok;
}

bool DiscardResults(ResultSet& results) {
  auto& state = *results.state;
  Lock lock(state.lock);
  // Closed without saving: an auto-saved document would otherwise bring the
  // deleted folder back when it is next loaded or destroyed.
  for (auto& file : state.details) CloseDetails(file, false);
  bool removed = true;
  if (!state.workFolder.empty()) removed = RemoveResultFolder(state.workFolder);
  state.workFolder.clear();
  state.counters = {};
  for (int tab = 0; tab < kTabCount; ++tab) RestartKeysIfUnused(state, tab);
  return removed;
}

}  // namespace tavrin
