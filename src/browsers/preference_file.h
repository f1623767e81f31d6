#pragma once
// Repairs and reads of browser files on disk: a JSON path cut out of a
// preference file, and prefs.js lines read and removed. Each write goes
// through PreferenceDocument, so a file is only written back when its bytes
// were understood exactly and in the encoding it was read in.
#include <string>

#include "browsers/preference_document.h"

namespace tavrin {

// Loads the file (UTF-8 mode), deletes the JSON path and saves. A path
// that is not there writes nothing. A refused save is tried once more
// after the file was taken over; the file's own security is put back
// afterwards either way.
bool RemovePreferenceNode(const std::wstring& filePath, const std::wstring& jsonPath);

// The save of an edited document over the file it was loaded from, with the
// same take-over retry as RemovePreferenceNode; `keepTimes` as for
// PreferenceDocument::Save.
bool SavePreferenceFile(PreferenceDocument& document, bool keepTimes = false);

// RemovePreferenceNode that leaves the file's creation, last-access and
// last-write times as they were: the browser then takes the file for one
// it wrote itself.
bool RemovePreferenceNodeKeepTimes(const std::wstring& filePath, const std::wstring& jsonPath);

// The value of the first matching preference line of a prefs.js file.
bool ReadFirefoxPref(const std::wstring& filePath, const std::wstring& name, std::wstring& value);
// Removes the first matching line's text (its line break stays) and writes
// the file back; false when no line matches or the write fails.
bool RemoveFirefoxPref(const std::wstring& filePath, const std::wstring& name);

// The "<ShortName>" of a search plug-in file read as UTF-8; empty when the
// file cannot be read or has none.
std::wstring ReadSearchPluginName(const std::wstring& filePath);
// The same for a file that must be a search plug-in: false when it cannot
// be read or holds no plug-in element (LooksLikeSearchPlugin).
bool ReadSearchPlugin(const std::wstring& filePath, std::wstring& name);

}  // namespace tavrin
