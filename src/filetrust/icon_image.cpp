#include "filetrust/icon_image.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace tavrin {

namespace {

// Layouts as the resource compiler stores them and as .ico files hold them.
constexpr size_t kHeaderSize = 6;
constexpr size_t kGroupEntrySize = 14;  // ends in the 16-bit resource id
constexpr size_t kFileEntrySize = 16;   // ends in the 32-bit image offset

class DataModule {
 public:
  explicit DataModule(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~DataModule() {
    if (module_) FreeLibrary(module_);
  }
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;
  HMODULE Get() const { return module_; }

 private:
  HMODULE module_;
};

BOOL CALLBACK TakeFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR parameter) {
  auto* first = reinterpret_cast<std::wstring*>(parameter);
  // Numeric ids travel as "#n", which FindResource understands.
  *first = IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name);
  return FALSE;
}

bool ResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type, const unsigned char*& data, size_t& size) {
  HRSRC found = FindResourceW(module, name, type);
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  size = SizeofResource(module, found);
  data = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
  return data != nullptr && size > 0;
}

uint16_t Read16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }

void Put32(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = char((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string FirstIconImage(const std::wstring& path) {
  DataModule module(path);
  if (!module.Get()) return {};
  std::wstring groupName;
  EnumResourceNamesW(module.Get(), RT_GROUP_ICON, TakeFirstName, reinterpret_cast<LONG_PTR>(&groupName));
  if (groupName.empty()) return {};

  const unsigned char* group = nullptr;
  size_t groupSize = 0;
  if (!ResourceBytes(module.Get(), groupName.c_str(), RT_GROUP_ICON, group, groupSize) || groupSize < kHeaderSize)
    return {};
  const size_t count = Read16(group + 4);
  if (count == 0 || groupSize < kHeaderSize + count * kGroupEntrySize) return {};

  std::string image(reinterpret_cast<const char*>(group), kHeaderSize);
  image.resize(kHeaderSize + count * kFileEntrySize);
  std::vector<std::pair<const unsigned char*, size_t>> pictures;
  size_t offset = image.size();
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* entry = group + kHeaderSize + i * kGroupEntrySize;
    const unsigned char* picture = nullptr;
    size_t pictureSize = 0;
    if (!ResourceBytes(module.Get(), MAKEINTRESOURCEW(Read16(entry + 12)), RT_ICON, picture, pictureSize)) return {};
    // Width, height, colours, reserved, planes and bit count as stored;
    // the size is the image's own, the offset where it follows.
    std::memcpy(image.data() + kHeaderSize + i * kFileEntrySize, entry, 8);
    Put32(image, kHeaderSize + i * kFileEntrySize + 8, uint32_t(pictureSize));
    Put32(image, kHeaderSize + i * kFileEntrySize + 12, uint32_t(offset));
    pictures.emplace_back(picture, pictureSize);
    offset += pictureSize;
    if (offset > 0x7FFFFFFF) return {};
  }
  for (const auto& [data, size] : pictures) image.append(reinterpret_cast<const char*>(data), size);
  return image;
}

}  // namespace tavrin
