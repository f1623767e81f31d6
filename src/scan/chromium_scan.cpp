#include "scan/chromium_scan.h"

#include <windows.h>

#include <string>
#include <vector>

#include "browsers/browser_folder_guard.h"
#include "browsers/chromium_extension_state.h"
#include "browsers/chromium_policy_extensions.h"
#include "browsers/chromium_profiles.h"
#include "browsers/hijack_values.h"
#include "browsers/known_good.h"
#include "browsers/other_browsers.h"
#include "browsers/preference_document.h"
#include "browsers/user_folder_fragments.h"
#include "inventory/autostart_entries.h"
#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/browser_shortcuts.h"
#include "scan/phase_scope.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kAllUsers[] = L"(All users)";
constexpr const wchar_t* kHomePagePath = kChromiumHomePagePath;
constexpr const wchar_t* kStartupUrlsPath = kChromiumStartupUrlsPath;
constexpr wchar_t kSearchProviderPath[] = L"default_search_provider_data->template_url_data";
constexpr wchar_t kExtensionsPath[] = L"extensions->settings";
// Chromium keeps the protected settings in "Secure Preferences" on Windows
// and in "Preferences" (with their MACs beside them) elsewhere and in older
// versions; a hijacker writes wherever the browser reads, so both count.
constexpr const wchar_t* kPreferenceFiles[] = {L"Secure Preferences", L"Preferences"};

// What differs between the browsers of the family.
struct ChromiumBrowser {
  const wchar_t* status;
  bool isEdge;
  const wchar_t* userDataTail;  // after the local application data folder
  int startGroup, searchGroup, extensionGroup, shortcutGroup, resetGroup, policyGroup;
  int iconIndex;
  UrlTest startupTest;
  const wchar_t* startSection;
  const wchar_t* searchSection;
  const wchar_t* extensionSection;
  const wchar_t* shortcutSection;
  const wchar_t* policySection;
  const wchar_t* resetSection;
  const wchar_t* knownGoodKey;
  const wchar_t* browserName;
  const wchar_t* startMenuKey;
  const wchar_t* executableTail;
  const wchar_t* policyKey;
  const wchar_t* policyResetName;
  const wchar_t* title;
  const wchar_t* startHeader;
  const wchar_t* searchHeader;
  const wchar_t* extensionHeader;
  const wchar_t* shortcutHeader;
  const wchar_t* policyHeader;
  const wchar_t* resetHeader;
  const wchar_t* noProfiles;
  const wchar_t* homepagePolicyLabel;
  const wchar_t* searchPolicyLabel;
  const wchar_t* startupPolicyLabel;
  const wchar_t* homeLabel;
  const wchar_t* startupLabel;
  const wchar_t* searchLabel;
  const wchar_t* extensionLabel;
  // The browsers found on the fly: rows and report lines name the browser.
  bool others;
};

constexpr ChromiumBrowser kChrome = {
    L"Scanning Google Chrome...", false, L"\\Google\\Chrome\\User Data",
    kGroupChromeStartPages, kGroupChromeSearchProviders, kGroupChromeExtensions, kGroupChromeShortcuts,
    kGroupChromeResetOptions, kGroupChromePolicies, 2, UrlTest::StartPage,
    L"Chrome startup pages", L"Chrome search providers", L"Chrome extensions", L"Chrome shortcuts",
    L"Chrome group policies", L"Chrome reset options", L"\\WhiteList\\Chrome Extensions", L"Google Chrome",
    L"\\Software\\Clients\\StartMenuInternet\\Google Chrome\\shell\\open\\command", L"\\chrome.exe",
    L"\\Software\\Policies\\Google\\Chrome", L"Reset Chrome Policies",
    L"\r\n\r\n->Google Chrome scan:\r\n", L"\r\n\tChrome's startup and home pages:\r\n",
    L"\r\n\tChrome's search providers:\r\n", L"\r\n\tChrome extensions:\r\n",
    L"\r\n\tChrome's non-standard shortcuts:\r\n", L"\r\n\tChrome's Group Policies:\r\n",
    L"\r\n\tChrome reset options:\r\n", L"\r\n\tNo Chrome profiles have been found:\r\n",
    L"\r\n\t\tChrome's Default Homepage policy: ", L"\r\n\t\tChrome's Default Search Provider policy: ",
    L"\r\n\t\tChrome's Startup Page policy: ", L"\r\n\t\tHomepage: ", L"\r\n\t\tStartup page: ",
    L"\r\n\t\tDefault search provider URL: ", L"\r\n\t\tExtension found: ", false,
};

