#include "scan/autostart_scan.h"

#include <windows.h>
#include <objbase.h>
#include <sfc.h>

#include <future>
#include <string>
#include <vector>

#include "definitions/detection_context.h"
#include "definitions/malware_verdict.h"
#include "filetrust/command_target.h"
#include "filetrust/shortcut.h"
#include "inventory/autostart_entries.h"
#include "inventory/autostart_files.h"
#include "platform/com_scope.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/message_pump.h"
#include "platform/registry.h"
#include "platform/scheduled_tasks.h"
#include "platform/strings.h"
#include "platform/user_environment.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/autostart_places.h"
#include "scan/phase_scope.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kAllUsers[] = L"(All users)";

// One place of a kind of entry: a user's, or the machine's.
struct Location {
  std::wstring userName;
  // The temporary folder of the place with a trailing "\"; empty when it
  // is not known (no entry is then checked for lying in it).
  std::wstring tempFolder;
  // The user's own environment references; null for the machine.
  const UserEnvironment* environment = nullptr;
};

struct StartupItem {
  std::wstring name;
  std::wstring entry;
  std::wstring target;
  std::wstring canonicalEntry;
  const Location* where = nullptr;
};

struct AutostartScan : PhaseScope {
  DetectionContext detection;
  ResultList list;
  std::vector<Location> userLocations;  // parallel to the session's users
  std::vector<UserEnvironment> environments;
  Location machine;
  // The root folder's tasks, read beside the first two parts: connecting
  // to the Task Scheduler can take a second, which the registry and
  // Startup walks then hide.
  std::future<std::vector<ScheduledTask>> rootTasks;
  // The Startup folders' items with their targets, read beside the Run
  // keys: each shortcut is a file read through the shell.
  std::future<std::vector<StartupItem>> startupItems;
};

const wchar_t* StateText(bool checked) { return checked ? L"Checked" : L"Un-checked"; }

bool LiesIn(const std::wstring& path, const std::wstring& folderPrefix) {
  return !folderPrefix.empty() && FindNoCase(path, folderPrefix) != std::wstring::npos;
}

bool ResolveFor(const Location& where, std::wstring& text, const SystemFolders& folders, unsigned flags) {
  return ResolveForUser(text, where.environment, folders, flags);
}

// Only absolute paths of resolved entries reach the malware verdict: an
// empty path would list the location text alone, and a relative one would
// be judged against the current folder.
bool JudgedMalware(const AutostartScan& a, const std::wstring& file, const std::wstring& location) {
  return !file.empty() && IsAbsolutePath(file) && CheckMalwareFile(a.detection, file, location);
}

bool AddEntry(AutostartScan& a, int group, const std::wstring& name, const std::wstring& userName,
              const std::wstring& path, bool checked, const std::wstring& icon, const ScanItemDetails& details) {
  const int row = AddRow(a.list, group, name, userName, path, checked, icon);
  if (row < 0) return false;
  StoreDetails(a.list, GetRowKey(a.list, row), details);
  return true;
}

bool IsConsoleUser(const ScanEnvironment& scan, const UserProfile& user) {
  return scan.interactiveUser && !user.sid.empty() && EqualsNoCase(user.sid, scan.interactiveUser->Sid());
}

// The user's own TEMP where the user's environment names one; otherwise
// the console user's temporary folder re-rooted in the user's profile.
std::wstring UserTempFolder(const ScanEnvironment& scan, const UserProfile& user, const UserEnvironment& environment) {
  std::wstring own = L"%TEMP%";
  if (ExpandUserReferences(own, environment) && IsAbsolutePath(own)) return AsFolderPrefix(own);
  const KnownFolders& known = scan.session->folders;
  if (!user.profileFolder.empty() && !known.userRelative.temp.empty())
    return AsFolderPrefix(user.profileFolder + known.userRelative.temp);
  // The console user's own folder is known even where it lies outside the
  // profile; another user's is not.
  if (IsConsoleUser(scan, user)) return AsFolderPrefix(known.user.temp);
  return {};
}

