#include "scan/firefox_scan.h"

#include <windows.h>

#include <string>
#include <vector>

#include "browsers/browser_folder_guard.h"
#include "browsers/firefox_addons.h"
#include "browsers/firefox_profiles.h"
#include "browsers/firefox_search_engines.h"
#include "browsers/firefox_search_file.h"
#include "browsers/hijack_values.h"
#include "browsers/known_good.h"
#include "browsers/other_browsers.h"
#include "browsers/preference_document.h"
#include "browsers/preference_file.h"
#include "browsers/user_folder_fragments.h"
#include "inventory/autostart_entries.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
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
constexpr wchar_t kHomepagePref[] = L"browser.startup.homepage";
constexpr wchar_t kEnginePref[] = L"browser.search.defaultenginename";
constexpr wchar_t kBuiltInPlugins[] =
    L"|amazondotcom.xml|bing.xml|eBay.xml|google.xml|twitter.xml|wikipedia.xml|yahoo.xml|duckduckgo.xml|";

// What differs between Firefox and the Firefox-based browsers found on the fly.
struct FirefoxBrowser {
  const wchar_t* status;
  int startGroup, searchGroup, extensionGroup, shortcutGroup, resetGroup;
  int iconIndex;
  const wchar_t* startSection;
  const wchar_t* searchSection;
  const wchar_t* extensionSection;
  const wchar_t* shortcutSection;
  const wchar_t* resetSection;
  const wchar_t* knownGoodKey;
  const wchar_t* title;
  const wchar_t* startHeader;
  const wchar_t* searchHeader;
  const wchar_t* extensionHeader;
  const wchar_t* shortcutHeader;
  const wchar_t* resetHeader;
  const wchar_t* noProfiles;
  bool others;
};

constexpr FirefoxBrowser kFirefox = {
    L"Scanning Firefox...", kGroupFirefoxStartPages, kGroupFirefoxSearchPlugins, kGroupFirefoxExtensions,
    kGroupFirefoxShortcuts, kGroupFirefoxResetOptions, 3, L"Firefox startup pages", L"Firefox search providers",
    L"Firefox extensions", L"Firefox shortcuts", L"Firefox reset options", L"\\WhiteList\\Firefox Extensions",
    L"\r\n\r\n->Mozilla Firefox scan:\r\n", L"\r\n\tFirefox startup pages:\r\n", L"\r\n\tFirefox search plug-ins:\r\n",
    L"\r\n\tFirefox extensions:\r\n", L"\r\n\tFirefox shortcuts:\r\n", L"\r\n\tFirefox reset options:\r\n",
    L"\r\n\tNo Firefox profiles have been found:\r\n", false,
};

constexpr FirefoxBrowser kOtherFirefox = {
    L"Other Firefox browsers...", kGroupOtherFirefoxStartPages, kGroupOtherFirefoxSearchPlugins,
    kGroupOtherFirefoxExtensions, kGroupOtherFirefoxShortcuts, kGroupOtherFirefoxResetOptions, 5,
    L"Other Firefox browsers startup pages", L"Other Firefox browsers search providers",
    L"Other Firefox browsers extensions", L"Other Firefox browsers shortcuts", L"Other Firefox browsers reset options",
    L"\\WhiteList\\OFB Extensions", L"\r\n\r\n->Other Firefox browsers scan:\r\n",
    L"\r\n\tStartup pages:\r\n",
    L"\r\n\tOther Firefox browsers search plug-ins:\r\n", L"\r\n\tOther Firefox browsers extensions:\r\n",
    L"\r\n\tOther Firefox browsers shortcuts:\r\n", L"\r\n\tOther Firefox browsers reset options:\r\n",
    L"\r\n\tNo other Firefox based browser profiles have been found:\r\n", true,
};

// The user whose column a finding fills and, for the browsers found on the
// fly, which of them.
struct Where {
  std::wstring userName;
  const OtherFirefoxBrowser* other = nullptr;
};

struct FirefoxScan : PhaseScope {
  const FirefoxBrowser& browser;
  ResultList list;
  UserFolderFragments fragments;
  std::wstring executable;  // Firefox: located while section 1 walks the users
  std::vector<OtherFirefoxBrowser> others;

