#pragma once
// Turns a definitions source into the files of an update: the hive, built
// through the registry itself so that it has the format of the platform
// that builds it, the archive that carries it, and the version file.
#include <string>

#include "definitions_source.h"

namespace tavrin::definitions_tool {

// Writes the definitions into a fresh scratch key (a RegPath), saves that key
// as the hive file and deletes the scratch key again.
bool BuildDefinitionsHive(const DefinitionsSource& source, const std::wstring& scratchKey,
                          const std::wstring& hiveFile, std::wstring& error);

// The files a plain static file server needs, below `folder`:
//   TVNdb2.dat             the hive
//   tavrin\TVNdb2.zip      the archive with the entry "TVNdb2.dat"
//   tavrin\dbver2.txt      the database number
bool BuildUpdateFolder(const DefinitionsSource& source, const std::wstring& folder, std::wstring& error);

// The scratch key the tool uses: one per process below HKCU\Software.
std::wstring DefaultScratchKey();

}  // namespace tavrin::definitions_tool
