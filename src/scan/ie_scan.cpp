#include "scan/ie_scan.h"

#include <windows.h>
#include <sfc.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "browsers/hijack_values.h"
#include "browsers/known_good.h"
#include "browsers/user_folder_fragments.h"
#include "inventory/autostart_entries.h"
#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/browser_shortcuts.h"
#include "scan/ie_scan_addons.h"
#include "scan/phase_scope.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kAllUsers[] = L"(All users)";
constexpr wchar_t kChecked[] = L"\r\n\t\tItem state: Checked\r\n";
constexpr wchar_t kUnchecked[] = L"\r\n\t\tItem state: Un-checked\r\n";
constexpr wchar_t kPoliciesSection[] = L"IE group policies";
constexpr wchar_t kResetSection[] = L"IE reset options";
constexpr int kIconIndex = 1;

constexpr const wchar_t* kPageValues[] = {L"Default_Page_URL", L"Default_Search_URL", L"Search Page",
                                          L"Start Page", L"Start Page Redirect Cache", L"Default_Secondary_Page_URL"};

// One place the scan reads: an account's hive or a machine view.
struct Root {
  std::wstring key;       // "HKU\S-1-5-21-...", "HKLM64", "HKLM32"
  std::wstring software;  // key + "\Software" (users) or "\SOFTWARE" (machine)
  std::wstring userName;
};

struct IeScan : PhaseScope {
  ResultList list;
  std::vector<Root> roots;
};

// Every scanned account, then both machine views: no account is left out.
// A key the two views share (HasOwnKeyInView) is read in the 64-bit view
// only, so that it gives one row.
std::vector<Root> RootsOf(const ScanEnvironment& scan) {
  std::vector<Root> roots;
  const UserList& users = scan.session->users;
  const std::vector<std::wstring>& names = scan.session->userDisplayNames;
  for (size_t i = 0; i < users.size(); ++i) {
    if (users[i].sid.empty()) continue;
    const std::wstring key = users[i].RegistryRoot();
    roots.push_back({key, key + L"\\Software", i < names.size() ? names[i] : users[i].accountName});
  }
  for (const wchar_t* machine : {L"HKLM64", L"HKLM32"})
    roots.push_back({machine, std::wstring(machine) + L"\\SOFTWARE", kAllUsers});
  return roots;
}

bool AddIeRow(IeScan& c, int group, const std::wstring& name, const Root& root, const std::wstring& column2,
              bool checked, ScanItemDetails details, const std::wstring& icon = {}) {
  const int row = AddRow(c.list, group, name, root.userName, column2, checked, icon, kIconIndex);
  if (row < 0) return false;
  details.group = group;
  details.userName = root.userName;
  StoreDetails(c.list, GetRowKey(c.list, row), details);
  return true;
}

bool ReadText(const RegKey& key, const wchar_t* name, std::wstring& text) {
  return ReadString(key, name, text) && !Trim(text).empty();
}

bool DwordSet(const std::wstring& key, const wchar_t* name) {
  DWORD number = 0;
  return ReadDwordAt(key, name, number) && number != 0;
}

// 1. Home and search pages.
void ScanPages(IeScan& c) {
  for (const Root& root : c.roots) {
    if (c.Cancelled()) return;
    const std::wstring mainKey = root.software + L"\\Microsoft\\Internet Explorer\\Main";
    RegKey main = OpenKey(mainKey, kRegRead);
    if (!main || !HasOwnKeyInView(mainKey)) continue;
    for (const wchar_t* value : kPageValues) {
      std::wstring url;
      if (!ReadText(main, value, url)) continue;
      if (c.Whitelisted(url, L"IE startup pages") || IsKnownGoodUrl(url, UrlTest::IePage)) continue;
      ScanItemDetails details;
      details.registryKey = mainKey;
      details.valueName = value;
      details.url = url;
      if (!AddIeRow(c, kGroupIeStartPages, value, root, url, true, details)) continue;
      c.Report(std::wstring(L"\r\n\t\tName: ") + value + L"\r\n\t\tUser name: " + root.userName + L"\r\n\t\tURL: " +
               ReportField(url) + kChecked);
    }
    std::wstring pages;
    if (!ReadString(main, L"Secondary Start Pages", pages)) continue;
    // The multi-string comes back one entry a line.
    for (const std::wstring& url : SecondaryStartPageEntries(pages)) {
      if (c.Whitelisted(url, L"IE startup pages") || IsKnownGoodUrl(url, UrlTest::IeOther)) continue;
      ScanItemDetails details;
      details.registryKey = mainKey;
      details.valueName = L"Secondary Start Pages";
      details.url = url;
      details.valueData = url;
      if (!AddIeRow(c, kGroupIeStartPages, L"Secondary Start Pages", root, url, true, details)) continue;
      c.Report(L"\r\n\t\tName: Secondary Start Pages\r\n\t\tUser name: " + root.userName + L"\r\n\t\tURL: " +
               ReportField(url) + kChecked);
    }
  }
}

