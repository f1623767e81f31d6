#include "inventory/inventory_collector.h"

#include <windows.h>

#include <algorithm>
#include <future>
#include <iterator>
#include <map>
#include <tuple>

#include "filetrust/command_target.h"
#include "inventory/autostart_entries.h"
#include "inventory/autostart_files.h"
#include "inventory/autostart_value_texts.h"
#include "inventory/class_server.h"
#include "inventory/file_facts.h"
#include "platform/com_scope.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/registry.h"
#include "platform/scheduled_tasks.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

constexpr unsigned kCommand = ResolveSearch | ResolveCommandLine;
constexpr const wchar_t* kMachineRoots[] = {L"HKLM64", L"HKLM32"};

// The categories in the order the inventory lists them.
constexpr const wchar_t* kCategories[] = {
    L"Run",          L"RunOnce",       L"RunOnceEx",     L"RunServices",   L"RunServicesOnce",
    L"RunHidden",    L"Policies\\Explorer\\Run",          L"Startup",       L"Winlogon",
    L"Image File Execution Options",   L"SilentProcessExit",                L"Active Setup",
    L"AppInit_DLLs", L"LSA packages",  L"Winsock providers",                L"Services",
    L"Drivers",      L"Scheduled tasks",                  L"ShellServiceObjectDelayLoad",
    L"Shell execute hooks",            L"Context menu handlers",            L"Browser helper objects",
};

size_t CategoryRank(const std::wstring& category) {
  for (size_t k = 0; k < std::size(kCategories); ++k)
    if (category == kCategories[k]) return k;
  return std::size(kCategories);
}

// One place's owner: a user's, or the machine's (no name, no environment).
struct Owner {
  const std::wstring* name = nullptr;
  const UserEnvironment* environment = nullptr;
};

// The tasks of every folder: the root folder's, then those below it.
// Connecting to the Task Scheduler takes a second or more, which the
// registry walks hide when the tasks are read beside them.
std::vector<ScheduledTask> AllTasks() {
  ComScope apartment;
  std::vector<ScheduledTask> tasks = RootFolderTasks();
  for (ScheduledTask& task : EnumerateScheduledTasks(L"\\", TaskFolderScope::Subfolders))
    tasks.push_back(std::move(task));
  return tasks;
}

struct Collector {
  const InventoryScope& scope;
  std::future<std::vector<ScheduledTask>> tasks;
  std::vector<InventoryEntry> entries;
  // What each distinct command resolved to: dozens of services share one
  // host program's command line, and resolving one searches the path.
  mutable std::map<std::tuple<std::wstring, const UserEnvironment*, unsigned>, std::wstring> resolved;

  bool Stopped() const {
    return (scope.cancel && scope.cancel->Cancelled()) || entries.size() >= kMaxInventoryEntries;
  }
  const SystemFolders& Folders() const { return scope.folders; }

  void Add(const wchar_t* category, const std::wstring& location, const std::wstring& name, const Owner& owner,
           const std::wstring& command, std::wstring file) {
    if (entries.size() >= kMaxInventoryEntries) return;
    InventoryEntry entry;
    entry.category = category;
    entry.location = location;
    entry.name = name.substr(0, kMaxInventoryText);
    if (owner.name) entry.user = *owner.name;
    entry.command = command.substr(0, kMaxInventoryText);
    entry.file = std::move(file);
    entries.push_back(std::move(entry));
  }

  // The file of a command of `owner`'s place; empty when none exists.
  std::wstring FileOf(const std::wstring& command, const Owner& owner, unsigned flags) const {
    if (command.empty() || command.size() > kMaxExpandedCommand) return {};
    auto [at, added] = resolved.try_emplace({command, owner.environment, flags});
    if (added) {
      std::wstring file = command;
      if (ResolveForUser(file, owner.environment, Folders(), flags)) at->second = std::move(file);
    }
    return at->second;
  }
  std::wstring ServerOf(const std::wstring& classId) const {
    std::wstring file;
    const std::wstring id = Trim(classId);
    if (id.empty() || id.size() > kMaxInventoryText) return {};
    return ClassServerFile(MachineClassesRoot(Folders()), id, Folders(), file) ? file : std::wstring();
  }
};

