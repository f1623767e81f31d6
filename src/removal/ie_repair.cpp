#include "removal/ie_repair.h"

#include <windows.h>

#include <vector>

#include "platform/registry.h"
#include "platform/registry_unlock.h"
#include "platform/strings.h"
#include "removal/removal_probe.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kMain[] = L"Software\\Microsoft\\Internet Explorer\\Main";
constexpr wchar_t kSearchScopes[] = L"Software\\Microsoft\\Internet Explorer\\SearchScopes";
constexpr wchar_t kPolicy[] = L"Software\\Policies\\Microsoft\\Internet Explorer";
constexpr wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr wchar_t kWinlogon[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr wchar_t kDomStorage[] = L"Software\\Microsoft\\Internet Explorer\\DomStorage";

// The search scope written in place of a hijacked one.
constexpr wchar_t kScope[] = L"{3CB12E97-BDDF-4488-8C61-217335DD319F}";
constexpr wchar_t kHomePage[] = L"https://www.google.com/";
constexpr wchar_t kSearchUrl[] = L"https://www.google.com/search?q={searchTerms}";
constexpr wchar_t kSuggestionsUrl[] = L"https://www.google.com/complete/search?q={searchTerms}&client=ie8&output=xml";
constexpr wchar_t kFaviconUrl[] = L"https://www.google.com/favicon.ico";
constexpr wchar_t kDescriptionUrl[] = L"https://www.google.com/searchdomaincheck?format=opensearch";
constexpr wchar_t kPortalPage[] = L"https://www.msn.com/";

struct Context {
  RemovalSession& session;
  const BrowserRow& row;
  const ScanSession& scan() const { return *session.scan; }
};

// The key below a scanned root with exactly this tail (any case).
bool KeyIs(const Context& c, const std::wstring& key, std::wstring_view tail) {
  std::wstring rest;
  return SplitScannedRoot(c.scan(), key, rest) && EqualsNoCase(rest, tail);
}

// A direct subkey of the tail below a scanned root, by a plain name.
bool KeyIsChildOf(const Context& c, const std::wstring& key, std::wstring_view tail) {
  std::wstring rest;
  if (!SplitScannedRoot(c.scan(), key, rest) || rest.size() <= tail.size() + 1 || !StartsWithNoCase(rest, tail) ||
      rest[tail.size()] != L'\\')
    return false;
  const std::wstring name = rest.substr(tail.size() + 1);
  return !name.empty() && name.find(L'\\') == std::wstring::npos && name != L"." && name != L"..";
}

const wchar_t* ReplacementOf(const std::wstring& name) {
  for (const wchar_t* home : {L"Start Page", L"Default_Page_URL", L"Search Page"})
    if (EqualsNoCase(name, home)) return kHomePage;
  if (EqualsNoCase(name, L"Default_Search_URL")) return kSearchUrl;
  if (EqualsNoCase(name, L"Start Page Redirect Cache")) return kPortalPage;
  if (EqualsNoCase(name, L"Default_Secondary_Page_URL")) return L"";
  return nullptr;
}

// The row's address taken out of the multi-string, every entry that holds
// it as the scan read it (trimmed); the others stay in their order and
// trailing empty entries go.
bool RemoveSecondaryPage(const std::wstring& key, const std::wstring& valueName, const std::wstring& url) {
  std::wstring lines;
  if (!ReadStringAt(key, valueName.c_str(), lines)) return !KeyExists(key, valueName.c_str());
  std::vector<std::wstring> kept;
  bool found = false;
  for (const std::wstring& line : Split(lines, L"\n")) {
    if (FiledText(line) == url) found = true;
    else kept.push_back(line);
  }
  if (!found) return true;
  while (!kept.empty() && kept.back().empty()) kept.pop_back();
  std::wstring rest;
  for (size_t i = 0; i < kept.size(); ++i) rest += (i ? L"\n" : L"") + kept[i];
  return WriteStringForced(key, valueName.c_str(), rest, REG_MULTI_SZ);
}

RowRepair RepairPage(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.key.empty() || row.valueName.empty()) return {};
  const bool placed = KeyIs(c, row.key, kMain);
  if (EqualsNoCase(row.valueName, L"Secondary Start Pages")) {
    const std::wstring& url = row.url.empty() ? row.column2 : row.url;
    const bool ok = placed && !url.empty() && RemoveSecondaryPage(row.key, row.valueName, url);
    return Repaired(ok, [&](bool ok) { return (ok ? L"\tSuccessfully removed \"" : L"\tFailed to remove \"") + url + L"\" from the IE's " +
                            row.name + ForUser(row); });
  }
  const wchar_t* replacement = ReplacementOf(row.valueName);
  if (!replacement) return {};
  bool ok = placed && DeleteValueIfPresent(row.key, row.valueName);
  if (ok && *replacement) ok = WriteStringForced(row.key, row.valueName.c_str(), replacement);
  return Repaired(ok, [&](bool ok) { return (ok ? L"\tSuccessfully changed \"" : L"\tFailed to change \"") + row.name + L"\" to \"" +
                          replacement + L"\"" + ForUser(row); });
}