// 1. Run keys.
void ScanRunKey(AutostartScan& a, const std::wstring& keyPath, const Location& where) {
  RegKey key = OpenKey(keyPath, kRegRead);
  if (!key) return;
  std::wstring name, command;
  DWORD type = 0, length = 0;
  for (DWORD index = 0; !a.Cancelled() && EnumValue(key, index, name, type, length); ++index) {
    DispatchPendingMessages();
    if (name.empty() || a.Whitelisted(name, L"Registry autostart entries")) continue;
    if (length > (kLongestCommand + 1) * sizeof(wchar_t) || !ReadString(key, name.c_str(), command)) continue;
    if (command.empty() || command.size() > kLongestCommand) continue;

    std::wstring path = command;
    bool checked = false;
    if (ResolveFor(where, path, a.scan.session->systemFolders, ResolveSearch | ResolveCommandLine)) {
      checked = JudgedMalware(a, path, keyPath + L" / " + name) || LiesIn(path, where.tempFolder);
    }
    ScanItemDetails details;
    details.group = kGroupRegistryAutostart;
    details.registryKey = keyPath;
    details.path = path;
    details.userName = where.userName;
    details.valueName = name;
    details.valueData = command;  // the removal tells the value from a namesake by it
    if (!AddEntry(a, kGroupRegistryAutostart, name, where.userName, path, checked, path, details)) continue;
    a.Report(L"\r\n\t\tName: " + ReportField(name) + L"\r\n\t\tUser name: " + where.userName +
             L"\r\n\t\tCommand: " + ReportField(command) + L"\r\n\t\tItem state: " + StateText(checked) + L"\r\n");
  }
}

void ScanRunKeys(AutostartScan& a) {
  const UserList& users = a.scan.session->users;
  for (size_t i = 0; i < users.size() && !a.Cancelled(); ++i)
    ScanRunKey(a, users[i].RegistryRoot() + kUserRunKey, a.userLocations[i]);
  for (const wchar_t* root : {L"HKLM64", L"HKLM32"}) {
    if (a.Cancelled()) break;
    ScanRunKey(a, root + std::wstring(kMachineRunKey), a.machine);
  }
}

// 2. Startup folders. The items of each folder in listing order, folders
// and links left out; what they start is read on a thread of its own.
std::vector<StartupItem> ReadStartupItems(const std::vector<std::pair<std::wstring, const Location*>>& folders,
                                          const SystemFolders& systemFolders, const CancelFlags* cancel) {
  ComScope apartment;
  std::vector<StartupItem> items;
  for (const auto& [folder, where] : folders) {
    if (folder.empty() || !IsAbsolutePath(folder)) continue;
    FindFiles files(folder + L"\\*.*");
    while (!(cancel && cancel->Cancelled()) && files.Next()) {
      if (files.IsFolder() || files.IsReparsePoint()) continue;
      StartupItem item;
      item.name = files.Name();
      if (EqualsNoCase(item.name, L"desktop.ini")) continue;
      item.entry = folder + L"\\" + item.name;
      item.target = StartupTarget(item.entry, where->environment, systemFolders);
      item.canonicalEntry = CanonicalFilePath(item.entry);
      item.where = where;
      items.push_back(std::move(item));
    }
  }
  return items;
}

void ReadStartupItemsAside(AutostartScan& a) {
  std::vector<std::pair<std::wstring, const Location*>> folders;
  const UserList& users = a.scan.session->users;
  for (size_t i = 0; i < users.size(); ++i) folders.emplace_back(UserStartupFolder(a.scan, users[i]), &a.userLocations[i]);
  folders.emplace_back(a.scan.session->folders.commonStartup, &a.machine);
  a.startupItems = std::async(std::launch::async, ReadStartupItems, std::move(folders),
                              std::cref(a.scan.session->systemFolders), a.scan.cancel);
}

void ScanStartupFolders(AutostartScan& a) {
  for (const StartupItem& item : a.startupItems.get()) {
    if (a.Cancelled()) break;
    DispatchPendingMessages();
    if (a.Whitelisted(item.name, L"Startup folder items")) continue;
    const Location& where = *item.where;
    const bool checked = JudgedMalware(a, item.target, item.entry) || LiesIn(item.target, where.tempFolder);
    ScanItemDetails details;
    details.group = kGroupStartupFolder;
    details.path = item.canonicalEntry.empty() ? item.entry : item.canonicalEntry;
    details.userName = where.userName;
    if (!AddEntry(a, kGroupStartupFolder, item.name, where.userName, item.target, checked, item.target, details))
      continue;
    a.Report(L"\r\n\t\tName: " + ReportField(item.name) + L"\r\n\t\tUser name: " + where.userName +
             L"\r\n\t\tPath: " + ReportField(item.target) + L"\r\n\t\tItem state: " + StateText(checked) + L"\r\n");
  }
}

