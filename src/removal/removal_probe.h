#pragma once
// "Still present?": whether what a row found is still on the machine, read
// again the way the scan read it (the browsers' shared readers, the same
// registry and file reads) and compared with the row's fields in the form
// the details file keeps them (FiledText). No removal or repair writes a
// success line while its row's probe says present. A place that exists but
// cannot be read counts as present: nothing is claimed about what could not
// be seen.
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

enum class ProbeKind {
  None,            // the row's repair reads its own result back
  FileObject,      // place: a file or folder
  RegistryKey,     // place: a key
  RegistryValue,   // place: a key; name: the value's filed name; text: its filed data, or empty for any
  ChromiumUrl,     // place: a preference file; name: the JSON path; text: the filed address
  ChromiumEntry,   // place: a preference file; name: a JSON path that must be gone; text: a folder that must be gone
  FirefoxPref,     // place: prefs.js (and the user.js beside it); name: the preference; text: the filed value
  FirefoxAddon,    // place: extensions.json; name: the add-on's id; text: its file or folder as the entry gives it
  IeSecondaryPage, // place: the Main key; name: the multi-string; text: the filed address
  ShortcutArguments,  // place: a ".lnk" file
  StartMenuArgument,  // place: a "shell\open\command" key; text: the filed argument
};

struct RowProbe {
  ProbeKind kind = ProbeKind::None;
  std::wstring place;
  std::wstring name;
  std::wstring text;
};

[[nodiscard]] bool StillPresent(const RowProbe& probe);

// The names of the key's values whose filed form is `filedName` and, when
// `filedData` is not empty, whose text read back in its filed form is that.
// A row's value name comes back trimmed from its details file; these are
// the values it may stand for.
std::vector<std::wstring> ValueNamesFiledAs(const std::wstring& key, std::wstring_view filedName,
                                            std::wstring_view filedData = {});

// Deletes every value ValueNamesFiledAs names (forced, a second try on
// failure); true when none is left.
bool DeleteValuesFiledAs(const std::wstring& key, std::wstring_view filedName, std::wstring_view filedData = {});

}  // namespace tavrin