// The scope that takes the place of the deleted one, made the default.
void WriteReplacementScope(const std::wstring& scopes) {
  const std::wstring scope = scopes + L"\\" + kScope;
  WriteStringForced(scope, L"DisplayName", L"Google");
  WriteStringForced(scope, L"FaviconURL", kFaviconUrl);
  WriteStringForced(scope, L"OSDFileURL", kDescriptionUrl);
  WriteDwordForced(scope, L"ShowSearchSuggestions", 1);
  WriteStringForced(scope, L"SuggestionsURL", kSuggestionsUrl);
  WriteStringForced(scope, L"URL", kSearchUrl);
  WriteStringForced(scopes, L"DefaultScope", kScope);
}

RowRepair RepairSearchProvider(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.key.size() < 10) return {};
  const bool ok = KeyIsChildOf(c, row.key, kSearchScopes) && DeleteKeyIfPresent(row.key);
  if (ok) WriteReplacementScope(ParentOf(row.key));
  return Repaired(ok, [&](bool ok) {
    return ok ? L"\tSuccessfully deleted IE search provider " + row.name + ForUser(row)
              : L"\tFailed to delete IE search provider \"" + row.name + L"\"" + ForUser(row);
  });
}

// Every registration of the add-on below one root ("Software" or
// "SOFTWARE"); success when none is left.
bool RemoveAddOnBelow(const std::wstring& root, const wchar_t* software, const std::wstring& clsid) {
  const std::wstring base = root + L"\\" + software;
  bool gone = true;
  for (const wchar_t* place : {L"\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\",
                               L"\\Microsoft\\Windows\\CurrentVersion\\Ext\\Approved\\",
                               L"\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\",
                               L"\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\",
                               L"\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"})
    gone = DeleteKeyIfPresent(base + place + clsid) && gone;
  return DeleteValueIfPresent(base + L"\\Microsoft\\Internet Explorer\\Toolbar", clsid) && gone;
}

RowRepair RepairAddOn(const Context& c) {
  const BrowserRow& row = c.row;
  if (!IsGuidKeyName(row.clsid)) return {};
  const UserList& users = c.scan().users;
  const int index = UserIndexOf(users, row.user);
  if (index < 0) return {};
  const bool everyone = index == int(users.size());
  bool ok = true;
  for (size_t i = 0; i < users.size(); ++i)
    if ((everyone || index == int(i)) && !users[i].sid.empty())
      ok = RemoveAddOnBelow(users[i].RegistryRoot(), L"Software", row.clsid) && ok;
  if (everyone || users.size() == 1)
    for (const wchar_t* root : {L"HKLM64", L"HKLM32"}) ok = RemoveAddOnBelow(root, L"SOFTWARE", row.clsid) && ok;
  return Repaired(ok, [&](bool ok) { return (ok ? L"\tSuccessfully deleted IE Ad-on \"" : L"\tFailed to delete IE Ad-on \"") + row.name +
                          L"\"" + ForUser(row); });
}

RowRepair RepairPolicy(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.key.empty()) return {};
  const std::wstring& url = row.url.empty() ? row.column2 : row.url;
  const std::wstring policyMain = std::wstring(kPolicy) + L"\\Main";
  const std::wstring secondary = policyMain + L"\\SecondaryStartPages";
  if (!row.valueName.empty() && (KeyIs(c, row.key, policyMain) || KeyIs(c, row.key, secondary))) {
    const bool ok = DeleteValuesFiledAs(row.key, row.valueName, url);
    return Repaired(ok, [&](bool ok) { return (ok ? L"\tSuccessfully removed IE's GP Start Page \"" : L"\tFailed to remove IE's GP Start Page \"") +
                            url + L"\"" + ForUser(row); });
  }
  // A search scope forced by policy: the scope itself and the restriction
  // that keeps the user from choosing another.
  const std::wstring scopes = std::wstring(kPolicy) + L"\\SearchScopes";
  bool ok = KeyIsChildOf(c, row.key, scopes) && DeleteKeyIfPresent(row.key);
  if (ok) {
    const std::wstring policyKey = ParentOf(ParentOf(row.key));
    ok = DeleteValueIfPresent(policyKey + L"\\Infodelivery\\Restrictions", L"UsePolicySearchProvidersOnly");
  }
  return Repaired(ok, [&](bool ok) { return (ok ? L"\tSuccessfully removed IE's GP \"" : L"\tFailed to remove IE's GP \"") + row.name +
                          L"\"" + ForUser(row); });
}

