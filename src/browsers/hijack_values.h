#pragma once
// The values of the browsers' own files and keys that the scans judge, read
// one way for the scans and for the removal, which reads them again to know
// whether a hijack it repaired is really gone.
#include <string>
#include <string_view>
#include <vector>

#include "browsers/preference_document.h"

namespace tavrin {

// Chromium preference paths that hold a hijackable address.
inline constexpr wchar_t kChromiumHomePagePath[] = L"homepage";
inline constexpr wchar_t kChromiumStartupUrlsPath[] = L"session->startup_urls";
inline constexpr wchar_t kChromiumSearchUrlPath[] = L"default_search_provider_data->template_url_data->url";

// The string at `path` when it is not blank: a setting of another type, or
// an empty one, is nothing a browser would open.
bool ReadChromiumUrl(const PreferenceDocument& document, std::wstring_view path, std::wstring& url);

// The startup list's string entries that are not blank, in list order, as
// the browser holds them (untrimmed).
std::vector<std::wstring> ReadChromiumStartupUrls(const PreferenceDocument& document);

// A Firefox preference of "prefs.js" as the scans judge it: the first line
// naming it, its value not blank and not the empty quoted text.
bool ReadFirefoxPrefValue(const std::wstring& prefs, std::wstring_view name, std::wstring& value);

// The file of a profile that Firefox applies over "prefs.js" at every
// start: a preference it sets comes back however clean prefs.js is.
std::wstring FirefoxUserJsBeside(const std::wstring& prefs);

// Every value the file's lines set for the preference, read as prefs.js is
// and judged as ReadFirefoxPrefValue judges one (blank ones left out), in
// line order: Firefox applies each line. False when the file is there but
// could not be read.
bool ReadFirefoxPrefValues(const std::wstring& file, std::wstring_view name, std::vector<std::wstring>& values);

// The entries of Internet Explorer's "Secondary Start Pages" multi-string
// (read back one entry a line), trimmed, blank ones left out.
std::vector<std::wstring> SecondaryStartPageEntries(std::wstring_view lines);

}  // namespace tavrin
