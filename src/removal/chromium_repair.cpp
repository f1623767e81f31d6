#include "removal/chromium_repair.h"

#include <windows.h>

#include "browsers/browser_folder_guard.h"
#include "browsers/chromium_extension_state.h"
#include "browsers/chromium_policy_extensions.h"
#include "browsers/chromium_profiles.h"
#include "browsers/hijack_values.h"
#include "browsers/preference_document.h"
#include "browsers/preference_elements.h"
#include "browsers/preference_file.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/pattern.h"
#include "platform/strings.h"
#include "removal/removal_probe.h"
#include "removal/removal_safety.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr const wchar_t* kHomePage = kChromiumHomePagePath;
constexpr const wchar_t* kStartupUrls = kChromiumStartupUrlsPath;
constexpr wchar_t kSearchProvider[] = L"default_search_provider_data";
constexpr const wchar_t* kSearchUrl = kChromiumSearchUrlPath;
constexpr wchar_t kExtensionSettings[] = L"extensions->settings->";
constexpr wchar_t kPolicies[] = L"Software\\Policies\\";

struct Family {
  int start, search, extension, shortcut, reset, policy;
  const wchar_t* name;       // "Chrome"; the browser's own name for the others
  const wchar_t* policyKey;  // below "Software\Policies"; none for the others
  const wchar_t* policyReset;
  bool others;
};

constexpr Family kChrome = {kGroupChromeStartPages, kGroupChromeSearchProviders, kGroupChromeExtensions,
                            kGroupChromeShortcuts, kGroupChromeResetOptions, kGroupChromePolicies,
                            L"Chrome", L"Google\\Chrome", L"Reset Chrome Policies", false};
constexpr Family kEdge = {kGroupEdgeStartPages, kGroupEdgeSearchProviders, kGroupEdgeExtensions,
                          kGroupEdgeShortcuts, kGroupEdgeResetOptions, kGroupEdgePolicies,
                          L"MS Edge", L"Microsoft\\Edge", L"Reset MS Edge Policies", false};
constexpr Family kOthers = {kGroupOtherChromiumStartPages, kGroupOtherChromiumSearchProviders,
                            kGroupOtherChromiumExtensions, kGroupOtherChromiumShortcuts,
                            kGroupOtherChromiumResetOptions, kGroupOtherChromiumPolicies, nullptr, nullptr, nullptr,
                            true};

const Family* FamilyOf(int group) {
  for (const Family* family : {&kChrome, &kEdge, &kOthers})
    if (group >= family->start && group <= family->policy) return family;
  return nullptr;
}

struct Context {
  RemovalSession& session;
  const BrowserRow& row;
  const Family& family;
  const ScanSession& scan() const { return *session.scan; }
  // "Chrome", "MS Edge", or the browser the row belongs to.
  std::wstring Browser() const { return family.others ? row.clsid : std::wstring(family.name); }
};

// "\tSuccessfully fixed " / "\tFailed to fix " and the like.
enum class Edit { Gone, Done, Failed };

bool Succeeded(Edit edit) { return edit != Edit::Failed; }

// A file directly in a Chromium profile folder ("User Data\Default",
// "User Data\Profile 2", a folder the "User Data" folder's "Local State"
// lists, "Opera Software\Opera Stable") of a scanned account, where the
// scans read the hijacks.
bool IsInChromiumProfile(const Context& c, const std::wstring& path) {
  const std::wstring profile = LastPartOf(ParentOf(path));
  const std::wstring userData = LastPartOf(ParentOf(ParentOf(path)));
  const bool shaped = EqualsNoCase(userData, L"User Data")
                          ? EqualsNoCase(profile, L"Default") || StartsWithNoCase(profile, L"Profile ") ||
                                IsChromiumProfileFolder(ParentOf(path), false)
                          : EqualsNoCase(userData, L"Opera Software") && StartsWithNoCase(profile, L"Op");
  return shaped && LiesInScannedProfile(c.scan(), path);
}

