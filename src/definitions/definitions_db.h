#pragma once
// The definitions database: one registry hive file in the data folder,
// brought up to date from the maker's server and mounted under
// HKEY_LOCAL_MACHINE for the length of a scan. Scanners probe it through the
// registry layer under RootPath() (a definition matches when a key or value
// of that name exists).
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ini_document.h"
#include "platform/run_control.h"

namespace tavrin {

enum class DefinitionsState : int {
  Idle = 0,      // never run, failed or cancelled: the next scan updates again
  Updating = 1,
  Ready = 2,     // final for the program run
};

// Files in the data folder.
inline constexpr wchar_t kHiveFileName[] = L"TVNdb2.dat";
inline constexpr wchar_t kNumberFileName[] = L"TVNdb.txt";
inline constexpr wchar_t kArchiveFileName[] = L"TVNdb2.zip";
inline constexpr wchar_t kOldHiveFileName[] = L"TVNdb.dat";  // an earlier release's hive
// Paths below the server's base address.
inline constexpr wchar_t kVersionUrlPath[] = L"/tavrin/dbver2.txt";
inline constexpr wchar_t kArchiveUrlPath[] = L"/tavrin/TVNdb2.zip";
// Remote numbers below this never replace a hive that is in place.
inline constexpr uint32_t kFirstDbNumber = 1961;

// The definitions state of one program run, shared by all its scans. The
// updating thread alone writes it; scans poll `state`.
struct DefinitionsDb {
  std::atomic<DefinitionsState> state{DefinitionsState::Idle};
  std::atomic<uint32_t> number{0};  // DbNumber: the hive in place
  std::wstring hivePath;            // data folder + "\TVNdb2.dat", set by the update
  std::wstring rootPath;            // "HKLM\TVN DB " + stamp while a scan has it mounted

  const std::wstring& RootPath() const { return rootPath; }
};

// Settings: section "Settings", key "DefinitionsServer" holds the base
// address of the server ("https://host[:port][/prefix]"); without it the
// maker's own server is used. A trailing "/" is dropped.
inline constexpr wchar_t kDefaultDefinitionsServer[] = L"https://definitions.halvoret.example";
std::wstring DefinitionsServer(const IniDocument& settings);

// The number at the start of a text (a number file or the server's version
// file): its leading decimal digits, 0 when there are none or they do not
// fit in 32 bits.
uint32_t LeadingNumber(std::wstring_view text);

// Brings the hive in the data folder up to date from the server and sets
// `db`'s state, number and hive path. Returns Ready, or Idle when no hive is
// in place or the run was cancelled (either cancel flag).
DefinitionsState UpdateDefinitions(DefinitionsDb& db, const std::wstring& dataFolder,
                                   const std::wstring& serverAddress, const CancelFlags& cancel);

// Mounts the hive file under HKEY_LOCAL_MACHINE\keyName (a leading "HKLM\"
// is dropped) and sets the root path. When the first load fails, hives left
// mounted by earlier runs ("TVN DB ..." or "Tavrin DB ...") are unloaded
// and the load tried once more; a second failure deletes the hive file so
// that the next update fetches a fresh one.
bool MountDefinitions(DefinitionsDb& db, const std::wstring& keyName);
// Unloads the mounted hive and clears the root path. The caller closes its
// keys below the root first.
bool UnmountDefinitions(DefinitionsDb& db);

}  // namespace tavrin
