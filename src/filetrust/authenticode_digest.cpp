#include "filetrust/authenticode_digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <span>

#include "filetrust/crypto_hash.h"
#include "filetrust/pe_image.h"
#include "platform/mapped_file.h"
#include "platform/message_pump.h"

namespace tavrin {
namespace {

constexpr std::uint64_t BlockSize = 524288;

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
  const MappedFile file(path);
  if (!file) return false;
  const auto image = ParsePeImage(file.Bytes(), file.Bytes().size());
  if (!image) return false;
  const auto ranges = AuthenticodeRanges(*image);
  if (!ranges) return false;

  CryptoHash hash(AlgorithmId(algorithm));
  if (!hash.Ready()) return false;
  for (const ByteRange& range : *ranges) {
    for (std::uint64_t done = 0; done < range.length;) {
      const std::uint64_t chunk = std::min(BlockSize, range.length - done);
      if (!hash.Add(file.Bytes().data() + range.offset + done, std::size_t(chunk))) return false;
      done += chunk;
      DispatchPendingMessages();
    }
  }
  return hash.Finish(digest);
}

}  // namespace tavrin
