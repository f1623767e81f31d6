#pragma once
// Installed programs against the "Adware" key of the mounted definitions:
// a definition is a subkey named by a display name or by its leading words.
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tavrin {

// The definition that names the display name: the whole name followed by
// "$" (a definition for that exact name only), the whole name, then the name
// cut before its last space again and again while that space lies after the
// third character. Nothing for an empty name, or one holding "\" (which
// would probe a key below another definition). `root` is the mounted
// database's RegPath.
std::optional<std::wstring> FindAdwareDefinition(const std::wstring& root, const std::wstring& displayName);

// The names under "Adware", listed once: a scan matches thousands of
// display names against them and then walks them for file objects, and
// each probe of the registry would be a call of its own.
class AdwareNames {
 public:
  AdwareNames() = default;
  explicit AdwareNames(const std::wstring& root);

  const std::wstring& Root() const { return root_; }
  // In the order the registry lists them.
  const std::vector<std::wstring>& Names() const { return names_; }
  // Whether the definition exists, by the registry's rules: case does not
  // count. An ASCII name is answered from the list (against names beyond
  // ASCII by the system's own comparison); any other name is asked of the
  // registry itself.
  bool Contains(const std::wstring& name) const;

 private:
  std::wstring root_;
  std::vector<std::wstring> names_;
  std::unordered_set<std::wstring> asciiUpper_;
  std::vector<std::wstring> otherNames_;
};

// As above, against the listed names.
std::optional<std::wstring> FindAdwareDefinition(const AdwareNames& names, const std::wstring& displayName);

// Whether items found through the definition are listed checked: unchecked
// only when its "_check_state_" DWORD exists and is 0.
bool DefaultCheckState(const std::wstring& root, const std::wstring& definition);

}  // namespace tavrin
