#include "filetrust/pe_image.h"

#include <algorithm>
#include <cstring>

namespace tavrin {
namespace {

constexpr std::size_t DosHeaderSize = 64;
constexpr std::size_t NtHeadersOffsetField = 0x3C;
constexpr std::size_t FileHeaderSize = 20;
constexpr std::size_t SectionHeaderSize = 40;
constexpr std::size_t DirectoryEntrySize = 8;
constexpr std::size_t MaxDirectories = 16;

// Little-endian reads that fail instead of reading past the bytes; every
// offset arrives as a 64-bit sum of 32-bit values, so it cannot wrap.
bool Read16(std::span<const std::uint8_t> bytes, std::uint64_t offset, std::uint16_t& value) {
  if (offset > bytes.size() || bytes.size() - offset < 2) return false;
  value = std::uint16_t(bytes[offset] | (bytes[offset + 1] << 8));
  return true;
}

bool Read32(std::span<const std::uint8_t> bytes, std::uint64_t offset, std::uint32_t& value) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return false;
  value = std::uint32_t(bytes[offset]) | std::uint32_t(bytes[offset + 1]) << 8 |
          std::uint32_t(bytes[offset + 2]) << 16 | std::uint32_t(bytes[offset + 3]) << 24;
  return true;
}

bool Inside(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
  return offset <= size && size - offset >= length;
}

}  // namespace

std::optional<PeImage> ParsePeImage(std::span<const std::uint8_t> headers, std::uint64_t fileSize) {
  // A prefix longer than the file would let ranges past the end pass.
  if (headers.size() > fileSize) headers = headers.first(std::size_t(fileSize));
  std::uint16_t dosMagic = 0;
  if (headers.size() < DosHeaderSize || !Read16(headers, 0, dosMagic) || dosMagic != 0x5A4D) return std::nullopt;
  PeImage image;
  image.fileSize = fileSize;
  if (!Read32(headers, NtHeadersOffsetField, image.ntHeadersOffset)) return std::nullopt;
  const std::uint64_t nt = image.ntHeadersOffset;
  std::uint32_t signature = 0;
  if (!Read32(headers, nt, signature) || signature != 0x00004550) return std::nullopt;

  const std::uint64_t fileHeader = nt + 4;
  std::uint16_t sectionCount = 0;
  if (!Read16(headers, fileHeader, image.machine) || !Read16(headers, fileHeader + 2, sectionCount) ||
      !Read16(headers, fileHeader + 16, image.optionalHeaderSize) ||
      !Read16(headers, fileHeader + 18, image.characteristics))
    return std::nullopt;

  const std::uint64_t optional = fileHeader + FileHeaderSize;
  if (!Inside(optional, image.optionalHeaderSize, headers.size())) return std::nullopt;
  const auto optionalHeader = headers.subspan(std::size_t(optional), image.optionalHeaderSize);
  if (!Read16(optionalHeader, 0, image.magic)) return std::nullopt;
  std::uint64_t countField = 0;
  if (image.magic == PeMagic32) {
    countField = 92;
  } else if (image.magic == PeMagic64) {
    countField = 108;
  } else {
    return std::nullopt;
  }
  std::uint32_t directoryCount = 0;
  if (!Read32(optionalHeader, 4, image.sizeOfCode) || !Read32(optionalHeader, 16, image.entryPoint) ||
      !Read32(optionalHeader, 20, image.baseOfCode) || !Read32(optionalHeader, 32, image.sectionAlignment) ||
      !Read32(optionalHeader, 36, image.fileAlignment) || !Read32(optionalHeader, 56, image.sizeOfImage) ||
      !Read32(optionalHeader, 60, image.sizeOfHeaders) || !Read32(optionalHeader, 64, image.checkSum) ||
      !Read16(optionalHeader, 68, image.subsystem) || !Read32(optionalHeader, countField, directoryCount))
    return std::nullopt;
  image.checkSumOffset = optional + 64;
  image.directoriesOffset = optional + countField + 4;

  const std::uint64_t room = (image.optionalHeaderSize - (countField + 4)) / DirectoryEntrySize;
  const std::uint64_t directories = std::min<std::uint64_t>({directoryCount, room, MaxDirectories});
  for (std::uint64_t i = 0; i < directories; ++i) {
    PeDataDirectory entry;
    Read32(optionalHeader, countField + 4 + i * DirectoryEntrySize, entry.address);
    Read32(optionalHeader, countField + 8 + i * DirectoryEntrySize, entry.size);
    image.directories.push_back(entry);
  }

  const std::uint64_t table = optional + image.optionalHeaderSize;
  if (!Inside(table, std::uint64_t(sectionCount) * SectionHeaderSize, headers.size())) return std::nullopt;
  image.sections.reserve(sectionCount);
  for (std::uint64_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t at = table + i * SectionHeaderSize;
    PeSection section;
    std::memcpy(section.name, headers.data() + at, sizeof section.name);
    Read32(headers, at + 8, section.virtualSize);
    Read32(headers, at + 12, section.virtualAddress);
    Read32(headers, at + 16, section.rawSize);
    Read32(headers, at + 20, section.rawPointer);
    Read32(headers, at + 36, section.characteristics);
    image.sections.push_back(section);
  }
  return image;
}

