#pragma once
// The add-ons Firefox lists in a profile's "extensions.json", and which of
// them are the browser's own. Works on text already read, with no platform
// calls, so that the fuzzer runs it natively.
#include <string>
#include <string_view>
#include <vector>

#include "browsers/preference_document.h"

namespace tavrin {

struct FirefoxAddon {
  std::wstring id;
  std::wstring name;      // "defaultLocale" -> "name"
  std::wstring path;      // "descriptor", else "path"
  std::wstring location;  // where Firefox installed it ("app-profile", "app-builtin", ...)
};

// The elements of the root member "addons" that have a string "id", a
// string name in their "defaultLocale" object and a string "descriptor" or
// "path"; others are left out. At most kMaxFirefoxAddons of them: a hostile
// file cannot keep a scan busy.
inline constexpr size_t kMaxFirefoxAddons = 10000;
std::vector<FirefoxAddon> ReadFirefoxAddons(const PreferenceDocument& document);

// An id that ends with one of Mozilla's own suffixes ("@mozilla.org",
// "@mozilla.com", "@search.mozilla.org"), where that end is the suffix's
// first occurrence in the id.
bool HasMozillaAddonSuffix(std::wstring_view id);

// True for the browser's own add-ons: an id with Mozilla's suffix or the
// name "Default", and installed in one of the locations where the browser
// itself puts its add-ons. Anyone can choose such an id or name for a
// sideloaded add-on; only the browser installs into its own locations.
bool IsBuiltInFirefoxAddon(const FirefoxAddon& addon);

}  // namespace tavrin