// The profile's "Preferences" or "Secure Preferences".
bool IsProfilePreferenceFile(const Context& c, const std::wstring& path) {
  const std::wstring name = LastPartOf(path);
  return (EqualsNoCase(name, L"Preferences") || EqualsNoCase(name, L"Secure Preferences")) &&
         IsInChromiumProfile(c, path);
}

// Loads the file for an edit. A missing file holds no hijack; one that
// cannot be read exactly is never written.
Edit LoadForEdit(const std::wstring& path, PreferenceDocument& document) {
  if (!FileExists(path)) return Edit::Gone;
  document.Load(path);
  return document.WasRead() && document.CanSave() ? Edit::Done : Edit::Failed;
}

Edit SaveEdit(PreferenceDocument& document) { return SavePreferenceFile(document) ? Edit::Done : Edit::Failed; }

// The setting goes only while `urlPath` still holds the address the scan
// found, read as the scan read it and compared in the form the row keeps
// it: one the user set since is theirs. `node` is what is cut (the home
// page itself, or the whole search provider).
Edit RemoveWhileItHolds(const Context& c, const wchar_t* urlPath, const wchar_t* node) {
  PreferenceDocument document;
  const Edit loaded = LoadForEdit(c.row.path, document);
  if (loaded != Edit::Done) return loaded;
  std::wstring url;
  if (!ReadChromiumUrl(document, urlPath, url) || FiledText(url) != c.row.url) return Edit::Gone;
  if (!document.DeletePath(node)) return Edit::Failed;
  return SaveEdit(document);
}

// Only the row's own address leaves the list; the user's other start
// pages, and the rows of the other foreign ones, stay.
Edit RemoveStartupUrl(const Context& c) {
  PreferenceDocument document;
  const Edit loaded = LoadForEdit(c.row.path, document);
  if (loaded != Edit::Done) return loaded;
  const std::wstring& url = c.row.url;
  const int cut = DeleteMatchingElements(document, kStartupUrls, [&](const PreferenceDocument& d, const PreferenceNode& e) {
    std::wstring text;
    return e.kind == PreferenceKind::String && d.ValueText(e, text) == PreferenceKind::String && FiledText(text) == url;
  });
  if (cut == 0) {
    // Still listed but not cut: the text around it is damaged.
    for (const std::wstring& listed : ReadChromiumStartupUrls(document))
      if (FiledText(listed) == url) return Edit::Failed;
    return Edit::Gone;
  }
  return SaveEdit(document);
}

RowRepair RepairPage(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.path.empty() || row.key.empty()) return {};
  Edit edit = Edit::Failed;
  if (IsProfilePreferenceFile(c, row.path) && !row.url.empty()) {
    if (EqualsNoCase(row.key, kHomePage)) edit = RemoveWhileItHolds(c, kHomePage, kHomePage);
    else if (EqualsNoCase(row.key, kStartupUrls)) edit = RemoveStartupUrl(c);
  }
  const bool ok = Succeeded(edit);
  const std::wstring owner = c.family.others ? std::wstring() : c.Browser() + L"'s ";
  return Repaired(ok, [&](bool ok) { return Lead(ok, L"fixed ", L"fix ") + owner + L"\"" + row.name + L"\"" + ForUser(row); });
}

RowRepair RepairSearch(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.path.empty()) return {};
  const bool ok = IsProfilePreferenceFile(c, row.path) && !row.url.empty() && Succeeded(RemoveWhileItHolds(c, kSearchUrl, kSearchProvider));
  return Repaired(ok, [&](bool ok) { return Lead(ok, L"fixed ", L"fix ") + c.Browser() + L"'s default search provider" + ForUser(row); });
}

// The id of "extensions->settings->" + id; empty when the key is anything
// else. An id that itself holds "->" would make the path name another node.
std::wstring ExtensionId(const std::wstring& key) {
  if (!StartsWithNoCase(key, kExtensionSettings)) return {};
  std::wstring id = key.substr(wcslen(kExtensionSettings));
  return id.find(L"->") == std::wstring::npos ? id : std::wstring();
}

