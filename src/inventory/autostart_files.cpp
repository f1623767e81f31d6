#include "inventory/autostart_files.h"

#include "filetrust/command_target.h"
#include "filetrust/shortcut.h"
#include "inventory/autostart_entries.h"
#include "platform/file_system.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

bool ReadServiceText(HKEY key, const wchar_t* name, std::wstring& text) {
  return ReadString(key, name, text) && !Trim(text).empty() && text.size() <= kMaxExpandedCommand;
}

std::wstring TaskNameWithoutJob(const std::wstring& name) {
  return EndsWithNoCase(name, L".job") ? name.substr(0, name.size() - 4) : name;
}

}  // namespace

bool ResolveToExistingFile(std::wstring& text, const SystemFolders& folders, unsigned flags) {
  std::wstring resolved = text;
  if (!ResolveCommandTarget(resolved, folders, flags)) return false;
  resolved = CanonicalFilePath(resolved);
  if (resolved.empty()) return false;
  text = std::move(resolved);
  return true;
}

bool ResolveForUser(std::wstring& text, const UserEnvironment* environment, const SystemFolders& folders,
                    unsigned flags) {
  std::wstring command = text;
  if (environment && !ExpandUserReferences(command, *environment)) return false;
  if (!ResolveToExistingFile(command, folders, flags)) return false;
  text = std::move(command);
  return true;
}

std::wstring StartupTarget(const std::wstring& entry, const UserEnvironment* environment,
                           const SystemFolders& folders, std::wstring* command) {
  if (command) *command = entry;
  if (!EndsWithNoCase(entry, L".lnk")) return entry;
  Shortcut link;
  if (!ReadShortcut(entry, link) || link.target.empty()) return entry;
  std::wstring line = link.target;
  if (!link.arguments.empty()) line += L" " + link.arguments;
  if (command) *command = line;
  std::wstring target = link.target;
  if (line.size() <= kLongestCommand && ResolveForUser(line, environment, folders, ResolveSearch | ResolveCommandLine)) {
    target = line;
  } else if (std::wstring canonical = CanonicalFilePath(WithoutQuotes(target)); !canonical.empty()) {
    target = canonical;
  }
  return WithoutQuotes(target);
}

bool ReadServiceDll(const RegKey& service, std::wstring& text) {
  RegKey parameters = OpenSubKey(service, L"Parameters", kRegRead);
  return (parameters && ReadServiceText(parameters, L"ServiceDll", text)) ||
         ReadServiceText(service, L"ServiceDll", text);
}

bool ReadServiceImagePath(const RegKey& service, std::wstring& text) {
  return ReadServiceText(service, L"ImagePath", text);
}

bool IsDriverService(DWORD type) {
  return (type & (SERVICE_KERNEL_DRIVER | SERVICE_FILE_SYSTEM_DRIVER | SERVICE_RECOGNIZER_DRIVER)) != 0;
}

bool ResolveServiceImage(std::wstring& text, DWORD type, const SystemFolders& folders) {
  if (IsDriverService(type)) {
    if (!ResolveDriverPath(text, folders)) return false;
    std::wstring canonical = CanonicalFilePath(text);
    if (canonical.empty()) return false;
    text = std::move(canonical);
    return true;
  }
  return ResolveToExistingFile(text, folders, ResolveSearch | ResolveCommandLine);
}

bool ServiceFile(const RegKey& service, DWORD type, const SystemFolders& folders, std::wstring& file) {
  if (IsDriverService(type)) return ReadServiceImagePath(service, file) && ResolveServiceImage(file, type, folders);
  if (!ReadServiceDll(service, file) && !ReadServiceImagePath(service, file)) return false;
  return ResolveServiceImage(file, type, folders);
}

std::vector<ScheduledTask> RootFolderTasks() {
  std::vector<ScheduledTask> tasks = EnumerateScheduledTasks(L"\\", TaskFolderScope::FolderOnly);
  for (ScheduledTask& legacy : EnumerateLegacyTasks()) {
    bool listed = false;
    for (const ScheduledTask& task : tasks)
      listed = listed || EqualsNoCase(TaskNameWithoutJob(task.name), TaskNameWithoutJob(legacy.name));
    if (!listed) tasks.push_back(std::move(legacy));
  }
  return tasks;
}

std::wstring TaskActionCommand(const TaskAction& action) {
  std::wstring command = action.path;
  if (!action.arguments.empty()) command += L" " + action.arguments;
  return command;
}

}  // namespace tavrin
