#pragma once
// Installed programs against the "Adware" key of the mounted definitions:
// a definition is a subkey named by a display name or by its leading words.
#include <optional>
#include <string>

namespace tavrin {

// The definition that names the display name: the whole name followed by
// "$" (a definition for that exact name only), the whole name, then the name
// cut before its last space again and again while that space lies after the
// third character. Nothing for an empty name, or one holding "\" (which
// would probe a key below another definition). `root` is the mounted
// database's RegPath.
std::optional<std::wstring> FindAdwareDefinition(const std::wstring& root, const std::wstring& displayName);

// Whether items found through the definition are listed checked: unchecked
// only when its "_check_state_" DWORD exists and is 0.
bool DefaultCheckState(const std::wstring& root, const std::wstring& definition);

}  // namespace tavrin
