#include "removal/firefox_repair.h"

#include <windows.h>

#include "browsers/browser_folder_guard.h"
#include "browsers/firefox_pref_line.h"
#include "browsers/firefox_search_engines.h"
#include "browsers/firefox_search_file.h"
#include "browsers/hijack_values.h"
#include "browsers/preference_document.h"
#include "browsers/preference_elements.h"
#include "browsers/preference_file.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/pattern.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "removal/removal_probe.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kHomePagePref[] = L"browser.startup.homepage";
constexpr wchar_t kEnginePref[] = L"browser.search.defaultenginename";

struct Family {
  int start, search, extension, shortcut, reset;
  bool others;
};

constexpr Family kFirefox = {kGroupFirefoxStartPages, kGroupFirefoxSearchPlugins, kGroupFirefoxExtensions,
                             kGroupFirefoxShortcuts, kGroupFirefoxResetOptions, false};
constexpr Family kOthers = {kGroupOtherFirefoxStartPages, kGroupOtherFirefoxSearchPlugins,
                            kGroupOtherFirefoxExtensions, kGroupOtherFirefoxShortcuts,
                            kGroupOtherFirefoxResetOptions, true};

const Family* FamilyOf(int group) {
  for (const Family* family : {&kFirefox, &kOthers})
    if (group >= family->start && group <= family->reset) return family;
  return nullptr;
}

struct Context {
  RemovalSession& session;
  const BrowserRow& row;
  const Family& family;
  const ScanSession& scan() const { return *session.scan; }
  std::wstring Browser() const { return family.others ? row.clsid : std::wstring(L"Firefox"); }
};

// A file of a profile folder, by its name, where the scans found it.
bool IsProfileFile(const Context& c, const std::wstring& path, const wchar_t* name) {
  return EqualsNoCase(LastPartOf(path), name) && LiesInScannedProfile(c.scan(), path);
}

bool NameIs(const Context& c, const wchar_t* firefoxName, const wchar_t* otherPattern) {
  return c.family.others ? Pattern(otherPattern).Matches(c.row.name) : EqualsNoCase(c.row.name, firefoxName);
}

// Removes the preference's lines while they still hold the value the scan
// found, compared in the form the row keeps it (trimmed, on one line);
// success when none is left holding it. A value changed since is the
// user's own and stays.
bool RemovePrefWhileItHolds(const std::wstring& prefs, const wchar_t* name, const std::wstring& value) {
  if (value.empty()) return false;
  for (int round = 0; round < 16; ++round) {
    if (!FileExists(prefs)) return true;
    PreferenceDocument document;
    document.Load(prefs);
    if (!document.WasRead()) return false;
    FirefoxPrefLine line;
    if (!FindFirefoxPrefLine(document.Text(), name, line) || FiledText(line.value) != value) return true;
    if (!RemoveFirefoxPref(prefs, name)) return false;
  }
  return false;
}

// user.js is applied over prefs.js at every start: each of its lines that
// still sets the value goes, the rest of the file stays as written. A
// user.js reached through a link is not edited.
bool RemoveUserPrefWhileItHolds(const Context& c, const std::wstring& prefs, const wchar_t* name,
                                const std::wstring& value) {
  const std::wstring userJs = FirefoxUserJsBeside(prefs);
  if (!FileExists(userJs)) return true;
  if (value.empty() || !IsProfileFile(c, userJs, L"user.js")) return false;
  PreferenceDocument document;
  document.Load(userJs);
  if (!document.WasRead() || !document.CanSave()) return false;
  std::wstring text = document.Text();
  bool cut = false;
  const std::vector<FirefoxPrefLine> lines = FindFirefoxPrefLines(text, name);
  // From the last line back, so that the earlier lines' offsets hold.
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    if (FiledText(line->value) != value) continue;
    text = WithoutFirefoxPrefLine(text, *line);
    cut = true;
  }
  if (!cut) return true;
  document.ReplaceText(std::move(text));
  return SavePreferenceFile(document);
}

// Both files must be clean, or Firefox brings the value back.
bool RemovePrefEverywhere(const Context& c, const std::wstring& prefs, const wchar_t* name, const std::wstring& value) {
  const bool fromPrefs = RemovePrefWhileItHolds(prefs, name, value);
  return RemoveUserPrefWhileItHolds(c, prefs, name, value) && fromPrefs;
}

