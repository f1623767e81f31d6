#pragma once
// Showing a registry key (and one of its values) in the system's registry
// editor. The editor knows neither the program's view suffixes nor the short
// root tokens, and it opens where its "Lastkey" value says.
#include <string>

namespace tavrin {

// The key path in the editor's names: "HKLM32\SOFTWARE\x" becomes
// "HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\x", "HKCU\x" becomes
// "HKEY_CURRENT_USER\x", "HKCR32\x" becomes "HKEY_CLASSES_ROOT\Wow6432Node\x".
// Long root names stay; a view suffix the editor cannot show is dropped.
std::wstring RegistryEditorPath(const std::wstring& target);

// The "Lastkey" text for a rewritten path: the editor keeps its own
// (possibly translated) name of the root node as the first component, so
// that component of the previous value is kept in front; a previous value
// that starts at a root key has no such name.
std::wstring RegistryEditorLastKey(const std::wstring& editorPath, const std::wstring& previousLastKey);

// Terminates running editors, points "Lastkey" at the key, mounts the
// user's hive for a missing key under HKEY_USERS, starts the editor and
// waits for its list; with a value name (empty: the default value) that
// entry is made visible, focused and selected. False when the editor did
// not come up.
bool OpenRegistryLocation(const std::wstring& target, const std::wstring* valueName);

}  // namespace tavrin
