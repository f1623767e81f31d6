#include "removal/browser_repair_row.h"

#include <windows.h>

#include "browsers/browser_folder_guard.h"
#include "filetrust/shortcut.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/registry_unlock.h"
#include "platform/strings.h"
#include "removal/removal_probe.h"
#include "removal/removal_safety.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kStartMenuInternet[] = L"Software\\Clients\\StartMenuInternet\\";
constexpr wchar_t kOpenCommand[] = L"\\shell\\open\\command";

// Where the scans look for browser shortcuts: the accounts' profiles and
// the common Desktop and Start menu.
bool IsShortcutPlace(const ScanSession& scan, const std::wstring& path) {
  if (LiesInScannedProfile(scan, path)) return true;
  for (const std::wstring& common : {scan.folders.commonDesktop, ParentOf(scan.folders.commonPrograms)})
    if (!common.empty() && IsSafeBrowserFolder(path, common, {})) return true;
  return false;
}

}  // namespace

RowRepair Repaired(bool succeeded, const std::function<std::wstring(bool)>& line) {
  RowRepair repair;
  repair.attempted = true;
  repair.succeeded = succeeded;
  repair.removeRow = succeeded;
  repair.line = line(succeeded);
  repair.failedLine = succeeded ? line(false) : repair.line;
  return repair;
}

void OverturnIfPresent(RowRepair& repair, const RowProbe& probe) {
  // A deletion that waits for the next start leaves the thing in place
  // until then, which is what its line says.
  if (!repair.succeeded || repair.scheduled || !StillPresent(probe)) return;
  repair.succeeded = false;
  repair.removeRow = false;
  repair.line = repair.failedLine;
}

std::wstring ForUser(const BrowserRow& row) { return L" for " + row.user + L".\r\n"; }

std::wstring Lead(bool ok, const wchar_t* done, const wchar_t* todo) {
  return ok ? std::wstring(L"\tSuccessfully ") + done : std::wstring(L"\tFailed to ") + todo;
}

RowRepair RepairShortcutRow(const ScanSession& scan, const BrowserRow& row, const std::wstring& browser, bool others) {
  if (EqualsNoCase(row.name, L"Start Menu Internet shortcut")) {
    if (row.key.empty()) return {};
    const bool ok = RemoveStartMenuArgument(scan, row.key, row.valueData.empty() ? row.column2 : row.valueData);
    return Repaired(ok, [&](bool ok) { return Lead(ok, L"fixed ", L"fix ") + browser + (others && ok ? L"'s" : L"") +
                            L" Start Menu Internet shortcut" + ForUser(row); });
  }
  if (row.path.size() < 10) return {};
  const bool ok = ClearShortcutArguments(scan, row.path);
  return Repaired(ok, [&](bool ok) { return Lead(ok, L"fixed ", L"fix ") + browser + L" shortcut \"" + row.name + L"\"" + ForUser(row); });
}

bool SplitScannedRoot(const ScanSession& scan, const std::wstring& key, std::wstring& rest) {
  auto split = [&](const std::wstring& root) {
    if (root.empty() || key.size() <= root.size() + 1 || !StartsWithNoCase(key, root) || key[root.size()] != L'\\')
      return false;
    rest = key.substr(root.size() + 1);
    return true;
  };
  for (const UserProfile& user : scan.users)
    if (!user.sid.empty() && split(user.RegistryRoot())) return true;
  return split(L"HKLM64") || split(L"HKLM32");
}

bool LiesInScannedProfile(const ScanSession& scan, const std::wstring& path) {
  for (const UserProfile& user : scan.users)
    if (!user.profileFolder.empty() && IsSafeBrowserFolder(path, {}, user.profileFolder)) return true;
  return false;
}

std::wstring ParentOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring LastPartOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool ClearShortcutArguments(const ScanSession& scan, const std::wstring& path) {
  if (!EndsWithNoCase(path, L".lnk") || !FileExists(path) || !IsShortcutPlace(scan, path)) return false;
  Shortcut link;
  if (!ReadShortcut(path, link)) return false;
  if (link.arguments.empty()) return true;
  return SetShortcutArguments(path, L"") && ReadShortcut(path, link) && link.arguments.empty();
}

bool RemoveStartMenuArgument(const ScanSession& scan, const std::wstring& key, const std::wstring& argument) {
  std::wstring rest;
  if (Trim(argument).empty() || !SplitScannedRoot(scan, key, rest)) return false;
  if (!StartsWithNoCase(rest, kStartMenuInternet) || !EndsWithNoCase(rest, kOpenCommand)) return false;
  const std::wstring client = rest.substr(wcslen(kStartMenuInternet), rest.size() - wcslen(kStartMenuInternet) -
                                                                          wcslen(kOpenCommand));
  if (!IsPlainName(client)) return false;
  RegKey command = OpenKeyUnlocked(key, KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (!command) return false;
  std::wstring text;
  if (!ReadString(command, L"", text)) return false;
  // The program itself is never cut, whatever the argument looks like.
  size_t from = FindNoCase(text, L".exe");
  from = from == std::wstring::npos ? 0 : from + 4;
  if (from < text.size() && text[from] == L'"') ++from;
  std::wstring program = text.substr(0, from), tail = text.substr(from);
  // The scans file some arguments with their quotes taken out.
  if (FindNoCase(tail, argument) == std::wstring::npos) std::erase(tail, L'"');
  bool cut = false;
  for (size_t at = FindNoCase(tail, argument); at != std::wstring::npos; at = FindNoCase(tail, argument, at)) {
    tail.erase(at, argument.size());
    cut = true;
  }
  if (!cut) return true;
  return WriteString(command, L"", Trim(program + tail));
}

bool DeleteValueIfPresent(const std::wstring& key, const std::wstring& valueName) {
  if (!KeyExists(key, valueName.c_str())) return true;
  DeleteForced(key, valueName.c_str());
  return !KeyExists(key, valueName.c_str());
}

bool DeleteKeyIfPresent(const std::wstring& key) {
  if (!KeyExists(key)) return true;
  if (!DeleteForced(key)) DeleteForced(key);
  return !KeyExists(key);
}

bool DeleteFileOrSchedule(const std::wstring& path, bool& scheduled) {
  scheduled = false;
  if (RemoveFileObject(path, RemovalTakeOverPermissions) == RemovalResult::Removed) return true;
  const RemovalResult result = RemoveFileObject(path, RemovalTakeOverPermissions | RemovalScheduleAtRestart);
  scheduled = result == RemovalResult::Scheduled;
  return result != RemovalResult::Failed;
}

}  // namespace tavrin