constexpr ChromiumBrowser kEdge = {
    L"Scanning Microsoft Edge...", true, L"\\Microsoft\\Edge\\User Data",
    kGroupEdgeStartPages, kGroupEdgeSearchProviders, kGroupEdgeExtensions, kGroupEdgeShortcuts,
    kGroupEdgeResetOptions, kGroupEdgePolicies, 0, UrlTest::Search,
    L"Microsoft Edge startup pages", L"Microsoft Edge search providers", L"Microsoft Edge extensions",
    L"Microsoft Edge shortcuts", L"Microsoft Edge group policies", L"Microsoft Edge reset options",
    L"\\WhiteList\\Microsoft Edge Extensions", L"Microsoft Edge",
    L"\\Software\\Clients\\StartMenuInternet\\Microsoft Edge\\shell\\open\\command", L"\\msedge.exe",
    L"\\Software\\Policies\\Microsoft\\Edge", L"Reset MS Edge Policies",
    L"\r\n\r\n->Microsoft Edge scan:\r\n", L"\r\n\tMS Edge's startup and home pages:\r\n",
    L"\r\n\tMS Edge search providers:\r\n", L"\r\n\tMS Edge extensions:\r\n",
    L"\r\n\tMS Edge's non-standard shortcuts:\r\n", L"\r\n\tMS Edge's Group Policies:\r\n",
    L"\r\n\tMS Edge reset options:\r\n", L"\r\n\tNo Edge profiles have been found:\r\n",
    L"\r\n\t\tMS Edge's Default Homepage policy: ", L"\r\n\t\tMS Edge's Default Search Provider policy: ",
    L"\r\n\t\tMS Edge's Startup Page policy: ", L"\r\n\t\tHomepage: ", L"\r\n\t\tStartup page: ",
    L"\r\n\t\tDefault search provider URL: ", L"\r\n\t\tExtension found: ", false,
};

constexpr ChromiumBrowser kOtherChromium = {
    L"Other Chromium browsers...", false, nullptr,
    kGroupOtherChromiumStartPages, kGroupOtherChromiumSearchProviders, kGroupOtherChromiumExtensions,
    kGroupOtherChromiumShortcuts, kGroupOtherChromiumResetOptions, kGroupOtherChromiumPolicies, 5, UrlTest::StartPage,
    L"Other Chromium browsers startup pages", L"Other Chromium browsers search providers",
    L"Other Chromium browsers extensions", L"Other Chromium browsers shortcuts",
    L"Other Chromium browsers group policies", L"Other Chromium browsers reset options",
    L"\\WhiteList\\OCB Extensions", nullptr, L"\\Software\\Clients\\StartMenuInternet", nullptr, L"\\Software\\Policies",
    nullptr,
    L"\r\n\r\n->Other Chromium browsers scan:\r\n", L"\r\n\tOther Chromium browsers startup and home pages:\r\n",
    L"\r\n\tOther Chromium bowsers' search providers:\r\n", L"\r\n\tOther Chromium browsers extensions:\r\n",
    L"\r\n\tOther Chromium browser's non-standard shortcuts:\r\n", L"\r\n\tOther Chromium browsers Group Policies:\r\n",
    L"\r\n\tOther Chromium browsers reset options:\r\n",
    L"\r\n\tNo other Chromium based browser profiles have been found:\r\n",
    L"\r\n\t\tDefault Homepage policy : ", L"\r\n\t\tDefault Search Provider policy: ", L"\r\n\t\tStartup Page policy: ",
    L"\r\n\t\tHomepage: ", L"\r\n\t\tStartup page : ", L"\r\n\t\tDefault search provider URL : ",
    L"\r\n\t\tExtension found : ", true,
};

// Where a profile or a finding belongs: the user whose column it fills and,
// for the browsers found on the fly, which of them.
struct Where {
  std::wstring userName;
  const OtherChromiumBrowser* other = nullptr;
};

struct ChromiumScan : PhaseScope {
  const ChromiumBrowser& browser;
  ResultList list;
  UserFolderFragments fragments;
  std::wstring executable;  // Chrome and Edge: located while section 1 walks the users
  std::vector<OtherChromiumBrowser> others;
};

