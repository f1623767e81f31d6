#include "results/result_tabs.h"

#include <set>

#include <gtest/gtest.h>

#include "results/whitelist.h"

namespace tavrin {
namespace {

// The groups are listed twice, once for the tabs and once for the whitelist:
// a group added to one and not the other would show rows that can never be
// whitelisted.
TEST(ResultTabs, EveryGroupIsFoundOnceAndAllButTheFixesCanBeWhitelisted) {
  std::set<int> seen;
  for (const GroupInfo& group : ResultGroups()) {
    EXPECT_TRUE(seen.insert(group.id).second) << group.id;
    EXPECT_EQ(FindGroup(group.id), &group) << group.id;
    EXPECT_GE(group.tab, kAutostartTab) << group.id;
    EXPECT_LE(group.tab, kMalwareTab) << group.id;
    EXPECT_EQ(WhitelistSectionOf(group.tab, group.id) != nullptr, group.id != kGroupMalwareFixes) << group.id;
    // Asked about under another tab, the group is nobody's.
    EXPECT_EQ(WhitelistSectionOf(group.tab == kMalwareTab ? kAutostartTab : kMalwareTab, group.id), nullptr)
        << group.id;
  }
  EXPECT_EQ(seen.size(), 48u);
  for (int unused : {34, 54, 74, 0, kNoGroup}) EXPECT_EQ(FindGroup(unused), nullptr) << unused;
}

}  // namespace
}  // namespace tavrin
