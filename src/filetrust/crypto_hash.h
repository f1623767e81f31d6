#pragma once
// A digest from the platform's AES cryptographic provider (which also
// offers MD5 and the SHA-2 family), fed in pieces.
#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <vector>

#include "platform/unique_handle.h"

namespace tavrin {

struct CryptProviderTraits {
  using Type = HCRYPTPROV;
  static Type Invalid() { return 0; }
  static bool IsFailure(Type value) { return value == 0; }
  static void Close(Type value) { CryptReleaseContext(value, 0); }
};
struct CryptHashTraits {
  using Type = HCRYPTHASH;
  static Type Invalid() { return 0; }
  static bool IsFailure(Type value) { return value == 0; }
  static void Close(Type value) { CryptDestroyHash(value); }
};

class CryptoHash {
 public:
  // CALG_MD5, CALG_SHA1, CALG_SHA_256 ...; not Ready() when the provider
  // or the algorithm is not available.
  explicit CryptoHash(ALG_ID algorithm);

  bool Ready() const { return bool(hash_); }
  bool Add(const void* data, size_t length);
  // The digest; false (and empty) when the provider fails.
  bool Finish(std::vector<unsigned char>& digest);

 private:
  UniqueHandle<CryptHashTraits> hash_;
};

}  // namespace tavrin
