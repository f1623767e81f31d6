#include "filetrust/code_section_digest.h"

#include <windows.h>

#include <cstdint>
#include <span>

#include "filetrust/file_hash.h"
#include "filetrust/pe_image.h"
#include "platform/file_system.h"
#include "platform/unique_handle.h"

namespace tavrin {

bool CodeSectionDigest(const std::wstring& path, std::wstring& hex) {
  hex.clear();
  UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
      std::uint64_t(size.QuadPart) > SIZE_MAX)
    return false;
  UniqueMapping mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return false;
  UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(view.get());
  const std::uint64_t fileSize = std::uint64_t(size.QuadPart);
  const auto image = ParsePeImage(std::span<const std::uint8_t>(bytes, std::size_t(fileSize)), fileSize);
  if (!image || image->optionalHeaderSize < 224) return false;
  const auto code = CodeSectionRange(*image);
  if (!code || code->length > 0xFFFFFFFFu) return false;
  return Md5OfBytes(bytes + code->offset, std::size_t(code->length), hex) == code->length && !hex.empty();
}

}  // namespace tavrin