RowRepair RepairReset(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.key.size() < 10) return {};
  auto line = [&](bool ok, const wchar_t* done, const wchar_t* failed) {
    return Repaired(ok, [&](bool ok) { return (ok ? done : failed) + ForUser(row); });
  };
  if (EqualsNoCase(row.name, L"Reset Proxy")) {
    bool ok = KeyIs(c, row.key, kInternetSettings);
    for (const wchar_t* value : {L"ProxyServer", L"ProxyEnable", L"ProxyOverride"})
      ok = ok && DeleteValueIfPresent(row.key, value);
    return line(ok, L"\tSuccessfully deleted Proxy entries", L"\tFailed to delete Proxy entries");
  }
  if (EqualsNoCase(row.name, L"Reset Shell")) {
    bool ok = KeyIs(c, row.key, kWinlogon);
    // The machine's shell must stay set; a user's own choice of shell is
    // only ever a hijack and goes.
    if (ok && EqualsNoCase(row.user, L"(All users)")) ok = WriteStringForced(row.key, L"Shell", L"Explorer.exe");
    else if (ok) ok = DeleteValueIfPresent(row.key, L"Shell");
    return line(ok, L"\tSuccessfully deleted Shell hijack", L"\tFailed to delete Shell hijack");
  }
  if (EqualsNoCase(row.name, L"Reset Internet Explorer Policies")) {
    const bool ok = KeyIs(c, row.key, kPolicy) && DeleteValueIfPresent(row.key + L"\\Control Panel", L"HomePage") &&
                    DeleteKeyIfPresent(row.key + L"\\Main");
    return line(ok, L"\tSuccessfully reset IE policies", L"\tFailed to reset IE policies");
  }
  if (EqualsNoCase(row.name, L"Reset IE's DOM Storage")) {
    bool ok = KeyIs(c, row.key, kDomStorage);
    for (const std::wstring& key : {row.key, ParentOf(row.key) + L"\\EdpDomStorage"})
      if (ok && KeyExists(key)) ok = ClearKey(key, ClearSubKeys | ClearValues) >= 0 && IsKeyEmpty(OpenKey(key, kRegRead));
    return line(ok, L"\tSuccessfully reset IE's DOM Storage", L"\tFailed to reset IE's DOM Storage");
  }
  return {};
}

}  // namespace

RowProbe IeRowProbe(const BrowserRow& row) {
  const std::wstring& url = row.url.empty() ? row.column2 : row.url;
  switch (row.group) {
    case kGroupIeStartPages:
      if (EqualsNoCase(row.valueName, L"Secondary Start Pages"))
        return {ProbeKind::IeSecondaryPage, row.key, row.valueName, url};
      return {ProbeKind::RegistryValue, row.key, row.valueName, url};
    case kGroupIeSearchProviders:
      return {ProbeKind::RegistryKey, row.key, {}, {}};
    case kGroupIeShortcuts:
      if (EqualsNoCase(row.name, L"Start Menu Internet shortcut"))
        return {ProbeKind::StartMenuArgument, row.key, {}, row.valueData.empty() ? row.column2 : row.valueData};
      return {ProbeKind::ShortcutArguments, row.path, {}, {}};
    case kGroupIePolicies:
      if (!row.valueName.empty()) return {ProbeKind::RegistryValue, row.key, row.valueName, url};
      return {ProbeKind::RegistryKey, row.key, {}, {}};
  }
  // Add-ons and reset options read back what they removed themselves.
  return {};
}

RowRepair RepairIeRow(RemovalSession& session, const BrowserRow& row) {
  const Context c{session, row};
  switch (row.group) {
    case kGroupIeStartPages: return RepairPage(c);
    case kGroupIeSearchProviders: return RepairSearchProvider(c);
    case kGroupIeAddOns: return RepairAddOn(c);
    case kGroupIeShortcuts: return RepairShortcutRow(*session.scan, row, L"IE", false);
    case kGroupIeResetOptions: return RepairReset(c);
    case kGroupIePolicies: return RepairPolicy(c);
  }
  return {};
}

}  // namespace tavrin
