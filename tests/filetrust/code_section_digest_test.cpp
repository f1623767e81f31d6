#include "filetrust/code_section_digest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "filetrust/pe_image.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

TEST(CodeSectionDigest, SurvivesSigningButNotAChangedInstruction) {
  const std::wstring unsigned_ = test::TestBuildPath(L"samples\\trust_sample_versioned.exe");
  const std::wstring signed_ = test::TestBuildPath(L"signing\\ca_signed.exe");
  std::wstring before, after;
  ASSERT_TRUE(CodeSectionDigest(unsigned_, before));
  EXPECT_EQ(before.size(), 32u);
  // Signing rewrites the checksum and appends the certificate table only.
  ASSERT_TRUE(CodeSectionDigest(signed_, after)) << "run through ctest: the signing fixture makes the signed copy";
  EXPECT_EQ(after, before);

  std::string bytes = test::ReadBytes(unsigned_);
  const auto image = ParsePeImage(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), bytes.size());
  ASSERT_TRUE(image);
  const auto code = CodeSectionRange(*image);
  ASSERT_TRUE(code);
  test::ScratchFolder scratch;
  std::string changed = bytes;
  changed[code->offset + code->length - 1] ^= 1;
  ASSERT_TRUE(test::WriteBytes(scratch / L"changed.exe", changed));
  ASSERT_TRUE(CodeSectionDigest(scratch / L"changed.exe", after));
  EXPECT_NE(after, before);
  // A byte outside the code (the DOS stub) does not count.
  std::string stub = bytes;
  stub[0x50] ^= 1;
  ASSERT_TRUE(test::WriteBytes(scratch / L"stub.exe", stub));
  ASSERT_TRUE(CodeSectionDigest(scratch / L"stub.exe", after));
  EXPECT_EQ(after, before);
}

TEST(CodeSectionDigest, NoDigestWithoutAFullPeHeader) {
  test::ScratchFolder scratch;
  std::string bytes = test::ReadBytes(test::TestBuildPath(L"samples\\trust_sample_plain.exe"));
  ASSERT_GT(bytes.size(), 0x200u);
  const std::uint32_t nt = std::uint8_t(bytes[0x3C]) | std::uint8_t(bytes[0x3D]) << 8;
  std::string shortHeader = bytes;
  shortHeader[nt + 20] = char(200);  // SizeOfOptionalHeader below 224
  shortHeader[nt + 21] = 0;
  const struct {
    const wchar_t* name;
    std::string content;
  } cases[] = {
      {L"text.txt", "MZ but nothing else"},
      {L"empty.exe", ""},
      {L"short_header.exe", shortHeader},
      {L"cut.exe", bytes.substr(0, 0x100)},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(test::WriteBytes(scratch / c.name, c.content));
    std::wstring hex = L"stale";
    EXPECT_FALSE(CodeSectionDigest(scratch / c.name, hex)) << c.name;
    EXPECT_EQ(hex, L"") << c.name;
  }
  std::wstring hex;
  EXPECT_FALSE(CodeSectionDigest(scratch / L"missing.exe", hex));
}

}  // namespace
}  // namespace tavrin
