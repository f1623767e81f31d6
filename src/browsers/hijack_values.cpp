#include "browsers/hijack_values.h"

#include "browsers/preference_file.h"
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

bool ReadFirefoxPrefValue(const std::wstring& prefs, std::wstring_view name, std::wstring& value) {
  if (!ReadFirefoxPref(prefs, std::wstring(name), value)) return false;
  const std::wstring trimmed = Trim(value);
  return !trimmed.empty() && trimmed != L"\"\"";
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
