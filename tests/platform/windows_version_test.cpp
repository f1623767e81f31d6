#include "platform/windows_version.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(WindowsVersion, MajorPlusMinorTenthsAndElevenFromBuild22000) {
  EXPECT_DOUBLE_EQ(WindowsVersionNumber(6, 1, 7601), 6.1);
  EXPECT_DOUBLE_EQ(WindowsVersionNumber(10, 0, 19045), 10.0);
  EXPECT_DOUBLE_EQ(WindowsVersionNumber(10, 0, 22000), 11.0);
  // The test prefix is set up to report Windows 10.
  EXPECT_DOUBLE_EQ(WindowsVersion(), 10.0);
}

}  // namespace
}  // namespace tavrin
