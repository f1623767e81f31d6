#include "filetrust/file_trust.h"

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <mscat.h>
#include <softpub.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "filetrust/authenticode_digest.h"
#include "filetrust/file_hash.h"
#include "filetrust/pe_image.h"
#include "filetrust/version_info.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/unique_handle.h"

namespace tavrin {
namespace {

constexpr DWORD Encoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr int MaxPublisherChars = 256;

struct StoreTraits {
  using Type = HCERTSTORE;
  static Type Invalid() { return nullptr; }
  static bool IsFailure(Type value) { return value == nullptr; }
  static void Close(Type value) { CertCloseStore(value, 0); }
};
struct MessageTraits {
  using Type = HCRYPTMSG;
  static Type Invalid() { return nullptr; }
  static bool IsFailure(Type value) { return value == nullptr; }
  static void Close(Type value) { CryptMsgClose(value); }
};
struct CertificateTraits {
  using Type = PCCERT_CONTEXT;
  static Type Invalid() { return nullptr; }
  static bool IsFailure(Type value) { return value == nullptr; }
  static void Close(Type value) { CertFreeCertificateContext(value); }
};
struct ChainTraits {
  using Type = PCCERT_CHAIN_CONTEXT;
  static Type Invalid() { return nullptr; }
  static bool IsFailure(Type value) { return value == nullptr; }
  static void Close(Type value) { CertFreeCertificateChain(value); }
};
struct CatalogAdminTraits {
  using Type = HCATADMIN;
  static Type Invalid() { return nullptr; }
  static bool IsFailure(Type value) { return value == nullptr; }
  static void Close(Type value) { CryptCATAdminReleaseContext(value, 0); }
};

using UniqueStore = UniqueHandle<StoreTraits>;
using UniqueMessage = UniqueHandle<MessageTraits>;
using UniqueCertificate = UniqueHandle<CertificateTraits>;
using UniqueChain = UniqueHandle<ChainTraits>;
using UniqueCatalogAdmin = UniqueHandle<CatalogAdminTraits>;

bool QuerySignedObject(const std::wstring& path, DWORD contentTypes, UniqueStore& store, UniqueMessage& message) {
  DWORD encoding = 0, contentType = 0, formatType = 0;
  HCERTSTORE rawStore = nullptr;
  HCRYPTMSG rawMessage = nullptr;
  const BOOL ok = CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), contentTypes, CERT_QUERY_FORMAT_FLAG_BINARY,
                                   0, &encoding, &contentType, &formatType, &rawStore, &rawMessage, nullptr);
  store.reset(rawStore);
  message.reset(rawMessage);
  return ok && store && message;
}

std::vector<unsigned char> MessageParam(HCRYPTMSG message, DWORD type, DWORD index) {
  DWORD size = 0;
  if (!CryptMsgGetParam(message, type, index, nullptr, &size) || size == 0) return {};
  std::vector<unsigned char> value(size);
  if (!CryptMsgGetParam(message, type, index, value.data(), &size)) return {};
  value.resize(size);
  return value;
}

std::vector<unsigned char> Decode(LPCSTR structType, const BYTE* data, DWORD length) {
  DWORD size = 0;
  if (!CryptDecodeObject(Encoding, structType, data, length, 0, nullptr, &size) || size == 0) return {};
  std::vector<unsigned char> value(size);
  if (!CryptDecodeObject(Encoding, structType, data, length, 0, value.data(), &size)) return {};
  return value;
}

// True for a file that starts with the DOS magic: a PE image, or one that
// pretends to be, whose signature must then vouch for its PE digest.
bool StartsLikePeImage(const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  char magic[2] = {};
  DWORD read = 0;
  // Unreadable: the digest check decides, and fails.
  if (!file || !ReadFile(file.get(), magic, sizeof magic, &read, nullptr)) return true;
  return read == 2 && magic[0] == 'M' && magic[1] == 'Z';
}