  std::wstring OtherExecutable(const OtherFirefoxBrowser& other) const {
    return other.installFolder + L"\\" + other.executableName;
  }
};

std::wstring UserLines(const Where& where) {
  std::wstring lines = L"\r\n\t\tUser name: " + where.userName;
  if (where.other) lines += L"\r\n\t\tBrowser: " + ReportField(where.other->displayName);
  return lines;
}

// "Startup homepage", or "Waterfox startup homepage" for a browser found on
// the fly.
std::wstring RowName(const wchar_t* firefoxName, const wchar_t* otherSuffix, const Where& where) {
  return where.other ? where.other->displayName + otherSuffix : std::wstring(firefoxName);
}

bool AddBrowserRow(FirefoxScan& c, int group, const std::wstring& name, const Where& where,
                   const std::wstring& column2, bool checked, ScanItemDetails details) {
  const std::wstring icon = where.other ? c.OtherExecutable(*where.other) : c.executable;
  const int row = AddRow(c.list, group, name, where.userName, column2, checked, icon, c.browser.iconIndex);
  if (row < 0) return false;
  details.group = group;
  details.userName = where.userName;
  if (where.other) details.clsid = where.other->displayName;
  StoreDetails(c.list, GetRowKey(c.list, row), details);
  return true;
}

// A startup value may list several pages separated by "|"; it is the
// browser's own choice only when every one of them opens a known engine.
bool IsKnownGoodStartup(const std::wstring& value) {
  bool any = false;
  for (const std::wstring& page : Split(value, L"|")) {
    if (Trim(page).empty()) continue;
    if (!IsKnownGoodUrl(Trim(page), UrlTest::Policy)) return false;
    any = true;
  }
  return any;
}

bool IsKnownGoodEngine(const std::wstring& name) {
  for (const wchar_t* engine : {L"Google", L"Bing", L"Yahoo", L"DuckDuckGo"})
    if (EqualsNoCase(name, engine)) return true;
  return false;
}

// The profiles in account order (Firefox) or discovery order (the others);
// `existing` leaves out listed profiles whose folder is missing. Firefox
// looks for its executable for each user whose profiles.ini exists while
// none is known. Returns how many profiles were visited.
template <typename Visit>
int ForEachProfile(FirefoxScan& c, bool existing, Visit visit) {
  int seen = 0;
  auto walk = [&](const std::wstring& profilesIni, const std::wstring& owner, const Where& where) {
    for (const std::wstring& profile : FirefoxProfileFolders(profilesIni, owner)) {
      if (c.Cancelled()) break;
      DispatchPendingMessages();
      if (existing && !FolderExists(profile)) continue;
      ++seen;
      visit(where, profile);
    }
  };
  if (c.browser.others) {
    for (const OtherFirefoxBrowser& other : c.others) {
      if (c.Cancelled()) break;
      const size_t owner = static_cast<size_t>(other.userIndex);
      if (owner >= c.Users().size()) continue;
      walk(other.dataFolder + L"\\profiles.ini", c.Users()[owner].profileFolder, Where{c.UserName(owner), &other});
    }
    return seen;
  }
  for (size_t i = 0; i < c.Users().size() && !c.Cancelled(); ++i) {
    const UserProfile& user = c.Users()[i];
    if (user.profileFolder.empty()) continue;
    const std::wstring ini = user.profileFolder + c.fragments.roamingAppData + L"\\Mozilla\\Firefox\\profiles.ini";
    if (c.executable.empty() && FileExists(ini))
      LocateFirefoxExecutable(user.profileFolder, c.fragments.roamingAppData, c.executable);
    walk(ini, user.profileFolder, Where{c.UserName(i), nullptr});
  }
  return seen;
}

// 1. Startup pages.
void ScanStartupPage(FirefoxScan& c, const Where& where, const std::wstring& profile) {
  const std::wstring prefs = profile + L"\\prefs.js";
  std::wstring value;
  if (!ReadFirefoxPrefValue(prefs, kHomepagePref, value)) return;
  if (IsKnownGoodStartup(value) || c.Whitelisted(value, c.browser.startSection)) return;
  ScanItemDetails details;
  details.path = prefs;
  details.valueName = kHomepagePref;
  details.url = value;
  if (!AddBrowserRow(c, c.browser.startGroup, RowName(L"Startup homepage", L" startup homepage", where), where, value,
                     true, details))
    return;
  c.Report(L"\r\n\t\tStartup homepage: " + ReportField(value) + UserLines(where) + L"\r\n\t\tPath: " +
           ReportField(prefs) + ItemStateLine(true));
}

