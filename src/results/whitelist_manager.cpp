#include "results/whitelist_manager.h"

#include <algorithm>

#include "platform/strings.h"
#include "platform/text_file.h"
#include "results/whitelist_state.h"

namespace tavrin {

namespace {

using Lock = std::lock_guard<std::mutex>;

constexpr std::wstring_view kManagerOrder[] = {
    L"Programs",
    L"Registry autostart entries",
    L"Startup folder items",
    L"Scheduled tasks",
    L"Appinit DLLs",
    L"DNS hijackers",
    L"Microsoft Edge startup pages",
    L"Microsoft Edge search providers",
    L"Microsoft Edge extensions",
    L"Microsoft Edge shortcuts",
    L"Microsoft Edge group policies",
    L"Microsoft Edge reset options",
    L"IE startup pages",
    L"IE search providers",
    L"IE ad-ons",
    L"IE shortcuts",
    L"IE group policies",
    L"IE reset options",
    L"Chrome startup pages",
    L"Crome startup pages",
    L"Chrome search providers",
    L"Crome search providers",
    L"Chrome extensions",
    L"Chrome shortcuts",
    L"Chrome group policies",
    L"Chrome reset options",
    L"Firefox startup pages",
    L"Firefox search providers",
    L"Firefox extensions",
    L"Firefox plugins",
    L"Firefox shortcuts",
    L"Firefox reset options",
    L"Infected file objects",
    L"Infected registry entries",
    L"Other Chromium browsers startup pages",
    L"Other Chromium browsers search providers",
    L"Other Chromium browsers extensions",
    L"Other Chromium browsers shortcuts",
    L"Other Chromium browsers group policies",
    L"Other Chromium browsers reset options",
    L"Other Firefox browsers startup pages",
    L"Other Firefox browsers search providers",
    L"Other Firefox browsers extensions",
    L"Other Firefox browsers plugins",
    L"Other Firefox browsers shortcuts",
    L"Other Firefox browsers reset options",
    kFoldersSection,
};

void SetMessage(std::wstring* out, const wchar_t* text) {
  if (out) *out = text;
}

}  // namespace

std::vector<WhitelistEntry> ListWhitelistEntries(const WhiteList& whitelist) {
  const auto& state = *whitelist.state;
  Lock lock(state.lock);
  std::vector<WhitelistEntry> entries;
  for (std::wstring_view section : kManagerOrder) {
    size_t header = 0, end = 0;
    if (!state.doc.FindSection(section, header, end)) continue;
    std::wstring key, value;
    for (size_t line = header; state.doc.NextEntry(line, end, key, value);)
      entries.push_back({std::wstring(section), key});
  }
  return entries;
}

int DeleteWhitelistEntries(WhiteList& whitelist, const std::vector<WhitelistEntry>& entries) {
  auto& state = *whitelist.state;
  Lock lock(state.lock);
  int removed = 0;
  bool folders = false;
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    if (DeleteEntry(state, entry->section, entry->item) != 1) continue;
    ++removed;
    if (EqualsNoCase(entry->section, kFoldersSection)) folders = true;
  }
  if (removed > 0) SaveDocument(state);
  if (folders) ReloadFolders(state);
  return removed;
}

bool ImportWhitelist(WhiteList& whitelist, const std::wstring& path, std::wstring* failureMessage) {
  struct Imported {
    std::wstring section, key, value;
  };
  std::vector<Imported> imported;
  IniDocument source;
  if (source.Load(path)) {
    size_t header = 0, end = 0, from = 0;
    std::wstring section, key, value;
    while (source.NextSection(from, header, end, section)) {
      for (size_t line = header; source.NextEntry(line, end, key, value);)
        if (!Trim(section).empty()) imported.push_back({section, key, value});
      from = end;
    }
  }
  if (imported.empty()) {
    SetMessage(failureMessage,
               L"The specified file could not be imported. Please specify a file the application can read.");
    return false;
  }

  // Section by section, in the order the file names them first; names are
  // compared without regard to case, as the look-up does.
  std::vector<std::pair<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>>> sections;
  for (const auto& entry : imported) {
    auto batch = std::find_if(sections.begin(), sections.end(),
                              [&](const auto& s) { return EqualsNoCase(s.first, Trim(entry.section)); });
    if (batch == sections.end()) batch = sections.insert(sections.end(), {Trim(entry.section), {}});
    batch->second.emplace_back(WhitelistKey(entry.key), entry.value);
  }
  auto& state = *whitelist.state;
  Lock lock(state.lock);
  SaveDocument(state);
  for (const auto& [section, entries] : sections) SetEntries(state, section, entries);
  SaveDocument(state);
  ReloadFolders(state);
  return true;
}

bool ExportWhitelist(const WhiteList& whitelist, const std::wstring& path, std::wstring* failureMessage) {
  std::wstring text;
  {
    Lock lock(whitelist.state->lock);
    for (const auto& line : whitelist.state->doc.Lines()) {
      text += line;
      text += L"\r\n";
    }
  }
  // The same form as the whitelist file itself, so that the export can be
  // imported or used as the file beside the program.
  if (path.empty() || !WriteTextFile(path, text, TextEncoding::Utf16Le)) {
    SetMessage(failureMessage,
               L"An error occurred while exporting the white list. Please specify a file the application can write to.");
    return false;
  }
  return true;
}

}  // namespace tavrin
