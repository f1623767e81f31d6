#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "browser_fixtures.h"
#include "browsers/firefox_pref_line.h"
#include "browsers/preference_file.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

const wchar_t kHijackedPrefs[] = L"firefox-hijacked\\Mozilla\\Firefox\\Profiles\\zba2o41x.default-release\\prefs.js";
const wchar_t kCleanPrefs[] = L"firefox-clean\\Mozilla\\Firefox\\Profiles\\aokil2zj.default-esr\\prefs.js";

TEST(FirefoxPrefsTest, RealPrefsFilesAnswerTheScanQueries) {
  struct Case {
    const wchar_t* file;
    const wchar_t* name;
    bool found;
    const wchar_t* value;
  } cases[] = {
      {kHijackedPrefs, L"browser.startup.homepage", true,
       L"http://search.example-hijack.test/home|http://portal.example-hijack.test/welcome"},
      {kHijackedPrefs, L"browser.search.defaultenginename", true, L"Example Hijack Search"},
      {kHijackedPrefs, L"xpinstall.signatures.required", true, L"false"},
      {kHijackedPrefs, L"extensions.enabledScopes", true, L"15"},
      {kHijackedPrefs, L"\"network.proxy.http\"", true, L"127.0.0.1"},
      {kHijackedPrefs, L"browser.startup.page", false, L""},
      {kCleanPrefs, L"browser.startup.homepage", false, L""},
      {kCleanPrefs, L"browser.search.defaultenginename", false, L""},
  };
  for (const Case& c : cases) {
    std::wstring value;
    EXPECT_EQ(ReadFirefoxPref(test::BrowserFixture(c.file), c.name, value), c.found) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
  }
}

TEST(FirefoxPrefsTest, LineShapes) {
  struct Case {
    const wchar_t* text;
    const wchar_t* name;
    const wchar_t* value;  // nullptr: no line matches
  } cases[] = {
      {L"user_pref(\"a.b\", \"http://x/\");\n", L"a.b", L"http://x/"},
      {L"user_pref(  \"a.b\", 1);", L"a.b", L"1"},
      {L"user_pref(   \"a.b\", 1);", L"a.b", nullptr},  // the name at the 14th character
      {L"// user_pref(\"a.b\", 1);\n", L"a.b", nullptr},
      {L"  user_pref(\"a.b\", 1);\n", L"a.b", nullptr},
      {L"user_pref(\"a.b.c\", 1);\nuser_pref(\"a.b\", 2);\r\n", L"a.b", L"2"},
      {L"user_pref(\"a.b\" , \"\");", L"a.b", L"\"\""},
      {L"user_pref(\"a.b\", \"x\\\"); y\");", L"a.b", L"x\\\"); y"},
      {L"user_pref(\"a.b\" 1);", L"a.b", nullptr},
      {L"user_pref(\"ab\", 1);", L"ab", nullptr},  // names shorter than three characters
  };
  for (const Case& c : cases) {
    FirefoxPrefLine line;
    EXPECT_EQ(FindFirefoxPrefLine(c.text, c.name, line), c.value != nullptr) << c.text;
    if (c.value) {
      EXPECT_EQ(line.value, c.value) << c.text;
    }
  }
}

TEST(FirefoxPrefsTest, RemovalTakesTheMatchedLineOnly) {
  test::ScratchFolder scratch;
  const std::wstring path = scratch / L"prefs.js";
  // The first copy of the line's text is inside a line that does not count;
  // the second counted line is identical and stays too.
  const std::string before =
      "// Mozilla User Preferences\n"
      "  user_pref(\"browser.startup.homepage\", \"http://a/\");\n"
      "user_pref(\"browser.startup.homepage\", \"http://a/\");\n"
      "user_pref(\"browser.startup.homepage\", \"http://a/\");\n"
      "user_pref(\"x.y.z\", 1);";
  ASSERT_TRUE(test::WriteBytes(path, before));
  ASSERT_TRUE(RemoveFirefoxPref(path, L"browser.startup.homepage"));
  EXPECT_EQ(test::ReadBytes(path),
            "// Mozilla User Preferences\n"
            "  user_pref(\"browser.startup.homepage\", \"http://a/\");\n"
            "\n"
            "user_pref(\"browser.startup.homepage\", \"http://a/\");\n"
            "user_pref(\"x.y.z\", 1);");
  EXPECT_FALSE(RemoveFirefoxPref(path, L"no.such.pref"));

  // The real file loses exactly its hijacked line.
  const std::wstring real = scratch / L"real.js";
  ASSERT_TRUE(test::WriteBytes(real, test::ReadBytes(test::BrowserFixture(kHijackedPrefs))));
  const std::string original = test::ReadBytes(real);
  ASSERT_TRUE(RemoveFirefoxPref(real, L"browser.startup.homepage"));
  const std::string line =
      "user_pref(\"browser.startup.homepage\", "
      "\"http://search.example-hijack.test/home|http://portal.example-hijack.test/welcome\");";
  std::string expected = original;
  expected.erase(expected.find(line), line.size());
  EXPECT_EQ(test::ReadBytes(real), expected);
  std::wstring value;
  EXPECT_FALSE(ReadFirefoxPref(real, L"browser.startup.homepage", value));
}

TEST(FirefoxPrefsTest, SearchPluginNames) {
  struct Case {
    const wchar_t* xml;
    const wchar_t* name;
  } cases[] = {
      {L"<SearchPlugin><ShortName>Hijack Find</ShortName><ShortName>2</ShortName>", L"Hijack Find"},
      {L"<ShortName>open only", L""},
      {L"</ShortName> <ShortName>", L""},
      {L"no tags at all", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(SearchPluginName(c.xml), c.name) << c.xml;
}

// Only a file whose root element is a search plug-in counts as one.
TEST(FirefoxPrefsTest, SearchPluginElements) {
  const struct {
    const char* xml;
    bool plugin;
  } cases[] = {
      {"<?xml version=\"1.0\"?>\n<SearchPlugin xmlns=\"http://www.mozilla.org/2006/browser/search/\">", true},
      {"<OpenSearchDescription>", true},
      {"<os:OpenSearchDescription xmlns:os=\"http://a9.com/-/spec/opensearch/1.1/\">", true},
      {"<SearchPlugin\r\n  xmlns=\"x\">", true},
      {"<ShortName>x</ShortName>", false},
      {"SearchPlugin", false},
      {"<SearchPluginList>", false},
      {"<:SearchPlugin>", false},
      {"<Application><VisualElements/></Application>", false},
      {"", false},
  };
  for (const auto& c : cases) {
    const std::wstring xml(c.xml, c.xml + std::strlen(c.xml));
    EXPECT_EQ(LooksLikeSearchPlugin(xml), c.plugin) << c.xml;
  }
}

}  // namespace
}  // namespace tavrin