// A scope's display name; one beginning with "@" is a resource reference
// resolved the way Internet Explorer shows it.
std::wstring ScopeDisplayName(const RegKey& scope, const std::wstring& scopeName) {
  std::wstring name;
  if (!ReadString(scope, L"DisplayName", name) || Trim(name).empty()) return scopeName;
  if (name[0] == L'@') {
    wchar_t resolved[128] = {};
    if (SUCCEEDED(SHLoadIndirectString(name.c_str(), resolved, 128, nullptr)) && resolved[0]) return resolved;
  }
  return name;
}

// The scopes below `scopesKey` that lead to a search page outside the
// known engines; `visit` gets the scope key, its name and its URL.
template <typename Visit>
void ForEachHijackedScope(IeScan& c, const std::wstring& scopesKey, const wchar_t* section, Visit visit) {
  RegKey scopes = OpenKey(scopesKey, kRegRead);
  if (!scopes || !HasOwnKeyInView(scopesKey)) return;
  for (const std::wstring& scopeName : SubKeyNames(scopes)) {
    if (c.Cancelled()) return;
    DispatchPendingMessages();
    RegKey scope = OpenSubKey(scopes, scopeName, kRegRead);
    std::wstring url;
    if (!scope || !ReadText(scope, L"URL", url)) continue;
    if (c.Whitelisted(url, section) || IsKnownGoodUrl(url, UrlTest::IeOther)) continue;
    visit(scopesKey + L"\\" + scopeName, ScopeDisplayName(scope, scopeName), url);
  }
}

// 2. Search providers.
void ScanSearchProviders(IeScan& c) {
  for (const Root& root : c.roots) {
    if (c.Cancelled()) return;
    ForEachHijackedScope(c, root.software + L"\\Microsoft\\Internet Explorer\\SearchScopes", L"IE search providers",
                         [&](const std::wstring& key, const std::wstring& name, const std::wstring& url) {
                           ScanItemDetails details;
                           details.registryKey = key;
                           details.url = url;
                           if (!AddIeRow(c, kGroupIeSearchProviders, name, root, url, true, details)) return;
                           c.Report(L"\r\n\t\tName: " + ReportField(name) + L"\r\n\t\tUser name: " + root.userName +
                                    L"\r\n\t\tURL: " + ReportField(url) + kChecked);
                         });
  }
}

// The add-on kinds: toolbars, and the helper objects and extensions, which
// exempt a few more names and companies.
constexpr const wchar_t* kToolbarNames[] = {L"Java Plug-in ", L"Microsoft Office ", nullptr};
constexpr const wchar_t* kHelperNames[] = {L"Java Plug-in ",       L"Microsoft Office ", L"HTML Document",
                                           L"F12 Developer Tools", L"Windows Live ID",   L"Shockwave Flash Object",
                                           nullptr};
constexpr const wchar_t* kToolbarCompanies[] = {L"Microsoft", L"Adobe Systems", L"Oracle Corporation", L"Google",
                                                nullptr};
constexpr const wchar_t* kHelperCompanies[] = {L"Microsoft", L"Adobe Systems", L"Oracle Corporation", L"Google",
                                               L"Evernote Corp", nullptr};

bool StartsWithAny(const std::wstring& text, const wchar_t* const* prefixes) {
  for (const wchar_t* const* prefix = prefixes; *prefix; ++prefix)
    if (StartsWithNoCase(text, *prefix)) return true;
  return false;
}

struct AddOnScan {
  IeScan& c;
  const Root& root;
  std::vector<std::wstring> seen;  // CLSIDs of this root already judged
};

