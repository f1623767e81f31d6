#include "filetrust/authenticode_digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <span>

#include "filetrust/pe_image.h"
#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "platform/unique_handle.h"

namespace tavrin {
namespace {

constexpr std::uint64_t BlockSize = 524288;

struct ProviderTraits {
  using Type = HCRYPTPROV;
  static Type Invalid() { return 0; }
  static bool IsFailure(Type value) { return value == 0; }
  static void Close(Type value) { CryptReleaseContext(value, 0); }
};
struct HashTraits {
  using Type = HCRYPTHASH;
  static Type Invalid() { return 0; }
  static bool IsFailure(Type value) { return value == 0; }
  static void Close(Type value) { CryptDestroyHash(value); }
};

ALG_ID AlgorithmId(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::Sha1:
      return CALG_SHA1;
    case DigestAlgorithm::Sha256:
      return CALG_SHA_256;
    case DigestAlgorithm::Sha384:
      return CALG_SHA_384;
    case DigestAlgorithm::Sha512:
      return CALG_SHA_512;
  }
  return 0;
}

}  // namespace

bool DigestAlgorithmOfOid(const std::string& oid, DigestAlgorithm& algorithm) {
  static const struct {
    const char* oid;
    DigestAlgorithm algorithm;
  } known[] = {
      {"1.3.14.3.2.26", DigestAlgorithm::Sha1},
      {"2.16.840.1.101.3.4.2.1", DigestAlgorithm::Sha256},
      {"2.16.840.1.101.3.4.2.2", DigestAlgorithm::Sha384},
      {"2.16.840.1.101.3.4.2.3", DigestAlgorithm::Sha512},
  };
  for (const auto& entry : known) {
    if (oid == entry.oid) {
      algorithm = entry.algorithm;
      return true;
    }
  }
  return false;
}

bool AuthenticodeDigestOfFile(const std::wstring& path, DigestAlgorithm algorithm, std::vector<unsigned char>& digest) {
  digest.clear();
  UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0) return false;
  UniqueMapping mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return false;
  UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(view.get());
  const std::uint64_t fileSize = std::uint64_t(size.QuadPart);
  if (fileSize > SIZE_MAX) return false;

  const auto image = ParsePeImage(std::span<const std::uint8_t>(bytes, std::size_t(fileSize)), fileSize);
  if (!image) return false;
  const auto ranges = AuthenticodeRanges(*image);
  if (!ranges) return false;

  UniqueHandle<ProviderTraits> provider;
  if (!CryptAcquireContextW(provider.put(), nullptr, MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
      !CryptAcquireContextW(provider.put(), nullptr, MS_ENH_RSA_AES_PROV_XP_W, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
    return false;
  UniqueHandle<HashTraits> hash;
  if (!CryptCreateHash(provider.get(), AlgorithmId(algorithm), 0, 0, hash.put())) return false;
  for (const ByteRange& range : *ranges) {
    for (std::uint64_t done = 0; done < range.length;) {
      const DWORD chunk = DWORD(std::min(BlockSize, range.length - done));
      if (!CryptHashData(hash.get(), bytes + range.offset + done, chunk, 0)) return false;
      done += chunk;
      DispatchPendingMessages();
    }
  }
  DWORD length = 0;
  DWORD lengthSize = sizeof length;
  if (!CryptGetHashParam(hash.get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&length), &lengthSize, 0) || length == 0 ||
      length > 64)
    return false;
  digest.resize(length);
  if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &length, 0)) {
    digest.clear();
    return false;
  }
  digest.resize(length);
  return true;
}

}  // namespace tavrin
