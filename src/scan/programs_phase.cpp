#include "scan/programs_phase.h"

#include <windows.h>

#include <map>
#include <set>

#include "definitions/adware_definitions.h"
#include "definitions/malware_verdict.h"
#include "definitions/pending_hash_table.h"
#include "definitions/uninstaller_target.h"
#include "platform/key_values.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/file_objects.h"
#include "scan/folder_guard.h"
#include "scan/autostart_places.h"
#include "scan/folder_listing.h"
#include "cloud/maker_service_client.h"
#include "scan/program_folder.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kUninstallSubkey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kMachineUninstall64[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kMachineUninstall32[] = L"HKLM32\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kAllUsers[] = L"(All users)";
constexpr wchar_t kProgramsSection[] = L"Programs";
constexpr wchar_t kProductsFound[] = L"_TVN_PRODUCTS_FOUND_";
// No installer writes publishers this long.
constexpr size_t kMaxPublisher = 260;
// Longer values are not read as paths or commands at all.
constexpr size_t kMaxValueText = 32767;

enum class MatchKind { Matched, Named, MaliciousUninstaller };

struct ProgramsScan {
  ScanEnvironment& scan;
  DetectionContext context;
  AdwareNames definitions;
  ResultList list;
  FolderGuard guard;
  ProgramFolderFacts facts;
  FolderListings listings;
  // Uninstallers whose verdict the cloud owes (lower case) -> every entry
  // that runs one.
  std::map<std::wstring, std::vector<std::wstring>> waitingEntries;
  std::wstring foundNames = L"|";
  std::wstring makerList;
};

void SetProgress(ScanEnvironment& scan, int percent) {
  if (scan.progress) scan.progress->SetProgress(percent);
}