// The user line, and for the browsers found on the fly the browser line
// after it.
std::wstring UserLines(const Where& where) {
  std::wstring lines = L"\r\n\t\tUser name: " + where.userName;
  if (where.other) lines += L"\r\n\t\tBrowser: " + ReportField(where.other->displayName);
  return lines;
}

// "Home page", or "Home page (Vivaldi)" for a browser found on the fly.
std::wstring RowName(const wchar_t* name, const Where& where) {
  return where.other ? std::wstring(name) + L" (" + where.other->displayName + L")" : std::wstring(name);
}

bool AddBrowserRow(ChromiumScan& c, int group, const std::wstring& name, const Where& where,
                   const std::wstring& column2, bool checked, ScanItemDetails details) {
  const std::wstring& icon = where.other ? where.other->executablePath : c.executable;
  const int row = AddRow(c.list, group, name, where.userName, column2, checked, icon, c.browser.iconIndex);
  if (row < 0) return false;
  details.group = group;
  details.userName = where.userName;
  if (where.other) details.clsid = where.other->displayName;
  StoreDetails(c.list, GetRowKey(c.list, row), details);
  return true;
}

// One row for a URL of a preference file. The JSON path and the URL
// itself are filed, so that a repair removes exactly this entry even from
// a list that holds others.
void AddPreferenceUrl(ChromiumScan& c, int group, const wchar_t* name, const wchar_t* label, const wchar_t* jsonPath,
                      const std::wstring& url, const Where& where, const std::wstring& file) {
  ScanItemDetails details;
  details.registryKey = jsonPath;
  details.jsonPath = jsonPath;
  details.path = file;
  details.url = url;
  if (!AddBrowserRow(c, group, RowName(name, where), where, url, true, details)) return;
  c.Report(label + ReportField(url) + UserLines(where) + L"\r\n\t\tInfo: " + ReportField(file) + ItemStateLine(true));
}

bool SkippedStartPage(const ChromiumScan& c, const std::wstring& url, UrlTest test) {
  return IsKnownGoodUrl(url, test) || c.Whitelisted(url, c.browser.startSection);
}

// Chrome and Edge: the profiles of each user in account order, `locate`
// looking for the executable while none is known yet. The others: the
// profiles of each discovered browser in discovery order. Returns how many
// profiles were seen.
template <typename Visit>
int ForEachProfile(ChromiumScan& c, bool locate, Visit visit) {
  int seen = 0;
  auto walk = [&](const std::wstring& userDataFolder, bool opera, const Where& where) {
    for (const std::wstring& profile : ChromiumProfileFolders(userDataFolder, opera)) {
      if (c.Cancelled()) break;
      DispatchPendingMessages();
      ++seen;
      visit(where, profile);
    }
  };
  if (c.browser.others) {
    for (const OtherChromiumBrowser& other : c.others) {
      if (c.Cancelled()) break;
      walk(other.userDataFolder, other.displayName == kOperaDisplayName,
           Where{c.UserName(static_cast<size_t>(other.userIndex)), &other});
    }
    return seen;
  }
  for (size_t i = 0; i < c.Users().size() && !c.Cancelled(); ++i) {
    const UserProfile& user = c.Users()[i];
    if (user.profileFolder.empty()) continue;
    if (locate && c.executable.empty())
      LocateChromiumExecutable(user.profileFolder, c.fragments.localAppData, c.browser.isEdge, c.executable);
    walk(user.profileFolder + c.fragments.localAppData + c.browser.userDataTail, false, Where{c.UserName(i), nullptr});
  }
  return seen;
}

template <typename Visit>
void ForEachPreferenceFile(ChromiumScan& c, const std::wstring& profile, Visit visit) {
  for (const wchar_t* name : kPreferenceFiles) {
    if (c.Cancelled()) return;
    const std::wstring file = profile + L"\\" + name;
    if (!FileExists(file)) continue;
    PreferenceDocument document;
    document.Load(file, PreferenceReadMode::Utf8);
    visit(document, file);
  }
}

// 1. Home and startup pages.
void ScanStartPages(ChromiumScan& c, const PreferenceDocument& document, const std::wstring& file, const Where& where) {
  std::wstring url;
  if (ReadChromiumUrl(document, kHomePagePath, url) && !SkippedStartPage(c, url, UrlTest::StartPage))
    AddPreferenceUrl(c, c.browser.startGroup, L"Home page", c.browser.homeLabel, kHomePagePath, url, where, file);

  for (const std::wstring& startupUrl : ReadChromiumStartupUrls(document)) {
    if (c.Cancelled()) return;
    if (SkippedStartPage(c, startupUrl, c.browser.startupTest)) continue;
    AddPreferenceUrl(c, c.browser.startGroup, L"Startup page", c.browser.startupLabel, kStartupUrlsPath, startupUrl,
                     where, file);
  }
}

