#include "filetrust/crypto_hash.h"

#include <algorithm>

namespace tavrin {

namespace {

// One provider per thread: acquiring it costs more than hashing a small
// file, and a scan hashes thousands of them on one thread.
HCRYPTPROV ThreadProvider() {
  thread_local UniqueHandle<CryptProviderTraits> provider;
  if (!provider &&
      !CryptAcquireContextW(provider.put(), nullptr, MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
      !CryptAcquireContextW(provider.put(), nullptr, MS_ENH_RSA_AES_PROV_XP_W, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
    return 0;
  return provider.get();
}

}  // namespace

CryptoHash::CryptoHash(ALG_ID algorithm) {
  const HCRYPTPROV provider = ThreadProvider();
  if (provider && !CryptCreateHash(provider, algorithm, 0, 0, hash_.put())) hash_.reset();
}

bool CryptoHash::Add(const void* data, size_t length) {
  if (!hash_) return false;
  const auto* bytes = static_cast<const BYTE*>(data);
  for (size_t done = 0; done < length;) {
    const DWORD piece = DWORD(std::min<size_t>(length - done, 1u << 30));
    if (!CryptHashData(hash_.get(), bytes + done, piece, 0)) return false;
    done += piece;
  }
  return true;
}

bool CryptoHash::Finish(std::vector<unsigned char>& digest) {
  digest.clear();
  DWORD size = 0;
  DWORD sizeLength = sizeof size;
  if (!hash_ || !CryptGetHashParam(hash_.get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &sizeLength, 0) ||
      size == 0 || size > 64)
    return false;
  digest.resize(size);
  if (!CryptGetHashParam(hash_.get(), HP_HASHVAL, digest.data(), &size, 0)) {
    digest.clear();
    return false;
  }
  digest.resize(size);
  return true;
}

}  // namespace tavrin
