#include "filetrust/trusted_signers.h"

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "filetrust/file_hash.h"
#include "filetrust/file_trust.h"

namespace tavrin {
namespace {

// The signer's subject of a real signed file, read here with the platform's
// own calls rather than through the code under test.
std::wstring SignerSubjectOf(const std::wstring& path) {
  DWORD encoding = 0, contentType = 0, formatType = 0;
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, &store, &message,
                        nullptr))
    return {};
  std::wstring subject;
  PCCERT_CONTEXT signer = nullptr;
  if (CryptMsgGetAndVerifySigner(message, 1, &store, CMSG_SIGNER_ONLY_FLAG, &signer, nullptr)) {
    wchar_t text[512] = {};
    CertNameToStrW(X509_ASN_ENCODING, &signer->pCertInfo->Subject, CERT_X500_NAME_STR, text, 512);
    subject = text;
    CertFreeCertificateContext(signer);
  }
  CryptMsgClose(message);
  CertCloseStore(store, 0);
  return subject;
}

TEST(TrustedSigners, EveryEntryIsTheValidFingerprintOfItsSubject) {
  std::set<std::wstring> seen;
  for (const TrustedSigner& signer : TrustedSigners()) {
    EXPECT_EQ(signer.fingerprint, Md5OfText(std::wstring(L"0") + signer.subject)) << signer.subject;
    EXPECT_TRUE(seen.insert(signer.fingerprint).second) << signer.subject;
    EXPECT_TRUE(IsTrustedSigner(signer.fingerprint)) << signer.subject;
  }
  EXPECT_GE(seen.size(), 4u);
}

TEST(TrustedSigners, AMicrosoftSignerReadFromARealFile) {
  const std::wstring subject = SignerSubjectOf(L"Z:\\usr\\lib\\shim\\shimx64.efi.signed");
  ASSERT_FALSE(subject.empty()) << "scripts/setup installs shim-signed";
  EXPECT_TRUE(IsTrustedSigner(SignerFingerprint(TrustValid, subject))) << subject;
  // The same signer with any other verdict is not trusted.
  EXPECT_FALSE(IsTrustedSigner(SignerFingerprint(TrustExpired, subject)));
  EXPECT_FALSE(IsTrustedSigner(SignerFingerprint(TrustUntrustedRoot, subject)));
  // Nor is a signer that merely calls itself Microsoft.
  EXPECT_FALSE(IsTrustedSigner(SignerFingerprint(TrustValid, L"CN=Microsoft Windows")));
  EXPECT_FALSE(IsTrustedSigner(SignerFingerprint(TrustValid, subject + L"x")));
}

TEST(TrustedSigners, OnlyWholeFingerprintsMatch) {
  const std::wstring listed = TrustedSigners()[0].fingerprint;
  std::wstring lower = listed;
  for (wchar_t& c : lower) c = wchar_t(towlower(c));
  const std::wstring cases[] = {
      L"",
      listed.substr(0, 31),
      listed.substr(1),
      listed.substr(8, 16),
      listed + L"0",
      L"x" + listed,
      L"00000000000000000000000000000000",
  };
  for (const std::wstring& fingerprint : cases) EXPECT_FALSE(IsTrustedSigner(fingerprint)) << fingerprint;
  // The same digits in lower case are the same digest.
  EXPECT_TRUE(IsTrustedSigner(lower));
}

}  // namespace
}  // namespace tavrin