// 2a. The default engine a profile names.
void ScanDefaultEngine(FirefoxScan& c, const Where& where, const std::wstring& profile) {
  const std::wstring prefs = profile + L"\\prefs.js";
  std::wstring engine;
  if (!ReadFirefoxPrefValue(prefs, kEnginePref, engine)) return;
  if (IsKnownGoodEngine(engine) || c.Whitelisted(engine, c.browser.searchSection)) return;
  ScanItemDetails details;
  details.path = prefs;
  details.valueName = kEnginePref;
  details.valueData = engine;
  if (!AddBrowserRow(c, c.browser.searchGroup,
                     RowName(L"Firefox default search provider", L" default search provider", where), where, engine,
                     true, details))
    return;
  c.Report(L"\r\n\t\tSearch provider: " + ReportField(engine) + UserLines(where) + L"\r\n\t\tPath: " +
           ReportField(prefs) + ItemStateLine(true));
}

// 2b. The engines of the profile's compressed search settings: the default
// one, and every other installed one, whose search address is not a known
// engine's. Firefox's own engines carry no address of their own there and
// are never judged.
void ScanSearchEngines(FirefoxScan& c, const Where& where, const std::wstring& profile) {
  const std::wstring file = profile + L"\\search.json.mozlz4";
  PreferenceDocument document;
  FirefoxSearchSettings settings;
  if (!LoadFirefoxSearchFile(file, document) || !ReadFirefoxSearchSettings(document, settings)) return;
  const FirefoxSearchEngine* chosen = DefaultFirefoxSearchEngine(settings);
  for (const FirefoxSearchEngine& engine : settings.engines) {
    if (c.Cancelled()) return;
    if (engine.appProvided || engine.searchUrl.empty() || IsKnownGoodUrl(engine.searchUrl, UrlTest::Search)) continue;
    const bool isDefault = &engine == chosen;
    const std::wstring& name = engine.name.empty() ? engine.id : engine.name;
    // The whitelist holds what column 2 shows: the default's name, or the
    // installed engine's address (every engine shares the one file).
    const std::wstring column2 = isDefault ? name : engine.searchUrl;
    if (c.Whitelisted(column2, c.browser.searchSection)) continue;
    ScanItemDetails details;
    details.path = file;
    details.valueName = engine.id;
    details.valueData = engine.name;
    details.url = engine.searchUrl;
    const std::wstring rowName =
        isDefault ? RowName(L"Firefox default search provider", L" default search provider", where) : name;
    if (!AddBrowserRow(c, c.browser.searchGroup, rowName, where, column2, isDefault, details)) continue;
    c.Report((isDefault ? L"\r\n\t\tSearch provider: " : L"\r\n\t\tPlugin name: ") + ReportField(name) +
             UserLines(where) + L"\r\n\t\tPath: " + ReportField(file) + ItemStateLine(isDefault));
  }
}

// 2c. Search plug-in files in a folder of the installed browser.
void ScanPluginFolder(FirefoxScan& c, const std::wstring& folder, const OtherFirefoxBrowser* other) {
  FindFiles files(folder + L"\\*.xml");
  while (!c.Cancelled() && files.Next()) {
    const std::wstring fileName = files.Name();
    if (files.IsFolder() || !EndsWithNoCase(fileName, L".xml") ||
        FindNoCase(kBuiltInPlugins, L"|" + fileName + L"|") != std::wstring::npos)
      continue;
    const std::wstring path = folder + L"\\" + fileName;
    std::wstring name;
    if (!ReadSearchPlugin(path, name)) continue;
    name = Trim(name);
    if (name.empty()) name = fileName.substr(0, fileName.size() - 4);
    if (other && EqualsNoCase(name, L"firefox.VisualElementsManifest")) continue;
    if (c.Whitelisted(path, c.browser.searchSection)) continue;
    const Where where{kAllUsers, other};
    ScanItemDetails details;
    details.path = path;
    if (!AddBrowserRow(c, c.browser.searchGroup, name, where, path, false, details)) continue;
    c.Report(L"\r\n\t\tPlugin name: " + ReportField(name) + UserLines(where) + L"\r\n\t\tPath: " + ReportField(path) +
             ItemStateLine(false));
  }
}

