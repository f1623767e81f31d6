#include "filetrust/file_identity.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "filetrust/file_hash.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

std::wstring Sample(const std::wstring& name) { return test::TestBuildPath(L"samples\\" + name); }

TEST(FileIdentity, VersionStringsAndASuppliedMd5AreEnough) {
  const std::wstring md5(32, L'A');
  const FileIdentity identity = ReadFileIdentity(Sample(L"trust_sample_versioned.exe"), md5);
  EXPECT_EQ(identity.facts.versionStrings,
            (std::vector<std::wstring>{L"Tavrin Sample Works", L"Trust Sample", L"trust_sample.exe"}));
  EXPECT_EQ(identity.hash, Md5OfText(L"Tavrin Sample Works\nTrust Sample\ntrust_sample.exe\n" + md5));
}

TEST(FileIdentity, TheSameProgramElsewhereKeepsItsIdentityAnotherDoesNot) {
  test::ScratchFolder scratch;
  const std::wstring copy = scratch / L"renamed.exe";
  ASSERT_TRUE(CopyFileW(Sample(L"trust_sample_versioned.exe").c_str(), copy.c_str(), FALSE));
  const std::wstring original = IdentityHash(Sample(L"trust_sample_versioned.exe"));
  ASSERT_EQ(original.size(), 32u);
  EXPECT_EQ(IdentityHash(copy), original);
  EXPECT_NE(IdentityHash(Sample(L"trust_sample_plain.exe")), original);
  EXPECT_NE(IdentityHash(test::HelperPath()), original);
}

TEST(FileIdentity, OnlyProgramFilesAreIdentified) {
  test::ScratchFolder scratch;
  const std::string text = "echo this is not a program\r\n";
  ASSERT_TRUE(test::WriteBytes(scratch / L"notes.txt", text));
  ASSERT_TRUE(test::WriteBytes(scratch / L"notes.BAT", text));
  EXPECT_EQ(IdentityHash(scratch / L"notes.txt"), L"");
  // A script is known by its extension; its first bytes are its only fact.
  std::wstring head;
  ASSERT_EQ(Md5OfBytes(text.data(), text.size(), head), text.size());
  EXPECT_EQ(IdentityHash(scratch / L"notes.BAT"), Md5OfText(head));
  EXPECT_EQ(IdentityHash(scratch / L"missing.exe"), L"");
  EXPECT_EQ(IdentityHash(scratch.Path()), L"");
}

}  // namespace
}  // namespace tavrin