RowRepair RepairStartPage(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.path.empty()) return {};
  const bool ok = IsProfileFile(c, row.path, L"prefs.js") && RemovePrefEverywhere(c, row.path, kHomePagePref, row.url);
  return Repaired(ok, [&](bool ok) {
    return ok ? L"\tSuccessfully reset " + c.Browser() + L" Home page" + ForUser(row)
              : L"\tFailed to reset " + c.Browser() + L" Default Home page" + ForUser(row);
  });
}

// The engine choice of newer versions: the "[global]" member of
// "search-metadata.json" beside prefs.js. A file without it holds none.
bool RemoveEngineMetadata(const std::wstring& profile) {
  const std::wstring file = profile + L"\\search-metadata.json";
  if (!FileExists(file)) return true;
  PreferenceDocument document;
  document.Load(file);
  PreferenceNode node;
  if (document.WasRead() && document.CanSave() && !document.FindNode(L"[global]", node)) return true;
  return RemovePreferenceNode(file, L"[global]");
}

RowRepair RepairDefaultEngine(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.path.empty()) return {};
  // Both places must be clean for the engine to be the user's own again.
  const bool ok = IsProfileFile(c, row.path, L"prefs.js") &&
                  RemovePrefEverywhere(c, row.path, kEnginePref, row.valueData) &&
                  RemoveEngineMetadata(ParentOf(row.path));
  return Repaired(ok, [&](bool ok) { return Lead(ok, L"removed ", L"remove ") + c.Browser() + L" Default Search Provider \"" + row.name +
                          L"\"" + ForUser(row); });
}

// An engine of "search.json.mozlz4": it and every default choice naming it
// are cut, so that Firefox falls back to its own default, and the file is
// written back compressed with the original kept beside it. A file that
// does not decode is left alone; one that no longer names the engine
// needs no repair.
bool RemoveSearchEngine(const Context& c) {
  const BrowserRow& row = c.row;
  if (!IsProfileFile(c, row.path, L"search.json.mozlz4")) return false;
  PreferenceDocument document;
  if (!LoadFirefoxSearchFile(row.path, document)) return false;
  FirefoxSearchSettings settings;
  if (!ReadFirefoxSearchSettings(document, settings)) return false;
  const int cut = RemoveFirefoxSearchEngine(document, row.valueName, row.valueData);
  if (cut < 0 || HoldsFirefoxSearchEngine(document, row.valueName, row.valueData)) return false;
  return cut == 0 || !SaveFirefoxSearchFile(row.path, document).empty();
}

RowRepair RepairSearchEngine(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.valueName.empty() && row.valueData.empty()) return {};
  const bool ok = RemoveSearchEngine(c);
  const bool isDefault = NameIs(c, L"Firefox default search provider", L".+ default search provider$");
  return Repaired(ok, [&](bool ok) { return Lead(ok, L"removed ", L"remove ") + c.Browser() +
                          (isDefault ? L" Default Search Provider \"" : L" Search Provider \"") +
                          row.name + L"\"" + ForUser(row); });
}

// Where the scans list plug-ins: a "searchplugins" folder (a profile's, or
// the one of Firefox's installation), or, for a browser found on the fly,
// its installation folder itself, which is the folder of the executable the
// scan found for the row.
bool IsPluginFolder(const Context& c, const std::wstring& path) {
  const std::wstring folder = ParentOf(path);
  if (EqualsNoCase(LastPartOf(folder), L"searchplugins")) return true;
  return c.family.others && EndsWithNoCase(c.row.iconFile, L".exe") && EqualsNoCase(folder, ParentOf(c.row.iconFile));
}

RowRepair RepairSearchPlugin(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.path.size() < 10) return {};
  const KnownFolders& folders = c.scan().folders;
  const bool placed = EndsWithNoCase(row.path, L".xml") && IsPluginFolder(c, row.path) &&
                      (LiesInScannedProfile(c.scan(), row.path) ||
                       (!folders.programFiles64.empty() && IsSafeBrowserFolder(row.path, folders.programFiles64, {})) ||
                       (!folders.programFiles32.empty() && IsSafeBrowserFolder(row.path, folders.programFiles32, {})));
  bool scheduled = false;
  const bool ok = placed && DeleteFileOrSchedule(row.path, scheduled);
  RowRepair repair = Repaired(ok, [&](bool ok) { return Lead(ok, L"removed ", L"remove ") + c.Browser() + L" Search Provider \"" + row.name +
                                      L"\"" + ForUser(row); });
  repair.scheduled = ok && scheduled;
  return repair;
}

