#include "browsers/firefox_addons.h"

#include <cwctype>

namespace tavrin {

namespace {

// The application's built-in add-ons and the system add-ons it ships and
// updates itself. The "app-system-share", "app-system-local" and
// "app-global" folders are where other programs drop add-ons, so they are
// not among them.
constexpr std::wstring_view kBrowserLocations[] = {L"app-builtin", L"app-builtin-addons", L"app-system-defaults",
                                                   L"app-system-addons"};

// Without regard to case, as Firefox compares ids and locations; no
// platform call, so that the fuzzer builds this natively.
bool SameText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

size_t FindText(std::wstring_view text, std::wstring_view what) {
  for (size_t at = 0; at + what.size() <= text.size(); ++at)
    if (SameText(text.substr(at, what.size()), what)) return at;
  return std::wstring_view::npos;
}

bool MemberString(const PreferenceDocument& document, const PreferenceNode& parent, std::wstring_view key,
                  std::wstring& out) {
  return document.GetMemberString(&parent, key, out) == PreferenceKind::String;
}

}  // namespace

std::vector<FirefoxAddon> ReadFirefoxAddons(const PreferenceDocument& document) {
  std::vector<FirefoxAddon> addons;
  PreferenceNode list;
  if (!document.GetMember(nullptr, L"addons", list) || list.kind != PreferenceKind::Array) return addons;
  ElementCursor cursor{};
  size_t seen = 0;
  while (seen++ < kMaxFirefoxAddons && document.NextElement(cursor, list)) {
    const PreferenceNode element = document.NodeOf(cursor);
    if (element.kind != PreferenceKind::Object) continue;
    FirefoxAddon addon;
    if (!MemberString(document, element, L"id", addon.id)) continue;
    PreferenceNode locale;
    if (!document.GetMember(&element, L"defaultLocale", locale) || locale.kind != PreferenceKind::Object ||
        !MemberString(document, locale, L"name", addon.name))
      continue;
    if (!MemberString(document, element, L"descriptor", addon.path) &&
        !MemberString(document, element, L"path", addon.path))
      continue;
    MemberString(document, element, L"location", addon.location);
    addons.push_back(std::move(addon));
  }
  return addons;
}

bool HasMozillaAddonSuffix(std::wstring_view id) {
  for (std::wstring_view suffix : {L"@mozilla.org", L"@mozilla.com", L"@search.mozilla.org"}) {
    const size_t at = FindText(id, suffix);
    if (at != std::wstring_view::npos && at + suffix.size() == id.size()) return true;
  }
  return false;
}

bool IsBuiltInFirefoxAddon(const FirefoxAddon& addon) {
  if (!HasMozillaAddonSuffix(addon.id) && !SameText(addon.name, L"Default")) return false;
  for (std::wstring_view location : kBrowserLocations)
    if (SameText(addon.location, location)) return true;
  return false;
}

}  // namespace tavrin
