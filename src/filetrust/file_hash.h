#pragma once
// MD5 digests from the platform's cryptographic provider, written as hex
// text. They name files in the hash definitions, in cloud look-ups and in
// submissions, and they form the signer fingerprints.
#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

enum HexOptions : unsigned {
  HexPlain = 0,
  HexPrefix = 1,     // "0x" in front
  HexReversed = 2,   // last byte first: a little-endian number, most significant digit first
  HexLowercase = 4,
};

// Each byte as two digits. False when `capacity` (characters, including the
// terminating NUL a C buffer needs) is below 2 * length + 1, or + 2 more with
// the prefix; `out` is then empty.
bool WriteHex(const void* data, size_t length, std::wstring& out, unsigned options = HexPlain,
              size_t capacity = 65535);

// The number of bytes hashed (0 for an empty block as well), and the digest
// as 32 uppercase hex digits in `hex`; 0 and an empty text on failure.
size_t Md5OfBytes(const void* data, size_t length, std::wstring& hex);
// Over the UTF-16LE bytes of the text, without a terminator.
std::wstring Md5OfText(std::wstring_view text);

// Streams the file (sharing read access) in 512 KiB blocks, dispatching the
// calling thread's pending window messages between blocks; `limit` > 0
// hashes only the first `limit` bytes. A read that fails part-way gives no
// hash: false and an empty text, never the digest of the part read.
bool Md5OfFile(const std::wstring& path, std::wstring& hex, unsigned long long limit = 0);
// The same streaming with another digest of the provider (an ALG_ID such
// as CALG_SHA_256), written with `hexOptions`.
bool DigestOfFile(const std::wstring& path, unsigned algorithm, std::wstring& hex, unsigned hexOptions = HexPlain,
                  unsigned long long limit = 0);

}  // namespace tavrin