// A text value, refused when it is longer than any command the platform
// starts.
bool ReadValueText(HKEY key, const wchar_t* name, std::wstring& text) {
  return ReadString(key, name, text) && text.size() <= kLongestCommand;
}

// Every text value of a key as one entry each.
void ValuesOf(Collector& c, const wchar_t* category, const std::wstring& keyPath, const Owner& owner) {
  RegKey key = OpenKey(keyPath, kRegRead);
  if (!key) return;
  std::wstring name, command;
  DWORD type = 0, length = 0;
  for (DWORD index = 0; index < kMaxEntriesPerKey && !c.Stopped() && EnumValue(key, index, name, type, length);
       ++index) {
    if (length > (kLongestCommand + 1) * sizeof(wchar_t) || !ReadValueText(key, name.c_str(), command)) continue;
    c.Add(category, keyPath, name.empty() ? std::wstring(kDefaultValueLabel) : name, owner, command,
          c.FileOf(command, owner, kCommand));
  }
}

// The subkeys of a key, each read by `read` (bounded in number).
template <typename Read>
void SubkeysOf(Collector& c, const std::wstring& keyPath, Read read) {
  RegKey key = OpenKey(keyPath, kRegRead);
  if (!key) return;
  std::wstring name;
  for (DWORD index = 0; index < kMaxEntriesPerKey && !c.Stopped() && EnumSubKey(key, index, name); ++index) {
    RegKey subkey = OpenSubKey(key, name, kRegRead);
    if (subkey) read(subkey, name, keyPath + L"\\" + name);
  }
}

// A place below every user's root and below both machine views.
template <typename Read>
void ForEachOwner(Collector& c, const wchar_t* userSubkey, const wchar_t* machineSubkey, Read read) {
  for (const InventoryUser& user : c.scope.users) {
    if (c.Stopped()) return;
    read(user.registryRoot + userSubkey, Owner{&user.name, &user.environment});
  }
  for (const wchar_t* root : kMachineRoots) {
    if (c.Stopped()) return;
    read(root + std::wstring(machineSubkey), Owner{});
  }
}

void CollectRunKeys(Collector& c) {
  static constexpr const wchar_t* kSubkeys[] = {L"Run",       L"RunOnce",        L"RunOnceEx",
                                                L"RunServices", L"RunServicesOnce", L"RunHidden",
                                                L"Policies\\Explorer\\Run"};
  for (const wchar_t* subkey : kSubkeys) {
    const std::wstring tail = std::wstring(L"\\Microsoft\\Windows\\CurrentVersion\\") + subkey;
    ForEachOwner(c, (L"\\Software" + tail).c_str(), (L"\\SOFTWARE" + tail).c_str(),
                 [&](const std::wstring& keyPath, const Owner& owner) { ValuesOf(c, subkey, keyPath, owner); });
  }
}

void StartupFolder(Collector& c, const std::wstring& folder, const Owner& owner) {
  if (folder.empty() || !IsAbsolutePath(folder)) return;
  FindFiles files(folder + L"\\*.*");
  for (size_t count = 0; count < kMaxEntriesPerKey && !c.Stopped() && files.Next(); ++count) {
    if (files.IsFolder() || files.IsReparsePoint()) continue;
    const std::wstring name = files.Name();
    if (EqualsNoCase(name, L"desktop.ini")) continue;
    std::wstring command;
    std::wstring target = StartupTarget(folder + L"\\" + name, owner.environment, c.Folders(), &command);
    if (!IsAbsolutePath(target)) target.clear();
    c.Add(L"Startup", folder, name, owner, command, std::move(target));
  }
}

