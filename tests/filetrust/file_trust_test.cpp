#include "filetrust/file_trust.h"

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "filetrust/file_hash.h"
#include "filetrust/pe_image.h"
#include "platform/unique_handle.h"
#include "support/child_process.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

std::wstring Sample(const std::wstring& name) { return test::TestBuildPath(L"samples\\" + name); }
// Made by tests/filetrust/signing_fixtures, which ctest runs first.
std::wstring Signed(const std::wstring& name) { return test::TestBuildPath(L"signing\\" + name); }

struct Verdict {
  TrustCode code = 0;
  std::wstring publisher;
  std::wstring fingerprint;
};

Verdict Verify(const std::wstring& path) {
  Verdict verdict;
  verdict.publisher = L"stale";
  verdict.fingerprint = L"stale";
  verdict.code = VerifyFileTrust(path, verdict.publisher, &verdict.fingerprint);
  return verdict;
}

TEST(FileTrust, LabelsOfTheCodes) {
  const struct {
    TrustCode code;
    const wchar_t* publisher;
    bool valid;
    const wchar_t* label;
  } cases[] = {
      {0, L"Acme", true, L"Signed :  Acme"},
      {0, L"", true, L"Signed :  No publisher"},
      {0x800B0100, L"Acme", false, L"Unsigned :  Acme"},
      {0x800B0100, L"", false, L"Unsigned :  No publisher"},
      {0x800B0101, L"Acme", false, L"Expired :  Acme"},
      {0x800B010C, L"Acme", false, L"Revoked :  Acme"},
      {0x800B0109, L"Acme", false, L"Untrusted :  Acme"},
      {0x800B0004, L"Acme", false, L"Untrusted :  Acme"},
      {0x800B0111, L"Acme", false, L"Untrusted :  Acme"},
      {0x80096010, L"Acme", false, L"Bad signature :  Acme"},
      {0x800B0001, L"Acme", false, L"Unknown :  Acme"},
      {0xDDDDDDDD, L"Acme", false, L"Directory"},
      {0x800B010A, L"Acme", false, L"Unsigned :  Acme"},  // no chain: not a label of its own
      {0x12345678, L"", false, L"Unsigned :  No publisher"},
  };
  for (const auto& c : cases) {
    std::wstring text = c.publisher;
    EXPECT_EQ(DescribeTrust(c.code, text), c.valid) << std::hex << c.code;
    EXPECT_EQ(text, c.label) << std::hex << c.code;
  }
}

TEST(FileTrust, FingerprintHashesTheSignedDecimalCodeAndTheName) {
  EXPECT_EQ(SignerFingerprint(0, L"CN=Acme"), Md5OfText(L"0CN=Acme"));
  EXPECT_EQ(SignerFingerprint(0x800B0100, L"Acme"), Md5OfText(L"-2146762496Acme"));
  EXPECT_EQ(SignerFingerprint(0x80096010, L"Acme"), Md5OfText(L"-2146869232Acme"));
  EXPECT_EQ(SignerFingerprint(0, L"CN=Acme").size(), 32u);
}

TEST(FileTrust, UnsignedFilesTakeThePublisherFromTheVersionResource) {
  const Verdict versioned = Verify(Sample(L"trust_sample_versioned.exe"));
  EXPECT_EQ(versioned.code, TrustNoSignature);
  EXPECT_EQ(versioned.publisher, L"Tavrin Sample Works");
  EXPECT_EQ(versioned.fingerprint, Md5OfText(L"-2146762496Tavrin Sample Works"));
  std::wstring label = versioned.publisher;
  EXPECT_FALSE(DescribeTrust(versioned.code, label));
  EXPECT_EQ(label, L"Unsigned :  Tavrin Sample Works");

  const Verdict plain = Verify(Sample(L"trust_sample_plain.exe"));
  EXPECT_EQ(plain.code, TrustNoSignature);
  EXPECT_EQ(plain.publisher, L"");
  EXPECT_EQ(plain.fingerprint, L"");
  label = plain.publisher;
  DescribeTrust(plain.code, label);
  EXPECT_EQ(label, L"Unsigned :  No publisher");

  // A verdict that asks only for the signer leaves the company out.
  std::wstring publisher = L"stale", fingerprint = L"stale";
  EXPECT_EQ(VerifySignerTrust(Sample(L"trust_sample_versioned.exe"), publisher, &fingerprint), TrustNoSignature);
  EXPECT_EQ(publisher, L"");
  EXPECT_EQ(fingerprint, L"");

  const Verdict missing = Verify(Sample(L"no_such_file.exe"));
  EXPECT_EQ(missing.code, TrustNoSignature);
  EXPECT_EQ(missing.publisher, L"");
  EXPECT_EQ(missing.fingerprint, L"");
}