void JudgeAddOn(AddOnScan& a, const std::wstring& clsid, const std::wstring& foundKey, bool toolbar) {
  IeScan& c = a.c;
  for (const std::wstring& earlier : a.seen)
    if (EqualsNoCase(earlier, clsid)) return;
  a.seen.push_back(clsid);
  const std::wstring& definitions = c.scan.session->definitionsKey;
  if (!definitions.empty() && KeyExists(definitions + L"\\IEWhiteL\\" + clsid)) return;

  const AddOnClass addOn = LookUpAddOnClass(a.root.key, clsid, c.scan.session->systemFolders);
  if (c.Whitelisted(addOn.name, L"IE ad-ons") || StartsWithAny(addOn.name, toolbar ? kToolbarNames : kHelperNames))
    return;
  if (!addOn.file.empty()) {
    if (IsAbsolutePath(addOn.file) && SfcIsFileProtected(nullptr, addOn.file.c_str())) return;
    if (IsSignedByCompany(addOn.file, toolbar ? kToolbarCompanies : kHelperCompanies)) return;
  }
  const std::wstring fileText = addOn.found ? addOn.file : L"The CLSID key for this Ad-on does not exist.";
  ScanItemDetails details;
  details.registryKey = foundKey;
  if (toolbar) details.valueName = clsid;
  if (addOn.found) details.path = addOn.file;
  details.clsid = clsid;
  if (!AddIeRow(c, kGroupIeAddOns, addOn.name, a.root, fileText, true, details, addOn.file)) return;
  c.Report(L"\r\n\t\tName: " + ReportField(addOn.name) + L"\r\n\t\tUser name: " + a.root.userName +
           L"\r\n\t\tFile: " + ReportField(fileText) + kChecked);
}

// 3. Add-ons: toolbars, browser helper objects and extensions.
void ScanAddOns(IeScan& c) {
  for (const Root& root : c.roots) {
    if (c.Cancelled()) return;
    AddOnScan a{c, root, {}};
    const std::wstring toolbarKey = root.software + L"\\Microsoft\\Internet Explorer\\Toolbar";
    if (RegKey toolbar = OpenKey(toolbarKey, kRegRead); toolbar && HasOwnKeyInView(toolbarKey)) {
      std::wstring name;
      DWORD type = 0, length = 0;
      for (DWORD index = 0; !c.Cancelled() && EnumValue(toolbar, index, name, type, length); ++index)
        if (IsGuidKeyName(name)) JudgeAddOn(a, name, toolbarKey, true);
    }
    for (const wchar_t* place : {L"Explorer\\Browser Helper Objects", L"Ext\\PreApproved", L"Ext\\Approved",
                                 L"Ext\\Settings", L"Ext\\Stats"}) {
      const std::wstring placeKey = root.software + L"\\Microsoft\\Windows\\CurrentVersion\\" + place;
      RegKey key = OpenKey(placeKey, kRegRead);
      if (!key || !HasOwnKeyInView(placeKey)) continue;
      for (const std::wstring& clsid : SubKeyNames(key)) {
        if (c.Cancelled()) return;
        DispatchPendingMessages();
        if (IsGuidKeyName(clsid)) JudgeAddOn(a, clsid, placeKey + L"\\" + clsid, false);
      }
    }
  }
}