// Control characters in a name or key would break the report's lines (or
// forge some).
bool HasControlCharacter(std::wstring_view text) {
  for (wchar_t c : text)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

std::wstring ReadText(const KeyValues& values, const wchar_t* name) {
  std::wstring text;
  if (!values.String(name, text) || text.size() > kMaxValueText) return {};
  return text;
}

// A display name the phase may list: present and without control
// characters, which would forge report lines. Separators, ".." and great
// length are adware's too; only the folder guess refuses such names.
bool IsListableName(const std::wstring& name) { return !name.empty() && !HasControlCharacter(name); }

std::wstring PublisherText(const KeyValues& key) {
  std::wstring publisher = ReadText(key, L"Publisher");
  if (publisher.size() > kMaxPublisher) publisher.clear();
  for (wchar_t& c : publisher)
    if (c < 0x20 || c == 0x7F) c = L' ';
  return publisher;
}

bool IsUpdateRelease(const std::wstring& releaseType) {
  for (const wchar_t* kind : {L"Update", L"Hotfix", L"%HOTFIX%", L"Security update"})
    if (EqualsNoCase(releaseType, kind)) return true;
  return false;
}

bool HasAddOnName(const std::wstring& name) {
  for (const wchar_t* word : {L" Toolbar", L" Chrome Extension", L" Firefox Plugin", L" Firefox Extension"})
    if (FindNoCase(name, word) != std::wstring::npos) return true;
  return false;
}

GuessFolders GuessFoldersFor(const ScanSession& session, const UserProfile* user) {
  GuessFolders guesses;
  guesses.programFiles64 = session.folders.programFiles64;
  guesses.programFiles32 = session.folders.programFiles32;
  guesses.commonAppData = session.folders.commonAppData;
  if (user && !user->profileFolder.empty()) {
    const UserFolders& relative = session.folders.userRelative;
    if (!relative.appData.empty()) guesses.userAppData = user->profileFolder + relative.appData;
    if (!relative.localAppData.empty()) guesses.userLocalAppData = user->profileFolder + relative.localAppData;
  }
  return guesses;
}

struct ProgramRow {
  const UninstallEntry* entry = nullptr;
  std::wstring folder;
  std::wstring userName;
  std::wstring dbName;
  bool checked = false;
};

void AddProgramRow(ProgramsScan& p, const ProgramRow& row) {
  const UninstallEntry& entry = *row.entry;
  const IconLocation icon = ProgramIconOf(entry);
  const std::wstring publisher = entry.publisher.empty() ? std::wstring(L"(Not set)") : entry.publisher;
  const int position =
      AddRow(p.list, kNoGroup, entry.displayName, publisher, row.userName, row.checked, icon.file, icon.index);
  if (position < 0) return;
  ScanItemDetails details;
  details.registryKey = entry.key;
  details.path = row.folder;
  details.dbName = row.dbName;
  details.userName = row.userName;
  if (!entry.uninstallString.empty()) details.extra.emplace_back(L"Uninstall String", entry.uninstallString);
  if (entry.isMsi) details.extra.emplace_back(L"MSI Product", entry.productCode);
  StoreDetails(p.list, GetRowKey(p.list, position), details);
  if (!row.dbName.empty()) WriteDetail(p.list, kProductsFound, row.dbName, L"1");
  p.scan.session->report.Write(L"\r\n\tDetected program: " + entry.displayName + L"\r\n\t\tUninstall key: " +
                               entry.key + L"\r\n\t\tFolder path: " + row.folder + L"\r\n\t\tUser name : " +
                               row.userName + L"\r\n\t\tItem state: " +
                               (row.checked ? L"Checked\r\n" : L"Unchecked\r\n"));
}

void ScanEntry(ProgramsScan& p, const UninstallRoot& root, const RegKey& rootKey, const std::wstring& name) {
  if (HasControlCharacter(name)) return;
  UninstallEntry entry;
  entry.key = root.key + L"\\" + name;
  RegKey key = OpenSubKey(rootKey, name, kRegRead);
  if (!key) return;
  // The nine values below.
  const KeyValues values(key, 9);

  // 1. What is no program of its own, or nothing to remove.
  entry.displayName = ReadText(values, L"DisplayName");
  if (!IsListableName(entry.displayName)) return;
  DWORD number = 0;
  if (values.Dword(L"SystemComponent", number) && number == 1) return;
  if (!ReadText(values, L"ParentKeyName").empty()) return;
  if (IsUpdateRelease(ReadText(values, L"ReleaseType"))) return;
  entry.uninstallString = ReadText(values, L"UninstallString");
  entry.installLocation = ReadText(values, L"InstallLocation");
  if (entry.uninstallString.empty() && entry.installLocation.empty()) return;
  // 2, 3.
  entry.publisher = PublisherText(values);
  entry.isMsi = values.Dword(L"WindowsInstaller", number) && number != 0;
  if (entry.isMsi) entry.productCode = name;
  entry.displayIcon = ReadText(values, L"DisplayIcon");
  key.Close();

  // 4. The definitions, an add-on's name, then the uninstaller itself.
  MatchKind kind;
  std::wstring dbName;
  if (std::optional<std::wstring> definition = FindAdwareDefinition(p.definitions, entry.displayName)) {
    kind = MatchKind::Matched;
    dbName = *definition;
    p.foundNames += dbName + L"|";
  } else if (HasAddOnName(entry.displayName)) {
    kind = MatchKind::Named;
    dbName = entry.displayName;
  } else {
    // The walk's own values, unless it dropped an overlong uninstall string.
    std::optional<UninstallerFile> uninstaller =
        entry.isMsi || !entry.uninstallString.empty()
            ? UninstallerTargetOf(entry.key, entry.isMsi, entry.uninstallString, *p.context.systemFolders)
            : UninstallerTarget(entry.key, *p.context.systemFolders);
    if (!uninstaller) return;
    // Each entry asks for itself, so each one's key is a finding of its own.
    if (!CheckMalwareFile(p.context, uninstaller->path, entry.key)) {
      // A verdict the cloud still owes is taken up after the walk, for
      // every entry that runs the file (the table keeps only the first).
      if (p.context.pending && FindPendingHash(*p.context.pending, uninstaller->path))
        p.waitingEntries[ToLower(uninstaller->path)].push_back(entry.key);
      return;
    }
    kind = MatchKind::MaliciousUninstaller;
  }

  // 5.
  if (p.scan.whitelist && IsWhitelisted(*p.scan.whitelist, entry.displayName, kProgramsSection, false)) return;

  // 6-10. Only a program the definitions name is removed without asking:
  // an add-on word or a flagged uninstaller is a hint, not a verdict.
  const UserProfile* user = root.user >= 0 ? &p.scan.session->users[size_t(root.user)] : nullptr;
  entry.dbName = dbName;
  entry.uninstaller = ResolvedUninstaller(entry.uninstallString, p.scan.session->systemFolders);
  ProgramRow row;
  row.entry = &entry;
  row.folder = ProgramFolderOf(entry, GuessFoldersFor(*p.scan.session, user), p.guard, p.facts, p.listings);
  row.userName = root.userName;
  row.dbName = dbName;
  row.checked = kind == MatchKind::Matched && DefaultCheckState(p.context.definitionsRoot, dbName);
  AddProgramRow(p, row);
}

void WalkUninstallEntries(ProgramsScan& p) {
  const std::vector<UninstallRoot> roots = UninstallRoots(*p.scan.session);
  for (size_t i = 0; i < roots.size(); ++i) {
    if (p.scan.Cancelled()) return;
    SetProgress(p.scan, 6 + int(i * 10 / roots.size()));
    RegKey root = OpenKey(roots[i].key, kRegRead);
    if (!root) continue;
    std::wstring name;
    for (DWORD index = 0; EnumSubKey(root, index, name); ++index) {
      if (p.scan.Cancelled()) return;
      ScanEntry(p, roots[i], root, name);
    }
  }
}

// A program whose uninstaller the cloud judged malware after the walk.
void ListFlaggedUninstaller(ProgramsScan& p, const std::wstring& keyPath) {
  UninstallEntry entry;
  entry.key = keyPath;
  RegKey key = OpenKey(keyPath, kRegRead);
  if (!key) return;
  // The six values below.
  const KeyValues values(key, 6);
  entry.displayName = ReadText(values, L"DisplayName");
  if (!IsListableName(entry.displayName)) return;
  entry.installLocation = ReadText(values, L"InstallLocation");
  entry.uninstallString = ReadText(values, L"UninstallString");
  if (entry.uninstallString.empty() && entry.installLocation.empty()) return;
  entry.publisher = PublisherText(values);
  DWORD marker = 0;
  entry.isMsi = FindNoCase(entry.uninstallString, L"msiexec") != std::wstring::npos ||
                (values.Dword(L"WindowsInstaller", marker) && marker == 1);
  std::wstring parent, last;
  if (entry.isMsi && SplitLastComponent(keyPath, parent, last)) entry.productCode = last;
  entry.displayIcon = ReadText(values, L"DisplayIcon");
  key.Close();

  const ScanSession& session = *p.scan.session;
  const std::wstring sid = UserSidOfRegPath(keyPath);
  UserProfile found;
  const UserProfile* user = nullptr;
  std::wstring userName = kAllUsers;
  if (!sid.empty()) {
    for (const UserProfile& candidate : session.users)
      if (EqualsNoCase(candidate.sid, sid)) user = &candidate;
    if (!user) {
      found = {sid, ProfileFolderOf(sid), AccountOfSid(sid)};
      user = &found;
    }
    userName = user->accountName;
  }
  entry.dbName = entry.displayName;
  entry.uninstaller = ResolvedUninstaller(entry.uninstallString, p.scan.session->systemFolders);
  ProgramRow row;
  row.entry = &entry;
  row.folder = ProgramFolderOf(entry, GuessFoldersFor(session, user), p.guard, p.facts, p.listings, {true});
  row.userName = userName;
  row.dbName = entry.displayName;
  // The definitions may hold the name with a check state of its own; a
  // name that would reach into another key asks the "Adware" key itself.
  row.checked = DefaultCheckState(p.context.definitionsRoot,
                                  entry.displayName.find(L'\\') == std::wstring::npos ? entry.displayName : L"");
  AddProgramRow(p, row);
  p.makerList += entry.displayName + L"|||";
}

std::set<std::wstring> InfectedFileRows(ResultSet& results) {
  std::set<std::wstring> paths;
  for (const ScanItem& row : GetRows(TabList(results, kMalwareTab)))
    if (row.group == kGroupInfectedFiles) paths.insert(ToLower(row.columns[0]));
  return paths;
}

void ResolveFlaggedUninstallers(ProgramsScan& p) {
  ScanSession& session = *p.scan.session;
  if (session.pending.entries.empty() || p.scan.Cancelled()) return;
  const std::vector<PendingHash> waiting = session.pending.entries;
  const std::set<std::wstring> before = InfectedFileRows(*p.scan.results);
  ResolvePendingHashes(p.context);
  const std::set<std::wstring> after = InfectedFileRows(*p.scan.results);
  for (size_t k = 0; k < waiting.size(); ++k) {
    if (p.scan.Cancelled()) return;
    SetProgress(p.scan, 16 + int(k * 10 / waiting.size()));
    const std::wstring path = ToLower(waiting[k].path);
    if (before.count(path) || !after.count(path)) continue;
    const auto entries = p.waitingEntries.find(path);
    if (entries != p.waitingEntries.end()) {
      for (const std::wstring& key : entries->second) ListFlaggedUninstaller(p, key);
    } else if (StartsWithNoCase(waiting[k].registryText, L"HK")) {
      ListFlaggedUninstaller(p, waiting[k].registryText);
    }
  }
}

}  // namespace