void CollectStartupFolders(Collector& c) {
  for (const InventoryUser& user : c.scope.users) {
    if (c.Stopped()) return;
    StartupFolder(c, user.startupFolder, Owner{&user.name, &user.environment});
  }
  StartupFolder(c, c.scope.commonStartup, Owner{});
}

void CollectWinlogon(Collector& c) {
  static constexpr const wchar_t* kValues[] = {L"Shell", L"Userinit", L"System", L"Load",
                                               L"Run",   L"UIHost",   L"AppInit_DLLs", L"Taskman"};
  ForEachOwner(c, L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
               L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
               [&](const std::wstring& keyPath, const Owner& owner) {
                 RegKey key = OpenKey(keyPath, kRegRead);
                 if (!key) return;
                 for (const wchar_t* value : kValues) {
                   std::wstring text;
                   if (c.Stopped() || !ReadValueText(key, value, text)) continue;
                   // One entry per program of a comma-separated list.
                   const std::vector<std::wstring> parts = SplitAtAny(text, L",");
                   if (parts.empty()) c.Add(L"Winlogon", keyPath, value, owner, text, {});
                   for (const std::wstring& part : parts)
                     c.Add(L"Winlogon", keyPath, value, owner, part, c.FileOf(part, owner, kCommand));
                 }
                 if (owner.name) return;
                 SubkeysOf(c, keyPath + L"\\Notify", [&](const RegKey& notify, const std::wstring& name,
                                                         const std::wstring& notifyPath) {
                   std::wstring dll;
                   if (ReadValueText(notify, L"DllName", dll))
                     c.Add(L"Winlogon", notifyPath, name, owner, dll, c.FileOf(dll, owner, ResolveSearch));
                 });
               });
}

void CollectImageOptions(Collector& c) {
  static constexpr const wchar_t* kViews[] = {L"HKLM\\SOFTWARE\\", L"HKLM\\SOFTWARE\\Wow6432Node\\"};
  struct Place {
    const wchar_t* category;
    const wchar_t* subkey;
    const wchar_t* value;
  };
  static constexpr Place kPlaces[] = {
      {L"Image File Execution Options", L"Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
       L"Debugger"},
      {L"SilentProcessExit", L"Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit", L"MonitorProcess"},
  };
  for (const Place& place : kPlaces) {
    for (const wchar_t* view : kViews) {
      SubkeysOf(c, view + std::wstring(place.subkey),
                [&](const RegKey& program, const std::wstring& name, const std::wstring& programPath) {
                  std::wstring command;
                  if (ReadValueText(program, place.value, command) && !command.empty())
                    c.Add(place.category, programPath, name, Owner{}, command, c.FileOf(command, Owner{}, kCommand));
                });
    }
  }
}

void CollectActiveSetup(Collector& c) {
  for (const wchar_t* root : kMachineRoots) {
    SubkeysOf(c, root + std::wstring(L"\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components"),
              [&](const RegKey& component, const std::wstring& name, const std::wstring& componentPath) {
                std::wstring command;
                if (ReadValueText(component, L"StubPath", command) && !Trim(command).empty())
                  c.Add(L"Active Setup", componentPath, name, Owner{}, command, c.FileOf(command, Owner{}, kCommand));
              });
  }
}

void CollectAppInitDlls(Collector& c) {
  ForEachOwner(c, L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
               L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
               [&](const std::wstring& keyPath, const Owner& owner) {
                 std::wstring value;
                 RegKey key = OpenKey(keyPath, kRegRead);
                 if (!key || !ReadValueText(key, L"AppInit_DLLs", value)) return;
                 for (const std::wstring& entry : SplitAppInitDlls(value)) {
                   if (c.Stopped()) return;
                   c.Add(L"AppInit_DLLs", keyPath, L"AppInit_DLLs", owner, entry,
                         c.FileOf(AppInitDllFile(entry), owner, ResolveSearch));
                 }
               });
}

