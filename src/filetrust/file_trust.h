#pragma once
// Who signed a file and whether that signature holds, as one 32-bit trust
// code, with the publisher text shown beside it and the signer fingerprint
// that the trusted-signer list and the file identity hash use.
#include <cstdint>
#include <string>

namespace tavrin {

using TrustCode = std::uint32_t;

constexpr TrustCode TrustValid = 0;
constexpr TrustCode TrustNoSignature = 0x800B0100;
constexpr TrustCode TrustExpired = 0x800B0101;
constexpr TrustCode TrustRevoked = 0x800B010C;
constexpr TrustCode TrustUntrustedRoot = 0x800B0109;
constexpr TrustCode TrustBadSignature = 0x80096010;
constexpr TrustCode TrustSubjectNotTrusted = 0x800B0004;
constexpr TrustCode TrustExplicitDistrust = 0x800B0111;
constexpr TrustCode TrustUnknownProvider = 0x800B0001;
// No certificate chain could be built for the signer.
constexpr TrustCode TrustNoChain = 0x800B010A;
constexpr TrustCode TrustDirectory = 0xDDDDDDDD;

// Files above this size without an embedded signature are not looked up
// in the catalogs (hashing them would stall a scan).
constexpr unsigned long long TrustCatalogSizeLimit = 52428800;

// The trust code of the file. `publisher` gets the signer's display name,
// or else the file's CompanyName, or stays empty. `fingerprint`, when
// given, gets the signer fingerprint when there is a publisher, else an
// empty text. Never touches the network: revocation and URL retrieval use
// cached data only. Code 0 only for a signature whose chain was built and
// passed, over content that matches the digest it signs.
TrustCode VerifyFileTrust(const std::wstring& path, std::wstring& publisher, std::wstring* fingerprint = nullptr);
// The same code, with the publisher and fingerprint of a signature only
// (an unsigned file's CompanyName is not read): all a verdict needs that
// asks whether a trusted signer signed the file, at half the cost.
TrustCode VerifySignerTrust(const std::wstring& path, std::wstring& publisher, std::wstring* fingerprint = nullptr);

// MD5 of the code as signed decimal text immediately followed by `name`
// (the signer's X.500 subject, or the publisher text when there is none).
std::wstring SignerFingerprint(TrustCode code, const std::wstring& name);

// Replaces `publisher` by the label of the code ("Signed :  " + publisher,
// "Directory", ...); an empty publisher reads "No publisher". True only for
// code 0.
bool DescribeTrust(TrustCode code, std::wstring& publisher);

// Replaces `path` by the security catalog that lists the file's hash; false
// (and `path` unchanged) when no catalog does.
bool FindCatalogFor(std::wstring& path);

}  // namespace tavrin