// 3. Scheduled tasks.
void ScanTask(AutostartScan& a, const ScheduledTask& task) {
  if (task.name.empty() || a.Whitelisted(task.name, L"Scheduled tasks")) return;
  const bool workItem = EndsWithNoCase(task.taskFile, L".job");
  std::vector<std::wstring> listed;
  // Every program the task starts is examined: a hijacker adds its own
  // action beside the one that made the task look harmless.
  for (const TaskAction& action : task.actions) {
    if (a.Cancelled()) return;
    if (action.path.empty()) continue;
    const std::wstring command = TaskActionCommand(action);
    if (command.size() > kLongestCommand) continue;
    std::wstring resolved = command;
    if (!ResolveFor(a.machine, resolved, a.scan.session->systemFolders, ResolveSearch | ResolveCommandLine)) {
      resolved = WithoutQuotes(action.path);
      if (std::wstring canonical = CanonicalFilePath(resolved); !canonical.empty()) resolved = canonical;
    }
    resolved = WithoutQuotes(resolved);
    bool duplicate = false;
    for (const std::wstring& earlier : listed) duplicate = duplicate || EqualsNoCase(earlier, resolved);
    if (duplicate) continue;
    listed.push_back(resolved);

    const bool malware = JudgedMalware(a, resolved, task.taskFile);
    if (workItem && !malware && IsAbsolutePath(resolved) && SfcIsFileProtected(nullptr, resolved.c_str())) continue;
    const bool checked = malware || FindNoCase(resolved, L"\\temp\\") != std::wstring::npos;
    ScanItemDetails details;
    details.group = kGroupScheduledTasks;
    details.path = resolved;
    details.userName = kAllUsers;
    if (!AddEntry(a, kGroupScheduledTasks, task.name, kAllUsers, resolved, checked, resolved, details)) continue;
    a.Report(L"\r\n\t\tTask name: " + ReportField(task.name) + L"\r\n\t\tUser name: (All users)" +
             L"\r\n\t\tCommand: " + ReportField(command) + L"\r\n\t\tItem state: " + StateText(checked) + L"\r\n");
  }
}

std::future<std::vector<ScheduledTask>> ReadRootFolderTasks() {
  return std::async(std::launch::async, [] {
    ComScope apartment;
    return RootFolderTasks();
  });
}

void ScanScheduledTasks(AutostartScan& a) {
  for (const ScheduledTask& task : a.rootTasks.get()) {
    if (a.Cancelled()) break;
    DispatchPendingMessages();
    ScanTask(a, task);
  }
}

// 4. AppInit_DLLs.
void ScanAppInitKey(AutostartScan& a, const std::wstring& keyPath, const Location& where) {
  RegKey key = OpenKey(keyPath, kRegRead);
  std::wstring value;
  if (!key || !ReadString(key, kAppInitValue, value)) return;
  if (value.size() < 2 || value.size() > kLongestCommand) return;
  for (const std::wstring& entry : SplitAppInitDlls(value)) {
    if (a.Cancelled()) break;
    if (a.Whitelisted(entry, L"Appinit DLLs")) continue;
    std::wstring path = AppInitDllFile(entry);
    const bool resolved = ResolveFor(where, path, a.scan.session->systemFolders, ResolveSearch);
    if (resolved && SfcIsFileProtected(nullptr, path.c_str())) continue;
    const bool checked = (resolved && JudgedMalware(a, path, keyPath + L" / " + kAppInitValue + L" / " + entry)) ||
                         FindNoCase(path, L"\\temp\\") != std::wstring::npos;
    ScanItemDetails details;
    details.group = kGroupAppInitDlls;
    details.registryKey = keyPath;
    details.path = path;
    details.userName = where.userName;
    details.valueName = kAppInitValue;
    if (!AddEntry(a, kGroupAppInitDlls, entry, where.userName, path, checked, path, details)) continue;
    a.Report(L"\r\n\t\tName: " + ReportField(entry) + L"\r\n\t\tUser name: " + where.userName + L"\r\n\t\tPath: " +
             ReportField(path) + L"\r\n\t\tItem state: " + StateText(checked) + L"\r\n");
  }
}

void ScanAppInitDlls(AutostartScan& a) {
  const UserList& users = a.scan.session->users;
  for (size_t i = 0; i < users.size() && !a.Cancelled(); ++i)
    ScanAppInitKey(a, users[i].RegistryRoot() + kUserWindowsKey, a.userLocations[i]);
  for (const wchar_t* root : {L"HKLM64", L"HKLM32"}) {
    if (a.Cancelled()) break;
    ScanAppInitKey(a, root + std::wstring(kMachineWindowsKey), a.machine);
  }
}