void ScanPlugins(FirefoxScan& c) {
  if (!c.browser.others) {
    for (const std::wstring* root : {&c.fragments.programFiles, &c.fragments.programFilesX86}) {
      if (c.Cancelled()) return;
      if (!root->empty()) ScanPluginFolder(c, *root + L"\\Mozilla Firefox\\browser\\searchplugins", nullptr);
    }
    return;
  }
  std::vector<std::wstring> done;
  for (const OtherFirefoxBrowser& other : c.others) {
    if (c.Cancelled()) return;
    bool seen = false;
    for (const std::wstring& folder : done) seen = seen || EqualsNoCase(folder, other.installFolder);
    if (seen) continue;
    done.push_back(other.installFolder);
    ScanPluginFolder(c, other.installFolder, &other);
  }
}

// 3. Extensions.
void ScanExtensions(FirefoxScan& c, const Where& where, const std::wstring& profile) {
  const std::wstring file = profile + L"\\extensions.json";
  if (!FileExists(file)) return;
  PreferenceDocument document;
  document.Load(file, PreferenceReadMode::Utf8);
  for (const FirefoxAddon& addon : ReadFirefoxAddons(document)) {
    if (c.Cancelled()) return;
    if (IsBuiltInFirefoxAddon(addon)) continue;
    if (c.browser.others && (addon.name == L"FileLink for WeTransfer" || addon.path == L"null")) continue;
    // The definitions list add-ons by id; a name that matches one counts too.
    const std::wstring& definitions = c.scan.session->definitionsKey;
    if (IsKnownGoodExtension(definitions, c.browser.knownGoodKey, addon.id) ||
        IsKnownGoodExtension(definitions, c.browser.knownGoodKey, addon.name) ||
        c.Whitelisted(addon.name, c.browser.extensionSection))
      continue;
    ScanItemDetails details;
    details.jsonPath = file;
    details.registryKey = L"addons";
    details.valueName = addon.id;
    details.extensionPath = addon.path;
    // The path comes from a file anyone running as the user can write: only
    // a file or folder inside the profile's own add-on folder is ever
    // offered for deletion.
    const std::wstring local = WithBackslashes(addon.path);
    if (IsSafeBrowserFolder(local, profile + L"\\extensions", {})) details.path = local;
    if (!AddBrowserRow(c, c.browser.extensionGroup, addon.name, where, addon.path, true, details)) continue;
    c.Report(L"\r\n\t\tExtension name: " + ReportField(addon.name) + UserLines(where) + L"\r\n\t\tPath: " +
             ReportField(addon.path) + ItemStateLine(true));
  }
}