TEST(FileTrust, LargeUnsignedFilesAreNotExaminedFurther) {
  ScratchFolder scratch;
  const std::wstring path = scratch / L"large.exe";
  // The versioned sample at the start: a reader that went on would find
  // its CompanyName.
  ASSERT_TRUE(CopyFileW(Sample(L"trust_sample_versioned.exe").c_str(), path.c_str(), FALSE));
  {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER size;
    size.QuadPart = 60LL * 1024 * 1024;
    EXPECT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
  }
  const Verdict large = Verify(path);
  EXPECT_EQ(large.code, TrustNoSignature);
  EXPECT_EQ(large.publisher, L"");
  EXPECT_EQ(large.fingerprint, L"");
}

TEST(FileTrust, NoCatalogListsAPlainFile) {
  std::wstring path = Sample(L"trust_sample_plain.exe");
  const std::wstring before = path;
  EXPECT_FALSE(FindCatalogFor(path));
  EXPECT_EQ(path, before);
  std::wstring missing = Sample(L"no_such_file.exe");
  EXPECT_FALSE(FindCatalogFor(missing));
}

const wchar_t* const SignerSubject = L"C=DE, O=Tavrin Test, CN=Tavrin Test Signer";

// The test root is trusted once, before any chain is built in the process,
// for every case that builds one: under Wine the chain engine keeps the
// root store it saw first, and a process does not see its own removals
// from the machine store, so adding and removing it per test would pile up
// copies.
class SignedFiles : public testing::Test {
 protected:
  static void SetUpTestSuite() { trusted_ = new test::TrustedAuthority(ReadBytes(Signed(L"root.der"))); }
  static void TearDownTestSuite() {
    delete trusted_;
    trusted_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(trusted_->Added()) << "run through ctest: the signing fixture makes signing\\root.der";
  }
  static test::TrustedAuthority* trusted_;
};
test::TrustedAuthority* SignedFiles::trusted_ = nullptr;

TEST_F(SignedFiles, EmbeddedSignaturesByTheTestAuthority) {
  const struct {
    const wchar_t* file;
    TrustCode code;
    const wchar_t* publisher;
    const wchar_t* subject;
  } cases[] = {
      {L"ca_signed.exe", TrustValid, L"Tavrin Test Signer", SignerSubject},
      {L"ca_signed_sha1.exe", TrustValid, L"Tavrin Test Signer", SignerSubject},
      {L"self_signed.exe", TrustUntrustedRoot, L"Tavrin Self Signer", L"CN=Tavrin Self Signer"},
      // The chain is judged at the signing time: valid then, though the
      // certificate has long expired.
      {L"expired_in_time.exe", TrustValid, L"Tavrin Expired Signer", L"O=Tavrin Test, CN=Tavrin Expired Signer"},
      {L"expired_late.exe", TrustExpired, L"Tavrin Expired Signer", L"O=Tavrin Test, CN=Tavrin Expired Signer"},
      // No PE digest to compare: the signature's own verdict stands.
      {L"ca_signed.msi", TrustValid, L"Tavrin Test Signer", SignerSubject},
  };
  for (const auto& c : cases) {
    const Verdict verdict = Verify(Signed(c.file));
    EXPECT_EQ(verdict.code, c.code) << c.file;
    EXPECT_EQ(verdict.publisher, c.publisher) << c.file;
    EXPECT_EQ(verdict.fingerprint, Md5OfText(std::to_wstring(std::int32_t(c.code)) + c.subject)) << c.file;
    std::wstring publisher, fingerprint;
    EXPECT_EQ(VerifySignerTrust(Signed(c.file), publisher, &fingerprint), c.code) << c.file;
    EXPECT_EQ(publisher, verdict.publisher) << c.file;
    EXPECT_EQ(fingerprint, verdict.fingerprint) << c.file;
  }
}

