#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "definitions/adware_definitions.h"
#include "definitions/malware_hashes.h"
#include "mounted_definitions.h"

namespace tavrin {
namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

constexpr wchar_t kSha256[] = L"275A021BBFB6489E54D471899F7DB9D1663FC695EC2FE2A2C4538AABF651FD0F";

class DefinitionRules : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db = new test::MountedDefinitions(
        L"[Adware]\n"
        L"Ask Toolbar\n"
        L"Exact Bundle$\n"
        L"Abc\n"
        L"Ab\n"
        L"Mega\n"
        L"Quiet Helper | unchecked\n"
        L"\u00c9clair Helper\n"
        L"caf\u00e9\n"
        L"[Malware]\n"
        L"44D88612FEA8A8F36DE82E1278ABB02F = Trojan.Agent.8766.80\n"
        L"54D88612FEA8A8F36DE82E1278ABB02F = FP\n"
        L"64D88612FEA8A8F36DE82E1278ABB02F = Unrated.8766.0\n"
        L"74D88612FEA8A8F36DE82E1278ABB02F = Adware.Pup.9000.13\n" +
        std::wstring(kSha256) + L" = Long.Digest.8766.55\n");
  }
  static void TearDownTestSuite() {
    delete db;
    db = nullptr;
  }
  void SetUp() override { ASSERT_FALSE(db->root().empty()) << Narrow(db->error); }

  static test::MountedDefinitions* db;
};
test::MountedDefinitions* DefinitionRules::db = nullptr;

TEST_F(DefinitionRules, DisplayNamesAndTheirLeadingWords) {
  const struct {
    const wchar_t* displayName;
    std::optional<std::wstring> definition;
  } cases[] = {
      {L"Ask Toolbar", L"Ask Toolbar"},
      {L"ask toolbar", L"ask toolbar"},
      {L"Ask Toolbar Updater", L"Ask Toolbar"},           // three words: the last one dropped
      {L"Ask Toolbar Updater Service", L"Ask Toolbar"},
      {L"Exact Bundle", L"Exact Bundle"},                 // through "Exact Bundle$"
      {L"Exact Bundle Pro", std::nullopt},                // "$": the whole name only
      {L"Abc", L"Abc"},                                   // one word of three characters
      {L"Abc Cleaner", L"Abc"},                           // a first word of three characters counts
      {L"Ab", L"Ab"},                                     // the whole name always counts
      {L"Ab Cleaner", std::nullopt},                      // a first word of two does not
      {L"Ab Cleaner Suite", std::nullopt},
      {L"Mega Deals Finder", L"Mega"},
      {L"MegaDeals", std::nullopt},
      {L"Askew Toolbar", std::nullopt},
      {L"", std::nullopt},
      // A "\" would probe below a definition ("Adware\Ask Toolbar\...").
      {L"Ask Toolbar\\", std::nullopt},
      {L"Ask Toolbar\\Updater", std::nullopt},
      // Beyond ASCII, case still does not count.
      {L"\u00c9clair Helper", L"\u00c9clair Helper"},
      {L"\u00e9clair helper Pro", L"\u00e9clair helper"},
      {L"Caf\u00e9", L"Caf\u00e9"},
      {L"CAF\u00c9", L"CAF\u00c9"},
  };
  // The listed names answer as the registry does.
  const AdwareNames listed(db->root());
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.displayName));
    EXPECT_EQ(FindAdwareDefinition(db->root(), c.displayName), c.definition);
    EXPECT_EQ(FindAdwareDefinition(listed, c.displayName), c.definition);
  }
  EXPECT_EQ(FindAdwareDefinition(L"", L"Ask Toolbar"), std::nullopt);
  EXPECT_EQ(FindAdwareDefinition(AdwareNames(L""), L"Ask Toolbar"), std::nullopt);
}

TEST_F(DefinitionRules, CheckStateOfADefinition) {
  EXPECT_FALSE(DefaultCheckState(db->root(), L"Quiet Helper"));
  EXPECT_FALSE(DefaultCheckState(db->root(), L"quiet helper"));
  EXPECT_TRUE(DefaultCheckState(db->root(), L"Ask Toolbar"));
  EXPECT_TRUE(DefaultCheckState(db->root(), L"Not Defined At All"));
}

TEST_F(DefinitionRules, HashDefinitions) {
  const struct {
    std::wstring hash;
    int score;
    const wchar_t* record;
  } cases[] = {
      {L"44D88612FEA8A8F36DE82E1278ABB02F", 80, L"Trojan.Agent.8766.80"},
      {L"44d88612fea8a8f36de82e1278abb02f", 80, L"Trojan.Agent.8766.80"},
      {L"54D88612FEA8A8F36DE82E1278ABB02F", 0, L"FP"},
      {L"64D88612FEA8A8F36DE82E1278ABB02F", 0, L"Unrated.8766.0"},
      {L"74D88612FEA8A8F36DE82E1278ABB02F", 13, L"Adware.Pup.9000.13"},
      {kSha256, 55, L"Long.Digest.8766.55"},
      {L"84D88612FEA8A8F36DE82E1278ABB02F", 0, L""},   // not defined
      {L"44D88612FEA8A8F36DE82E1278ABB02", 0, L""},    // 31 digits
      {L"44D88612FEA8A8F36DE82E1278ABB02F0", 0, L""},  // a longer digest is another hash
      {L"44D88612FEA8A8F36DE82E1278ABB02F ", 0, L""},
      {L"x44D88612FEA8A8F36DE82E1278ABB02F", 0, L""},
      {L"", 0, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.hash));
    const HashVerdict verdict = LookupMalwareHash(db->root(), c.hash);
    EXPECT_EQ(verdict.score, c.score);
    EXPECT_EQ(verdict.record, c.record);
  }
}

}  // namespace
}  // namespace tavrin
