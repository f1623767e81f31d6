#pragma once
// Firefox's "prefs.js" line format, user_pref("name", value);, over text
// already read: no platform calls, so that the fuzzer runs it natively.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

struct FirefoxPrefLine {
  size_t start = 0;   // first character of the line
  size_t length = 0;  // without its line break
  std::wstring value;
};

// The first line of `text` that begins with "user_pref(" and names the
// preference: up to two blanks, the name in double quotes (a name that
// begins with a quote is taken as the whole needle), blanks, then ",". The
// value is the text after the comma up to the line's last ");", trimmed,
// without its quotes when it is a quoted text longer than two characters.
// Escapes in the value stay as written. False for a name shorter than
// three characters or when no line matches.
bool FindFirefoxPrefLine(std::wstring_view text, std::wstring_view name, FirefoxPrefLine& out);

// Every line of `text` that FindFirefoxPrefLine would take for the
// preference, in order, their offsets into the whole text. Firefox applies
// them all, the last one winning.
std::vector<FirefoxPrefLine> FindFirefoxPrefLines(std::wstring_view text, std::wstring_view name);

// The text with that line's characters removed and its line break kept.
std::wstring WithoutFirefoxPrefLine(std::wstring_view text, const FirefoxPrefLine& line);

// The display name of a search plug-in: the text between the first
// "<ShortName>" and the "</ShortName>" after it; empty when either is missing.
std::wstring SearchPluginName(std::wstring_view xml);

// True when the text holds the root element of a search plug-in
// ("<SearchPlugin" or "<OpenSearchDescription", with or without a namespace
// prefix): anything else in a plug-in folder is not one the browser loads.
bool LooksLikeSearchPlugin(std::wstring_view xml);

}  // namespace tavrin
