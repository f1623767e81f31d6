#include "browsers/mozlz4_file.h"

#include <lz4.h>

#include <cstdint>
#include <cstring>

namespace tavrin {

namespace {

constexpr char kMagic[] = "mozLz40";  // with its terminating zero: eight bytes
constexpr size_t kMagicSize = sizeof(kMagic);
constexpr size_t kHeaderSize = kMagicSize + 4;

}  // namespace

bool DecodeMozLz4(std::string_view file, std::string& out) {
  out.clear();
  if (file.size() < kHeaderSize || std::memcmp(file.data(), kMagic, kMagicSize) != 0) return false;
  const auto byte = [&](size_t i) { return std::uint32_t(std::uint8_t(file[kMagicSize + i])); };
  const std::uint32_t size = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
  const std::string_view block = file.substr(kHeaderSize);
  if (size > kMaxMozLz4Size || block.empty() || block.size() > size_t(LZ4_compressBound(int(kMaxMozLz4Size))))
    return false;
  std::string data(size_t(size) + 1, '\0');  // one spare byte: a zero size still gets a buffer
  const int got = LZ4_decompress_safe(block.data(), data.data(), int(block.size()), int(size));
  if (got < 0 || std::uint32_t(got) != size) return false;
  data.resize(size);
  out = std::move(data);
  return true;
}

bool EncodeMozLz4(std::string_view data, std::string& file) {
  file.clear();
  if (data.size() > kMaxMozLz4Size) return false;
  const int bound = LZ4_compressBound(int(data.size()));
  std::string out(kHeaderSize + size_t(bound), '\0');
  std::memcpy(out.data(), kMagic, kMagicSize);
  const std::uint32_t size = std::uint32_t(data.size());
  for (size_t i = 0; i < 4; ++i) out[kMagicSize + i] = char((size >> (8 * i)) & 0xFF);
  const int written = LZ4_compress_default(data.data(), out.data() + kHeaderSize, int(data.size()), bound);
  if (written <= 0) return false;
  out.resize(kHeaderSize + size_t(written));
  file = std::move(out);
  return true;
}

}  // namespace tavrin