// A signature proves nothing about a PE file unless the digest it signs is
// the digest of the file's own bytes. Other signed files (installer
// packages, cabinets, scripts) have digests of their own kinds, which this
// check cannot compute: for them the platform's verdict on the signature
// stands, as it did before the check existed.
bool SignedDigestMatchesFile(HCRYPTMSG message, const std::wstring& path) {
  if (!StartsLikePeImage(path)) return true;
  const auto contentType = MessageParam(message, CMSG_INNER_CONTENT_TYPE_PARAM, 0);
  if (contentType.empty() ||
      std::strncmp(reinterpret_cast<const char*>(contentType.data()), SPC_INDIRECT_DATA_OBJID, contentType.size()) != 0)
    return false;
  const auto content = MessageParam(message, CMSG_CONTENT_PARAM, 0);
  if (content.empty()) return false;
  const auto decoded = Decode(SPC_INDIRECT_DATA_CONTENT_STRUCT, content.data(), DWORD(content.size()));
  if (decoded.empty()) return false;
  const auto* indirect = reinterpret_cast<const SPC_INDIRECT_DATA_CONTENT*>(decoded.data());
  DigestAlgorithm algorithm;
  if (!indirect->DigestAlgorithm.pszObjId || !DigestAlgorithmOfOid(indirect->DigestAlgorithm.pszObjId, algorithm))
    return false;
  std::vector<unsigned char> actual;
  if (!AuthenticodeDigestOfFile(path, algorithm, actual)) return false;
  return indirect->Digest.cbData == actual.size() &&
         std::memcmp(indirect->Digest.pbData, actual.data(), actual.size()) == 0;
}

bool SigningTime(const CMSG_SIGNER_INFO& signer, FILETIME& time) {
  for (DWORD i = 0; i < signer.AuthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = signer.AuthAttrs.rgAttr[i];
    if (!attribute.pszObjId || std::strcmp(attribute.pszObjId, szOID_RSA_signingTime) != 0 || attribute.cValue == 0)
      continue;
    DWORD size = sizeof time;
    return CryptDecodeObject(Encoding, szOID_RSA_signingTime, attribute.rgValue[0].pbData,
                             attribute.rgValue[0].cbData, 0, &time, &size) != FALSE;
  }
  return false;
}

// Error bits of the chain that leave the signature unproven. Revocation
// that cannot be checked offline is expected here (no network), so those
// bits alone do not count.
TrustCode CodeOfChainStatus(DWORD status) {
  if (status & CERT_TRUST_IS_REVOKED) return TrustRevoked;
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return TrustExpired;
  if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC |
                CERT_TRUST_IS_EXPLICIT_DISTRUST))
    return TrustUntrustedRoot;
  const DWORD tolerated =
      CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION | CERT_TRUST_IS_NOT_TIME_NESTED;
  if (status & ~tolerated) return TrustBadSignature;
  return TrustValid;
}

TrustCode CodeOfPolicyError(DWORD error) {
  switch (error) {
    case 0:
      return TrustValid;
    case 0x800B0109:  // untrusted root
    case 0x800B010D:  // untrusted test root
    case 0x800B0112:  // untrusted certification authority
      return TrustUntrustedRoot;
    case 0x800B0101:
      return TrustExpired;
    case 0x800B010C:
      return TrustRevoked;
    default:
      // 0x800B0110 (wrong usage), 0x800B0113, 0x800B0114 and anything
      // unforeseen: not a signature this program can rely on.
      return TrustBadSignature;
  }
}

// Steps after the signer is known: its chain at the signing time, the
// Authenticode policy, then a revocation look-up from cached data.
// `chainBuilt` tells the caller whether the subject name may be used.
TrustCode JudgeSigner(PCCERT_CONTEXT signer, HCERTSTORE messageStore, const CMSG_SIGNER_INFO* signerInfo,
                      bool& chainBuilt) {
  chainBuilt = false;
  FILETIME when{};
  if (!signerInfo || !SigningTime(*signerInfo, when)) GetSystemTimeAsFileTime(&when);

  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  UniqueChain chain;
  const DWORD chainFlags = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY |
                           CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL;
  PCCERT_CHAIN_CONTEXT rawChain = nullptr;
  if (!CertGetCertificateChain(nullptr, signer, &when, messageStore, &chainPara, chainFlags, nullptr, &rawChain) ||
      !rawChain)
    return TrustNoChain;
  chain.reset(rawChain);
  chainBuilt = true;

  const TrustCode statusCode = CodeOfChainStatus(chain.get()->TrustStatus.dwErrorStatus);
  if (statusCode != TrustValid) return statusCode;

  AUTHENTICODE_EXTRA_CERT_CHAIN_POLICY_PARA extra{};
  extra.cbSize = sizeof extra;
  extra.pSignerInfo = const_cast<CMSG_SIGNER_INFO*>(signerInfo);
  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof policyPara;
  policyPara.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  policyPara.pvExtraPolicyPara = &extra;
  CERT_CHAIN_POLICY_STATUS policyStatus{};
  policyStatus.cbSize = sizeof policyStatus;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, chain.get(), &policyPara, &policyStatus))
    return TrustBadSignature;
  const TrustCode policyCode = CodeOfPolicyError(policyStatus.dwError);
  if (policyCode != TrustValid) return policyCode;

  CERT_REVOCATION_PARA revocationPara{};
  revocationPara.cbSize = sizeof revocationPara;
  const CERT_SIMPLE_CHAIN* simple = chain.get()->cChain > 0 ? chain.get()->rgpChain[0] : nullptr;
  if (simple && simple->cElement > 1) revocationPara.pIssuerCert = simple->rgpElement[1]->pCertContext;
  CERT_REVOCATION_STATUS revocation{};
  revocation.cbSize = sizeof revocation;
  void* subjects[] = {const_cast<CERT_CONTEXT*>(signer)};
  if (!CertVerifyRevocation(X509_ASN_ENCODING, CERT_CONTEXT_REVOCATION_TYPE, 1, subjects,
                            CERT_VERIFY_CACHE_ONLY_BASED_REVOCATION, &revocationPara, &revocation) &&
      revocation.dwError == DWORD(CRYPT_E_REVOKED))
    return TrustRevoked;
  return TrustValid;
}