// 4. Shortcuts and the Start Menu Internet command.
void ScanShortcuts(IeScan& c) {
  const UserFolderFragments fragments = ComputeUserFolderFragments();
  BrowserShortcutContext context;
  context.group = kGroupIeShortcuts;
  context.executable = L"iexplore.exe";
  context.browserName = L"Internet Explorer";
  context.whitelistSection = L"IE shortcuts";
  context.list = c.list;
  context.whitelist = c.scan.whitelist;
  context.report = &c.scan.session->report;
  context.cancel = c.scan.cancel;
  context.iconIndex = kIconIndex;
  const UserList& users = c.scan.session->users;
  const std::vector<std::wstring>& names = c.scan.session->userDisplayNames;
  for (size_t i = 0; i < users.size() && !c.Cancelled(); ++i) {
    if (users[i].profileFolder.size() < 3) continue;
    context.userName = i < names.size() ? names[i] : users[i].accountName;
    ScanUserBrowserShortcuts(context, users[i].profileFolder, fragments);
  }
  if (c.Cancelled()) return;
  context.userName = kAllUsers;
  ScanCommonBrowserShortcuts(context, fragments);

  for (const Root& root : c.roots) {
    if (c.Cancelled()) return;
    const std::wstring key = root.software + L"\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\open\\command";
    std::wstring command;
    if (!ReadStringAt(key, L"", command) || !HasOwnKeyInView(key)) continue;
    const size_t tail = FindNoCase(command, L"\\iexplore.exe");
    if (tail == std::wstring::npos) continue;
    std::wstring argument = command.substr(tail + 13);
    std::erase(argument, L'"');
    argument = Trim(argument);
    if (argument.empty() || c.Whitelisted(argument, L"IE shortcuts")) continue;
    ScanItemDetails details;
    details.registryKey = key;
    details.valueData = argument;
    if (!AddIeRow(c, kGroupIeShortcuts, L"Start Menu Internet shortcut", root, argument, true, details)) continue;
    c.Report(L"\r\n\t\tStart Menu Internet shortcut argument: " + ReportField(argument) + L"\r\n\t\tUser name: " +
             root.userName + kChecked);
  }
}

void AddStartPagePolicy(IeScan& c, const Root& root, const wchar_t* name, const std::wstring& key,
                        const std::wstring& valueName, const std::wstring& url) {
  if (c.Whitelisted(url, kPoliciesSection) || IsKnownGoodUrl(url, UrlTest::IeOther)) return;
  ScanItemDetails details;
  details.registryKey = key;
  details.valueName = valueName;
  details.url = url;
  if (!AddIeRow(c, kGroupIePolicies, name, root, url, true, details)) return;
  c.Report(std::wstring(L"\r\n\t\tName: ") + name + L"\r\n\t\tUser name: " + root.userName + L"\r\n\t\tURL: " +
           ReportField(url) + kChecked);
}

// 5. Group policies.
void ScanPolicies(IeScan& c) {
  for (const Root& root : c.roots) {
    if (c.Cancelled()) return;
    const std::wstring policy = root.software + L"\\Policies\\Microsoft\\Internet Explorer";
    if (!HasOwnKeyInView(policy)) continue;
    if (DwordSet(policy + L"\\Control Panel", L"HomePage")) {
      const std::wstring mainKey = policy + L"\\Main";
      std::wstring url;
      if (RegKey main = OpenKey(mainKey, kRegRead); main && ReadText(main, L"Start Page", url))
        AddStartPagePolicy(c, root, L"Start Page", mainKey, L"Start Page", url);
      const std::wstring pagesKey = mainKey + L"\\SecondaryStartPages";
      if (RegKey pages = OpenKey(pagesKey, kRegRead)) {
        std::wstring name;
        DWORD type = 0, length = 0;
        for (DWORD index = 0; !c.Cancelled() && EnumValue(pages, index, name, type, length); ++index)
          if (ReadText(pages, name.c_str(), url)) AddStartPagePolicy(c, root, L"SecondaryStartPages", pagesKey, name, url);
      }
    }
    if (!DwordSet(policy + L"\\Infodelivery\\Restrictions", L"UsePolicySearchProvidersOnly")) continue;
    ForEachHijackedScope(c, policy + L"\\SearchScopes", kPoliciesSection,
                         [&](const std::wstring& key, const std::wstring& name, const std::wstring& url) {
                           ScanItemDetails details;
                           details.registryKey = key;
                           details.url = url;
                           if (!AddIeRow(c, kGroupIePolicies, name + L" (search provider)", root, url, true, details))
                             return;
                           c.Report(L"\r\n\t\tSearch provider name: " + ReportField(name) + L"\r\n\t\tUser name: " +
                                    root.userName + L"\r\n\t\tURL: " + ReportField(url) + kChecked);
                         });
  }
}

void AddResetOption(IeScan& c, const Root& root, const wchar_t* option, const wchar_t* label,
                    const wchar_t* explanation, const std::wstring& key, const wchar_t* valueName = nullptr) {
  if (c.Whitelisted(option, kResetSection)) return;
  ScanItemDetails details;
  details.registryKey = key;
  if (valueName) details.valueName = valueName;
  if (!AddIeRow(c, kGroupIeResetOptions, option, root, explanation, false, details)) return;
  c.Report(std::wstring(label) + option + L"\r\n\t\tUser name: " + root.userName + L"\r\n\t\tInfo: " + explanation +
           kUnchecked);
}