void CollectSecurityPackages(Collector& c) {
  for (const SecurityPackageValue& value : kSecurityPackageValues) {
    std::wstring text;
    RegKey key = OpenKey(value.key, kRegRead);
    if (!key || !ReadValueText(key, value.name, text)) continue;
    for (const std::wstring& entry : SecurityPackageEntries(text)) {
      if (c.Stopped()) return;
      c.Add(L"LSA packages", value.key, value.name, Owner{}, entry,
            c.FileOf(SecurityPackageFile(WithoutQuotes(entry)), Owner{}, ResolveSearch));
    }
  }
}

// A protocol provider's PackedCatalogItem starts with the provider's DLL
// path in the ANSI code page, NUL-terminated within MAX_PATH bytes; the
// rest is the provider's binary description.
std::wstring PackedCatalogPath(const RegValueBuffer& buffer) {
  if (buffer.type != REG_BINARY) return {};
  const size_t limit = std::min<size_t>({buffer.length, buffer.bytes.size(), MAX_PATH});
  const auto* bytes = reinterpret_cast<const char*>(buffer.bytes.data());
  const size_t length = strnlen(bytes, limit);
  if (length == 0 || length == limit) return {};
  std::wstring path(length, L'\0');
  const int made = MultiByteToWideChar(CP_ACP, 0, bytes, int(length), path.data(), int(length));
  path.resize(made > 0 ? size_t(made) : 0);
  return path;
}

void CollectWinsockProviders(Collector& c) {
  const std::wstring base = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\";
  for (const wchar_t* entries : {L"Catalog_Entries", L"Catalog_Entries64"}) {
    SubkeysOf(c, base + L"Protocol_Catalog9\\" + entries,
              [&](const RegKey& item, const std::wstring& name, const std::wstring& itemPath) {
                RegValueBuffer buffer;
                if (!ReadRaw(item, L"PackedCatalogItem", buffer)) return;
                const std::wstring path = PackedCatalogPath(buffer);
                if (!path.empty())
                  c.Add(L"Winsock providers", itemPath, name, Owner{}, path, c.FileOf(path, Owner{}, ResolveSearch));
              });
    SubkeysOf(c, base + L"NameSpace_Catalog5\\" + entries,
              [&](const RegKey& item, const std::wstring& name, const std::wstring& itemPath) {
                std::wstring path;
                if (ReadValueText(item, L"LibraryPath", path) && !path.empty())
                  c.Add(L"Winsock providers", itemPath, name, Owner{}, path, c.FileOf(path, Owner{}, ResolveSearch));
              });
  }
}

void CollectServices(Collector& c) {
  SubkeysOf(c, L"HKLM\\SYSTEM\\CurrentControlSet\\Services",
            [&](const RegKey& service, const std::wstring& name, const std::wstring& servicePath) {
              DWORD type = 0;
              if (!ReadDword(service, L"Type", type)) return;
              const wchar_t* category = IsDriverService(type) ? L"Drivers" : L"Services";
              std::wstring image;
              if (ReadServiceImagePath(service, image)) {
                std::wstring file = image;
                if (!IsDriverService(type)) {
                  file = c.FileOf(image, Owner{}, kCommand);
                } else if (!ResolveServiceImage(file, type, c.Folders())) {
                  file.clear();
                }
                c.Add(category, servicePath, name, Owner{}, image, std::move(file));
              }
              std::wstring dll;
              if (!IsDriverService(type) && ReadServiceDll(service, dll))
                c.Add(category, servicePath, name, Owner{}, dll, c.FileOf(dll, Owner{}, kCommand));
            });
}

