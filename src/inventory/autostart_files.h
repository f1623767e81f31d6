#pragma once
// From what an autostart place holds to the existing file it starts: a
// command of a user's place read with that user's environment, a Startup
// folder's shortcut, a service's image or service DLL, and the tasks of the
// scheduler's root folder. The autostart and anti-malware phases judge what
// these give; the inventory lists it.
#include <windows.h>

#include <string>
#include <vector>

#include "filetrust/system_folders.h"
#include "platform/registry.h"
#include "platform/scheduled_tasks.h"
#include "platform/user_environment.h"

namespace tavrin {

// The existing file a command or path names, canonical, into `text`;
// `flags` as for ResolveCommandTarget. False (text unchanged) otherwise.
bool ResolveToExistingFile(std::wstring& text, const SystemFolders& folders, unsigned flags);

// The same for a command of a user's place (`environment` null for the
// machine's): a command that refers to a per-user variable unknown for that
// user is not resolved at all, since the machine's expansion would name the
// scanning account's file instead.
bool ResolveForUser(std::wstring& text, const UserEnvironment* environment, const SystemFolders& folders,
                    unsigned flags);

// What a Startup folder entry starts: a shortcut's target with its
// arguments, resolved; the target itself when that fails; the entry itself
// when it is no shortcut the shell can read, so that nothing taken from a
// damaged file is judged or stored. `command`, when given, gets the command
// as the shortcut writes it (the entry itself for a file that is none).
std::wstring StartupTarget(const std::wstring& entry, const UserEnvironment* environment,
                           const SystemFolders& folders, std::wstring* command = nullptr);

// A service's ServiceDll (below "Parameters", else its own), as written;
// false when it has none that could name a file.
bool ReadServiceDll(const RegKey& service, std::wstring& text);
// A service's ImagePath, as written; false when it has none.
bool ReadServiceImagePath(const RegKey& service, std::wstring& text);
// Kernel, file-system and recogniser drivers: their image paths are
// written the way the loader takes them ("\SystemRoot\...").
bool IsDriverService(DWORD type);
// The existing file an image path names for a service of `type`: driver
// paths the way the loader takes them, other images as command lines.
// False (text rewritten to the forms tried) otherwise.
bool ResolveServiceImage(std::wstring& text, DWORD type, const SystemFolders& folders);
// The file a service runs: a driver's image; another service's DLL, else
// its image.
bool ServiceFile(const RegKey& service, DWORD type, const SystemFolders& folders, std::wstring& file);

// The tasks of the service's root folder (with the task files it does not
// list), then the 1.0 work items it did not list either: where both stores
// are one, as on Windows, the second adds nothing; where they are apart, a
// work item would otherwise never be seen.
std::vector<ScheduledTask> RootFolderTasks();
// A task action as one command line: its path, then its arguments.
std::wstring TaskActionCommand(const TaskAction& action);

}  // namespace tavrin