// 2. Search providers.
void ScanSearchProvider(ChromiumScan& c, const PreferenceDocument& document, const std::wstring& file,
                        const Where& where) {
  std::wstring url;
  if (!ReadChromiumUrl(document, kChromiumSearchUrlPath, url)) return;
  if (IsKnownGoodUrl(url, UrlTest::Search) || c.Whitelisted(url, c.browser.searchSection)) return;
  AddPreferenceUrl(c, c.browser.searchGroup, L"Default search provider", c.browser.searchLabel, kSearchProviderPath,
                   url, where, file);
}

// Roots of the registry locations: each user's hive, then both machine views.
std::vector<std::wstring> RegistryRoots(const ChromiumScan& c) {
  std::vector<std::wstring> roots;
  for (const UserProfile& user : c.Users()) roots.push_back(user.RegistryRoot());
  roots.push_back(L"HKLM64");
  roots.push_back(L"HKLM32");
  return roots;
}

// The browser's policy keys (below every root) that force the extension,
// joined by "|" (a character no key name of theirs holds); empty when none.
std::wstring ForcingPolicyKeys(const ChromiumScan& c, const Where& where, const std::wstring& id) {
  if (where.other && where.other->policyKeyName.empty()) return {};
  std::wstring keys;
  for (const std::wstring& root : RegistryRoots(c)) {
    std::wstring key = root + c.browser.policyKey;
    if (where.other) key += L"\\" + where.other->policyKeyName;
    if (!PolicyKeyForcesExtension(key, id)) continue;
    if (!keys.empty()) keys += L"|";
    keys += key;
  }
  return keys;
}

// The name an extension shows: from the copy of its manifest the
// preferences keep, or, for an unpacked extension (the browser keeps no
// copy of those), from the manifest in its own folder.
bool ExtensionName(const PreferenceDocument& document, const PreferenceNode& extension, const std::wstring& folder,
                   std::wstring& name) {
  PreferenceNode manifest;
  if (document.GetMember(&extension, L"manifest", manifest))
    return manifest.kind == PreferenceKind::Object &&
           document.GetMemberString(&manifest, L"name", name) == PreferenceKind::String && !name.empty();
  PreferenceDocument own;
  return own.Load(folder + L"\\manifest.json", PreferenceReadMode::Utf8) &&
         own.GetString(L"name", name) == PreferenceKind::String && !name.empty();
}

// 3. Extensions. Each member is walked as a node of its own: an id is text
// of the file and is never spliced into a path.
void ScanExtensions(ChromiumScan& c, const PreferenceDocument& document, const std::wstring& file,
                    const std::wstring& profile, const Where& where) {
  PreferenceNode settings;
  if (!document.FindNode(kExtensionsPath, settings) || settings.kind != PreferenceKind::Object) return;
  const std::wstring& definitions = c.scan.session->definitionsKey;
  MemberCursor member{};
  std::wstring id, name, folder;
  while (!c.Cancelled() && document.NextMember(member, &settings)) {
    if (member.kind != PreferenceKind::Object || !document.KeyOf(member, id) || id.empty()) continue;
    if (IsKnownGoodExtension(definitions, c.browser.knownGoodKey, id)) continue;
    const PreferenceNode extension = document.NodeOf(member);
    if (document.GetMemberString(&extension, L"path", folder) != PreferenceKind::String || folder.empty()) continue;
    if (folder.find(L":\\") == std::wstring::npos) folder = profile + L"\\Extensions\\" + folder;
    // Shown and judged where it really is: ".." steps in a planted path
    // would otherwise hide where the folder lies.
    folder = CanonicalFilePath(folder);
    if (folder.empty() || !FolderExists(folder)) continue;
    if (!ExtensionName(document, extension, folder, name)) continue;
    if (IsKnownGoodExtension(definitions, c.browser.knownGoodKey, name) || c.Whitelisted(name, c.browser.extensionSection))
      continue;

    const std::wstring jsonPath = std::wstring(kExtensionsPath) + L"->" + id;
    ScanItemDetails details;
    details.registryKey = jsonPath;
    details.jsonPath = jsonPath;
    details.path = file;
    // Whether the browser runs it and how it came: a disabled extension is
    // still offered (it can be turned on again), and one a policy forces is
    // the policy's hijack; its removal releases the policy entries filed
    // here first and fails while anything still forces it.
    const ChromiumExtensionState state = ReadChromiumExtensionState(document, extension);
    const std::wstring policyKeys = ForcingPolicyKeys(c, where, id);
    const std::wstring location =
        policyKeys.empty() ? InstallLocationText(state.location) : InstallLocationText(int(ChromiumInstallLocation::ExternalPolicy));
    details.extra = {{L"Extension state", ExtensionStateText(state)}, {L"Install location", location},
                     {L"Policy key", policyKeys}};
    // The removal deletes the folder it is given. Only the browser's own
    // copy of an extension is its to delete: an unpacked extension loaded
    // from anywhere else (a developer's folder, the browser's resources,
    // "..\..\Windows" in a planted file) is removed from the settings alone.
    if (IsSafeBrowserFolder(folder, profile + L"\\Extensions", {})) details.extensionPath = folder;
    if (!AddBrowserRow(c, c.browser.extensionGroup, name, where, folder, true, details)) continue;
    c.Report(c.browser.extensionLabel + ReportField(name) + L" (" + ReportField(id) + L")" + UserLines(where) +
             L"\r\n\t\tPath: " + ReportField(folder) + ItemStateLine(true));
  }
}

