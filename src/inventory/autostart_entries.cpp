#include "inventory/autostart_entries.h"

#include "platform/strings.h"

namespace tavrin {

namespace {

std::vector<std::wstring> SplitAt(std::wstring_view text, std::wstring_view separators) {
  std::vector<std::wstring> pieces;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find_first_of(separators, at);
    const size_t stop = end == std::wstring_view::npos ? text.size() : end;
    if (stop > at) pieces.emplace_back(text.substr(at, stop - at));
    at = stop + 1;
  }
  return pieces;
}

}  // namespace

std::vector<std::wstring> SplitAppInitDlls(std::wstring_view value) { return SplitAt(value, L"\n\r ,\t"); }

std::wstring AppInitDllFile(std::wstring_view entry) {
  std::wstring file(entry);
  if (!EndsWithNoCase(file, L".dll")) file += L".dll";
  return file;
}

std::vector<std::wstring> SplitNameServers(std::wstring_view value) { return SplitAt(value, L" \t,\r\n"); }

bool HoldsPublicResolverPair(std::wstring_view value) {
  static constexpr std::wstring_view kPairs[][2] = {
      {L"8.8.8.8", L"8.8.4.4"},
      {L"2001:4860:4860::8888", L"2001:4860:4860::8844"},
      {L"2001:4860:4860:0:0:0:0:8888", L"2001:4860:4860:0:0:0:0:8844"},
      {L"2001:4860:4860::6464", L"2001:4860:4860::64"},
      {L"2001:4860:4860:0:0:0:0:6464", L"2001:4860:4860:0:0:0:0:64"},
  };
  for (const auto& pair : kPairs) {
    if (FindNoCase(value, pair[0]) != std::wstring_view::npos && FindNoCase(value, pair[1]) != std::wstring_view::npos)
      return true;
  }
  return false;
}

bool IsProbeableAddress(std::wstring_view address) {
  return !address.empty() && address.find(L'\\') == std::wstring_view::npos;
}

std::wstring WithoutQuotes(std::wstring_view text) {
  std::wstring result;
  result.reserve(text.size());
  for (wchar_t c : text)
    if (c != L'"') result += c;
  return result;
}

std::wstring AsFolderPrefix(std::wstring_view folder) {
  std::wstring prefix(folder);
  while (!prefix.empty() && prefix.back() == L'\\') prefix.pop_back();
  if (!prefix.empty()) prefix += L'\\';
  return prefix;
}

std::wstring ReportField(std::wstring_view text) {
  std::wstring field(text);
  for (wchar_t& c : field)
    if (c < 0x20 && c != L'\t') c = L' ';
  return field;
}

}  // namespace tavrin
