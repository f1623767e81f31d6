#pragma once
// What a Chromium preference file says about one extension besides its
// name and folder: whether the browser runs it, and how it came to be
// installed. Nothing here touches the platform: it builds natively for the
// preference fuzzer.
#include <string>

#include "browsers/preference_document.h"

namespace tavrin {

// The values Chromium stores in "location" (its manifest location).
enum class ChromiumInstallLocation : int {
  Unknown = 0,
  Internal = 1,              // installed by the user (the web store, a .crx)
  ExternalPref = 2,          // another program, through an external preferences file
  ExternalRegistry = 3,      // another program, through the registry
  Unpacked = 4,              // "Load unpacked"
  Component = 5,             // part of the browser
  ExternalPrefDownload = 6,  // another program, downloaded from an update address
  ExternalPolicyDownload = 7,  // forced by policy, downloaded
  CommandLine = 8,           // "--load-extension"
  ExternalPolicy = 9,        // forced by policy
  ExternalComponent = 10,    // part of the browser, updated on its own
};

struct ChromiumExtensionState {
  int location = 0;             // as stored; 0 when missing or not a small number
  bool active = true;           // no disable reason, and "state" (older versions) not disabled
  bool uninstalled = false;     // "state" 2: an external extension the user uninstalled
  std::wstring disableReasons;  // the stored reasons, "1, 64"; empty when none
};

// Reads "location", "disable_reasons" (a bit mask in older versions, a
// list of reasons in current ones) and "state" (0 disabled, 1 enabled, 2
// uninstalled; older versions only) of an extension's settings object.
// Anything missing or of another kind leaves its default.
ChromiumExtensionState ReadChromiumExtensionState(const PreferenceDocument& document, const PreferenceNode& extension);

bool IsPolicyLocation(int location);

// "Enabled", "Disabled (reasons 1, 64)", "Uninstalled": the row's
// "Extension state" detail.
std::wstring ExtensionStateText(const ChromiumExtensionState& state);
// "Forced by policy", "Installed by the user" and the like: the row's
// "Install location" detail; empty when the file names no location.
std::wstring InstallLocationText(int location);

}  // namespace tavrin
