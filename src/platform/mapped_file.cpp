#include "platform/mapped_file.h"

#include <windows.h>

#include "platform/file_system.h"

namespace tavrin {

MappedFile::MappedFile(const std::wstring& path) {
  file_.reset(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file_ || !GetFileSizeEx(file_.get(), &size) || size.QuadPart <= 0 ||
      static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX)
    return;
  mapping_.reset(CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping_) return;
  view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
  if (view_) bytes_ = {static_cast<const std::uint8_t*>(view_.get()), static_cast<size_t>(size.QuadPart)};
}

}  // namespace tavrin