void AddStartMenuInternetRow(ChromiumScan& c, const std::wstring& key, const std::wstring& argument, const Where& where) {
  if (argument.empty() || c.Whitelisted(argument, c.browser.shortcutSection)) return;
  ScanItemDetails details;
  details.registryKey = key;
  if (!AddBrowserRow(c, c.browser.shortcutGroup, L"Start Menu Internet shortcut", where, argument, true, details))
    return;
  c.Report(L"\r\n\t\tStart Menu Internet shortcut argument: " + ReportField(argument) + UserLines(where) +
           ItemStateLine(true));
}

// 4b. The command Windows' default-programs settings start the browser
// with. Only what follows the program is an argument: the program path
// itself is never matched or removed.
void ScanStartMenuInternet(ChromiumScan& c) {
  const std::vector<std::wstring> roots = RegistryRoots(c);
  for (size_t i = 0; i < roots.size() && !c.Cancelled(); ++i) {
    if (!c.browser.others) {
      const std::wstring key = roots[i] + c.browser.startMenuKey;
      std::wstring command;
      if (!ReadStringAt(key, L"", command)) continue;
      const size_t tail = FindNoCase(command, c.browser.executableTail);
      if (tail == std::wstring::npos) continue;
      size_t after = tail + wcslen(c.browser.executableTail);
      // The quote that closes a quoted program path is not an argument.
      if (after < command.size() && command[after] == L'"') ++after;
      AddStartMenuInternetRow(c, key, Trim(std::wstring_view(command).substr(after)), Where{c.UserName(i), nullptr});
      continue;
    }
    RegKey clients = OpenKey(roots[i] + c.browser.startMenuKey, kRegRead);
    if (!clients) continue;
    for (const std::wstring& client : SubKeyNames(clients)) {
      if (c.Cancelled()) break;
      const std::wstring key = roots[i] + c.browser.startMenuKey + L"\\" + client + L"\\shell\\open\\command";
      std::wstring stored;
      if (!ReadStringAt(key, L"", stored)) continue;
      for (const OtherChromiumBrowser& other : c.others) {
        if (other.executablePath.size() < 5) continue;
        std::wstring command = stored;
        const size_t profileVariable = FindNoCase(command, L"%UserProfile%");
        const size_t owner = static_cast<size_t>(other.userIndex);
        if (profileVariable != std::wstring::npos && owner < c.Users().size())
          command.replace(profileVariable, 13, c.Users()[owner].profileFolder);
        const size_t at = FindNoCase(command, other.executablePath);
        if (at == std::wstring::npos) continue;
        std::wstring argument = command.substr(at + other.executablePath.size());
        std::erase(argument, L'"');
        AddStartMenuInternetRow(c, key, Trim(argument), Where{c.UserName(i), &other});
      }
    }
  }
}

