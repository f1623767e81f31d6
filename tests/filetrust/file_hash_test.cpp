#include "filetrust/file_hash.h"

#include <gtest/gtest.h>

#include <string>

#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ScratchFolder;
using test::WriteBytes;

TEST(FileHash, HexWriterOptionsAndCapacity) {
  const unsigned char bytes[] = {0x01, 0xAB, 0xFF};
  const struct {
    unsigned options;
    size_t capacity;
    bool ok;
    const wchar_t* text;
  } cases[] = {
      {HexPlain, 7, true, L"01ABFF"},
      {HexPlain, 6, false, L""},  // no room for the terminator
      {HexPrefix, 9, true, L"0x01ABFF"},
      {HexPrefix, 8, false, L""},
      {HexReversed, 7, true, L"FFAB01"},
      {HexLowercase | HexPrefix | HexReversed, 9, true, L"0xffab01"},
      {HexPrefix, 0, false, L""},
  };
  for (const auto& c : cases) {
    std::wstring out = L"stale";
    EXPECT_EQ(WriteHex(bytes, sizeof bytes, out, c.options, c.capacity), c.ok) << c.options << " " << c.capacity;
    EXPECT_EQ(out, c.text) << c.options << " " << c.capacity;
  }
}

TEST(FileHash, DigestsOfBytesTextAndFiles) {
  std::wstring hex;
  EXPECT_EQ(Md5OfBytes("", 0, hex), 0u);
  EXPECT_EQ(hex, L"D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(Md5OfBytes("abc", 3, hex), 3u);
  EXPECT_EQ(hex, L"900150983CD24FB0D6963F7D28E17F72");
  // UTF-16LE: six bytes "a\0b\0c\0", not three.
  EXPECT_EQ(Md5OfText(L"abc"), L"CE1473CF80C6B3FDA8E3DFC006ADC315");

  ScratchFolder scratch;
  ASSERT_TRUE(WriteBytes(scratch / L"empty.bin", ""));
  ASSERT_TRUE(Md5OfFile(scratch / L"empty.bin", hex));
  EXPECT_EQ(hex, L"D41D8CD98F00B204E9800998ECF8427E");

  // Longer than one 512 KiB block, so that the blocks are joined.
  std::string large(1300000, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = char(i * 7 + (i >> 9));
  ASSERT_TRUE(WriteBytes(scratch / L"large.bin", large));
  std::wstring expected;
  ASSERT_EQ(Md5OfBytes(large.data(), large.size(), expected), large.size());
  ASSERT_TRUE(Md5OfFile(scratch / L"large.bin", hex));
  EXPECT_EQ(hex, expected);
  // A limit hashes only the start; one above the size the whole file.
  ASSERT_EQ(Md5OfBytes(large.data(), 10240, expected), 10240u);
  ASSERT_TRUE(Md5OfFile(scratch / L"large.bin", hex, 10240));
  EXPECT_EQ(hex, expected);
  ASSERT_TRUE(Md5OfFile(scratch / L"large.bin", hex, large.size() * 2));
  ASSERT_EQ(Md5OfBytes(large.data(), large.size(), expected), large.size());
  EXPECT_EQ(hex, expected);

  hex = L"stale";
  EXPECT_FALSE(Md5OfFile(scratch / L"missing.bin", hex));
  EXPECT_EQ(hex, L"");
  EXPECT_FALSE(Md5OfFile(scratch.Path(), hex));  // a folder
  EXPECT_EQ(hex, L"");
}

}  // namespace
}  // namespace tavrin