// Cuts the elements of the document's "addons" whose "id" is the add-on's;
// a document without them has nothing to repair.
bool CutAddon(const std::wstring& file, const std::wstring& id) {
  if (!FileExists(file)) return true;
  PreferenceDocument document;
  document.Load(file);
  if (!document.WasRead() || !document.CanSave()) return false;
  const int cut = DeleteMatchingElements(document, L"addons", [&](const PreferenceDocument& d, const PreferenceNode& e) {
    std::wstring value;
    return e.kind == PreferenceKind::Object && d.GetMemberString(&e, L"id", value) == PreferenceKind::String &&
           EqualsNoCase(value, id);
  });
  if (cut == 0) {
    bool listed = false;
    PreferenceNode list;
    if (document.FindNode(L"addons", list) && list.kind == PreferenceKind::Array) {
      ElementCursor cursor{};
      std::wstring value;
      while (!listed && document.NextElement(cursor, list)) {
        const PreferenceNode e = document.NodeOf(cursor);
        listed = e.kind == PreferenceKind::Object && document.GetMemberString(&e, L"id", value) == PreferenceKind::String &&
                 EqualsNoCase(value, id);
      }
    }
    return !listed;
  }
  return SavePreferenceFile(document);
}

RowRepair RepairExtension(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.jsonPath.empty() || row.valueName.empty()) return {};
  const std::wstring profile = ParentOf(row.jsonPath);
  bool ok = IsProfileFile(c, row.jsonPath, L"extensions.json");
  // The add-on's own file or folder goes only from inside the profile's
  // "extensions" folder; a row naming anything else fails before any edit.
  // One installed elsewhere (the scan files no "Path" then) is listed again
  // from where it lies at the browser's next start, so cutting its entry
  // would remove nothing: it fails too while its file or folder is there.
  bool scheduled = false;
  if (ok && !row.path.empty())
    ok = IsSafeBrowserFolder(row.path, profile + L"\\extensions", {}) && DeleteFileOrSchedule(row.path, scheduled);
  else if (ok && !row.extensionPath.empty())
    ok = !StillPresent({ProbeKind::FileObject, WithBackslashes(row.extensionPath), {}, {}});
  ok = ok && CutAddon(row.jsonPath, row.valueName) && CutAddon(profile + L"\\addons.json", row.valueName);
  const std::wstring lead = ok ? L"\tSuccessfully deleted " : L"\tFailed to delete ";
  RowRepair repair = Repaired(ok, [&](bool ok) { return lead + c.Browser() + L" Extension \"" + row.name + L"\"" + ForUser(row); });
  repair.scheduled = ok && scheduled;
  return repair;
}

enum class Reset { None, SearchProviders, AddOns, Extensions, Settings, UserPreferences };

Reset ResetOf(const Context& c) {
  static const struct {
    const wchar_t* firefoxName;
    const wchar_t* otherPattern;
    Reset reset;
  } kResets[] = {
      {L"Reset Firefox User Search Providers", L"^Reset .+ User Search Providers$", Reset::SearchProviders},
      {L"Reset Firefox Ad-ons", L"^Reset .+ Ad-ons$", Reset::AddOns},
      {L"Reset Firefox Extensions", L"^Reset .+ Extensions$", Reset::Extensions},
      {L"Reset Firefox Settings", L"^Reset .+ Settings$", Reset::Settings},
      {L"Reset Firefox User Preferences", L"^Reset .+ User Preferences$", Reset::UserPreferences},
  };
  for (const auto& entry : kResets)
    if (NameIs(c, entry.firefoxName, entry.otherPattern)) return entry.reset;
  return Reset::None;
}

// Each of the profile's entries deleted (an absent one counts as deleted).
bool DeleteAll(const std::wstring& profile, std::initializer_list<const wchar_t*> names) {
  bool all = true;
  for (const wchar_t* name : names)
    all = RemoveFileObject(profile + L"\\" + name, RemovalTakeOverPermissions) == RemovalResult::Removed && all;
  return all;
}

bool ResetAddOns(const Context& c) {
  if (RemoveFileObject(c.row.path, RemovalTakeOverPermissions) != RemovalResult::Removed) return false;
  // The plug-in registrations of the row's account, or of every account,
  // and of both machine views.
  const UserList& users = c.scan().users;
  const int index = UserIndexOf(users, c.row.user);
  for (size_t i = 0; i < users.size(); ++i)
    if ((index == int(users.size()) || index == int(i)) && !users[i].sid.empty())
      DeleteKeyIfPresent(users[i].RegistryRoot() + L"\\Software\\MozillaPlugins");
  for (const wchar_t* root : {L"HKLM32", L"HKLM64"}) DeleteKeyIfPresent(std::wstring(root) + L"\\SOFTWARE\\MozillaPlugins");
  return true;
}

