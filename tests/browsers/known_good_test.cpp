#include "browsers/known_good.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrin {
namespace {

std::string Narrow(std::wstring_view s) {
  std::string out;
  for (wchar_t c : s) out += c < 128 ? char(c) : '?';
  return out;
}

// One URL against the three tests: whether it passes the start-page, the
// search and the policy test.
struct UrlCase {
  const wchar_t* url;
  bool startPage, search, policy;
};

TEST(KnownGoodUrls, JudgedByTheHostABrowserWouldConnectTo) {
  const UrlCase cases[] = {
      // The four engines under any top-level domain.
      {L"https://www.google.com/", true, true, true},
      {L"http://www.google.co.uk/webhp?hl=en", true, true, true},
      {L"HTTPS://WWW.GOOGLE.DE", true, true, true},
      {L"https://www.google.com:443/search?q={searchTerms}", true, true, true},
      {L"https://www.google.com./", true, true, true},
      {L"https://www.bing.com/search?q={searchTerms}&form=QBLH", true, true, true},
      {L"https://duckduckgo.com/?q={searchTerms}", true, true, true},
      {L"https://start.duckduckgo.com/", true, true, true},
      {L"https://www.yahoo.com/", true, false, true},
      {L"https://search.yahoo.com/search?p={searchTerms}", false, true, false},
      {L"https://uk.search.yahoo.com/search?p={searchTerms}", false, true, false},
      // Names of the engines elsewhere in the URL lead elsewhere.
      {L"https://evil.test/?q=google.com", false, false, false},
      {L"https://evil.test/redirect#://www.google.com", false, false, false},
      {L"https://www.google.com@evil.test/", false, false, false},
      {L"https://www.google.com:pw@evil.test/", false, false, false},
      {L"https://www.google.evil.test/", false, false, false},
      {L"https://www.google.com.evil.test/", false, false, false},
      {L"https://notduckduckgo.com/", false, false, false},
      {L"https://duckduckgo.com.evil.test/", false, false, false},
      {L"https://google.com/", false, false, false},
      {L"https://www.google.com%2Eevil.test/", false, false, false},
      {L"https://[::1]/www.google.com", false, false, false},
      {L"ftp://www.google.com/", false, false, false},
      {L"javascript://www.google.com/%0Aalert(1)", false, false, false},
      {L"www.google.com", false, false, false},
      {L"", false, false, false},
      {L"https://", false, false, false},
      // A backslash ends the host the way a slash does, so this one really
      // opens Google; tabs and line breaks are dropped before parsing.
      {L"https://www.google.com\\@evil.test/", true, true, true},
      {L"https://www.goo\tgle.com/", true, true, true},
      {L"  https://www.bing.com/  ", true, true, true},
      // Not URLs with a host at all.
      {L"about:blank", true, false, false},
      {L"ABOUT:BLANK", true, false, false},
      {L"about:blank#x", false, false, false},
      {L"{google:baseURL}search?q={searchTerms}", false, true, false},
      {L"https://evil.test/{google:baseURL}", false, false, false},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(Narrow(c.url));
    EXPECT_EQ(IsKnownGoodUrl(c.url, UrlTest::StartPage), c.startPage);
    EXPECT_EQ(IsKnownGoodUrl(c.url, UrlTest::Search), c.search);
    EXPECT_EQ(IsKnownGoodUrl(c.url, UrlTest::Policy), c.policy);
  }
}

// Internet Explorer's pages against its two tests: home and search page
// values, and the rest (secondary pages, search providers, policies).
TEST(KnownGoodUrls, InternetExplorerSitesByHost) {
  const struct {
    const wchar_t* url;
    bool page, other;
  } cases[] = {
      {L"https://www.google.com/", true, true},
      {L"http://google.de/", true, true},
      {L"https://de.search.yahoo.com/", true, true},
      {L"https://go.microsoft.com/fwlink/p/?LinkId=255141", true, true},
      {L"http://www.msn.com/", true, true},
      {L"https://www.bing.com/search?q={searchTerms}", true, true},
      {L"https://duckduckgo.com/", true, false},
      {L"about:blank", true, false},
      {L"About:Tabs", true, false},
      // The sites' names elsewhere in the URL, or as a prefix of another name.
      {L"http://portal.example-hijack.test/?www.google.com", false, false},
      {L"http://microsoft.com.example-hijack.test/", false, false},
      {L"http://evilmsn.com/", false, false},
      {L"http://www.bing.com.example-hijack.test/", false, false},
      {L"about:blank http://portal.example-hijack.test/", false, false},
      {L"res://ieframe.dll/", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.url));
    EXPECT_EQ(IsKnownGoodUrl(c.url, UrlTest::IePage), c.page);
    EXPECT_EQ(IsKnownGoodUrl(c.url, UrlTest::IeOther), c.other);
  }
}

TEST(KnownGoodUrls, HostParsing) {
  struct Case {
    const wchar_t* url;
    const wchar_t* host;  // null: no host
  } const cases[] = {
      {L"https://User:Pw@Portal.Example-Hijack.TEST:8080/welcome?x=1", L"portal.example-hijack.test"},
      {L"http://search.example-hijack.test/?q={searchTerms}", L"search.example-hijack.test"},
      {L"http://a.test?b@c.test", L"a.test"},
      {L"http://a.test#@c.test", L"a.test"},
      {L"file:///C:/x.html", nullptr},
      {L"http://exa mple.test/", nullptr},
      {L"http://:80/", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.url));
    std::wstring host;
    EXPECT_EQ(ParseHttpHost(c.url, host), c.host != nullptr);
    EXPECT_EQ(host, c.host ? c.host : L"");
  }
}

}  // namespace
}  // namespace tavrin
