#pragma once
// The one way a document in a user's or the machine's place is rewritten
// (browser preference files, prefs.js, search files, the hosts file, the
// settings and whitelist files): the new bytes go to a file beside it,
// are flushed to the disk, and take the document's place in one rename.
// A program ended at any moment leaves the document either as it was or
// complete, never cut short.
#include <string>
#include <string_view>

namespace tavrin {

enum DocumentOption : unsigned {
  // The new file gets the original's owner, group and access list.
  DocumentKeepSecurity = 0x1,
  // The new file gets the original's attributes (hidden, system, read-only,
  // not indexed, archive).
  DocumentKeepAttributes = 0x2,
  // The new file gets the original's creation, last-access and last-write
  // times, so that a browser takes it for one it wrote itself.
  DocumentKeepTimes = 0x4,
  // A read-only original is replaced as well; without this the write fails
  // on a read-only original, as Windows refuses a rename over one.
  DocumentReplaceReadOnly = 0x8,
};

// Writes `bytes` as the whole content of `path`, creating the file (and its
// missing folders) when it does not exist. On failure the original is
// untouched and no file of the write is left behind, with the platform's
// reason as the last error.
[[nodiscard]] bool ReplaceDocument(const std::wstring& path, std::string_view bytes, unsigned options);

// The file beside `path` that a write fills before it takes the document's
// place. A write ended by a crash can leave it; the next write of the same
// document replaces it.
std::wstring DocumentTemporaryPath(const std::wstring& path);

}  // namespace tavrin