std::wstring SubjectX500(PCCERT_CONTEXT certificate) {
  const DWORD chars = CertNameToStrW(X509_ASN_ENCODING, &certificate->pCertInfo->Subject, CERT_X500_NAME_STR,
                                     nullptr, 0);
  if (chars <= 1) return {};
  std::wstring text(chars, L'\0');
  CertNameToStrW(X509_ASN_ENCODING, &certificate->pCertInfo->Subject, CERT_X500_NAME_STR, text.data(), chars);
  text.resize(wcsnlen(text.c_str(), chars));
  return text;
}

std::wstring DisplayName(PCCERT_CONTEXT certificate) {
  wchar_t name[MaxPublisherChars + 1] = {};
  CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, MaxPublisherChars + 1);
  return name;
}

}  // namespace

std::wstring SignerFingerprint(TrustCode code, const std::wstring& name) {
  return Md5OfText(std::to_wstring(std::int32_t(code)) + name);
}

namespace {

// False only for a PE image whose headers say it has no certificate table,
// the one place a PE file keeps an embedded signature; asking the
// platform's subject interfaces costs far more than reading the headers.
bool MayHoldEmbeddedSignature(const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) return true;
  std::uint8_t headers[4096];
  DWORD read = 0;
  if (!ReadFile(file.get(), headers, sizeof headers, &read, nullptr) || read < 2 || headers[0] != 'M' ||
      headers[1] != 'Z')
    return true;
  const auto image = ParsePeImage(std::span<const std::uint8_t>(headers, read), std::uint64_t(size.QuadPart));
  if (!image || image->directories.size() <= PeCertificateDirectory) return true;
  const PeDataDirectory& certificates = image->directories[PeCertificateDirectory];
  return certificates.address != 0 && certificates.size != 0;
}

TrustCode VerifyTrust(const std::wstring& path, std::wstring& publisher, std::wstring* fingerprint,
                      bool companyName) {
  publisher.clear();
  if (fingerprint) fingerprint->clear();
  TrustCode code = TrustNoSignature;

  UniqueStore store;
  UniqueMessage message;
  bool embedded = MayHoldEmbeddedSignature(path) &&
                  QuerySignedObject(path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, store, message);
  bool signedObject = embedded;
  if (!embedded) {
    if (FileSize(path) > TrustCatalogSizeLimit) return TrustNoSignature;
    std::wstring catalog = path;
    // A catalog is a signed message of its own, not a file with one
    // embedded; its listing the file's hash stands for the digest check.
    if (FindCatalogFor(catalog))
      signedObject = QuerySignedObject(catalog, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED, store, message);
  }

  std::wstring subject;
  bool chainBuilt = false;
  bool chainFailed = false;
  if (signedObject) {
    UniqueCertificate signer;
    DWORD signerIndex = 0;
    HCERTSTORE stores[] = {store.get()};
    PCCERT_CONTEXT rawSigner = nullptr;
    if (CryptMsgGetAndVerifySigner(message.get(), 1, stores, CMSG_SIGNER_ONLY_FLAG, &rawSigner, &signerIndex) &&
        rawSigner) {
      signer.reset(rawSigner);
      publisher = DisplayName(signer.get());
      if (embedded && !SignedDigestMatchesFile(message.get(), path)) {
        code = TrustBadSignature;
      } else {
        const auto signerInfo = MessageParam(message.get(), CMSG_SIGNER_INFO_PARAM, signerIndex);
        code = JudgeSigner(signer.get(), store.get(),
                           signerInfo.empty() ? nullptr : reinterpret_cast<const CMSG_SIGNER_INFO*>(signerInfo.data()),
                           chainBuilt);
        chainFailed = !chainBuilt;
        if (chainBuilt) subject = SubjectX500(signer.get());
      }
    }
  }

  if (publisher.empty() && companyName) CompanyNameOf(path, publisher);
  // A chain that could not be built gives no identity worth remembering.
  if (fingerprint && !publisher.empty() && !chainFailed)
    *fingerprint = SignerFingerprint(code, subject.empty() ? publisher : subject);
  return code;
}

}  // namespace

