#pragma once
// A file's identity hash: a digest of its descriptive facts (version
// strings, a supplied MD5 or its valid signer, its code section, its icon,
// its first bytes) that survives recompilation, for reports about a file
// that may be rebuilt between sightings.
#include <string>

#include "filetrust/identity_text.h"

namespace tavrin {

struct FileIdentity {
  std::wstring path;
  std::wstring suppliedMd5;
  // Filled when no MD5 was supplied and the file is validly signed.
  std::wstring fingerprint;
  std::wstring publisher;
  IdentityFacts facts;
  // 32 hex digits; empty when the file cannot be identified (missing, a
  // folder, not a program file, too few facts).
  std::wstring hash;
};

// Only files that start with "MZ" or carry an executable or script
// extension are identified.
FileIdentity ReadFileIdentity(const std::wstring& path, const std::wstring& suppliedMd5 = {});
inline std::wstring IdentityHash(const std::wstring& path, const std::wstring& suppliedMd5 = {}) {
  return ReadFileIdentity(path, suppliedMd5).hash;
}

}  // namespace tavrin
