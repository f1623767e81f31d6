#include "filetrust/version_info.h"

#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"

namespace tavrin {
namespace {

std::wstring Sample(const std::wstring& name) { return test::TestBuildPath(L"samples\\" + name); }

TEST(VersionInfo, StatesAndPrefix) {
  const struct {
    const wchar_t* file;
    VersionInfoState state;
    const wchar_t* prefix;
  } cases[] = {
      {L"trust_sample_versioned.exe", VersionInfoReady, L"\\StringFileInfo\\040904B0\\"},
      {L"trust_sample_untranslated.exe", VersionInfoNoTranslation, L""},
      {L"trust_sample_plain.exe", VersionInfoNone, L""},
      {L"no_such_file.exe", VersionInfoNone, L""},
  };
  for (const auto& c : cases) {
    const VersionInfo info = ReadVersionInfo(Sample(c.file));
    EXPECT_EQ(info.state, c.state) << c.file;
    EXPECT_EQ(info.prefix, c.prefix) << c.file;
  }
}

TEST(VersionInfo, StringsAreTrimmedAndFallBackToTheDefault) {
  const VersionInfo versioned = ReadVersionInfo(Sample(L"trust_sample_versioned.exe"));
  const VersionInfo untranslated = ReadVersionInfo(Sample(L"trust_sample_untranslated.exe"));
  const VersionInfo none = ReadVersionInfo(Sample(L"trust_sample_plain.exe"));
  const struct {
    const VersionInfo* info;
    const wchar_t* name;
    const wchar_t* expected;
  } cases[] = {
      {&versioned, L"CompanyName", L"Tavrin Sample Works"},  // white space at both ends dropped
      {&versioned, L"OriginalFileName", L"trust_sample.exe"},
      {&versioned, L"FileDescription", L"(default)"},  // blank
      {&versioned, L"InternalName", L"(default)"},     // missing
      {&untranslated, L"CompanyName", L"(default)"},   // present, but no translation names it
      {&none, L"CompanyName", L"(default)"},
  };
  for (const auto& c : cases) EXPECT_EQ(VersionString(*c.info, c.name, L"(default)"), c.expected) << c.name;

  std::wstring company = L"stale";
  EXPECT_EQ(CompanyNameOf(Sample(L"trust_sample_versioned.exe"), company), 19u);
  EXPECT_EQ(company, L"Tavrin Sample Works");
  EXPECT_EQ(CompanyNameOf(Sample(L"trust_sample_plain.exe"), company), 0u);
  EXPECT_EQ(company, L"");
}

}  // namespace
}  // namespace tavrin
