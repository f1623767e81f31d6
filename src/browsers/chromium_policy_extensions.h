#pragma once
// Extensions a Chromium browser's group policy forces on every profile: the
// browser installs them again at its next start whatever the preference
// files say, so that only removing the policy entry removes them.
#include <string>
#include <vector>

namespace tavrin {

// The names of the values of `policyKey` + "\ExtensionInstallForcelist"
// that force the extension: string data that is the id, alone or followed
// by ";" and an update address (compared without regard to case).
std::vector<std::wstring> ForcelistValuesNaming(const std::wstring& policyKey, const std::wstring& id);

// True when the policy key forces the extension: a forcelist value names
// it, or the key's "ExtensionSettings" text (a JSON policy) names it
// together with an installation mode that installs it. The JSON is never
// edited, so that a key forcing through it is never taken for released.
bool PolicyKeyForcesExtension(const std::wstring& policyKey, const std::wstring& id);

}  // namespace tavrin
