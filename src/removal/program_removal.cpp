#include "removal/program_removal.h"

#include <windows.h>
#include <msi.h>

#include <vector>

#include "filetrust/protected_folder.h"
#include "filetrust/shortcut.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/message_pump.h"
#include "platform/path_lookup.h"
#include "platform/pattern.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/registry_unlock.h"
#include "platform/scheduled_tasks.h"
#include "platform/strings.h"
#include "removal/removal_safety.h"
#include "removal/removal_session.h"
#include "removal/wildcard_pattern.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "scan/folder_guard.h"
#include "scan/program_folder.h"
#include "scan/programs_phase.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr size_t kLongestExpansion = 32767;
// Deep enough for any real Start-menu or Desktop layout; a loop of links
// cannot run the walk forever.
constexpr int kDeepestShortcutFolder = 8;

void Progress(RemovalSession& session, int percent) {
  if (session.progress) session.progress->SetProgress(percent);
}

std::wstring Expanded(const std::wstring& text) {
  std::wstring expanded;
  return ExpandEnvironmentLimited(text, kLongestExpansion, expanded) ? expanded : text;
}

bool NamesAnyEntry(const std::wstring& text, const std::vector<ProgramRemovalEntry>& entries) {
  if (text.size() < 4) return false;
  for (const ProgramRemovalEntry& entry : entries)
    if (NamesPathInside(text, entry.cleanupFolder)) return true;
  return false;
}

bool DeleteTwice(const std::wstring& key, const wchar_t* value = nullptr) {
  return DeleteForced(key, value) || DeleteForced(key, value);
}

void NoteResult(RemovalSession& session, RemovalResult result) {
  if (result == RemovalResult::Scheduled) session.resultFlags |= kRemovalRestartNeeded;
}

void EndProcessesOf(const RemovalSession& session, const ProgramRemovalEntry& entry) {
  if (entry.cleanupFolder.empty()) return;
  if (FolderExists(entry.cleanupFolder)) {
    KillProcessesInFolder(entry.cleanupFolder);
  } else if (!IsUntouchableFile(entry.cleanupFolder, session.scan->folders.windows)) {
    KillProcessesByPath(entry.cleanupFolder);
  }
}

// The entries of `parent` whose whole name matches the pattern, each
// removed on its own: the platform's own wildcard listing would also match
// the short 8.3 names, which are not what the pattern means.
void RemoveMatches(RemovalSession& session, const std::wstring& parent, const Pattern& pattern) {
  if (parent.empty() || !IsAbsolutePath(parent) || !FolderExists(parent)) return;
  std::vector<std::wstring> matches;
  FindFiles listing(parent + L"\\*");
  while (listing.Next()) {
    const std::wstring name = listing.Name();
    if (IsSharedContainerName(name) || !pattern.Matches(name)) continue;
    const std::wstring path = parent + L"\\" + name;
    if (!LiesInFolder(path, parent, true) || IsProtectedFolder(path)) continue;
    matches.push_back(path);
  }
  for (const std::wstring& path : matches) {
    DispatchPendingMessages();
    NoteResult(session, RemoveFileObject(path, RemovalScheduleAtRestart | RemovalTakeOverPermissions));
  }
}

void RemoveLeftovers(RemovalSession& session, const ProgramRemovalEntry& entry) {
  if (entry.cleanupFolder.empty()) return;
  const UserList& users = session.scan->users;
  const int userIndex = UserIndexOf(users, entry.userName);
  if (userIndex < 0) return;
  const std::wstring namePattern = LeftoverNamePattern(entry.dbName, entry.path);
  if (namePattern.empty()) return;
  const Pattern pattern(WildcardPattern(namePattern));
  if (!pattern.IsValid()) return;
  const std::wstring publisher = PublisherFolderName(entry.publisher);
  const KnownFolders& folders = session.scan->folders;

  std::vector<std::wstring> parents;
  const bool everyUser = userIndex == int(users.size());
  for (size_t i = 0; i < users.size(); ++i) {
    if (!everyUser && int(i) != userIndex) continue;
    const std::wstring& profile = users[i].profileFolder;
    if (profile.empty() || !IsAbsolutePath(profile)) continue;
    for (const std::wstring* part : {&folders.userRelative.appData, &folders.userRelative.localAppData,
                                     &folders.userRelative.programs})
      if (!part->empty()) parents.push_back(profile + *part);
    parents.push_back(profile + L"\\AppData\\LocalLow");
  }
  if (everyUser) {
    parents.push_back(folders.commonAppData);
    parents.push_back(folders.commonPrograms);
  }
  for (const std::wstring& parent : parents) {
    RemoveMatches(session, parent, pattern);
    if (!publisher.empty()) RemoveMatches(session, parent + L"\\" + publisher, pattern);
  }
}

