#include "browsers/known_good.h"

#include <array>

#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

bool IsLetter(wchar_t c) { return c >= L'a' && c <= L'z'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsHostCharacter(wchar_t c) { return IsLetter(c) || IsDigit(c) || c == L'-' || c == L'.'; }

// A top-level domain without a public-suffix list: one label ("com",
// "de", an "xn--" name), or a country code below one of the generic
// second-level names countries register under ("co.uk", "com.au").
// Anything longer is a name below someone else's domain.
bool IsTopLevelDomain(std::wstring_view rest) {
  auto isLabel = [](std::wstring_view label) {
    if (label.size() < 2 || label.size() > 63) return false;
    if (label.substr(0, 4) == L"xn--") return label.size() > 4;
    for (wchar_t c : label)
      if (!IsLetter(c)) return false;
    return true;
  };
  const size_t dot = rest.find(L'.');
  if (dot == std::wstring_view::npos) return isLabel(rest);
  const std::wstring_view second = rest.substr(0, dot);
  const std::wstring_view country = rest.substr(dot + 1);
  static constexpr std::array<std::wstring_view, 11> kSecondLevel = {L"co",  L"com", L"net", L"org", L"gov", L"edu",
                                                                     L"ac",  L"or",  L"ne",  L"go",  L"gob"};
  bool generic = false;
  for (std::wstring_view name : kSecondLevel) generic = generic || second == name;
  if (!generic || country.size() != 2) return false;
  return IsLetter(country[0]) && IsLetter(country[1]);
}

// The host is `site` followed by a top-level domain ("www.google" +
// ".co.uk"); with `anySubdomain`, also any name below that ("uk." +
// "search.yahoo.com").
bool HostIsSite(std::wstring_view host, std::wstring_view site, bool anySubdomain) {
  for (size_t at = 0; at < host.size();) {
    if (host.substr(at, site.size()) == site && at + site.size() < host.size() && host[at + site.size()] == L'.' &&
        IsTopLevelDomain(host.substr(at + site.size() + 1)))
      return true;
    if (!anySubdomain) return false;
    const size_t dot = host.find(L'.', at);
    if (dot == std::wstring_view::npos) return false;
    at = dot + 1;
  }
  return false;
}

// The domain itself or any name below it.
bool HostIsInDomain(std::wstring_view host, std::wstring_view domain) {
  if (host == domain) return true;
  return host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
         host[host.size() - domain.size() - 1] == L'.';
}

bool IsKnownGoodIeUrl(std::wstring_view url, bool page) {
  if (page && (EqualsNoCase(url, L"about:blank") || EqualsNoCase(url, L"about:Tabs"))) return true;
  std::wstring host;
  if (!ParseHttpHost(url, host)) return false;
  if (HostIsSite(host, L"google", true) || HostIsSite(host, L"yahoo", true) || HostIsSite(host, L"microsoft", true) ||
      HostIsInDomain(host, L"msn.com") || HostIsInDomain(host, L"bing.com"))
    return true;
  return page && HostIsSite(host, L"duckduckgo", true);
}

}  // namespace

bool ParseHttpHost(std::wstring_view url, std::wstring& host) {
  host.clear();
  // Browsers drop tabs and line breaks anywhere and control characters and
  // blanks at both ends before they parse.
  std::wstring text;
  for (wchar_t c : url)
    if (c != L'\t' && c != L'\r' && c != L'\n') text += c;
  size_t first = 0, last = text.size();
  while (first < last && text[first] <= L' ') ++first;
  while (last > first && text[last - 1] <= L' ') --last;
  const std::wstring_view trimmed = std::wstring_view(text).substr(first, last - first);

  size_t authority = 0;
  if (StartsWithNoCase(trimmed, L"http://")) {
    authority = 7;
  } else if (StartsWithNoCase(trimmed, L"https://")) {
    authority = 8;
  } else {
    return false;
  }
  size_t end = authority;
  while (end < trimmed.size() && trimmed[end] != L'/' && trimmed[end] != L'\\' && trimmed[end] != L'?' &&
         trimmed[end] != L'#')
    ++end;
  std::wstring_view name = trimmed.substr(authority, end - authority);
  const size_t at = name.rfind(L'@');
  if (at != std::wstring_view::npos) name = name.substr(at + 1);
  if (!name.empty() && name[0] == L'[') return false;
  const size_t colon = name.find(L':');
  if (colon != std::wstring_view::npos) name = name.substr(0, colon);
  if (!name.empty() && name.back() == L'.') name.remove_suffix(1);
  if (name.empty()) return false;
  std::wstring lower = ToLower(name);
  for (wchar_t c : lower)
    if (!IsHostCharacter(c)) return false;
  host = std::move(lower);
  return true;
}

bool IsKnownGoodUrl(std::wstring_view url, UrlTest test) {
  if (test == UrlTest::IePage || test == UrlTest::IeOther) return IsKnownGoodIeUrl(url, test == UrlTest::IePage);
  if (test == UrlTest::StartPage && EqualsNoCase(url, L"about:blank")) return true;
  // Chromium's own search engine templates start with the placeholder for
  // the Google base address, which the browser fills in itself.
  if (test == UrlTest::Search && StartsWithNoCase(url, L"{google:baseURL}")) return true;
  std::wstring host;
  if (!ParseHttpHost(url, host)) return false;
  if (HostIsSite(host, L"www.google", false) || HostIsSite(host, L"www.bing", false) ||
      HostIsSite(host, L"duckduckgo", true))
    return true;
  if (test == UrlTest::Search) return HostIsSite(host, L"search.yahoo", true);
  return HostIsSite(host, L"www.yahoo", false);
}

bool IsKnownGoodExtension(const std::wstring& definitionsRoot, std::wstring_view knownGoodKey, const std::wstring& text) {
  if (definitionsRoot.empty() || text.empty()) return false;
  return KeyExists(definitionsRoot + std::wstring(knownGoodKey), text.c_str());
}

}  // namespace tavrin
