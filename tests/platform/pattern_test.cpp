#include "platform/pattern.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(Pattern, CaseInsensitiveUnlessAskedAndCapturesGroups) {
  Pattern sid(L"(HKU|HKEY_USERS)\\\\(S-1-5.+?)\\\\");
  PatternMatch m;
  ASSERT_TRUE(sid.Match(L"hku\\S-1-5-21-1-2-3-1000\\Software\\Run", m));
  EXPECT_EQ(m.Group(1), L"hku");
  EXPECT_EQ(m.Group(2), L"S-1-5-21-1-2-3-1000");
  EXPECT_FALSE(m.HasGroup(3));

  EXPECT_TRUE(Pattern(L"^tavrin$").Matches(L"TAVRIN"));
  EXPECT_FALSE(Pattern(L"^tavrin$", PatternCaseSensitive).Matches(L"TAVRIN"));
  // Case folding beyond ASCII.
  EXPECT_TRUE(Pattern(L"^\u00FCber$").Matches(L"\u00DCBER"));
}

TEST(Pattern, OptionalGroupThatDidNotTakePartIsUnset) {
  PatternMatch m;
  ASSERT_TRUE(Pattern(L"a(x)?(b)").Match(L"ab", m));
  EXPECT_FALSE(m.HasGroup(1));
  EXPECT_EQ(m.Group(2), L"b");
}

TEST(Pattern, ReplaceAllWithDollarReferences) {
  EXPECT_EQ(RegexReplace(L"C:\\Tools\\tavrin64.exe", L"64\\.exe$", L".exe").value(), L"C:\\Tools\\tavrin.exe");
  EXPECT_EQ(Pattern(L"(\\w+)=(\\w+)").ReplaceAll(L"a=1, b=2", L"$2:${1}").value(), L"1:a, 2:b");
  EXPECT_EQ(Pattern(L"x").ReplaceAll(L"no match", L"y").value(), L"no match");
  // A long result that does not fit the first guess of the output size.
  EXPECT_EQ(Pattern(L"a").ReplaceAll(std::wstring(1000, L'a'), L"bbbb").value(), std::wstring(4000, L'b'));
}

TEST(Pattern, InvalidPatternsFailWithoutCrashing) {
  for (const wchar_t* bad : {L"(unclosed", L"[z-a]", L"*lead", L"\\"}) {
    Pattern p;
    EXPECT_FALSE(p.Compile(bad)) << bad;
    EXPECT_FALSE(p.IsValid());
    EXPECT_NE(p.ErrorCode(), 0);
    EXPECT_FALSE(p.Matches(L"anything"));
    EXPECT_FALSE(p.ReplaceAll(L"anything", L"x").has_value());
  }
  // A malformed replacement reference is a failure, not a crash.
  EXPECT_FALSE(Pattern(L"a").ReplaceAll(L"a", L"${").has_value());
}

TEST(Pattern, SubjectsWithUnpairedSurrogatesMatchSafely) {
  std::wstring subject = L"abc";
  subject += wchar_t(0xD800);
  subject += L"def";
  EXPECT_TRUE(Pattern(L"def$").Matches(subject));
  EXPECT_TRUE(Pattern(L"^abc").Matches(subject));
}

TEST(Pattern, MatchAllFindsEveryOccurrenceAndStopsOnEmptyMatches) {
  auto all = Pattern(L"\\d+").MatchAll(L"a1 b22 c333");
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[2].Group(0), L"333");
  EXPECT_EQ(Pattern(L"x*").MatchAll(L"abc").size(), 4u);
}

}  // namespace
}  // namespace tavrin
