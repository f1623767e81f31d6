#pragma once
// The digest an Authenticode signature of a PE file vouches for, computed
// from the file itself, so that a signature copied onto other content or a
// file changed after signing is caught however the platform's own checks
// behave.
#include <string>
#include <vector>

namespace tavrin {

enum class DigestAlgorithm { Sha1, Sha256, Sha384, Sha512 };

// The algorithm named by an object identifier in dotted form; false for
// any other (MD5 and unknown ones are not accepted as proof).
bool DigestAlgorithmOfOid(const std::string& oid, DigestAlgorithm& algorithm);

// Hashes the file's Authenticode ranges (every byte but the CheckSum, the
// certificate-table entry and the certificate table). False when the file
// cannot be read or is not a PE image whose ranges lie inside it.
bool AuthenticodeDigestOfFile(const std::wstring& path, DigestAlgorithm algorithm, std::vector<unsigned char>& digest);

}  // namespace tavrin
