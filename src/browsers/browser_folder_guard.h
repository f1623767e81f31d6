#pragma once
// Profile paths come from files the user (or malware running as the user)
// can write: profiles.ini, compatibility.ini, "Last Browser". The repairs
// later delete inside a profile folder, so a path from such a file is only
// taken when it cannot lead anywhere else.
#include <string>

namespace tavrin {

// True when `path` is an absolute drive path in its canonical form (no
// "." or ".." steps, no empty steps, no forward slashes, no trailing dots
// or blanks on a step, no stream or device syntax), lies strictly inside
// `dataFolder` or `ownerProfile` (either may be empty), and no existing
// step below that base is a reparse point.
bool IsSafeBrowserFolder(const std::wstring& path, const std::wstring& dataFolder, const std::wstring& ownerProfile);

}  // namespace tavrin
