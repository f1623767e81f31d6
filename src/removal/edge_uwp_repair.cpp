#include "removal/edge_uwp_repair.h"

#include <windows.h>

#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/registry_unlock.h"
#include "platform/strings.h"
#include "removal/removal_probe.h"
#include "removal/removal_safety.h"
#include "removal/removal_session.h"
#include "results/result_tabs.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kStorage[] =
    L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppContainer\\Storage\\"
    L"microsoft.microsoftedge_8wekyb3d8bbwe";
// Edge keeps the extensions it lets run below this key, whose name warns
// against changing it.
constexpr wchar_t kProtected[] =
    L"\\Protected - It is a violation of Windows Policy to modify. See aka.ms/browserpolicy";
constexpr wchar_t kDataStore[] = L"\\ExtensionsStore\\datastore\\Config";
constexpr wchar_t kValueStore[] = L"\\ExtensionsStore\\keyvaluestore\\keyvaluestore";
constexpr wchar_t kEdgeApp[] = L"\\SystemApps\\Microsoft.MicrosoftEdge_8wekyb3d8bbwe\\";

// The tail of a key below a scanned account's Edge container; false for
// any other key.
bool ContainerTail(const ScanSession& scan, const std::wstring& key, std::wstring& tail) {
  for (const UserProfile& user : scan.users) {
    if (user.sid.empty()) continue;
    const std::wstring container = user.RegistryRoot() + L"\\" + kStorage;
    if (StartsWithNoCase(key, container) && (key.size() == container.size() || key[container.size()] == L'\\')) {
      tail = key.substr(container.size());
      return true;
    }
  }
  return false;
}

// "\MicrosoftEdge\Extensions\<name>": the extension's own key.
bool ExtensionParts(const ScanSession& scan, const std::wstring& key, std::wstring& base, std::wstring& name) {
  std::wstring tail, parent;
  if (!ContainerTail(scan, key, tail) || !SplitLastComponent(key, parent, name) || !IsPlainName(name)) return false;
  if (!EqualsNoCase(tail, L"\\MicrosoftEdge\\Extensions\\" + name)) return false;
  base = ParentOf(parent);
  return true;
}

bool Cleared(const std::wstring& key) {
  if (!KeyExists(key)) return true;
  ClearKey(key, ClearSubKeys | ClearValues);
  RegKey opened = OpenKey(key, kRegRead);
  return opened && IsKeyEmpty(opened);
}

RowRepair RepairExtension(const RemovalSession& session, const BrowserRow& row) {
  if (row.key.empty()) return {};
  std::wstring base, name;
  bool ok = false;
  if (ExtensionParts(*session.scan, row.key, base, name)) {
    DeleteKeyIfPresent(base + kDataStore + L"\\" + name);
    DeleteKeyIfPresent(base + kValueStore + L"\\" + name);
    DeleteValueIfPresent(base + kProtected + L"\\Extensions", name);
    ok = DeleteKeyIfPresent(row.key);
  } else {
    name = LastPartOf(row.key);
  }
  return Repaired(ok, [&](bool ok) { return (ok ? L"\tSuccessfully removed  MS Edge (UWP) extension: "
                          : L"\tFailed to remove  MS Edge (UWP) extension: ") +
                          name + L"\r\n"; });
}

bool ResetExtensions(const ScanSession& scan, const std::wstring& key) {
  std::wstring tail;
  if (!ContainerTail(scan, key, tail) || !EqualsNoCase(tail, L"\\MicrosoftEdge\\Extensions")) return false;
  if (!KeyExists(key)) return true;
  const std::wstring base = ParentOf(key);
  bool ok = true;
  for (const std::wstring& store : {key, base + kDataStore, base + kValueStore, base + kProtected + L"\\Extensions"})
    ok = Cleared(store) && ok;
  return ok;
}

bool ResetMain(const ScanSession& scan, const std::wstring& key) {
  std::wstring tail;
  if (!ContainerTail(scan, key, tail) || !EqualsNoCase(tail, L"\\MicrosoftEdge\\Main")) return false;
  const std::wstring base = ParentOf(key);
  bool ok = Cleared(key);
  for (const wchar_t* sibling : {L"\\New Windows\\AllowInPrivate", L"\\ReadingMode", L"\\ServiceUI",
                                 L"\\UserStateMigration", L"\\Zoom"})
    ok = Cleared(base + sibling) && ok;
  return ok;
}

