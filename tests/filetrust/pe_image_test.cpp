#include "filetrust/pe_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

// A synthetic PE32+ image: headers at 0, NT headers at 0x80, one section
// ".text" at RVA 0x1000 whose raw data is at 0x200 (0x200 bytes), then
// whatever the case appends.
struct Layout {
  std::uint16_t magic = PeMagic64;
  std::uint32_t directoryCount = 16;
  std::uint16_t optionalHeaderSize = 240;
  std::uint32_t sizeOfCode = 0x200;
  std::uint32_t baseOfCode = 0x1000;
  std::uint32_t certificateOffset = 0;
  std::uint32_t certificateSize = 0;
  std::uint32_t rawPointer = 0x200;
  std::uint32_t rawSize = 0x200;
  std::uint32_t virtualSize = 0x180;
  std::size_t fileSize = 0x400;
};

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = std::uint8_t(value);
  bytes[at + 1] = std::uint8_t(value >> 8);
}
void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = std::uint8_t(value >> (8 * i));
}

constexpr std::size_t Nt = 0x80;
constexpr std::size_t Optional = Nt + 24;

std::vector<std::uint8_t> Build(const Layout& layout) {
  std::vector<std::uint8_t> bytes(layout.fileSize, 0xCC);
  std::fill(bytes.begin(), bytes.begin() + std::min<std::size_t>(0x200, bytes.size()), 0);
  Put16(bytes, 0, 0x5A4D);
  Put32(bytes, 0x3C, Nt);
  Put32(bytes, Nt, 0x00004550);
  Put16(bytes, Nt + 4, 0x8664);
  Put16(bytes, Nt + 6, 1);
  Put16(bytes, Nt + 20, layout.optionalHeaderSize);
  Put16(bytes, Optional, layout.magic);
  Put32(bytes, Optional + 4, layout.sizeOfCode);
  Put32(bytes, Optional + 20, layout.baseOfCode);
  Put32(bytes, Optional + 60, 0x200);  // SizeOfHeaders
  Put32(bytes, Optional + 64, 0x12345678);
  const std::size_t count = layout.magic == PeMagic64 ? 108 : 92;
  Put32(bytes, Optional + count, layout.directoryCount);
  const std::size_t certificateEntry = Optional + count + 4 + 4 * 8;
  if (certificateEntry + 8 <= Optional + layout.optionalHeaderSize) {
    Put32(bytes, certificateEntry, layout.certificateOffset);
    Put32(bytes, certificateEntry + 4, layout.certificateSize);
  }
  const std::size_t section = Optional + layout.optionalHeaderSize;
  std::memcpy(bytes.data() + section, ".text", 5);
  Put32(bytes, section + 8, layout.virtualSize);
  Put32(bytes, section + 12, 0x1000);
  Put32(bytes, section + 16, layout.rawSize);
  Put32(bytes, section + 20, layout.rawPointer);
  return bytes;
}

std::optional<PeImage> Parse(const std::vector<std::uint8_t>& bytes) {
  return ParsePeImage(std::span<const std::uint8_t>(bytes.data(), bytes.size()), bytes.size());
}

TEST(PeImage, HeadersOfBothOptionalHeaderForms) {
  for (std::uint16_t magic : {PeMagic32, PeMagic64}) {
    Layout layout;
    layout.magic = magic;
    layout.optionalHeaderSize = magic == PeMagic64 ? 240 : 224;
    const auto image = Parse(Build(layout));
    ASSERT_TRUE(image) << magic;
    EXPECT_EQ(image->machine, 0x8664);
    EXPECT_EQ(image->checkSum, 0x12345678u);
    EXPECT_EQ(image->checkSumOffset, Optional + 64);
    EXPECT_EQ(image->directoriesOffset, Optional + (magic == PeMagic64 ? 112u : 96u));
    EXPECT_EQ(image->directories.size(), 16u);
    ASSERT_EQ(image->sections.size(), 1u);
    EXPECT_EQ(std::string(image->sections[0].name, 5), ".text");
    EXPECT_EQ(image->sections[0].rawPointer, 0x200u);
  }
}