void RemoveClassRegistrations(const std::vector<ProgramRemovalEntry>& entries) {
  for (const wchar_t* root : {L"HKCR64\\CLSID", L"HKCR64\\Wow6432Node\\CLSID"}) {
    RegKey classes = OpenKey(root, kRegRead);
    if (!classes) continue;
    const std::vector<std::wstring> names = SubKeyNames(classes);
    for (size_t i = names.size(); i-- > 0;) {
      DispatchPendingMessages();
      std::wstring server;
      for (const wchar_t* kind : {L"\\InprocServer32", L"\\LocalServer32", L"\\InprocHandler32"})
        if (ReadStringAt(std::wstring(root) + L"\\" + names[i] + kind, nullptr, server)) break;
      if (!NamesAnyEntry(Expanded(server), entries)) continue;
      DeleteTwice(std::wstring(root) + L"\\" + names[i]);
    }
  }
}

void RemoveServices(const std::vector<ProgramRemovalEntry>& entries) {
  const std::wstring root = L"HKLM\\SYSTEM\\CurrentControlSet\\services";
  RegKey services = OpenKey(root, kRegRead);
  if (!services) return;
  const std::vector<std::wstring> names = SubKeyNames(services);
  for (size_t i = names.size(); i-- > 0;) {
    DispatchPendingMessages();
    const std::wstring key = root + L"\\" + names[i];
    std::wstring image;
    if (!ReadStringAt(key, L"ImagePath", image) || image.size() < 4) {
      image.clear();
      if (!ReadStringAt(key + L"\\Parameters", L"ServiceDll", image) || image.size() < 4) continue;
    }
    if (NamesAnyEntry(Expanded(image), entries)) DeleteTwice(key);
  }
}

void RemoveTasks(RemovalSession& session, const std::vector<ProgramRemovalEntry>& entries) {
  std::vector<ScheduledTask> tasks = EnumerateScheduledTasks(L"\\", TaskFolderScope::FolderOnly);
  for (ScheduledTask& legacy : EnumerateLegacyTasks()) tasks.push_back(std::move(legacy));
  const std::wstring tasksFolder = session.scan->folders.system + L"\\Tasks";
  for (const ScheduledTask& task : tasks) {
    DispatchPendingMessages();
    bool named = false;
    for (const TaskAction& action : task.actions)
      named = named || NamesAnyEntry(Expanded(action.path + L" " + action.arguments), entries);
    if (!named || !IsPlainName(task.name)) continue;
    if (DeleteRootTask(task.name) || DeleteLegacyTask(task.name)) continue;
    // Only the task's own file, never a path a tampered registration names.
    const std::wstring file = EndsWithNoCase(task.name, L".job")
                                  ? session.scan->folders.windows + L"\\Tasks\\" + task.name
                                  : RootTaskFile(task.name);
    if (LiesInFolder(file, tasksFolder, true) || LiesInFolder(file, session.scan->folders.windows + L"\\Tasks", true))
      NoteResult(session, RemoveFileObject(file, RemovalScheduleAtRestart | RemovalTakeOverPermissions));
  }
}

