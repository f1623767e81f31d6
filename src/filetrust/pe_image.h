#pragma once
// The headers of a PE image read from its bytes, without the platform's
// loader: files under judgement are untrusted input, so nothing here
// believes a size or offset before it is checked against the file. Kept
// free of windows.h so that it builds natively for fuzzing.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tavrin {

// A run of bytes of the file, in file offsets.
struct ByteRange {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

struct PeSection {
  char name[8] = {};  // not terminated when all eight are used
  std::uint32_t virtualSize = 0;
  std::uint32_t virtualAddress = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawPointer = 0;
  std::uint32_t characteristics = 0;
};

struct PeDataDirectory {
  std::uint32_t address = 0;  // an RVA, except for the certificate table: a file offset
  std::uint32_t size = 0;
};

constexpr std::uint16_t PeMagic32 = 0x10B;
constexpr std::uint16_t PeMagic64 = 0x20B;
constexpr std::size_t PeCertificateDirectory = 4;

struct PeImage {
  std::uint64_t fileSize = 0;
  std::uint32_t ntHeadersOffset = 0;  // of "PE\0\0"
  std::uint16_t machine = 0;
  std::uint16_t characteristics = 0;
  std::uint16_t optionalHeaderSize = 0;
  std::uint16_t magic = 0;  // PeMagic32 or PeMagic64
  std::uint32_t sizeOfCode = 0;
  std::uint32_t entryPoint = 0;
  std::uint32_t baseOfCode = 0;  // an RVA
  std::uint32_t sectionAlignment = 0;
  std::uint32_t fileAlignment = 0;
  std::uint32_t sizeOfImage = 0;
  std::uint32_t sizeOfHeaders = 0;
  std::uint32_t checkSum = 0;
  std::uint16_t subsystem = 0;
  std::uint64_t checkSumOffset = 0;  // file offset of the CheckSum field
  // File offset of the data-directory table; its entries as far as both
  // NumberOfRvaAndSizes and the optional header's size allow (at most 16).
  std::uint64_t directoriesOffset = 0;
  std::vector<PeDataDirectory> directories;
  std::vector<PeSection> sections;
};

// Parses the headers. `headers` holds the first bytes of the file (the
// whole file, or a prefix long enough for the headers); `fileSize` is the
// size of the whole file, against which every range is checked. Empty when
// the bytes are not a PE image whose headers lie inside both.
std::optional<PeImage> ParsePeImage(std::span<const std::uint8_t> headers, std::uint64_t fileSize);

// The file offset of the byte at `rva`, found through the section table
// (RVAs below SizeOfHeaders lie in the headers, at the same offset). Empty
// when no section holds the address in its raw data, or the raw data lies
// outside the file.
std::optional<std::uint64_t> RvaToFileOffset(const PeImage& image, std::uint32_t rva);

// SizeOfCode bytes from BaseOfCode, clipped to the end of the file. Empty
// when SizeOfCode is 0 or BaseOfCode has no place in the file.
std::optional<ByteRange> CodeSectionRange(const PeImage& image);

// The ranges an Authenticode digest covers, in file order: the whole file
// except the CheckSum field, the certificate table's data-directory entry
// and the certificate table. Empty when the image has no certificate-table
// entry, or the table it names overlaps the headers or leaves the file.
std::optional<std::vector<ByteRange>> AuthenticodeRanges(const PeImage& image);

}  // namespace tavrin
