#pragma once
// What the Chromium-family scans never report: the start pages and search
// providers of the four big search engines, and the extensions the
// definitions list as known-good. A URL is judged by the host a browser
// would connect to, never by text found anywhere in it: a hijacker's
// "https://evil.test/?q=google.com" names Google but leads elsewhere.
#include <string>
#include <string_view>

namespace tavrin {

enum class UrlTest {
  StartPage,  // home and startup pages: Google, Bing, DuckDuckGo, Yahoo, "about:blank"
  Search,     // search providers: Google, Bing, DuckDuckGo, Yahoo search, Chromium's "{google:baseURL}"
  Policy,     // policy pages: Google, Bing, DuckDuckGo, Yahoo
  // Internet Explorer's home and search page values: Google, Yahoo,
  // Microsoft, MSN and Bing (any name below their domains), DuckDuckGo,
  // "about:Tabs" and "about:blank".
  IePage,
  // Internet Explorer's secondary start pages, search providers and
  // policies: the same sites without DuckDuckGo and the "about:" pages.
  IeOther,
};

// The lower-case host of an http or https URL as a browser parses it:
// user information and port dropped, a backslash ending the authority like
// a slash, tabs and line breaks removed. False for any other scheme and for
// hosts with characters a plain DNS name does not have (percent escapes,
// IPv6 literals), which therefore never count as known-good.
bool ParseHttpHost(std::wstring_view url, std::wstring& host);

// True when the URL passes the test.
bool IsKnownGoodUrl(std::wstring_view url, UrlTest test);

// True when the definitions hold, under `definitionsRoot` + `knownGoodKey`
// ("\WhiteList\Chrome Extensions" and so on), a value named like `text`
// (an extension id or display name, compared without regard to case).
bool IsKnownGoodExtension(const std::wstring& definitionsRoot, std::wstring_view knownGoodKey, const std::wstring& text);

}  // namespace tavrin