Edit RemoveExtensionEntry(const Context& c, const std::wstring& id) {
  PreferenceDocument document;
  const Edit loaded = LoadForEdit(c.row.path, document);
  if (loaded != Edit::Done) return loaded;
  PreferenceNode node;
  if (!document.FindNode(std::wstring(kExtensionSettings) + id, node)) return Edit::Gone;
  return RemovePreferenceNodeKeepTimes(c.row.path, std::wstring(kExtensionSettings) + id) ? Edit::Done : Edit::Failed;
}

// The extension's folder is deleted only inside the profile's own
// "Extensions" folder, in its canonical form and with no link on the way;
// any other folder a row names stays where it is.
bool IsOwnExtensionFolder(const Context& c) {
  return IsSafeBrowserFolder(c.row.extensionPath, ParentOf(c.row.path) + L"\\Extensions", {});
}

bool RemoveExtensionFolder(const Context& c) {
  const std::wstring& folder = c.row.extensionPath;
  if (!FolderExists(folder) && !FileExists(folder)) return true;
  for (int attempt = 0; attempt < 2; ++attempt)
    if (RemoveFileObject(folder, RemovalTakeOverPermissions) == RemovalResult::Removed) return true;
  return false;
}

// The location the profile's file gives the extension now says a policy
// installed it.
bool EntrySaysForced(const Context& c, const std::wstring& id) {
  PreferenceDocument document;
  document.Load(c.row.path);
  PreferenceNode node;
  return document.FindNode(std::wstring(kExtensionSettings) + id, node) &&
         IsPolicyLocation(ReadChromiumExtensionState(document, node).location);
}

bool IsPolicyKey(const Context& c, const std::wstring& key);

// A forced extension comes back at the browser's next start: its forcelist
// entries in the policy keys the scan filed go first, and the extension is
// only released when none of those keys forces it any more. One whose file
// says a policy installed it, with no key filed, is forced from where this
// program cannot reach (a domain or cloud policy) and is never released.
bool ReleasePolicy(const Context& c, const std::wstring& id) {
  std::vector<std::wstring> keys;
  for (const std::wstring& key : Split(c.row.policyKeys, L"|"))
    if (!key.empty()) keys.push_back(key);
  if (keys.empty()) return !EntrySaysForced(c, id);
  bool released = true;
  for (const std::wstring& key : keys) {
    if (!IsPolicyKey(c, key)) {
      released = false;
      continue;
    }
    for (const std::wstring& value : ForcelistValuesNaming(key, id))
      DeleteValueIfPresent(key + L"\\ExtensionInstallForcelist", value);
    released = released && !PolicyKeyForcesExtension(key, id);
  }
  return released;
}

RowRepair RepairExtension(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.path.empty() || row.key.empty()) return {};
  const std::wstring id = ExtensionId(row.key);
  const bool folder = !row.extensionPath.empty();
  // A row naming a folder it may not delete is refused before anything
  // is edited, so that it fails as a whole.
  bool ok = !id.empty() && IsProfilePreferenceFile(c, row.path) && (!folder || IsOwnExtensionFolder(c)) &&
            ReleasePolicy(c, id) && Succeeded(RemoveExtensionEntry(c, id));
  if (ok && folder) ok = RemoveExtensionFolder(c);
  return Repaired(ok, [&](bool ok) { return Lead(ok, L"removed ", L"remove ") + c.Browser() + L"'s extension \"" + row.name + L"\"" +
                          ForUser(row); });
}

// A policy key of the row's browser below a scanned root.
bool IsPolicyKey(const Context& c, const std::wstring& key) {
  std::wstring rest;
  if (!SplitScannedRoot(c.scan(), key, rest) || !StartsWithNoCase(rest, kPolicies)) return false;
  const std::wstring tail = rest.substr(wcslen(kPolicies));
  if (!c.family.others) return EqualsNoCase(tail, c.family.policyKey);
  // "Vendor" or "Vendor\Product", as the discovery names them; never
  // Google's or Microsoft's keys, which hold other programs' policies.
  const std::vector<std::wstring> parts = Split(tail, L"\\");
  if (parts.empty() || parts.size() > 2) return false;
  for (const std::wstring& part : parts)
    if (!IsPlainName(part)) return false;
  return !EqualsNoCase(parts[0], L"Google") && !EqualsNoCase(parts[0], L"Microsoft") &&
         !EqualsNoCase(parts[0], L"Packages");
}

