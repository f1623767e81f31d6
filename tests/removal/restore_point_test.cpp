// The restore point where System Restore is missing (as under Wine): no
// point is made, and the creation-frequency setting ends exactly as it
// began.
#include "removal/restore_point.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"

namespace tavrin {
namespace {

class RestorePointFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    RegKey key = OpenKey(kRestoreFrequencyKey, kRegRead);
    hadValue = key && ReadRaw(key, kRestoreFrequencyValue, saved);
  }
  void TearDown() override {
    RegKey key = OpenKey(kRestoreFrequencyKey, kRegCreateOrOpen);
    if (hadValue)
      WriteValue(key, kRestoreFrequencyValue, saved.type, saved.Data(), saved.length);
    else
      DeleteValue(key, kRestoreFrequencyValue);
  }
  bool hadValue = false;
  RegValueBuffer saved;
};

TEST_F(RestorePointFixture, TheFrequencySettingIsPutBackAsItWas) {
  const std::wstring longDescription(300, L'x');
  struct Case {
    bool present;
    DWORD type;
    DWORD number;
  };
  for (const Case& c : {Case{true, REG_DWORD, 1440}, Case{true, REG_DWORD, 0}, Case{false, 0, 0}}) {
    RegKey key = OpenKey(kRestoreFrequencyKey, kRegCreateOrOpen);
    ASSERT_TRUE(key);
    if (c.present)
      ASSERT_TRUE(WriteDword(key, kRestoreFrequencyValue, c.number));
    else
      DeleteValue(key, kRestoreFrequencyValue);

    EXPECT_EQ(CreateRestorePoint(L"Tavrin threat removal", 100, 12), 0);
    EXPECT_EQ(CreateRestorePoint(longDescription, 100, 12), 0);
    EXPECT_EQ(CreateRestorePoint(L"", 100, 12), 0);

    DWORD after = 0;
    EXPECT_EQ(KeyExists(kRestoreFrequencyKey, kRestoreFrequencyValue), c.present) << c.number;
    if (c.present) {
      ASSERT_TRUE(ReadDwordAt(kRestoreFrequencyKey, kRestoreFrequencyValue, after));
      EXPECT_EQ(after, c.number);
    }
  }
}

}  // namespace
}  // namespace tavrin