bool ResetProtectedValue(const ScanSession& scan, const BrowserRow& row) {
  std::wstring tail;
  return ContainerTail(scan, row.key, tail) && EqualsNoCase(tail, std::wstring(L"\\MicrosoftEdge") + kProtected) &&
         !row.valueName.empty() && DeleteValuesFiledAs(row.key, row.valueName);
}

// The app's settings file moved aside while the system puts its own copy
// back; without one, the file is moved back.
bool RestoreSettingsFile(const ScanSession& scan, const std::wstring& path, const wchar_t* name) {
  if (scan.folders.windows.empty() || !EqualsNoCase(path, scan.folders.windows + kEdgeApp + name)) return false;
  const std::wstring aside = path + L".tmp";
  if (!FileExists(path) || !MoveFileReplacing(path, aside)) return false;
  RunProgram(scan.folders.system + L"\\sfc.exe", L" /ScanFile=\"" + path + L"\"", SW_HIDE, true);
  if (FileExists(path)) return true;
  MoveFileReplacing(aside, path);
  return false;
}

bool ResetDomStorage(const ScanSession& scan, const std::wstring& key) {
  std::wstring tail;
  if (!ContainerTail(scan, key, tail) || !EqualsNoCase(tail, L"\\Children")) return false;
  RegKey children = OpenKey(key, kRegRead);
  if (!children) return false;
  bool deleted = false;
  for (const std::wstring& child : SubKeyNames(children))
    for (const wchar_t* storage : {L"\\Internet Explorer\\EdpDomStorage", L"\\Internet Explorer\\DomStorage"}) {
      const std::wstring target = key + L"\\" + child + storage;
      if (KeyExists(target) && DeleteKeyIfPresent(target)) deleted = true;
    }
  return deleted;
}

RowRepair RepairReset(const RemovalSession& session, const BrowserRow& row) {
  const ScanSession& scan = *session.scan;
  auto line = [](bool ok, const wchar_t* what) {
    return Repaired(ok, [&](bool ok) { return std::wstring(ok ? L"\tSuccessfully reset " : L"\tFailed to reset ") + what + L".\r\n"; });
  };
  const std::wstring& name = row.name;
  if (EqualsNoCase(name, L"Reset Edge's Settings") || EqualsNoCase(name, L"Reset Edge's Expert Settings")) {
    if (row.path.empty()) return {};
    const bool expert = EqualsNoCase(name, L"Reset Edge's Expert Settings");
    const bool ok = RestoreSettingsFile(scan, row.path, expert ? L"ExpertSettings.xbf" : L"Settings.xbf");
    return line(ok, expert ? L"Microsoft Edge's Expert Settings" : L"Microsoft Edge's Settings");
  }
  if (row.key.empty()) return {};
  if (EqualsNoCase(name, L"Reset Edge extensions"))
    return line(ResetExtensions(scan, row.key), L"Microsoft Edge (UWP) extensions");
  if (EqualsNoCase(name, L"Reset Edge Main settings"))
    return line(ResetMain(scan, row.key), L"Microsoft Edge (UWP) Main settings");
  if (EqualsNoCase(name, L"Reset Edge Start Pages"))
    return line(ResetProtectedValue(scan, row), L"Microsoft Edge (UWP) Start Pages");
  if (EqualsNoCase(name, L"Reset Edge Search Providers"))
    return line(ResetProtectedValue(scan, row), L"Microsoft Edge (UWP) Search Providers");
  if (EqualsNoCase(name, L"Reset Edge's DOM Storage"))
    return line(ResetDomStorage(scan, row.key), L"Microsoft Edge (UWP) DOM Storage");
  return {};
}

}  // namespace

RowProbe EdgeUwpRowProbe(const BrowserRow& row) {
  if (row.group == kGroupEdgeUwpExtensions) return {ProbeKind::RegistryKey, row.key, {}, {}};
  if (row.group == kGroupEdgeUwpResetOptions && !row.valueName.empty())
    return {ProbeKind::RegistryValue, row.key, row.valueName, {}};
  // The resets clear and read back their keys themselves.
  return {};
}

RowRepair RepairEdgeUwpRow(RemovalSession& session, const BrowserRow& row) {
  if (row.group == kGroupEdgeUwpExtensions) return RepairExtension(session, row);
  if (row.group == kGroupEdgeUwpResetOptions) return RepairReset(session, row);
  return {};
}

}  // namespace tavrin