// "Reset Secure Preferences" and the like: which file the option resets.
enum class ResetKind { None, SecurePreferences, Preferences, DefaultPreferences, Policies };

ResetKind ResetKindOf(const Context& c) {
  const std::wstring& name = c.row.name;
  if (!c.family.others) {
    if (EqualsNoCase(name, L"Reset Secure Preferences")) return ResetKind::SecurePreferences;
    if (EqualsNoCase(name, L"Reset Preferences")) return ResetKind::Preferences;
    if (EqualsNoCase(name, L"Reset Default Preferences")) return ResetKind::DefaultPreferences;
    if (EqualsNoCase(name, c.family.policyReset)) return ResetKind::Policies;
    return ResetKind::None;
  }
  static const struct {
    const wchar_t* pattern;
    ResetKind kind;
  } kPatterns[] = {{L"^Reset .+ Secure Preferences$", ResetKind::SecurePreferences},
                   {L"^Reset .+ Default Preferences$", ResetKind::DefaultPreferences},
                   {L"^Reset .+ Preferences$", ResetKind::Preferences},
                   {L"^Reset .+ Policies$", ResetKind::Policies}};
  for (const auto& entry : kPatterns)
    if (Pattern(entry.pattern).Matches(name)) return entry.kind;
  return ResetKind::None;
}

bool IsResetFile(const Context& c, ResetKind kind, const std::wstring& path) {
  const std::wstring name = LastPartOf(path);
  if (kind == ResetKind::SecurePreferences) return EqualsNoCase(name, L"Secure Preferences") && IsInChromiumProfile(c, path);
  if (kind == ResetKind::Preferences) return EqualsNoCase(name, L"Preferences") && IsInChromiumProfile(c, path);
  // The defaults beside the browser's executable: in a profile (a per-user
  // install) or in a Program Files folder.
  if (!EqualsNoCase(name, L"master_preferences")) return false;
  const KnownFolders& folders = c.scan().folders;
  return LiesInScannedProfile(c.scan(), path) ||
         (!folders.programFiles64.empty() && IsSafeBrowserFolder(path, folders.programFiles64, {})) ||
         (!folders.programFiles32.empty() && IsSafeBrowserFolder(path, folders.programFiles32, {}));
}

RowRepair RepairReset(const Context& c) {
  const BrowserRow& row = c.row;
  const ResetKind kind = ResetKindOf(c);
  if (kind == ResetKind::None) return {};
  RowRepair repair;
  bool ok = false;
  if (kind == ResetKind::Policies) {
    if (row.key.size() < 10) return {};
    ok = IsPolicyKey(c, row.key) && DeleteKeyIfPresent(row.key);
    if (c.family.others) return Repaired(ok, [&](bool ok) { return Lead(ok, L"", L"") + row.name + ForUser(row); });
    return Repaired(ok, [&](bool ok) { return Lead(ok, L"reset ", L"reset ") + c.Browser() + L"'s Policies " + ForUser(row); });
  }
  if (row.path.size() < 10) return {};
  bool scheduled = false;
  ok = IsResetFile(c, kind, row.path) && DeleteFileOrSchedule(row.path, scheduled);
  const wchar_t* what = kind == ResetKind::SecurePreferences ? L"Secure Preferences"
                        : kind == ResetKind::Preferences     ? L"Preferences"
                                                             : L"Default Preferences";
  repair = Repaired(ok, [&](bool ok) { return Lead(ok, L"reset ", L"reset ") + c.Browser() + L"'s " + what + (c.family.others ? L"" : L" ") +
                            ForUser(row); });
  repair.scheduled = ok && scheduled;
  return repair;
}