// Windows' own shell, judged on the whole value: "explorer.exe" alone (or
// the Windows folder's), with the commas Winlogon ignores removed. A value
// that starts another program beside it is not the default shell.
bool IsDefaultShell(const std::wstring& shell, const std::wstring& windowsFolder) {
  std::wstring text = shell;
  std::erase(text, L',');
  text = Trim(text);
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') text = text.substr(1, text.size() - 2);
  return EqualsNoCase(text, L"explorer.exe") ||
         (!windowsFolder.empty() && EqualsNoCase(text, windowsFolder + L"\\explorer.exe"));
}

// 6. Reset options of Internet Explorer and the shell.
void ScanResetOptions(IeScan& c) {
  constexpr wchar_t kOptionLabel[] = L"\r\n\t\tOption name: ";
  for (const Root& root : c.roots) {
    if (c.Cancelled()) return;
    const std::wstring internet = root.software + L"\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    std::wstring proxy;
    if (HasOwnKeyInView(internet) && ReadStringAt(internet, L"ProxyServer", proxy) && !Trim(proxy).empty() && DwordSet(internet, L"ProxyEnable"))
      AddResetOption(c, root, L"Reset Proxy", kOptionLabel,
                     L"This option is present because a proxy was found for this user.", internet);

    const std::wstring winlogon = root.software + L"\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    std::wstring shell;
    if (HasOwnKeyInView(winlogon) && ReadStringAt(winlogon, L"Shell", shell) && !IsDefaultShell(shell, c.scan.session->systemFolders.windows))
      AddResetOption(c, root, L"Reset Shell", kOptionLabel,
                     L"This option is present because a Shell hijack was found for this user.", winlogon, L"Shell");

    const std::wstring policy = root.software + L"\\Policies\\Microsoft\\Internet Explorer";
    if (HasOwnKeyInView(policy) && (KeyExists(policy + L"\\Control Panel", L"HomePage") || KeyExists(policy + L"\\Main")))
      AddResetOption(c, root, L"Reset Internet Explorer Policies", kOptionLabel,
                     L"This option is listed because a possibly hijacked policy was found for this user.", policy);
  }
  for (const Root& root : c.roots) {
    if (c.Cancelled()) return;
    const std::wstring storageKey = root.key + L"\\SOFTWARE\\Microsoft\\Internet Explorer\\DomStorage";
    RegKey storage = OpenKey(storageKey, kRegRead);
    if (!storage || SubKeyCount(storage) <= 1 || !HasOwnKeyInView(storageKey)) continue;
    AddResetOption(c, root, L"Reset IE's DOM Storage", L"\r\n\t\tReset option: ",
                   L"Check this item if you want to reset IE's DOM Storage", storageKey);
  }
}

}  // namespace

void ScanInternetExplorer(ScanEnvironment& scan) {
  if (scan.progress) scan.progress->SetStatus(L"Scanning Internet Explorer...");
  LoadDetails(*scan.results, kBrowsersTab);
  IeScan c{{scan}, TabList(*scan.results, kBrowsersTab), RootsOf(scan)};
  c.Report(L"\r\n\r\n->Internet Explorer scan:\r\n");
  const struct {
    const wchar_t* header;
    void (*run)(IeScan&);
  } sections[] = {
      {L"\r\n\tInternet Explorer home and search pages:\r\n", ScanPages},
      {L"\r\n\tInternet Explorer search providers:\r\n", ScanSearchProviders},
      {L"\r\n\tInternet Explorer ad-ons:\r\n", ScanAddOns},
      {L"\r\n\tInternet Explorer shortcuts:\r\n", ScanShortcuts},
      {L"\r\n\tInternet Explorer's Group Policies:\r\n", ScanPolicies},
      {L"\r\n\tInternet Explorer and Shell reset options:\r\n", ScanResetOptions},
  };
  for (const auto& section : sections) {
    if (c.Cancelled()) break;
    c.Report(section.header);
    section.run(c);
  }
  SaveDetails(*scan.results);
}

}  // namespace tavrin