void RemoveRunValues(const RemovalSession& session, const std::vector<ProgramRemovalEntry>& entries) {
  std::vector<std::wstring> bases;
  for (const UserProfile& user : session.scan->users)
    if (!user.sid.empty()) bases.push_back(user.RegistryRoot() + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\");
  bases.push_back(L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\");
  bases.push_back(L"HKLM32\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\");
  for (const std::wstring& base : bases) {
    for (const wchar_t* run : {L"Run", L"RunOnce", L"RunOnceEx"}) {
      const std::wstring keyPath = base + run;
      RegKey key = OpenKey(keyPath, kRegRead);
      if (!key) continue;
      for (DWORD index = ValueCount(key); index-- > 0;) {
        std::wstring name, text;
        DWORD type = 0, length = 0;
        if (!EnumValue(key, index, name, type, length) || !ReadString(key, name.c_str(), text)) continue;
        if (NamesAnyEntry(Expanded(text), entries)) DeleteTwice(keyPath, name.c_str());
      }
    }
  }
}

void RemoveShortcutsIn(const std::wstring& folder, const std::vector<ProgramRemovalEntry>& entries, int depth) {
  if (depth > kDeepestShortcutFolder || folder.empty() || !FolderExists(folder)) return;
  std::vector<std::wstring> subfolders, shortcuts;
  FindFiles listing(folder + L"\\*");
  while (listing.Next()) {
    const std::wstring path = folder + L"\\" + listing.Name();
    if (listing.IsReparsePoint()) continue;
    if (listing.IsFolder()) {
      subfolders.push_back(path);
    } else if (EndsWithNoCase(path, L".lnk")) {
      Shortcut link;
      if (ReadShortcut(path, link) && NamesAnyEntry(link.target, entries)) shortcuts.push_back(path);
    }
  }
  for (const std::wstring& path : shortcuts)
    if (RemoveFileObject(path, RemovalTakeOverPermissions) == RemovalResult::Failed)
      RemoveFileObject(path, RemovalTakeOverPermissions);
  for (const std::wstring& subfolder : subfolders) {
    DispatchPendingMessages();
    RemoveShortcutsIn(subfolder, entries, depth + 1);
  }
}

void RemoveShortcuts(const RemovalSession& session, const std::vector<ProgramRemovalEntry>& entries) {
  const KnownFolders& folders = session.scan->folders;
  for (const UserProfile& user : session.scan->users) {
    if (user.profileFolder.empty() || !IsAbsolutePath(user.profileFolder)) continue;
    for (const std::wstring* part : {&folders.userRelative.desktop, &folders.userRelative.programs,
                                     &folders.userRelative.quickLaunch})
      if (!part->empty()) RemoveShortcutsIn(user.profileFolder + *part, entries, 0);
  }
  RemoveShortcutsIn(folders.commonDesktop, entries, 0);
  RemoveShortcutsIn(folders.commonPrograms, entries, 0);
}

void RemoveShellVerbs(const std::vector<ProgramRemovalEntry>& entries) {
  for (const wchar_t* root : {L"HKCR", L"HKCR\\Wow6432Node"}) {
    RegKey classes = OpenKey(root, kRegRead);
    if (!classes) continue;
    for (const std::wstring& className : SubKeyNames(classes)) {
      DispatchPendingMessages();
      RegKey shell = OpenSubKey(classes, className + L"\\Shell", kRegRead);
      if (!shell) continue;
      const std::vector<std::wstring> verbs = SubKeyNames(shell);
      for (size_t i = verbs.size(); i-- > 0;) {
        std::wstring command;
        RegKey commandKey = OpenSubKey(shell, verbs[i] + L"\\Command", kRegRead);
        if (!commandKey || !ReadString(commandKey, nullptr, command)) continue;
        if (NamesAnyEntry(Expanded(command), entries))
          DeleteTwice(std::wstring(root) + L"\\" + className + L"\\Shell\\" + verbs[i]);
      }
    }
  }
}

// ERROR_SUCCESS, or the Windows Installer's reason; ERROR_SUCCESS too
// when the entry names no product.
UINT UninstallProduct(const ProgramRemovalEntry& entry) {
  if (entry.msiProduct.empty()) return ERROR_SUCCESS;
  if (!IsGuidKeyName(entry.msiProduct)) return ERROR_INVALID_PARAMETER;
  MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
  return MsiConfigureProductW(entry.msiProduct.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
}

// A link left in the program's place still stands there: the program is not
// gone while it does.
bool PathExists(const std::wstring& path) { return EntryExists(path); }

// The row's "Path" is text from a file; the folder is judged again against
// the machine as it is now, as the scan judged it, before anything sweeps
// for it.
std::wstring JudgedCleanupFolder(const ProgramRemovalEntry& entry, const std::wstring& uninstallString,
                                 const RemovalSession& session, const FolderGuard& guard,
                                 const ProgramFolderFacts& facts) {
  if (entry.path.empty()) return {};
  UninstallEntry program;
  program.key = entry.registryKey;
  program.displayName = entry.name;
  program.publisher = entry.publisher;
  program.dbName = entry.dbName;
  program.uninstaller = ResolvedUninstaller(uninstallString, session.scan->systemFolders);
  const FolderJudgement judged = JudgeProgramFolder(entry.path, program, guard, facts);
  if (judged.verdict != FolderVerdict::Accepted) return {};
  return CleanupFolder(judged.folder);
}

}  // namespace

ProductRemovalOutcome ProductRemovalOutcomeOf(unsigned installerResult) {
  switch (installerResult) {
    case ERROR_SUCCESS:
    case ERROR_UNKNOWN_PRODUCT:
      return {true, false};
    case ERROR_SUCCESS_REBOOT_REQUIRED:
    case ERROR_SUCCESS_REBOOT_INITIATED:
      return {true, true};
    default:
      return {false, false};
  }
}

bool IsUninstallEntryKey(const std::wstring& key) {
  if (key.size() <= 40) return false;
  static const wchar_t kUninstall[] = L"\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const size_t at = FindNoCase(key, kUninstall);
  if (at == std::wstring::npos) return false;
  const RegPathParts parts = ParseRegPath(key);
  if (!parts) return false;
  return IsPlainName(key.substr(at + std::size(kUninstall) - 1));
}

void RemoveProgramRows(RemovalSession& session) {
  ResultList list = TabList(*session.results, kProgramsTab);
  std::vector<int> checkedRows;
  for (int row = 0; row < RowCount(list); ++row)
    if (IsChecked(list, row)) checkedRows.push_back(row);
  if (checkedRows.empty()) {
    session.report.Write(L"\tNo items selected in this group.\r\n\r\n");
    return;
  }
  if (session.showDetail) session.showDetail(L"Removing selected programs...");
  LoadDetails(*session.results, kProgramsTab);

  const FolderGuard guard = BuildFolderGuard(session.scan->folders, session.scan->users);
  const ProgramFolderFacts facts = ProgramFolderFactsOf(*session.scan);
  std::vector<ProgramRemovalEntry> entries;
  bool anyFolder = false;
  for (int row : checkedRows) {
    ProgramRemovalEntry entry;
    entry.rowKey = GetRowKey(list, row);
    entry.name = GetColumnText(list, row, 0);
    entry.path = GetDetail(list, entry.rowKey, L"Path");
    entry.registryKey = GetDetail(list, entry.rowKey, L"Registry Key");
    entry.userName = GetDetail(list, entry.rowKey, L"User name");
    entry.dbName = GetDetail(list, entry.rowKey, L"DBName");
    entry.msiProduct = GetDetail(list, entry.rowKey, L"MSI Product");
    entry.publisher = GetColumnText(list, row, 1);
    if (EqualsNoCase(entry.publisher, L"(Not set)")) entry.publisher.clear();
    // File-object rows have no uninstall key: their folder is the finding
    // itself, named like a definition, and only the removal safety applies.
    entry.cleanupFolder =
        entry.registryKey.empty()
            ? CleanupFolder(entry.path)
            : JudgedCleanupFolder(entry, GetDetail(list, entry.rowKey, L"Uninstall String"), session, guard, facts);
    EndProcessesOf(session, entry);
    anyFolder = anyFolder || !entry.cleanupFolder.empty();
    entries.push_back(std::move(entry));
  }

  Progress(session, 10);
  std::vector<UINT> installer(entries.size(), ERROR_SUCCESS);
  for (size_t i = entries.size(); i-- > 0;) {
    installer[i] = UninstallProduct(entries[i]);
    RemoveLeftovers(session, entries[i]);
  }

  if (anyFolder) {
    Progress(session, 20);
    RemoveClassRegistrations(entries);
    Progress(session, 30);
    RemoveServices(entries);
    Progress(session, 40);
    RemoveTasks(session, entries);
    Progress(session, 50);
    RemoveRunValues(session, entries);
    Progress(session, 60);
    RemoveShortcuts(session, entries);
    Progress(session, 65);
    RemoveShellVerbs(entries);
  }

  Progress(session, 70);
  for (size_t i = entries.size(); i-- > 0;) {
    const ProgramRemovalEntry& entry = entries[i];
    RemovalResult folder = RemovalResult::Removed;
    if (PathExists(entry.cleanupFolder)) {
      EndProcessesOf(session, entry);
      folder = RemoveFileObject(entry.cleanupFolder, RemovalScheduleAtRestart | RemovalTakeOverPermissions);
      if (folder == RemovalResult::Removed && PathExists(entry.cleanupFolder)) folder = RemovalResult::Failed;
    } else if (entry.cleanupFolder.empty() && PathExists(CanonicalFilePath(entry.path))) {
      // A Path that may not be deleted (too short, protected) still stands:
      // the program is not gone, and the report must not say it is.
      folder = RemovalResult::Failed;
    }
    const ProductRemovalOutcome product = ProductRemovalOutcomeOf(installer[i]);
    const bool succeeded = product.removed && folder != RemovalResult::Failed;
    const bool scheduled = folder == RemovalResult::Scheduled || product.restartNeeded;
    if (!succeeded) {
      ReportLine(session, L"\tFailed to remove program: " + entry.name + L".\r\n");
    } else if (scheduled) {
      ReportLine(session, L"\t" + entry.name + L": Some files were scheduled for removal on reboot.\r\n");
    } else {
      ReportLine(session, L"\t" + entry.name + L": Successfully removed.\r\n");
    }
    // The uninstall entry goes only with the program: deleting it for a
    // program that stayed would hide it from the user's own uninstaller.
    if (succeeded && IsUninstallEntryKey(entry.registryKey)) DeleteTwice(entry.registryKey);
    CountRow(session, succeeded, scheduled);
    if (succeeded) DeleteRow(list, FindRowByKey(list, entry.rowKey));
  }
  session.report.Write(L"\r\n");
}

}  // namespace tavrin
