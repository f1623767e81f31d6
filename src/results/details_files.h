#pragma once
// The hidden fields of the result rows: one INI details file per tab in the
// scan's work folder, one section per row named by its row key. The Malware
// tab's rows carry everything in their columns except the parts of a
// registry entry, which only its registry rows file.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "results/result_set.h"

namespace tavrin {

// What a scan files for a row; only the fields that are not empty are
// written.
struct ScanItemDetails {
  int group = kNoGroup;
  std::wstring registryKey;
  std::wstring path;
  std::wstring userName;
  std::wstring valueName;
  std::wstring extensionPath;
  std::wstring url;
  std::wstring valueData;
  std::wstring clsid;
  std::wstring jsonPath;
  std::wstring dbName;
  // Keys of one tab's own, such as the Programs tab's uninstall string and
  // product code, written after the fields above.
  std::vector<std::pair<std::wstring, std::wstring>> extra;
};

// "Programs", "AutoStart", "Internet Browsers", "Malware".
std::wstring_view DetailsFileName(int tab);
// The tab whose details file has that name (compared without regard to
// case, as the file system does); -1 when none has.
int DetailsTabOfName(std::wstring_view name);

// Data folder + "\Temp" + the scan's stamp in decimal.
std::wstring WorkFolderPath(const std::wstring& dataFolder, uint64_t dbStamp);
// Creates the work folder (hidden) and makes it the home of the details
// files; details of an earlier folder are saved and closed.
bool PrepareWorkFolder(ResultSet& results, const std::wstring& dataFolder, uint64_t dbStamp);
// The start of a scan: the previous results are discarded, the lists
// emptied and a new work folder prepared.
bool StartNewResults(ResultSet& results, const std::wstring& dataFolder, uint64_t dbStamp);
std::wstring WorkFolder(const ResultSet& results);

// Opens the tab's details file from the work folder (saving what was
// written to it first) and marks it for auto-save. False when there is no
// work folder or the tab keeps no details. A file not written yet opens
// empty.
bool LoadDetails(ResultSet& results, int tab);
// Files the fields under the row key; returns how many were written. The
// details file is opened when it is not yet.
int StoreDetails(ResultList list, int rowKey, const ScanItemDetails& details);
// A text as a row's field reads back from its details file: on one line and
// trimmed. A value read from the machine again is compared with a field in
// this form, never the field with the value as the machine holds it.
std::wstring FiledText(std::wstring_view text);
// One field of a row; empty when it was never written.
std::wstring GetDetail(ResultList list, int rowKey, std::wstring_view key);
// Every field filed for a row, in the order of its section; empty when none.
std::vector<std::pair<std::wstring, std::wstring>> GetRowDetails(ResultList list, int rowKey);
// Any entry of the tab's details file, for sections other than rows.
bool WriteDetail(ResultList list, std::wstring_view section, std::wstring_view key, std::wstring_view value);
std::wstring ReadDetail(ResultList list, std::wstring_view section, std::wstring_view key);
// Writes the open details files now rather than when they are next loaded.
bool SaveDetails(ResultSet& results);

// Deletes the work folder with everything in it, forgets the details and
// resets the session counters. The rows stay until their lists are cleared;
// the scan's user list belongs to the application context, which clears it
// beside this call. Called before a new scan and at exit.
bool DiscardResults(ResultSet& results);

}  // namespace tavrin