BrowserShortcutContext ShortcutContext(ChromiumScan& c, const std::wstring& executable, const std::wstring& browserName,
                                       const std::wstring& userName) {
  BrowserShortcutContext context;
  context.group = c.browser.shortcutGroup;
  context.executable = executable;
  context.browserName = browserName;
  context.userName = userName;
  context.whitelistSection = c.browser.shortcutSection;
  context.list = c.list;
  context.whitelist = c.scan.whitelist;
  context.report = &c.scan.session->report;
  context.cancel = c.scan.cancel;
  context.iconIndex = c.browser.iconIndex;
  return context;
}

std::wstring ParentFolder(const std::wstring& folder) {
  const size_t slash = folder.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

void ScanUserShortcuts(ChromiumScan& c, const UserProfile& user, const BrowserShortcutContext& context) {
  const std::wstring desktop = user.profileFolder + c.fragments.desktop;
  if (FolderExists(desktop)) ScanBrowserShortcuts(context, desktop);
  const std::wstring programs = user.profileFolder + c.fragments.programs;
  if (!c.Cancelled() && FolderExists(programs)) ScanBrowserShortcuts(context, ParentFolder(programs));
}

void ScanCommonShortcuts(ChromiumScan& c, const BrowserShortcutContext& context) {
  if (FolderExists(c.fragments.commonDesktop)) ScanBrowserShortcuts(context, c.fragments.commonDesktop);
  if (!c.Cancelled() && FolderExists(c.fragments.commonPrograms))
    ScanBrowserShortcuts(context, ParentFolder(c.fragments.commonPrograms));
}

// 4a. Shortcut files on the desktops and in the Start menus.
void ScanShortcutFiles(ChromiumScan& c) {
  if (c.browser.others) {
    std::vector<std::wstring> commonDone;
    for (const OtherChromiumBrowser& other : c.others) {
      if (c.Cancelled()) return;
      const size_t owner = static_cast<size_t>(other.userIndex);
      if (other.executablePath.size() < 5 || owner >= c.Users().size()) continue;
      ScanUserShortcuts(c, c.Users()[owner],
                        ShortcutContext(c, other.executablePath, other.displayName, c.UserName(owner)));
      bool done = false;
      for (const std::wstring& path : commonDone) done = done || EqualsNoCase(path, other.executablePath);
      if (done || c.Cancelled()) continue;
      commonDone.push_back(other.executablePath);
      ScanCommonShortcuts(c, ShortcutContext(c, other.executablePath, other.displayName, kAllUsers));
    }
    return;
  }
  for (size_t i = 0; i < c.Users().size() && !c.Cancelled(); ++i) {
    const UserProfile& user = c.Users()[i];
    if (user.profileFolder.size() < 3) continue;
    std::wstring executable;
    if (!LocateChromiumExecutable(user.profileFolder, c.fragments.localAppData, c.browser.isEdge, executable)) continue;
    ScanUserShortcuts(c, user, ShortcutContext(c, executable, c.browser.browserName, c.UserName(i)));
  }
  if (c.executable.empty() || c.Cancelled()) return;
  ScanCommonShortcuts(c, ShortcutContext(c, c.executable, c.browser.browserName, kAllUsers));
}

void AddPolicyRow(ChromiumScan& c, const std::wstring& name, const wchar_t* label, const std::wstring& key,
                  const std::wstring& valueName, const std::wstring& url, const Where& where) {
  ScanItemDetails details;
  details.registryKey = key;
  details.valueName = valueName;
  details.valueData = url;
  if (!AddBrowserRow(c, c.browser.policyGroup, name, where, url, true, details)) return;
  c.Report(label + ReportField(url) + UserLines(where) + ItemStateLine(true));
}

void ScanPolicyKey(ChromiumScan& c, const std::wstring& key, const Where& where) {
  RegKey policies = OpenKey(key, kRegRead);
  if (!policies) return;
  std::wstring url;
  DWORD number = 0;
  const bool newTabPage = ReadDword(policies, L"HomepageIsNewTabPage", number) && number != 0;
  if (!newTabPage && ReadString(policies, L"HomepageLocation", url) && !Trim(url).empty() &&
      !IsKnownGoodUrl(url, UrlTest::Policy) && !c.Whitelisted(url, c.browser.policySection))
    AddPolicyRow(c, L"HomepageLocation", c.browser.homepagePolicyLabel, key, L"HomepageLocation", url, where);

  std::wstring provider;
  const bool searchDisabled = ReadDword(policies, L"DefaultSearchProviderEnabled", number) && number == 0;
  if (!searchDisabled && ReadString(policies, L"DefaultSearchProviderSearchURL", url) && !Trim(url).empty() &&
      !IsKnownGoodUrl(url, UrlTest::Policy) && !c.Whitelisted(url, c.browser.policySection) &&
      ReadString(policies, L"DefaultSearchProviderName", provider) && !provider.empty())
    AddPolicyRow(c, provider + L" (search provider)", c.browser.searchPolicyLabel, key,
                 L"DefaultSearchProviderSearchURL", url, where);

  if (!ReadDword(policies, L"RestoreOnStartup", number) || number != 4) return;
  RegKey urls = OpenSubKey(policies, L"RestoreOnStartupURLs", kRegRead);
  if (!urls) return;
  std::wstring valueName;
  DWORD type = 0, length = 0;
  for (DWORD index = 0; !c.Cancelled() && EnumValue(urls, index, valueName, type, length); ++index) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
    if (!ReadString(urls, valueName.c_str(), url) || url.empty()) continue;
    if (c.browser.others && c.Whitelisted(url, c.browser.policySection)) continue;
    // The repair finds the value in the "\RestoreOnStartupURLs" subkey of
    // the policy key it is given.
    AddPolicyRow(c, L"RestoreOnStartupURLs", c.browser.startupPolicyLabel, key, valueName, url, where);
  }
}

