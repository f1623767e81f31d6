#pragma once
// The MD5 of a PE file's code section: a fact of the file identity hash
// that survives re-signing and changed resources.
#include <string>

namespace tavrin {

// Maps the file read-only and hashes SizeOfCode bytes from BaseOfCode
// (clipped to the file). False and an empty text when the file is not a PE
// image with a full optional header (224 bytes or more) or has no code
// inside the file.
bool CodeSectionDigest(const std::wstring& path, std::wstring& hex);

}  // namespace tavrin
