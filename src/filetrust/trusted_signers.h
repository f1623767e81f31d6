#pragma once
// The built-in list of signers whose valid signatures exempt a file from
// malware verdicts.
#include <span>
#include <string_view>

namespace tavrin {

struct TrustedSigner {
  const wchar_t* fingerprint;  // SignerFingerprint(0, subject)
  const wchar_t* subject;      // X.500 form, as CertNameToStrW writes it
};

std::span<const TrustedSigner> TrustedSigners();

// True only for a fingerprint that equals a listed one whole (hex digits in
// either case): part of a fingerprint is someone else's.
bool IsTrustedSigner(std::wstring_view fingerprint);

}  // namespace tavrin
