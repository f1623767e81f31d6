#pragma once
// Firefox's compressed JSON files ("search.json.mozlz4"): the eight bytes
// "mozLz40\0", the decompressed size as a 32-bit little-endian number, and
// one LZ4 block. The block is decoded and encoded by the LZ4 library; no
// platform calls, so that the reader also builds natively for the fuzzer.
#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

// The largest decompressed size accepted. Firefox's search settings are a
// few kilobytes, a few megabytes with inline icons; a header that claims
// more is not such a file and is never allocated for.
inline constexpr size_t kMaxMozLz4Size = 16u << 20;

// The decompressed bytes of a whole file's contents. False, with `out`
// empty, for a wrong magic, a size above the cap, a block that does not
// decode, or one that decodes to another size than the header says.
bool DecodeMozLz4(std::string_view file, std::string& out);

// The file's contents for `data`: header and one LZ4 block. False when the
// data is larger than the cap or the library refuses it.
bool EncodeMozLz4(std::string_view data, std::string& file);

}  // namespace tavrin
