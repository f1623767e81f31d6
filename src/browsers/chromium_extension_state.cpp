#include "browsers/chromium_extension_state.h"

namespace tavrin {

namespace {

// A non-negative integer of at most nine digits; -1 for anything else
// (a sign, a fraction, an exponent, a number too large to be a reason).
int SmallNumber(const std::wstring& text) {
  if (text.empty() || text.size() > 9) return -1;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return -1;
    value = value * 10 + (c - L'0');
  }
  return value;
}

int MemberNumber(const PreferenceDocument& document, const PreferenceNode& object, const wchar_t* key) {
  PreferenceNode node;
  std::wstring text;
  if (!document.GetMember(&object, key, node) || document.ValueText(node, text) != PreferenceKind::Integer) return -1;
  return SmallNumber(text);
}

void AddReason(std::wstring& reasons, const std::wstring& reason) {
  if (!reasons.empty()) reasons += L", ";
  reasons += reason;
}

}  // namespace

ChromiumExtensionState ReadChromiumExtensionState(const PreferenceDocument& document, const PreferenceNode& extension) {
  ChromiumExtensionState state;
  if (extension.kind != PreferenceKind::Object) return state;
  const int location = MemberNumber(document, extension, L"location");
  if (location > 0) state.location = location;

  PreferenceNode reasons;
  std::wstring text;
  if (document.GetMember(&extension, L"disable_reasons", reasons)) {
    if (reasons.kind == PreferenceKind::Integer) {
      // The bit mask of older versions; 0 is "none".
      if (document.ValueText(reasons, text) == PreferenceKind::Integer && text != L"0") state.disableReasons = text;
    } else if (reasons.kind == PreferenceKind::Array) {
      ElementCursor element{};
      while (document.NextElement(element, reasons))
        if (document.ValueText(element, text) != PreferenceKind::None) AddReason(state.disableReasons, text);
    }
  }
  const int stored = MemberNumber(document, extension, L"state");
  state.uninstalled = stored == 2;
  state.active = state.disableReasons.empty() && stored != 0 && !state.uninstalled;
  return state;
}

bool IsPolicyLocation(int location) {
  return location == int(ChromiumInstallLocation::ExternalPolicyDownload) ||
         location == int(ChromiumInstallLocation::ExternalPolicy);
}

std::wstring ExtensionStateText(const ChromiumExtensionState& state) {
  if (state.uninstalled) return L"Uninstalled";
  if (state.active) return L"Enabled";
  if (state.disableReasons.empty()) return L"Disabled";
  return L"Disabled (reasons " + state.disableReasons + L")";
}

std::wstring InstallLocationText(int location) {
  switch (static_cast<ChromiumInstallLocation>(location)) {
    case ChromiumInstallLocation::Unknown: return {};
    case ChromiumInstallLocation::Internal: return L"Installed by the user";
    case ChromiumInstallLocation::ExternalPref: return L"Installed by another program (preferences file)";
    case ChromiumInstallLocation::ExternalRegistry: return L"Installed by another program (registry)";
    case ChromiumInstallLocation::Unpacked: return L"Loaded unpacked";
    case ChromiumInstallLocation::Component:
    case ChromiumInstallLocation::ExternalComponent: return L"Part of the browser";
    case ChromiumInstallLocation::ExternalPrefDownload: return L"Installed by another program (download)";
    case ChromiumInstallLocation::ExternalPolicyDownload:
    case ChromiumInstallLocation::ExternalPolicy: return L"Forced by policy";
    case ChromiumInstallLocation::CommandLine: return L"Loaded from the command line";
  }
  return L"Unknown (" + std::to_wstring(location) + L")";
}

}  // namespace tavrin
