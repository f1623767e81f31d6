#pragma once
// The text source of the definitions database (data/definitions/*.txt).
//
//   # A comment line; blank lines are ignored.
//   [Database]
//   Number = 1961
//
//   [Adware]                      one key per line, named by the line
//   Ask Toolbar
//   Some Bundle$                  "$": only the whole display name matches
//   Some Helper | unchecked       findings are listed unchecked
//
//   [Malware]                     hash = record ("Name.days.score") or FP
//   44D88612FEA8A8F36DE82E1278ABB02F = EICAR-Test-File.8766.100
//
//   [WhiteList\Chrome Extensions] one value per line: identifier = what it is
//   cjpalhdlnbpafiamejdnhcphjbkeiagm = uBlock Origin
//
//   [IEWhiteL]                    one key per braced GUID: GUID = what it is
//   {D27CDB6E-AE6D-11CF-96B8-444553540000} = Shockwave Flash Object
//
// A section header is the path of a key of the database; the same section
// may appear in several files and several times.
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::definitions_tool {

struct AdwareDefinition {
  std::wstring name;
  bool unchecked = false;
};

struct HashDefinition {
  std::wstring hash;    // 32 to 64 hexadecimal digits, upper case
  std::wstring record;  // "Name.days.score" or "FP"
};

struct NamedEntry {
  std::wstring name;
  std::wstring description;
};

struct WhiteListSection {
  std::wstring key;  // "WhiteList\Chrome Extensions" ...
  std::vector<NamedEntry> entries;
};

struct DefinitionsSource {
  uint32_t number = 0;
  std::vector<AdwareDefinition> adware;
  std::vector<HashDefinition> malware;
  std::vector<WhiteListSection> whiteLists;  // in the fixed order of the database's sections
  std::vector<NamedEntry> ieWhiteList;
};

// The whitelist keys the database knows.
const std::vector<std::wstring>& WhiteListKeys();

// Adds the definitions of one source text to `source`. Every line that
// cannot be used is reported as "origin(line): problem" and the text is then
// not accepted (false); what was read stays in `source` for further errors.
bool ParseDefinitions(const std::wstring& text, const std::wstring& origin, DefinitionsSource& source,
                      std::vector<std::wstring>& errors);

// Reads every "*.txt" file of the folder in name order. Besides the errors
// of each file, a missing database number or a definition listed twice is
// an error.
bool ReadDefinitionsFolder(const std::wstring& folder, DefinitionsSource& source, std::vector<std::wstring>& errors);

}  // namespace tavrin::definitions_tool
