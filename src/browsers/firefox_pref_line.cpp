#include "browsers/firefox_pref_line.h"

namespace tavrin {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring_view TrimView(std::wstring_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool MatchLine(std::wstring_view line, std::wstring_view needle, std::wstring& value) {
  constexpr std::wstring_view kOpen = L"user_pref(";
  if (line.substr(0, kOpen.size()) != kOpen) return false;
  size_t p = kOpen.size();
  for (int blanks = 0; blanks < 2 && p < line.size() && line[p] == L' '; ++blanks) ++p;
  if (line.substr(p, needle.size()) != needle) return false;
  p += needle.size();
  // A needle given with its opening quote only still needs the name's
  // closing quote before the comma.
  if (needle.back() != L'"' || needle.size() == 1) {
    size_t quote = line.find(L'"', p);
    if (quote == std::wstring_view::npos) return false;
    p = quote + 1;
  }
  while (p < line.size() && (line[p] == L' ' || line[p] == L'\t')) ++p;
  if (p >= line.size() || line[p] != L',') return false;
  std::wstring_view rest = line.substr(p + 1);
  size_t close = rest.rfind(L");");
  if (close == std::wstring_view::npos) return false;
  std::wstring_view v = TrimView(rest.substr(0, close));
  if (v.size() > 2 && v.front() == L'"' && v.back() == L'"') v = v.substr(1, v.size() - 2);
  value.assign(v);
  return true;
}

}  // namespace

bool FindFirefoxPrefLine(std::wstring_view text, std::wstring_view name, FirefoxPrefLine& out) {
  if (name.size() < 3) return false;
  std::wstring needle;
  if (name.front() == L'"') {
    needle.assign(name);
  } else {
    needle = L"\"";
    needle.append(name);
    needle.push_back(L'"');
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring_view::npos) end = text.size();
    size_t length = end - start;
    if (length > 0 && text[start + length - 1] == L'\r') --length;
    std::wstring value;
    if (MatchLine(text.substr(start, length), needle, value)) {
      out.start = start;
      out.length = length;
      out.value = std::move(value);
      return true;
    }
    start = end + 1;
  }
  return false;
}

std::vector<FirefoxPrefLine> FindFirefoxPrefLines(std::wstring_view text, std::wstring_view name) {
  std::vector<FirefoxPrefLine> lines;
  FirefoxPrefLine line;
  for (size_t offset = 0; offset < text.size() && FindFirefoxPrefLine(text.substr(offset), name, line);) {
    line.start += offset;
    offset = line.start + line.length;
    lines.push_back(std::move(line));
  }
  return lines;
}

std::wstring WithoutFirefoxPrefLine(std::wstring_view text, const FirefoxPrefLine& line) {
  std::wstring out(text);
  if (line.start <= out.size()) out.erase(line.start, line.length);
  return out;
}

std::wstring SearchPluginName(std::wstring_view xml) {
  constexpr std::wstring_view kOpen = L"<ShortName>";
  constexpr std::wstring_view kClose = L"</ShortName>";
  size_t open = xml.find(kOpen);
  if (open == std::wstring_view::npos) return {};
  size_t from = open + kOpen.size();
  size_t close = xml.find(kClose, from);
  if (close == std::wstring_view::npos) return {};
  return std::wstring(xml.substr(from, close - from));
}

namespace {

bool IsXmlNameCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' || c == L'-' ||
         c == L'.';
}

}  // namespace

bool LooksLikeSearchPlugin(std::wstring_view xml) {
  for (std::wstring_view element : {std::wstring_view(L"SearchPlugin"), std::wstring_view(L"OpenSearchDescription")}) {
    for (size_t at = xml.find(element); at != std::wstring_view::npos; at = xml.find(element, at + 1)) {
      // "<SearchPlugin" or "<os:SearchPlugin", then a blank or ">".
      size_t open = at;
      if (open > 0 && xml[open - 1] == L':') {
        --open;
        while (open > 0 && IsXmlNameCharacter(xml[open - 1])) --open;
        if (open + 1 == at) continue;
      }
      if (open == 0 || xml[open - 1] != L'<') continue;
      const size_t end = at + element.size();
      if (end < xml.size() && (xml[end] == L'>' || xml[end] == L' ' || xml[end] == L'\t' || xml[end] == L'\r' ||
                               xml[end] == L'\n'))
        return true;
    }
  }
  return false;
}

}  // namespace tavrin