BrowserShortcutContext ShortcutContext(FirefoxScan& c, const std::wstring& executable, const std::wstring& browserName,
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

// 4a. Shortcut files on the desktops and in the Start menus.
void ScanShortcutFiles(FirefoxScan& c) {
  if (!c.browser.others) {
    for (size_t i = 0; i < c.Users().size() && !c.Cancelled(); ++i) {
      const UserProfile& user = c.Users()[i];
      std::wstring executable;
      if (user.profileFolder.size() < 3 ||
          !LocateFirefoxExecutable(user.profileFolder, c.fragments.roamingAppData, executable))
        continue;
      ScanUserBrowserShortcuts(ShortcutContext(c, executable, L"Mozilla Firefox", c.UserName(i)), user.profileFolder,
                               c.fragments);
    }
    if (!c.executable.empty() && !c.Cancelled())
      ScanCommonBrowserShortcuts(ShortcutContext(c, c.executable, L"Mozilla Firefox", kAllUsers), c.fragments);
    return;
  }
  std::vector<std::wstring> done;
  for (const OtherFirefoxBrowser& other : c.others) {
    if (c.Cancelled()) return;
    const size_t owner = static_cast<size_t>(other.userIndex);
    bool seen = false;
    for (const std::wstring& folder : done) seen = seen || EqualsNoCase(folder, other.installFolder);
    if (seen || owner >= c.Users().size()) continue;
    done.push_back(other.installFolder);
    const UserProfile& user = c.Users()[owner];
    const std::wstring executable = c.OtherExecutable(other);
    ScanUserBrowserShortcuts(ShortcutContext(c, executable, other.displayName, c.UserName(owner)), user.profileFolder,
                             c.fragments);
    if (!c.Cancelled() && FolderExists(user.profileFolder + c.fragments.programs))
      ScanCommonBrowserShortcuts(ShortcutContext(c, executable, other.displayName, kAllUsers), c.fragments);
  }
}

// The argument a Start Menu Internet command adds after the executable:
// the text after it and the character that closes it, quotes removed.
bool CommandArgument(const std::wstring& command, const std::wstring& executable, std::wstring& argument) {
  const size_t at = FindNoCase(command, executable);
  if (executable.empty() || at == std::wstring::npos) return false;
  const size_t after = at + executable.size() + 1;
  argument = after < command.size() ? command.substr(after) : std::wstring();
  std::erase(argument, L'"');
  argument = Trim(argument);
  return true;
}

void AddStartMenuInternetRow(FirefoxScan& c, const std::wstring& key, const std::wstring& executable,
                             const std::wstring& argument, const Where& where) {
  if (c.Whitelisted(argument, c.browser.shortcutSection)) return;
  ScanItemDetails details;
  details.registryKey = key;
  details.path = executable;
  details.valueData = argument;
  if (!AddBrowserRow(c, c.browser.shortcutGroup, L"Start Menu Internet shortcut", where, argument, true, details))
    return;
  c.Report(L"\r\n\t\tStart Menu Internet shortcut argument: " + ReportField(argument) + UserLines(where) +
           ItemStateLine(true));
}

// The "StartMenuInternet" keys of one root: every eligible client's
// command is read and compared with `executable`.
void ScanStartMenuRoot(FirefoxScan& c, const std::wstring& clientsKey, const std::wstring& executable,
                       const std::wstring& profileFolder, const Where& where) {
  RegKey clients = OpenKey(clientsKey, kRegRead);
  // A key the two machine views share is read once, in the 64-bit view.
  if (!clients || !HasOwnKeyInView(clientsKey)) return;
  for (const std::wstring& client : SubKeyNames(clients)) {
    if (c.Cancelled()) return;
    if (!where.other && !StartsWithNoCase(client, L"Firefox")) continue;
    const std::wstring key = clientsKey + L"\\" + client + L"\\shell\\open\\command";
    std::wstring command;
    if (!ReadStringAt(key, L"", command)) continue;
    if (where.other) {
      const size_t variable = FindNoCase(command, L"%UserProfile%");
      if (variable != std::wstring::npos) command.replace(variable, 13, profileFolder);
    }
    std::wstring argument;
    if (!CommandArgument(command, executable, argument)) continue;
    if (argument.size() < (where.other ? 1u : 3u)) continue;
    AddStartMenuInternetRow(c, key, executable, argument, where);
  }
}

// 4b. The command Windows' default-programs settings start the browser with.
void ScanStartMenuInternet(FirefoxScan& c) {
  if (!c.browser.others) {
    if (c.executable.empty()) return;
    for (size_t i = 0; i < c.Users().size() && !c.Cancelled(); ++i)
      ScanStartMenuRoot(c, c.Users()[i].RegistryRoot() + L"\\Software\\Clients\\StartMenuInternet", c.executable, {},
                        Where{c.UserName(i), nullptr});
    for (const wchar_t* root : {L"HKLM64", L"HKLM32"})
      if (!c.Cancelled())
        ScanStartMenuRoot(c, std::wstring(root) + L"\\SOFTWARE\\Clients\\StartMenuInternet", c.executable, {},
                          Where{kAllUsers, nullptr});
    return;
  }
  for (const OtherFirefoxBrowser& other : c.others) {
    const size_t owner = static_cast<size_t>(other.userIndex);
    if (c.Cancelled() || owner >= c.Users().size()) continue;
    const UserProfile& user = c.Users()[owner];
    const std::wstring executable = c.OtherExecutable(other);
    ScanStartMenuRoot(c, user.RegistryRoot() + L"\\Software\\Clients\\StartMenuInternet", executable,
                      user.profileFolder, Where{c.UserName(owner), &other});
    for (const wchar_t* root : {L"HKLM64", L"HKLM32"})
      if (!c.Cancelled())
        ScanStartMenuRoot(c, std::wstring(root) + L"\\Software\\Clients\\StartMenuInternet", executable,
                          user.profileFolder, Where{kAllUsers, &other});
  }
}

// 5. Reset options: the profile's files and folders a reset replaces.
void ScanResetOptions(FirefoxScan& c, const Where& where, const std::wstring& profile) {
  auto exists = [](const std::wstring& path) { return FileExists(path) || FolderExists(path); };
  auto pick = [&](const wchar_t* first, const wchar_t* fallback) {
    const std::wstring path = profile + first;
    return exists(path) || !fallback ? path : profile + fallback;
  };
  const struct {
    const wchar_t* option;
    std::wstring path;
  } options[] = {
      {L" Ad-ons", profile + L"\\addons.json"},
      {L" Extensions", pick(L"\\extensions", L"\\extensions.json")},
      {L" User Search Providers", pick(L"\\search.json", L"\\searchplugins")},
      {L" Settings", profile + L"\\prefs.js"},
      {L" User Preferences", profile + L"\\user.js"},
  };
  for (const auto& option : options) {
    if (c.Cancelled()) return;
    if (!exists(option.path)) continue;
    const std::wstring name = L"Reset " + (where.other ? where.other->displayName : std::wstring(L"Firefox")) +
                              option.option;
    if (c.Whitelisted(name, c.browser.resetSection)) continue;
    ScanItemDetails details;
    details.path = option.path;
    if (!AddBrowserRow(c, c.browser.resetGroup, name, where, option.path, false, details)) continue;
    c.Report(L"\r\n\t\tOption name: " + ReportField(name) + L"\r\n\t\tUser name: " + where.userName +
             L"\r\n\t\tPath: " + ReportField(option.path) + ItemStateLine(false));
  }
}

void ScanFirefoxFamily(ScanEnvironment& scan, const FirefoxBrowser& browser) {
  if (scan.progress) scan.progress->SetStatus(browser.status);
  LoadDetails(*scan.results, kBrowsersTab);
  FirefoxScan c{{scan}, browser, TabList(*scan.results, kBrowsersTab), ComputeUserFolderFragments(), {}, {}};
  c.Report(browser.title);
  if (browser.others) {
    DiscoverOtherFirefoxBrowsers(c.Users(), c.fragments, c.others);
    if (c.others.empty()) {
      c.Report(browser.noProfiles);
      return;
    }
  }

  c.Report(browser.startHeader);
  const int profiles = ForEachProfile(c, true, [&](const Where& where, const std::wstring& profile) {
    ScanStartupPage(c, where, profile);
  });
  if (!browser.others && profiles == 0 && c.executable.empty()) {
    c.Report(browser.noProfiles);
    SaveDetails(*scan.results);
    return;
  }
  if (!c.Cancelled()) {
    c.Report(browser.searchHeader);
    ForEachProfile(c, true, [&](const Where& where, const std::wstring& profile) {
      ScanDefaultEngine(c, where, profile);
      ScanSearchEngines(c, where, profile);
    });
    if (!c.Cancelled()) ScanPlugins(c);
  }
  if (!c.Cancelled()) {
    c.Report(browser.extensionHeader);
    ForEachProfile(c, false, [&](const Where& where, const std::wstring& profile) {
      ScanExtensions(c, where, profile);
    });
  }
  if (!c.Cancelled()) {
    c.Report(browser.shortcutHeader);
    ScanShortcutFiles(c);
    if (!c.Cancelled()) ScanStartMenuInternet(c);
  }
  if (!c.Cancelled()) {
    c.Report(browser.resetHeader);
    ForEachProfile(c, false, [&](const Where& where, const std::wstring& profile) {
      ScanResetOptions(c, where, profile);
    });
  }
  SaveDetails(*scan.results);
}

}  // namespace

void ScanFirefox(ScanEnvironment& scan) { ScanFirefoxFamily(scan, kFirefox); }
void ScanOtherFirefox(ScanEnvironment& scan) { ScanFirefoxFamily(scan, kOtherFirefox); }

}  // namespace tavrin