TrustCode VerifyFileTrust(const std::wstring& path, std::wstring& publisher, std::wstring* fingerprint) {
  return VerifyTrust(path, publisher, fingerprint, true);
}

TrustCode VerifySignerTrust(const std::wstring& path, std::wstring& publisher, std::wstring* fingerprint) {
  return VerifyTrust(path, publisher, fingerprint, false);
}

bool DescribeTrust(TrustCode code, std::wstring& publisher) {
  if (publisher.empty()) publisher = L"No publisher";
  const wchar_t* prefix = L"Unsigned :  ";
  switch (code) {
    case TrustValid:
      publisher = L"Signed :  " + publisher;
      return true;
    case TrustDirectory:
      publisher = L"Directory";
      return false;
    case TrustExpired:
      prefix = L"Expired :  ";
      break;
    case TrustRevoked:
      prefix = L"Revoked :  ";
      break;
    case TrustUntrustedRoot:
    case TrustSubjectNotTrusted:
    case TrustExplicitDistrust:
      prefix = L"Untrusted :  ";
      break;
    case TrustBadSignature:
      prefix = L"Bad signature :  ";
      break;
    case TrustUnknownProvider:
      prefix = L"Unknown :  ";
      break;
    default:
      break;
  }
  publisher = prefix + publisher;
  return false;
}

namespace {

// Whether the system holds any catalog of the driver-verification database:
// without one no catalog can list a file, and the look-up itself costs
// milliseconds per file. The answer is kept for a minute per thread: a scan
// asks for thousands of files, and catalogs come only with installations.
bool LookForCatalogs() {
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return true;
  FindFiles catalogs(std::wstring(system) + L"\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\*.cat");
  // A folder that cannot be listed for another reason is asked anyway.
  return catalogs.Next() || (catalogs.Status() != ERROR_FILE_NOT_FOUND && catalogs.Status() != ERROR_PATH_NOT_FOUND);
}

bool SystemHasCatalogs() {
  thread_local ULONGLONG checkedAt = 0;
  thread_local bool present = true;
  const ULONGLONG now = GetTickCount64();
  if (checkedAt == 0 || now - checkedAt > 60000) {
    present = LookForCatalogs();
    checkedAt = now;
  }
  return present;
}

}  // namespace

bool FindCatalogFor(std::wstring& path) {
  if (!SystemHasCatalogs()) return false;
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  // Acquiring the catalog database costs more than most look-ups in it; a
  // scan asks for thousands of files on one thread.
  thread_local UniqueCatalogAdmin admin;
  GUID action = DRIVER_ACTION_VERIFY;
  if (!admin && !CryptCATAdminAcquireContext(admin.put(), &action, 0)) return false;
  DWORD size = 0;
  CryptCATAdminCalcHashFromFileHandle(file.get(), &size, nullptr, 0);
  if (size == 0) return false;
  std::vector<BYTE> hash(size);
  if (!CryptCATAdminCalcHashFromFileHandle(file.get(), &size, hash.data(), 0)) return false;
  HCATINFO catalog = CryptCATAdminEnumCatalogFromHash(admin.get(), hash.data(), size, 0, nullptr);
  if (!catalog) return false;
  CATALOG_INFO info{};
  info.cbStruct = sizeof info;
  bool found = false;
  if (CryptCATCatalogInfoFromContext(catalog, &info, 0) && FileExists(info.wszCatalogFile)) {
    path = info.wszCatalogFile;
    found = true;
  }
  CryptCATAdminReleaseCatalogContext(admin.get(), catalog, 0);
  return found;
}

}  // namespace tavrin