// A copy of the signed sample with one byte changed.
std::wstring Altered(const ScratchFolder& scratch, const std::wstring& name, std::uint64_t offset) {
  std::string bytes = ReadBytes(Signed(L"ca_signed.exe"));
  if (offset >= bytes.size()) return {};
  bytes[offset] = char(bytes[offset] ^ 0x5A);
  const std::wstring path = scratch / name;
  return WriteBytes(path, bytes) ? path : std::wstring();
}

TEST_F(SignedFiles, AnInstallerPackageIsSignedOrUnsignedNeverABadSignature) {
  Verdict verdict = Verify(Signed(L"ca_signed.msi"));
  std::wstring label = verdict.publisher;
  EXPECT_TRUE(DescribeTrust(verdict.code, label));
  EXPECT_EQ(label, L"Signed :  Tavrin Test Signer");
  verdict = Verify(Signed(L"unsigned.msi"));
  EXPECT_EQ(verdict.code, TrustNoSignature);
  // A PE image keeps the digest check whatever its name says.
  ScratchFolder scratch;
  std::string bytes = ReadBytes(Signed(L"ca_signed.exe"));
  bytes[0x50] = char(bytes[0x50] ^ 0x5A);
  ASSERT_TRUE(WriteBytes(scratch / L"setup.msi", bytes));
  EXPECT_EQ(Verify(scratch / L"setup.msi").code, TrustBadSignature);
}

TEST_F(SignedFiles, ContentMustMatchTheSignedDigest) {
  const std::string bytes = ReadBytes(Signed(L"ca_signed.exe"));
  const auto image = ParsePeImage(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), bytes.size());
  ASSERT_TRUE(image);
  const auto code = CodeSectionRange(*image);
  ASSERT_TRUE(code);

  ScratchFolder scratch;
  const struct {
    const wchar_t* what;
    std::uint64_t offset;
    TrustCode code;
  } cases[] = {
      {L"code.exe", code->offset + code->length / 2, TrustBadSignature},
      {L"dos_stub.exe", 0x50, TrustBadSignature},
      {L"section_table.exe", image->directoriesOffset + 16 * 8 + 1, TrustBadSignature},
      // The checksum is left out of the digest: changing it breaks nothing.
      {L"checksum.exe", image->checkSumOffset, TrustValid},
  };
  for (const auto& c : cases) {
    const std::wstring path = Altered(scratch, c.what, c.offset);
    ASSERT_FALSE(path.empty()) << c.what;
    const Verdict verdict = Verify(path);
    EXPECT_EQ(verdict.code, c.code) << c.what;
    EXPECT_EQ(verdict.publisher, L"Tavrin Test Signer") << c.what;
    std::wstring label = verdict.publisher;
    EXPECT_EQ(DescribeTrust(verdict.code, label), c.code == TrustValid) << c.what;
  }
}

// Microsoft- and Debian-signed EFI programs of Debian's shim-signed
// package. Whether their roots are known depends on the prefix's store, and
// the Microsoft signature has no signing time, so its short-lived
// certificate is judged at today's date: valid, untrusted or expired, never
// anything that would mean the signature or the digest did not hold.
TEST_F(SignedFiles, RealSignaturesOfShimSigned) {
  const struct {
    const wchar_t* file;
    const wchar_t* publisher;
    const wchar_t* subject;
  } cases[] = {
      {L"Z:\\usr\\lib\\shim\\shimx64.efi.signed", L"Microsoft Windows UEFI Driver Publisher",
       L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, CN=Microsoft Windows UEFI Driver Publisher"},
      // Its subject's quoting is the platform's business; the name is enough.
      {L"Z:\\usr\\lib\\shim\\fbx64.efi.signed", L"Debian Secure Boot Signer 2022 - shim", nullptr},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(test::FileExists(c.file)) << "scripts/setup installs shim-signed";
    const Verdict verdict = Verify(c.file);
    EXPECT_TRUE(verdict.code == TrustValid || verdict.code == TrustUntrustedRoot || verdict.code == TrustExpired)
        << std::hex << verdict.code;
    EXPECT_EQ(verdict.publisher, c.publisher);
    if (c.subject) {
      EXPECT_EQ(verdict.fingerprint, Md5OfText(std::to_wstring(std::int32_t(verdict.code)) + c.subject));
    }
  }
}

}  // namespace
}  // namespace tavrin
