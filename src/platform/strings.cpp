#include "platform/strings.h"

#include <windows.h>

#include <climits>

namespace tavrin {

namespace {

wchar_t LowerChar(wchar_t c) {
  if (c < 0x80) return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c;
  return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(CharLowerW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(c)))));
}

wchar_t UpperChar(wchar_t c) {
  if (c < 0x80) return (c >= L'a' && c <= L'z') ? wchar_t(c - 32) : c;
  return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(c)))));
}

bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && LowerChar(a[i]) != LowerChar(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix) {
  return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

size_t FindNoCase(std::wstring_view text, std::wstring_view what, size_t from) {
  if (what.empty()) return from <= text.size() ? from : std::wstring_view::npos;
  if (text.size() < what.size()) return std::wstring_view::npos;
  const wchar_t first = LowerChar(what[0]);
  for (size_t i = from; i + what.size() <= text.size(); ++i) {
    if (LowerChar(text[i]) == first && EqualsNoCase(text.substr(i, what.size()), what)) return i;
  }
  return std::wstring_view::npos;
}

std::wstring ToLower(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = LowerChar(c);
  return out;
}

std::wstring ToUpper(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = UpperChar(c);
  return out;
}

std::wstring Trim(std::wstring_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return std::wstring(text.substr(begin, end - begin));
}

std::vector<std::wstring> Split(std::wstring_view text, std::wstring_view separator) {
  std::vector<std::wstring> pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    if (at == std::wstring_view::npos) break;
    pieces.emplace_back(text.substr(start, at - start));
    start = at + separator.size();
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

bool ParseDecimal(std::wstring_view text, long long& out) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  if (i == text.size()) return false;
  unsigned long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
    value = value * 10 + unsigned(text[i] - L'0');
    if (value > static_cast<unsigned long long>(LLONG_MAX) + (negative ? 1 : 0)) return false;
  }
  out = negative ? static_cast<long long>(0 - value) : static_cast<long long>(value);
  return true;
}

std::wstring Utf8ToWide(std::string_view bytes) {
  if (bytes.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), nullptr, 0);
  std::wstring out(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), out.data(), n);
  return out;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace tavrin