TEST(PeImage, RefusesWhatIsNotAnImageOrLeavesTheBytes) {
  const auto valid = Build(Layout{});
  struct Case {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    int width;
  } cases[] = {
      {"no MZ", 0, 0x5A4E, 16},
      {"NT headers past the end", 0x3C, 0x3FE, 32},
      {"NT headers offset near 4 GiB", 0x3C, 0xFFFFFFFC, 32},
      {"no PE signature", Nt, 0x00004551, 32},
      {"unknown optional header magic", Optional, 0x107, 16},
      {"optional header larger than the file", Nt + 20, 0xFFFF, 16},
      {"optional header too small for its fields", Nt + 20, 100, 16},
      {"section table past the end", Nt + 6, 0xFFFF, 16},
  };
  for (const Case& c : cases) {
    auto bytes = valid;
    if (c.width == 16) {
      Put16(bytes, c.at, std::uint16_t(c.value));
    } else {
      Put32(bytes, c.at, c.value);
    }
    EXPECT_FALSE(Parse(bytes)) << c.what;
  }
  EXPECT_FALSE(ParsePeImage(std::span<const std::uint8_t>(valid.data(), 0x100), valid.size()))
      << "headers cut short";
  // A prefix that claims more bytes than the file has is cut to the file.
  EXPECT_FALSE(ParsePeImage(std::span<const std::uint8_t>(valid.data(), valid.size()), 0x100));
}

TEST(PeImage, DirectoriesAreLimitedByTheCountAndTheHeaderSize) {
  Layout layout;
  layout.directoryCount = 3;
  EXPECT_EQ(Parse(Build(layout))->directories.size(), 3u);
  layout.directoryCount = 0xFFFFFFFF;
  EXPECT_EQ(Parse(Build(layout))->directories.size(), 16u);
  layout.optionalHeaderSize = 112 + 5 * 8;  // room for five entries only
  EXPECT_EQ(Parse(Build(layout))->directories.size(), 5u);
}

TEST(PeImage, AddressesMapThroughTheSectionTable) {
  const auto image = Parse(Build(Layout{}));
  ASSERT_TRUE(image);
  const struct {
    std::uint32_t rva;
    std::optional<std::uint64_t> offset;
  } cases[] = {
      {0x10, 0x10},                // in the headers
      {0x1000, 0x200},             // first byte of the section
      {0x117F, 0x37F},             // last byte of its virtual size
      {0x1180, std::nullopt},      // past the virtual size
      {0x0FFF, std::nullopt},      // between the headers and the section
      {0xFFFFFFFF, std::nullopt},  // no overflow into a section
  };
  for (const auto& c : cases) EXPECT_EQ(RvaToFileOffset(*image, c.rva), c.offset) << std::hex << c.rva;

  Layout truncated;
  truncated.rawPointer = 0x3F0;  // raw data runs past the end of the file
  const auto cut = Parse(Build(truncated));
  EXPECT_EQ(RvaToFileOffset(*cut, 0x100F), 0x3FFu);
  EXPECT_EQ(RvaToFileOffset(*cut, 0x1010), std::nullopt);

  Layout virtualOnly;
  virtualOnly.rawSize = 0x10;  // the rest of the section is zero-filled memory
  EXPECT_EQ(RvaToFileOffset(*Parse(Build(virtualOnly)), 0x1010), std::nullopt);
}