// The policy keys of one root: the browser's own, or one per discovered
// browser (a key shared by two of them examined once). `visit` gets the
// key and the browser it was taken for.
template <typename Visit>
void ForEachPolicyKey(ChromiumScan& c, const std::wstring& root, Visit visit) {
  if (!c.browser.others) {
    visit(root + c.browser.policyKey, nullptr);
    return;
  }
  std::vector<std::wstring> examined;
  for (const OtherChromiumBrowser& other : c.others) {
    if (c.Cancelled() || other.policyKeyName.empty()) continue;
    const std::wstring key = root + c.browser.policyKey + L"\\" + other.policyKeyName;
    bool seen = false;
    for (const std::wstring& done : examined) seen = seen || EqualsNoCase(done, key);
    if (seen) continue;
    examined.push_back(key);
    visit(key, &other);
  }
}

// 5. Group policies.
void ScanPolicies(ChromiumScan& c) {
  const std::vector<std::wstring> roots = RegistryRoots(c);
  for (size_t i = 0; i < roots.size() && !c.Cancelled(); ++i)
    ForEachPolicyKey(c, roots[i], [&](const std::wstring& key, const OtherChromiumBrowser* other) {
      ScanPolicyKey(c, key, Where{c.UserName(i), other});
    });
}

void AddResetRow(ChromiumScan& c, const std::wstring& option, const Where& where, const std::wstring& target,
                 bool isKey, bool checked) {
  if (c.Whitelisted(option, c.browser.resetSection)) return;
  ScanItemDetails details;
  (isKey ? details.registryKey : details.path) = target;
  if (!AddBrowserRow(c, c.browser.resetGroup, option, where, target, checked, details)) return;
  c.Report(L"\r\n\t\tOption name: " + option + UserLines(where) + L"\r\n\t\tInfo: " + ReportField(target) +
           ItemStateLine(checked));
}

// "Reset Preferences", or "Reset Vivaldi Preferences" for a browser found
// on the fly.
std::wstring ResetName(const wchar_t* what, const OtherChromiumBrowser* other) {
  if (!other) return std::wstring(L"Reset ") + what;
  return L"Reset " + other->displayName + L" " + what;
}

// A "master_preferences" beside the executable seeds every new profile;
// it is only worth resetting when it sets one of the hijacked settings.
bool DefaultPreferencesSetPages(const std::wstring& file) {
  PreferenceDocument document;
  document.Load(file, PreferenceReadMode::Ansi);
  PreferenceNode node;
  for (const wchar_t* path : {kHomePagePath, kStartupUrlsPath, L"default_search_provider_data", kExtensionsPath})
    if (document.FindNode(path, node)) return true;
  return false;
}

