#pragma once
// The test root that tests/filetrust/signing_fixtures makes (signing\root.der
// beside the test executable), trusted in the machine "Root" store for the
// whole test program. Under Wine the chain engine keeps the root store it
// saw first, so the root must be in it before any chain is built: a test
// program registers this environment once, at namespace scope.
#include <gtest/gtest.h>

#include <string>

namespace tavrin::test {

class TrustedSigningRoot : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  // False when the signing fixture did not run first.
  static bool Added();
};

// A file the signing fixture made, beside the test executable.
std::wstring SignedFixture(const std::wstring& name);

}  // namespace tavrin::test