// 5. Name servers.
void ExamineNameServer(AutostartScan& a, const std::wstring& keyPath) {
  std::wstring value;
  if (!ReadStringAt(keyPath, kNameServerValue, value) || value.empty() || value.size() > kLongestCommand) return;
  if (a.Whitelisted(value, L"DNS hijackers") || HoldsPublicResolverPair(value)) return;
  const std::vector<std::wstring> addresses = SplitNameServers(value);
  if (addresses.empty()) return;
  const std::wstring& definitions = a.scan.session->definitionsKey;
  bool checked = false;
  for (const std::wstring& address : addresses) {
    if (!definitions.empty() && IsProbeableAddress(address) && KeyExists(definitions + L"\\Adware\\" + address)) {
      checked = true;
      break;
    }
  }
  ScanItemDetails details;
  details.group = kGroupDnsHijackers;
  details.registryKey = keyPath;
  details.userName = kAllUsers;
  details.valueName = kNameServerValue;
  if (!AddEntry(a, kGroupDnsHijackers, value, kAllUsers, keyPath, checked, {}, details)) return;
  a.Report(L"\r\n\t\tName: " + ReportField(value) + L"\r\n\t\tUser name: (All users)" + L"\r\n\t\tRegistry key: " +
           keyPath + L"\r\n\t\tValue name: NameServer" + L"\r\n\t\tItem state: " + StateText(checked) + L"\r\n");
}

void ScanDnsServers(AutostartScan& a) {
  for (const wchar_t* root : kInterfaceRoots) {
    RegKey interfaces = OpenKey(root, kRegRead);
    if (!interfaces) continue;
    std::wstring name, subName;
    for (DWORD i = 0; !a.Cancelled() && EnumSubKey(interfaces, i, name); ++i) {
      DispatchPendingMessages();
      const std::wstring interfacePath = root + (L"\\" + name);
      RegKey interfaceKey = OpenKey(interfacePath, kRegRead);
      if (!interfaceKey) continue;
      for (DWORD j = 0; !a.Cancelled() && EnumSubKey(interfaceKey, j, subName); ++j)
        ExamineNameServer(a, interfacePath + L"\\" + subName);
      if (!a.Cancelled()) ExamineNameServer(a, interfacePath);
    }
  }
}

// The places of the session's users, with their own environments, and the
// machine's.
void PrepareLocations(AutostartScan& a) {
  const ScanSession& session = *a.scan.session;
  a.environments.reserve(session.users.size());
  for (const UserProfile& user : session.users) a.environments.push_back(UserEnvironmentOf(user));
  for (size_t i = 0; i < session.users.size(); ++i) {
    Location where;
    where.userName = i < session.userDisplayNames.size() ? session.userDisplayNames[i] : session.users[i].accountName;
    where.tempFolder = UserTempFolder(a.scan, session.users[i], a.environments[i]);
    where.environment = &a.environments[i];
    a.userLocations.push_back(std::move(where));
  }
  a.machine.userName = kAllUsers;
  if (!session.folders.windows.empty()) a.machine.tempFolder = AsFolderPrefix(session.folders.windows + L"\\temp");
}

// The shortcuts of the Startup folders and the scheduler are COM objects;
// one apartment for the whole phase rather than one per entry.
class PhaseApartment {
 public:
  PhaseApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~PhaseApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  PhaseApartment(const PhaseApartment&) = delete;
  PhaseApartment& operator=(const PhaseApartment&) = delete;

 private:
  HRESULT result_;
};

}  // namespace

std::wstring UserStartupFolder(const ScanEnvironment& scan, const UserProfile& user) {
  const KnownFolders& known = scan.session->folders;
  if (!user.profileFolder.empty() && !known.userRelative.startup.empty())
    return user.profileFolder + known.userRelative.startup;
  if (IsConsoleUser(scan, user)) return known.user.startup;
  return {};
}

void ScanAutostart(ScanEnvironment& scan) {
  if (scan.progress) scan.progress->SetStatus(L"Scanning Autostart...");
  scan.session->report.Write(L"\r\n\r\n->Autostart scan:\r\n");
  LoadDetails(*scan.results, kAutostartTab);
  PhaseApartment apartment;

  AutostartScan a{{scan}, DetectionContextOf(scan), TabList(*scan.results, kAutostartTab), {}, {}, {}, ReadRootFolderTasks()};
  PrepareLocations(a);
  ReadStartupItemsAside(a);

  struct Part {
    const wchar_t* title;
    void (*run)(AutostartScan&);
  };
  static constexpr Part kParts[] = {
      {L"\r\n\tRegistry autostart entries:\r\n", ScanRunKeys},
      {L"\r\n\tStartup folder items:\r\n", ScanStartupFolders},
      {L"\r\n\tScheduled tasks scan (root folder only):\r\n", ScanScheduledTasks},
      {L"\r\n\tAppInit_DLLs scan:\r\n", ScanAppInitDlls},
      {L"\r\n\tDNS hijackers scan:\r\n", ScanDnsServers},
  };
  for (const Part& part : kParts) {
    if (a.Cancelled()) break;
    a.Report(part.title);
    part.run(a);
  }
  SaveDetails(*scan.results);
}

}  // namespace tavrin