TEST(PeImage, CodeRangeStartsAtTheFileOffsetOfBaseOfCode) {
  const struct {
    const char* what;
    std::uint32_t baseOfCode;
    std::uint32_t sizeOfCode;
    std::optional<std::uint64_t> offset;
    std::uint64_t length;
  } cases[] = {
      {"whole section", 0x1000, 0x200, 0x200, 0x200},
      {"inside the section", 0x1010, 0x20, 0x210, 0x20},
      {"clipped at the end of the file", 0x1000, 0x10000, 0x200, 0x200},
      {"no code", 0x1000, 0, std::nullopt, 0},
      {"address in no section", 0x5000, 0x200, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    Layout layout;
    layout.baseOfCode = c.baseOfCode;
    layout.sizeOfCode = c.sizeOfCode;
    const auto range = CodeSectionRange(*Parse(Build(layout)));
    ASSERT_EQ(range.has_value(), c.offset.has_value()) << c.what;
    if (!range) continue;
    EXPECT_EQ(range->offset, *c.offset) << c.what;
    EXPECT_EQ(range->length, c.length) << c.what;
  }
}

TEST(PeImage, AuthenticodeRangesLeaveOutChecksumEntryAndTable) {
  const std::uint64_t checkSum = Optional + 64;
  const std::uint64_t entry = Optional + 112 + 4 * 8;
  struct Case {
    const char* what;
    std::uint32_t tableOffset;
    std::uint32_t tableSize;
    std::size_t fileSize;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;  // empty: refused
  };
  const Case cases[] = {
      {"unsigned", 0, 0, 0x400, {{0, checkSum}, {checkSum + 4, entry - checkSum - 4}, {entry + 8, 0x400 - entry - 8}}},
      {"table at the end",
       0x400,
       0x80,
       0x480,
       {{0, checkSum}, {checkSum + 4, entry - checkSum - 4}, {entry + 8, 0x400 - entry - 8}}},
      {"data after the table",
       0x400,
       0x80,
       0x500,
       {{0, checkSum}, {checkSum + 4, entry - checkSum - 4}, {entry + 8, 0x400 - entry - 8}, {0x480, 0x80}}},
      {"table past the end", 0x400, 0x100, 0x480, {}},
      {"table size wraps", 0x400, 0xFFFFFF00, 0x480, {}},
      {"table over the headers", 0x10, 0x80, 0x480, {}},
  };
  for (const Case& c : cases) {
    Layout layout;
    layout.certificateOffset = c.tableOffset;
    layout.certificateSize = c.tableSize;
    layout.fileSize = c.fileSize;
    const auto ranges = AuthenticodeRanges(*Parse(Build(layout)));
    ASSERT_EQ(ranges.has_value(), !c.ranges.empty()) << c.what;
    if (!ranges) continue;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> got;
    for (const ByteRange& r : *ranges) got.emplace_back(r.offset, r.length);
    EXPECT_EQ(got, c.ranges) << c.what;
  }

  Layout fewDirectories;
  fewDirectories.directoryCount = 4;  // no certificate-table entry at all
  EXPECT_FALSE(AuthenticodeRanges(*Parse(Build(fewDirectories))));
}

TEST(PeImage, CrossBuiltExecutable) {
  const std::string file = test::ReadBytes(test::TestBuildPath(L"samples\\trust_sample_plain.exe"));
  ASSERT_GT(file.size(), 0x400u);
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
  // Only the first 4 KiB, as a caller that reads the headers alone hands over.
  const auto image = ParsePeImage(bytes.first(4096), file.size());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->magic, PeMagic64);
  EXPECT_EQ(image->machine, 0x8664);
  const PeSection* text = nullptr;
  for (const PeSection& section : image->sections)
    if (std::string(section.name, strnlen(section.name, 8)) == ".text") text = &section;
  ASSERT_NE(text, nullptr);
  const auto code = CodeSectionRange(*image);
  ASSERT_TRUE(code);
  EXPECT_GE(code->offset, text->rawPointer);
  EXPECT_LE(code->offset + code->length, file.size());
  // Unsigned: everything after the certificate-table entry is covered.
  const auto ranges = AuthenticodeRanges(*image);
  ASSERT_TRUE(ranges);
  EXPECT_EQ(ranges->back().offset + ranges->back().length, file.size());
}

}  // namespace
}  // namespace tavrin