std::optional<std::uint64_t> RvaToFileOffset(const PeImage& image, std::uint32_t rva) {
  if (rva < image.sizeOfHeaders) {
    if (rva < image.fileSize) return rva;
    return std::nullopt;
  }
  for (const PeSection& section : image.sections) {
    const std::uint64_t extent = section.virtualSize != 0 ? section.virtualSize : section.rawSize;
    if (rva < section.virtualAddress || rva - std::uint64_t(section.virtualAddress) >= extent) continue;
    const std::uint64_t delta = rva - std::uint64_t(section.virtualAddress);
    // Past the raw data the section is zero-filled memory that the file
    // does not hold.
    if (delta >= section.rawSize) return std::nullopt;
    const std::uint64_t offset = section.rawPointer + delta;
    if (offset >= image.fileSize) return std::nullopt;
    return offset;
  }
  return std::nullopt;
}

std::optional<ByteRange> CodeSectionRange(const PeImage& image) {
  if (image.sizeOfCode == 0) return std::nullopt;
  const auto offset = RvaToFileOffset(image, image.baseOfCode);
  if (!offset) return std::nullopt;
  return ByteRange{*offset, std::min<std::uint64_t>(image.sizeOfCode, image.fileSize - *offset)};
}

std::optional<std::vector<ByteRange>> AuthenticodeRanges(const PeImage& image) {
  if (image.directories.size() <= PeCertificateDirectory) return std::nullopt;
  const std::uint64_t entry = image.directoriesOffset + PeCertificateDirectory * DirectoryEntrySize;
  const std::uint64_t entryEnd = entry + DirectoryEntrySize;
  if (image.checkSumOffset + 4 > entry || entryEnd > image.fileSize) return std::nullopt;

  const PeDataDirectory& certificates = image.directories[PeCertificateDirectory];
  std::uint64_t tableStart = image.fileSize;
  std::uint64_t tableEnd = image.fileSize;
  if (certificates.size != 0) {
    tableStart = certificates.address;
    tableEnd = tableStart + certificates.size;
    if (tableStart < entryEnd || tableEnd > image.fileSize) return std::nullopt;
  }
  std::vector<ByteRange> ranges;
  ranges.push_back({0, image.checkSumOffset});
  ranges.push_back({image.checkSumOffset + 4, entry - (image.checkSumOffset + 4)});
  if (tableStart > entryEnd) ranges.push_back({entryEnd, tableStart - entryEnd});
  if (image.fileSize > tableEnd) ranges.push_back({tableEnd, image.fileSize - tableEnd});
  return ranges;
}

}  // namespace tavrin