void CollectTasks(Collector& c, const std::vector<ScheduledTask>& tasks) {
  for (const ScheduledTask& task : tasks) {
    if (c.Stopped()) return;
    if (task.actions.empty()) c.Add(L"Scheduled tasks", task.folder, task.name, Owner{}, {}, {});
    for (const TaskAction& action : task.actions) {
      const std::wstring command = TaskActionCommand(action);
      c.Add(L"Scheduled tasks", task.folder, task.name, Owner{}, command, c.FileOf(command, Owner{}, kCommand));
    }
  }
}

void CollectScheduledTasks(Collector& c) { CollectTasks(c, c.tasks.get()); }

void CollectShellExtensions(Collector& c) {
  for (const wchar_t* root : kMachineRoots) {
    const std::wstring software = root + std::wstring(L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\");
    const std::wstring delayLoad = software + L"ShellServiceObjectDelayLoad";
    if (RegKey key = OpenKey(delayLoad, kRegRead)) {
      std::wstring name, classId;
      DWORD type = 0, length = 0;
      for (DWORD index = 0; index < kMaxEntriesPerKey && !c.Stopped() && EnumValue(key, index, name, type, length);
           ++index) {
        if (length <= (kMaxInventoryText + 1) * sizeof(wchar_t) && ReadValueText(key, name.c_str(), classId))
          c.Add(L"ShellServiceObjectDelayLoad", delayLoad, name, Owner{}, classId, c.ServerOf(classId));
      }
    }
    const std::wstring hooks = software + L"Explorer\\ShellExecuteHooks";
    if (RegKey key = OpenKey(hooks, kRegRead)) {
      std::wstring name;
      DWORD type = 0, length = 0;
      for (DWORD index = 0; index < kMaxEntriesPerKey && !c.Stopped() && EnumValue(key, index, name, type, length);
           ++index)
        c.Add(L"Shell execute hooks", hooks, name, Owner{}, name, c.ServerOf(name));
    }
  }
  for (const wchar_t* type : {L"*", L"AllFilesystemObjects", L"Folder", L"Directory", L"Directory\\Background"}) {
    const std::wstring handlers = L"HKCR\\" + std::wstring(type) + L"\\ShellEx\\ContextMenuHandlers";
    SubkeysOf(c, handlers, [&](const RegKey& handler, const std::wstring& name, const std::wstring&) {
      std::wstring classId = name;
      if (!IsBracedClassId(name) && !ReadValueText(handler, nullptr, classId)) return;
      c.Add(L"Context menu handlers", handlers, name, Owner{}, classId, c.ServerOf(classId));
    });
  }
  ForEachOwner(c, L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
               L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
               [&](const std::wstring& keyPath, const Owner& owner) {
                 SubkeysOf(c, keyPath, [&](const RegKey&, const std::wstring& classId, const std::wstring&) {
                   c.Add(L"Browser helper objects", keyPath, classId, owner, classId, c.ServerOf(classId));
                 });
               });
}

}  // namespace

std::vector<InventoryEntry> CollectAutostartEntries(const InventoryScope& scope) {
  Collector c{scope, std::async(std::launch::async, AllTasks), {}, {}};
  static constexpr void (*kWalks[])(Collector&) = {
      CollectRunKeys,     CollectStartupFolders,   CollectWinlogon,         CollectImageOptions,
      CollectActiveSetup, CollectAppInitDlls,      CollectSecurityPackages, CollectWinsockProviders,
      CollectServices,    CollectScheduledTasks,   CollectShellExtensions,
  };
  for (const auto walk : kWalks) {
    if (c.Stopped()) break;
    walk(c);
  }
  std::stable_sort(c.entries.begin(), c.entries.end(), [](const InventoryEntry& a, const InventoryEntry& b) {
    return CategoryRank(a.category) < CategoryRank(b.category);
  });
  return std::move(c.entries);
}

std::vector<InventoryEntry> CollectAutostartInventory(const InventoryScope& scope) {
  std::vector<InventoryEntry> entries = CollectAutostartEntries(scope);
  FillFileFacts(entries, scope.cancel);
  return entries;
}

}  // namespace tavrin
