// Feeds arbitrary bytes to the PE header parser and checks the promise its
// callers rely on: every offset and range it hands out lies inside the file.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "filetrust/pe_image.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void Exercise(std::span<const std::uint8_t> headers, std::uint64_t fileSize) {
  const auto image = tavrin::ParsePeImage(headers, fileSize);
  if (!image) return;
  Check(image->sections.size() * 40 <= headers.size());
  Check(image->directories.size() <= 16);

  std::uint32_t addresses[] = {image->entryPoint, image->baseOfCode, image->sizeOfHeaders, 0xFFFFFFFF};
  for (std::uint32_t rva : addresses) {
    if (const auto offset = tavrin::RvaToFileOffset(*image, rva)) Check(*offset < fileSize);
  }
  for (const auto& directory : image->directories) {
    if (const auto offset = tavrin::RvaToFileOffset(*image, directory.address)) Check(*offset < fileSize);
  }
  for (const auto& section : image->sections) {
    if (const auto offset = tavrin::RvaToFileOffset(*image, section.virtualAddress)) Check(*offset < fileSize);
  }

  if (const auto code = tavrin::CodeSectionRange(*image)) {
    Check(code->length > 0);
    Check(code->offset < fileSize && code->length <= fileSize - code->offset);
  }
  if (const auto ranges = tavrin::AuthenticodeRanges(*image)) {
    std::uint64_t end = 0;
    std::uint64_t covered = 0;
    for (const auto& range : *ranges) {
      Check(range.offset >= end);  // in file order, never overlapping
      Check(range.offset <= fileSize && range.length <= fileSize - range.offset);
      end = range.offset + range.length;
      covered += range.length;
    }
    // The checksum and the directory entry are always left out.
    Check(covered + 12 <= fileSize);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  Exercise(bytes, size);
  // Callers may hand over only a prefix of a larger file, or a prefix that
  // claims more than the file has.
  Exercise(bytes.first(size / 2), size);
  Exercise(bytes, size / 2);
  return 0;
}
