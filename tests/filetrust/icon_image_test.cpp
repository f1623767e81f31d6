#include "filetrust/icon_image.h"

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

TEST(IconImage, TheFirstIconGroupComesBackAsTheIcoItWasBuiltFrom) {
  const std::string original = test::ReadBytes(test::TestBuildPath(L"two_images.ico"));
  ASSERT_GT(original.size(), 6u + 2 * 16);
  EXPECT_TRUE(FirstIconImage(test::TestBuildPath(L"tavrin_test_icon.dll")) == original);

  // No icon, no program, no file.
  test::ScratchFolder scratch;
  ASSERT_TRUE(test::WriteBytes(scratch / L"text.exe", "MZ but nothing more"));
  for (const std::wstring& path : {test::HelperPath(), scratch / L"text.exe", scratch / L"missing.exe"})
    EXPECT_TRUE(FirstIconImage(path).empty()) << std::string(path.begin(), path.end());
}

}  // namespace
}  // namespace tavrin
