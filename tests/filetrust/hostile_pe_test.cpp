// Damaged program files through everything that reads a file under
// judgement: version resources, trust, identity. The files come from a
// signed and an unsigned sample with bytes of their headers changed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "filetrust/file_identity.h"
#include "filetrust/file_trust.h"
#include "filetrust/pe_image.h"
#include "filetrust/version_info.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

struct Mutator {
  std::uint32_t state;
  std::uint32_t Next() {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    return state;
  }
};

// Changes one to eight bytes among the first `span` bytes, never to their
// own value, and never inside `spared` (the fields a signature does not
// cover); false when nothing could be changed.
bool Mutate(std::string& bytes, size_t span, Mutator& random, std::span<const ByteRange> spared) {
  const int count = 1 + int(random.Next() % 8);
  int changed = 0;
  for (int i = 0; i < count; ++i) {
    const size_t at = random.Next() % span;
    bool inSpared = false;
    for (const ByteRange& range : spared) inSpared |= at >= range.offset && at < range.offset + range.length;
    if (inSpared) continue;
    bytes[at] = char(bytes[at] ^ (1 + random.Next() % 255));
    ++changed;
  }
  return changed > 0;
}

TEST(HostilePe, DamagedHeadersNeverCrashAndNeverPassAsSigned) {
  const struct {
    const wchar_t* file;
    bool signedByTestAuthority;
  } samples[] = {
      {L"samples\\trust_sample_versioned.exe", false},
      {L"signing\\ca_signed.exe", true},
  };
  test::ScratchFolder scratch;
  const std::wstring damaged = scratch / L"damaged.exe";
  Mutator random{2463534242u};
  for (const auto& sample : samples) {
    const std::string original = test::ReadBytes(test::TestBuildPath(sample.file));
    ASSERT_GT(original.size(), 4096u);
    const auto image =
        ParsePeImage(std::span(reinterpret_cast<const std::uint8_t*>(original.data()), original.size()), original.size());
    ASSERT_TRUE(image);
    // The checksum and the certificate-table entry lie outside the signed
    // digest; anything else changed in the headers breaks the signature.
    const ByteRange spared[] = {{image->checkSumOffset, 4},
                                {image->directoriesOffset + 8 * PeCertificateDirectory, 8}};
    int signedCount = 0;
    for (int round = 0; round < 1000; ++round) {
      std::string bytes = original;
      if (!Mutate(bytes, std::min<size_t>(bytes.size(), 4096), random, spared)) continue;
      ASSERT_TRUE(test::WriteBytes(damaged, bytes));
      std::wstring publisher, fingerprint;
      const TrustCode code = VerifyFileTrust(damaged, publisher, &fingerprint);
      if (code == TrustValid) ++signedCount;
      const VersionInfo info = ReadVersionInfo(damaged);
      EXPECT_LE(int(info.state), 2);
      const std::wstring identity = IdentityHash(damaged);
      EXPECT_TRUE(identity.empty() || identity.size() == 32) << "round " << round;
    }
    EXPECT_EQ(signedCount, 0) << std::string(sample.file, sample.file + wcslen(sample.file));
  }
}

}  // namespace
}  // namespace tavrin
