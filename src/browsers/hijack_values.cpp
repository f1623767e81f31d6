#include "browsers/hijack_values.h"

#include "browsers/firefox_pref_line.h"
#include "browsers/preference_file.h"
#include "platform/file_system.h"
#include "platform/strings.h"

namespace tavrin {

bool ReadChromiumUrl(const PreferenceDocument& document, std::wstring_view path, std::wstring& url) {
  return document.GetString(path, url) == PreferenceKind::String && !Trim(url).empty();
}

std::vector<std::wstring> ReadChromiumStartupUrls(const PreferenceDocument& document) {
  std::vector<std::wstring> urls;
  PreferenceNode startup;
  if (!document.FindNode(kChromiumStartupUrlsPath, startup) || startup.kind != PreferenceKind::Array) return urls;
  ElementCursor element{};
  std::wstring url;
  while (document.NextElement(element, startup)) {
    if (element.kind != PreferenceKind::String || document.ValueText(element, url) != PreferenceKind::String) continue;
    if (!Trim(url).empty()) urls.push_back(url);
  }
  return urls;
}

namespace {

bool IsPrefValue(const std::wstring& value) {
  const std::wstring trimmed = Trim(value);
  return !trimmed.empty() && trimmed != L"\"\"";
}

}  // namespace

bool ReadFirefoxPrefValue(const std::wstring& prefs, std::wstring_view name, std::wstring& value) {
  return ReadFirefoxPref(prefs, std::wstring(name), value) && IsPrefValue(value);
}

std::wstring FirefoxUserJsBeside(const std::wstring& prefs) {
  const size_t slash = prefs.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : prefs.substr(0, slash) + L"\\user.js";
}

bool ReadFirefoxPrefValues(const std::wstring& file, std::wstring_view name, std::vector<std::wstring>& values) {
  values.clear();
  PreferenceDocument document;
  document.Load(file);
  if (!document.WasRead()) return !FileExists(file);
  for (FirefoxPrefLine& line : FindFirefoxPrefLines(document.Text(), name))
    if (IsPrefValue(line.value)) values.push_back(std::move(line.value));
  return true;
}

std::vector<std::wstring> SecondaryStartPageEntries(std::wstring_view lines) {
  std::vector<std::wstring> entries;
  for (const std::wstring& line : Split(lines, L"\n")) {
    std::wstring url = Trim(line);
    if (!url.empty()) entries.push_back(std::move(url));
  }
  return entries;
}

}  // namespace tavrin
