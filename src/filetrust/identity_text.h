#pragma once
// The text behind a file's identity hash: its descriptive facts joined in a
// fixed order, so that the same program rebuilt or re-signed keeps its
// identity while another file does not. Kept apart from reading the file so
// that the joining rules can be tested on their own.
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

struct IdentityFacts {
  // The non-empty ones of CompanyName, ProductName and the first of
  // OriginalFileName, InternalName, FileDescription, in that order.
  std::vector<std::wstring> versionStrings;
  // A caller's MD5 of the file, or else the fingerprint of a valid signer.
  std::wstring primary;
  std::optional<std::wstring> codeDigest;
  std::optional<std::wstring> iconDigest;
  std::optional<std::wstring> headDigest;  // the first 10,240 bytes
};

// The joined text; empty when the facts are too few to identify the file.
std::wstring IdentityText(const IdentityFacts& facts);

}  // namespace tavrin