std::vector<UninstallRoot> UninstallRoots(const ScanSession& session) {
  std::vector<UninstallRoot> roots;
  for (size_t i = 0; i < session.users.size(); ++i) {
    const std::wstring name =
        i < session.userDisplayNames.size() ? session.userDisplayNames[i] : session.users[i].accountName;
    roots.push_back({session.users[i].RegistryRoot() + kUninstallSubkey, name, int(i)});
  }
  roots.push_back({kMachineUninstall64, kAllUsers, -1});
  roots.push_back({kMachineUninstall32, kAllUsers, -1});
  return roots;
}

std::vector<std::wstring> RunKeysOf(const UserList& users) {
  std::vector<std::wstring> keys;
  for (const UserProfile& user : users) {
    if (user.sid.empty()) continue;
    keys.push_back(user.RegistryRoot() + kUserRunKey);
    keys.push_back(user.RegistryRoot() + kUserRunKey + std::wstring(L"Once"));
  }
  for (const wchar_t* view : {L"HKLM64", L"HKLM32"}) {
    keys.push_back(view + std::wstring(kMachineRunKey));
    keys.push_back(view + std::wstring(kMachineRunKey) + L"Once");
  }
  return keys;
}

ProgramFolderFacts ProgramFolderFactsOf(const ScanSession& session) {
  std::vector<std::wstring> roots;
  for (const UninstallRoot& root : UninstallRoots(session)) roots.push_back(root.key);
  return GatherProgramFolderFacts(roots, RunKeysOf(session.users), session.systemFolders);
}

void ScanPrograms(ScanEnvironment& scan) {
  ScanSession& session = *scan.session;
  if (scan.progress) scan.progress->SetStatus(L"Scanning programs...");
  session.report.Write(L"\r\n\r\n->Programs scan:\r\n");
  LoadDetails(*scan.results, kProgramsTab);

  const DetectionContext context = DetectionContextOf(scan);
  ProgramsScan p{scan, context, AdwareNames(context.definitionsRoot), TabList(*scan.results, kProgramsTab)};
  p.guard = BuildFolderGuard(session.folders, session.users);
  p.facts = ProgramFolderFactsOf(session);
  WalkUninstallEntries(p);
  ResolveFlaggedUninstallers(p);
  if (!scan.Cancelled())
    session.foundProgramsReport = MakerServiceClient(scan.definitionsServer).SendFoundPrograms(p.makerList);

  if (scan.Cancelled()) return;
  SetProgress(scan, 30);
  if (scan.progress) scan.progress->SetStatus(L"Scanning file objects...");
  ScanFileObjects(scan, p.definitions, p.foundNames, p.guard, p.listings);
}

}  // namespace tavrin