RowRepair RepairPolicy(const Context& c) {
  const BrowserRow& row = c.row;
  if (row.key.empty() || row.valueName.empty()) return {};
  const bool placed = IsPolicyKey(c, row.key);
  const std::wstring lead = c.Browser() + L"'s ";
  if (EqualsNoCase(row.name, L"RestoreOnStartupURLs")) {
    const bool ok = placed && DeleteValuesFiledAs(row.key + L"\\RestoreOnStartupURLs", row.valueName, row.valueData);
    return Repaired(ok, [&](bool ok) { return Lead(ok, L"removed ", L"remove ") + lead + L"Startup Page policy \"" + row.column2 + L"\"" +
                            ForUser(row); });
  }
  if (EqualsNoCase(row.valueName, L"HomepageLocation")) {
    const bool ok = placed && DeleteValuesFiledAs(row.key, row.valueName);
    if (ok) DeleteValueIfPresent(row.key, L"HomepageIsNewTabPage");
    return Repaired(ok, [&](bool ok) { return Lead(ok, L"removed ", L"remove ") + lead + L"Default Homepage policy" + ForUser(row); });
  }
  if (EqualsNoCase(row.valueName, L"DefaultSearchProviderSearchURL")) {
    const bool ok = placed && DeleteValuesFiledAs(row.key, row.valueName);
    if (ok)
      for (const wchar_t* value : {L"DefaultSearchProviderName", L"DefaultSearchProviderEnabled",
                                   L"DefaultSearchProviderKeyword", L"DefaultSearchProviderSuggestURL",
                                   L"DefaultSearchProviderInstantURL", L"DefaultSearchProviderIconURL"})
        DeleteValueIfPresent(row.key, value);
    return Repaired(ok, [&](bool ok) { return Lead(ok, L"removed ", L"remove ") + lead + L"Default Search Provider policy" + ForUser(row); });
  }
  return {};
}

}  // namespace

bool IsChromiumGroup(int group) { return FamilyOf(group) != nullptr; }

RowProbe ChromiumRowProbe(const BrowserRow& row) {
  const Family* family = FamilyOf(row.group);
  if (!family) return {};
  switch (row.group - family->start) {
    case 0:
      return {ProbeKind::ChromiumUrl, row.path, EqualsNoCase(row.key, kStartupUrls) ? kStartupUrls : kHomePage, row.url};
    case 1:
      return {ProbeKind::ChromiumUrl, row.path, kSearchUrl, row.url};
    case 2:
      if (ExtensionId(row.key).empty()) return {};
      return {ProbeKind::ChromiumEntry, row.path, row.key, row.extensionPath};
    case 3:
      if (EqualsNoCase(row.name, L"Start Menu Internet shortcut"))
        return {ProbeKind::StartMenuArgument, row.key, {}, row.valueData.empty() ? row.column2 : row.valueData};
      return {ProbeKind::ShortcutArguments, row.path, {}, {}};
    case 4:
      // A policy reset names its key, the file resets their file.
      if (!row.key.empty() && row.path.empty()) return {ProbeKind::RegistryKey, row.key, {}, {}};
      return {ProbeKind::FileObject, row.path, {}, {}};
    case 5:
      if (EqualsNoCase(row.name, L"RestoreOnStartupURLs"))
        return {ProbeKind::RegistryValue, row.key + L"\\RestoreOnStartupURLs", row.valueName, row.valueData};
      return {ProbeKind::RegistryValue, row.key, row.valueName, {}};
  }
  return {};
}

RowRepair RepairChromiumRow(RemovalSession& session, const BrowserRow& row) {
  const Family* family = FamilyOf(row.group);
  if (!family) return {};
  const Context c{session, row, *family};
  const int kind = row.group - family->start;
  switch (kind) {
    case 0: return RepairPage(c);
    case 1: return RepairSearch(c);
    case 2: return RepairExtension(c);
    case 3: return RepairShortcutRow(c.scan(), row, c.Browser(), c.family.others);
    case 4: return RepairReset(c);
    case 5: return RepairPolicy(c);
  }
  return {};
}

}  // namespace tavrin
