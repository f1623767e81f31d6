#include "inventory/autostart_value_texts.h"

#include <cwctype>

namespace tavrin {

namespace {

// Kept free of the platform's helpers so that the parsing builds and is
// fuzzed on any system.
std::wstring Trimmed(std::wstring_view text) {
  const size_t first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring_view::npos) return {};
  const size_t last = text.find_last_not_of(L" \t\r\n");
  return std::wstring(text.substr(first, last - first + 1));
}

// The start of the last occurrence of `what` in `text`, any case.
size_t FindLastNoCase(std::wstring_view text, std::wstring_view what) {
  if (what.size() > text.size()) return std::wstring_view::npos;
  for (size_t at = text.size() - what.size() + 1; at-- > 0;) {
    size_t i = 0;
    while (i < what.size() && std::towlower(text[at + i]) == std::towlower(what[i])) ++i;
    if (i == what.size()) return at;
  }
  return std::wstring_view::npos;
}

}  // namespace

std::vector<std::wstring> SplitAtAny(std::wstring_view text, std::wstring_view separators) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(separators, start);
    if (end == std::wstring_view::npos) end = text.size();
    std::wstring part = Trimmed(text.substr(start, end - start));
    if (!part.empty()) parts.push_back(std::move(part));
    start = end + 1;
  }
  return parts;
}

std::vector<std::wstring> SecurityPackageEntries(std::wstring_view value) {
  if (value.empty() || value == L"\"\"") return {};
  return SplitAtAny(value, L",\n");
}

std::wstring SecurityPackageFile(const std::wstring& entry) {
  if (entry.size() >= 5 && entry.find(L'.') != std::wstring::npos) return entry;
  return entry + L".dll";
}

std::wstring MuiCacheProgram(const std::wstring& valueName, double windowsVersion) {
  if (valueName.size() < 3 || valueName[1] != L':' || valueName[2] != L'\\') return {};
  std::wstring path = valueName;
  if (windowsVersion > 6.1 && path.size() > 20) {
    const size_t tail = path.size() - 19;
    for (std::wstring_view suffix : {std::wstring_view(L".FriendlyAppName"), std::wstring_view(L".ApplicationCompany")}) {
      const size_t at = FindLastNoCase(path, suffix);
      if (at != std::wstring::npos && at >= tail) {
        path.resize(at);
        break;
      }
    }
  }
  return path;
}

bool IsBracedClassId(std::wstring_view text) {
  if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? text[i] != L'-' : !std::iswxdigit(text[i])) return false;
  }
  return true;
}

}  // namespace tavrin
