#include "filetrust/code_section_digest.h"

#include <cstdint>
#include <span>

#include "filetrust/file_hash.h"
#include "filetrust/pe_image.h"
#include "platform/mapped_file.h"

namespace tavrin {

bool CodeSectionDigest(const std::wstring& path, std::wstring& hex) {
  hex.clear();
  const MappedFile file(path);
  if (!file) return false;
  const auto image = ParsePeImage(file.Bytes(), file.Bytes().size());
  if (!image || image->optionalHeaderSize < 224) return false;
  const auto code = CodeSectionRange(*image);
  if (!code) return false;
  return Md5OfBytes(file.Bytes().data() + code->offset, std::size_t(code->length), hex) == code->length &&
         !hex.empty();
}

}  // namespace tavrin