RowRepair RepairReset(const Context& c) {
  const BrowserRow& row = c.row;
  const Reset reset = ResetOf(c);
  if (reset == Reset::None || row.path.size() < 10) return {};
  const std::wstring profile = ParentOf(row.path);
  const std::wstring file = LastPartOf(row.path);
  bool ok = false;
  switch (reset) {
    case Reset::SearchProviders:
      // Newer versions keep the engines compressed in "search.json.mozlz4".
      ok = (EqualsNoCase(file, L"search.json") || EqualsNoCase(file, L"searchplugins")) &&
           LiesInScannedProfile(c.scan(), row.path) &&
           DeleteAll(profile, {L"search.json", L"search.json.mozlz4", L"searchplugins", L"search-metadata.json"});
      break;
    case Reset::AddOns:
      ok = IsProfileFile(c, row.path, L"addons.json") && ResetAddOns(c);
      break;
    case Reset::Extensions:
      ok = (EqualsNoCase(file, L"extensions") || EqualsNoCase(file, L"extensions.json")) &&
           LiesInScannedProfile(c.scan(), row.path) &&
           DeleteAll(profile, {L"extensions", L"extensions.ini", L"extensions.json"});
      break;
    case Reset::Settings:
      ok = IsProfileFile(c, row.path, L"prefs.js") && DeleteAll(profile, {L"prefs.js"});
      break;
    case Reset::UserPreferences:
      // Preferences forced on every start live in "user.js"; with no such
      // file there was nothing to reset, which is no success.
      ok = IsProfileFile(c, row.path, L"user.js") && FileExists(row.path) && DeleteAll(profile, {L"user.js"});
      break;
    case Reset::None:
      break;
  }
  return Repaired(ok, [&](bool ok) { return (ok ? L"\tSuccessfully " : L"\tFailed to ") + row.name + ForUser(row); });
}

}  // namespace

bool IsFirefoxGroup(int group) { return FamilyOf(group) != nullptr; }

RowProbe FirefoxRowProbe(const BrowserRow& row) {
  const Family* family = FamilyOf(row.group);
  if (!family) return {};
  if (row.group == family->start) return {ProbeKind::FirefoxPref, row.path, kHomePagePref, row.url};
  if (row.group == family->search) {
    // The compressed search settings are read back by their repair.
    if (EqualsNoCase(LastPartOf(row.path), L"search.json.mozlz4")) return {};
    if (EqualsNoCase(row.valueName, kEnginePref)) return {ProbeKind::FirefoxPref, row.path, kEnginePref, row.valueData};
    return {ProbeKind::FileObject, row.path, {}, {}};
  }
  if (row.group == family->extension) return {ProbeKind::FirefoxAddon, row.jsonPath, row.valueName, row.extensionPath};
  if (row.group == family->shortcut) {
    if (EqualsNoCase(row.name, L"Start Menu Internet shortcut"))
      return {ProbeKind::StartMenuArgument, row.key, {}, row.valueData.empty() ? row.column2 : row.valueData};
    return {ProbeKind::ShortcutArguments, row.path, {}, {}};
  }
  if (row.group == family->reset) return {ProbeKind::FileObject, row.path, {}, {}};
  return {};
}

RowRepair RepairFirefoxRow(RemovalSession& session, const BrowserRow& row) {
  const Family* family = FamilyOf(row.group);
  if (!family) return {};
  const Context c{session, row, *family};
  if (row.group == family->start) {
    if (!NameIs(c, L"Startup homepage", L".+ startup homepage$")) return {};
    return RepairStartPage(c);
  }
  if (row.group == family->search) {
    if (EqualsNoCase(LastPartOf(row.path), L"search.json.mozlz4")) return RepairSearchEngine(c);
    if (NameIs(c, L"Firefox default search provider", L".+ default search provider$") &&
        EqualsNoCase(row.valueName, kEnginePref))
      return RepairDefaultEngine(c);
    return RepairSearchPlugin(c);
  }
  if (row.group == family->extension) return RepairExtension(c);
  if (row.group == family->shortcut) return RepairShortcutRow(c.scan(), row, c.Browser(), c.family.others);
  if (row.group == family->reset) return RepairReset(c);
  return {};
}

}  // namespace tavrin
