#pragma once
// A whole file mapped read-only, for parsers of file formats that look at
// headers and tables in place. The file is opened with full sharing, so a
// file in use by its program can still be examined.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/unique_handle.h"

namespace tavrin {

class MappedFile {
 public:
  // Empty (no bytes) when the file cannot be opened or mapped, is empty, or
  // does not fit into the address space.
  explicit MappedFile(const std::wstring& path);

  explicit operator bool() const { return !bytes_.empty(); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  // Declared in the order they are made, so that they are released in
  // reverse.
  UniqueFile file_;
  UniqueMapping mapping_;
  UniqueMappedView view_;
  std::span<const std::uint8_t> bytes_;
};

}  // namespace tavrin