// 6. Reset options.
void ScanResetOptions(ChromiumScan& c) {
  ForEachProfile(c, false, [&](const Where& where, const std::wstring& profile) {
    const std::wstring secure = profile + L"\\Secure Preferences";
    if (FileExists(secure)) AddResetRow(c, ResetName(L"Secure Preferences", where.other), where, secure, false, false);
    const std::wstring preferences = profile + L"\\Preferences";
    if (FileExists(preferences)) AddResetRow(c, ResetName(L"Preferences", where.other), where, preferences, false, false);
  });
  if (c.Cancelled()) return;

  auto defaultPreferences = [&](const std::wstring& executable, const OtherChromiumBrowser* other) {
    const std::wstring master = ParentFolder(executable) + L"\\master_preferences";
    if (FileExists(master) && DefaultPreferencesSetPages(master))
      AddResetRow(c, ResetName(L"Default Preferences", other), Where{kAllUsers, other}, master, false, true);
  };
  if (!c.browser.others) {
    if (!c.executable.empty()) defaultPreferences(c.executable, nullptr);
  } else {
    std::vector<std::wstring> folders;
    for (const OtherChromiumBrowser& other : c.others) {
      if (other.executablePath.size() < 5) continue;
      const std::wstring folder = ParentFolder(other.executablePath);
      bool done = false;
      for (const std::wstring& seen : folders) done = done || EqualsNoCase(seen, folder);
      if (done) continue;
      folders.push_back(folder);
      defaultPreferences(other.executablePath, &other);
    }
  }

  const std::vector<std::wstring> roots = RegistryRoots(c);
  for (size_t i = 0; i < roots.size() && !c.Cancelled(); ++i)
    ForEachPolicyKey(c, roots[i], [&](const std::wstring& key, const OtherChromiumBrowser* other) {
      if (!KeyExists(key)) return;
      const std::wstring name = other ? ResetName(L"Policies", other) : std::wstring(c.browser.policyResetName);
      AddResetRow(c, name, Where{c.UserName(i), other}, key, true, false);
    });
}

void ScanChromiumFamily(ScanEnvironment& scan, const ChromiumBrowser& browser) {
  if (scan.progress) scan.progress->SetStatus(browser.status);
  LoadDetails(*scan.results, kBrowsersTab);
  ChromiumScan c{{scan}, browser, TabList(*scan.results, kBrowsersTab), ComputeUserFolderFragments(), {}, {}};
  c.Report(browser.title);
  if (browser.others) {
    DiscoverOtherChromiumBrowsers(c.Users(), c.fragments, c.others);
    if (c.others.empty()) {
      c.Report(browser.noProfiles);
      return;
    }
  }

  c.Report(browser.startHeader);
  const int profiles = ForEachProfile(c, true, [&](const Where& where, const std::wstring& profile) {
    ForEachPreferenceFile(c, profile, [&](const PreferenceDocument& document, const std::wstring& file) {
      ScanStartPages(c, document, file, where);
    });
  });
  if (!browser.others && profiles == 0 && c.executable.empty()) {
    c.Report(browser.noProfiles);
    SaveDetails(*scan.results);
    return;
  }

  if (!c.Cancelled()) {
    c.Report(browser.searchHeader);
    ForEachProfile(c, true, [&](const Where& where, const std::wstring& profile) {
      ForEachPreferenceFile(c, profile, [&](const PreferenceDocument& document, const std::wstring& file) {
        ScanSearchProvider(c, document, file, where);
      });
    });
  }
  if (!c.Cancelled()) {
    c.Report(browser.extensionHeader);
    ForEachProfile(c, true, [&](const Where& where, const std::wstring& profile) {
      ForEachPreferenceFile(c, profile, [&](const PreferenceDocument& document, const std::wstring& file) {
        ScanExtensions(c, document, file, profile, where);
      });
    });
  }
  if (!c.Cancelled()) {
    c.Report(browser.shortcutHeader);
    ScanShortcutFiles(c);
    if (!c.Cancelled()) ScanStartMenuInternet(c);
  }
  if (!c.Cancelled()) {
    c.Report(browser.policyHeader);
    ScanPolicies(c);
  }
  if (!c.Cancelled()) {
    c.Report(browser.resetHeader);
    ScanResetOptions(c);
  }
  SaveDetails(*scan.results);
}

}  // namespace

void ScanEdge(ScanEnvironment& scan) { ScanChromiumFamily(scan, kEdge); }
void ScanChrome(ScanEnvironment& scan) { ScanChromiumFamily(scan, kChrome); }
void ScanOtherChromium(ScanEnvironment& scan) { ScanChromiumFamily(scan, kOtherChromium); }

}  // namespace tavrin
