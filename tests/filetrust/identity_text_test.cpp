#include "filetrust/identity_text.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(IdentityText, FactsJoinInTheirOrderUntilEnoughStand) {
  const std::wstring md5(32, L'M');
  const std::wstring code = L"CODE", icon = L"ICON", head = L"HEAD";
  const struct {
    const char* name;
    IdentityFacts facts;
    std::wstring text;
  } cases[] = {
      {"version strings and an MD5 are enough on their own",
       {.versionStrings = {L"Co", L"Prod", L"orig.dll"}, .primary = md5, .codeDigest = code, .iconDigest = icon,
        .headDigest = head},
       L"Co\nProd\norig.dll\n" + md5},
      {"one version string does not count: the code digest replaces it",
       {.versionStrings = {L"Co"}, .codeDigest = code, .iconDigest = icon, .headDigest = head},
       L"CODE\nICON\nHEAD"},
      {"two version strings count once; the head digest is not needed after three facts",
       {.versionStrings = {L"Co", L"", L"orig.dll"}, .codeDigest = code, .iconDigest = icon, .headDigest = head},
       L"Co\norig.dll\nCODE\nICON"},
      {"one version string is kept in front of an MD5",
       {.versionStrings = {L"Co"}, .primary = md5, .codeDigest = code, .headDigest = head},
       L"Co\n" + md5 + L"\nCODE\nHEAD"},
      {"a short primary fact is no fact", {.primary = L"ABC", .headDigest = head}, L"HEAD"},
      {"a non-PE file without an icon: its head alone", {.headDigest = head}, L"HEAD"},
      {"nothing at all", {}, L""},
      {"too short to identify anything", {.headDigest = L"AB"}, L""},
  };
  for (const auto& c : cases) EXPECT_EQ(IdentityText(c.facts), c.text) << c.name;
}

}  // namespace
}  // namespace tavrin
