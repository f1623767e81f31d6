#pragma once
// Registry hive files: mounting one under HKEY_LOCAL_MACHINE or HKEY_USERS
// by name, unmounting it, and saving a key into a new hive file.
//
// Mounting and saving need the restore and backup privileges; these calls
// enable both for the process and leave them enabled (the program runs with
// them anyway). Every call returns true on success and leaves the platform
// status as the thread's last error: a name that is already mounted gives
// ERROR_ALREADY_EXISTS (183), a missing privilege ERROR_PRIVILEGE_NOT_HELD
// (1314), a file that is not a hive ERROR_BADDB (1017).
//
//   LoadHive(HiveRoot::Machine, L"TVN DB " + stamp, folder + L"\\TVNdb2.dat");
//   ... read under L"HKLM\\TVN DB " + stamp + L"\\..." ...
//   UnloadHive(HiveRoot::Machine, L"TVN DB " + stamp);
#include <string>

namespace tavrin {

enum class HiveRoot {
  Machine,  // HKEY_LOCAL_MACHINE ("HKLM\" + name)
  Users,    // HKEY_USERS ("HKU\" + name)
};

// Mounts the hive file under root\name. Nothing is written back to the file
// by this program; edits below the mount point may or may not reach it.
bool LoadHive(HiveRoot root, const std::wstring& name, const std::wstring& file);
// Unmounts root\name. Fails while handles below it are still open.
bool UnloadHive(HiveRoot root, const std::wstring& name);
// Saves the key at `keyPath` (a RegPath) with everything below it into a
// new hive file; an existing file of that name is replaced.
bool SaveKeyToHive(const std::wstring& keyPath, const std::wstring& file);

}  // namespace tavrin
