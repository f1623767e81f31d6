#pragma once
// Zip archives through minizip: one entry taken out into a file, and a new
// archive written from entries held in memory.
#include <string>
#include <vector>

namespace tavrin {

// Writes the entry `name` of the archive to `destination` (its folder is
// created when missing, an existing file replaced). The name is compared
// without regard to case; when no entry has it, the name with "\" turned
// into "/" is tried. False when the archive cannot be read, the entry is
// missing or damaged, or the file cannot be written; no partial file stays.
bool ExtractZipEntry(const std::wstring& archive, const std::string& name, const std::wstring& destination);

struct ZipEntry {
  std::string name;         // path inside the archive, "/"-separated
  std::string bytes;        // the content, unless
  std::wstring sourceFile;  // a file holds it
};
// Creates (or replaces) the archive with the entries, deflated. False (and
// no archive) when an entry's source file cannot be read.
bool WriteZipArchive(const std::wstring& archive, const std::vector<ZipEntry>& entries);

}  // namespace tavrin
