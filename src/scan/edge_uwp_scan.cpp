#include "scan/edge_uwp_scan.h"

#include <windows.h>

#include <string>
#include <vector>

#include "inventory/autostart_entries.h"
#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "platform/pattern.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/phase_scope.h"
#include "scan/scan_session.h"

namespace tavrin {

namespace {

constexpr wchar_t kAllUsers[] = L"(All users)";
constexpr wchar_t kEdgeStorage[] =
    L"\\Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppContainer\\Storage\\"
    L"microsoft.microsoftedge_8wekyb3d8bbwe";
// Edge names its policy-protected key with this sentence and a pointer to
// its policy web page after it; only the sentence is fixed.
constexpr wchar_t kProtectedPrefix[] = L"Protected - It is a violation of Windows Policy to modify. ";
constexpr wchar_t kResetSection[] = L"Microsoft Edge reset options";
constexpr int kIconIndex = 4;

struct EdgeUwpScan : PhaseScope {
  ResultList list;
};

bool AddEdgeRow(EdgeUwpScan& c, int group, const std::wstring& name, const std::wstring& user,
                const std::wstring& column2, ScanItemDetails details) {
  const int row = AddRow(c.list, group, name, user, column2, false, {}, kIconIndex);
  if (row < 0) return false;
  details.group = group;
  details.userName = user;
  StoreDetails(c.list, GetRowKey(c.list, row), details);
  return true;
}

// The part of an extension key's name between its first two underscores
// ("Publisher_Name_hash" gives "Name"); the whole name when it has no such
// part.
std::wstring ExtensionShortName(const std::wstring& keyName) {
  static const Pattern pattern(L".+?_(.+?)_.+");
  return pattern.ReplaceAll(keyName, L"$1").value_or(keyName);
}

// 1. Extensions of each user.
void ScanExtensions(EdgeUwpScan& c) {
  for (size_t i = 0; i < c.Users().size() && !c.Cancelled(); ++i) {
    const UserProfile& user = c.Users()[i];
    if (user.sid.empty()) continue;
    const std::wstring extensions = user.RegistryRoot() + kEdgeStorage + L"\\MicrosoftEdge\\Extensions";
    RegKey key = OpenKey(extensions, kRegRead);
    if (!key) continue;
    for (const std::wstring& subkey : SubKeyNames(key)) {
      if (c.Cancelled()) return;
      DispatchPendingMessages();
      const std::wstring name = ExtensionShortName(subkey);
      if (c.Whitelisted(name, L"Microsoft Edge extensions")) continue;
      ScanItemDetails details;
      details.registryKey = extensions + L"\\" + subkey;
      if (!AddEdgeRow(c, kGroupEdgeUwpExtensions, name, c.UserName(i), details.registryKey, details)) continue;
      c.Report(L"\r\n\t\tExtension name: " + ReportField(name) + L"\r\n\t\tUser name: " + c.UserName(i) +
               L"\r\n\t\tFull extension name: " + ReportField(subkey) + L"\r\n\t\tItem state: Un-checked\r\n");
    }
  }
}

void AddResetOption(EdgeUwpScan& c, const wchar_t* option, const std::wstring& user, const wchar_t* explanation,
                    const ScanItemDetails& details) {
  if (c.Whitelisted(option, kResetSection)) return;
  if (!AddEdgeRow(c, kGroupEdgeUwpResetOptions, option, user, explanation, details)) return;
  c.Report(std::wstring(L"\r\n\t\tReset option: ") + option + L"\r\n\t\tUser name: " + user + L"\r\n\t\tInfo: " +
           explanation + L"\r\n\t\tItem state: Un-checked\r\n");
}

// The policy-protected key below MicrosoftEdge, found by its fixed first
// sentence; empty when the user has none.
std::wstring ProtectedKey(const std::wstring& edgeKey) {
  RegKey key = OpenKey(edgeKey, kRegRead);
  if (!key) return {};
  for (const std::wstring& subkey : SubKeyNames(key))
    if (StartsWithNoCase(subkey, kProtectedPrefix)) return edgeKey + L"\\" + subkey;
  return {};
}

// Whether any child container keeps more than one DOM storage entry.
bool ChildrenKeepDomStorage(const std::wstring& childrenKey) {
  RegKey children = OpenKey(childrenKey, kRegRead);
  if (!children) return false;
  for (const std::wstring& child : SubKeyNames(children)) {
    RegKey storage = OpenKey(childrenKey + L"\\" + child + L"\\Internet Explorer\\DOMStorage", kRegRead);
    if (storage && SubKeyCount(storage) >= 2) return true;
  }
  return false;
}

// 2. Reset options.
void ScanResetOptions(EdgeUwpScan& c) {
  struct UserKeys {
    std::wstring name, storage;
  };
  std::vector<UserKeys> users;
  for (size_t i = 0; i < c.Users().size(); ++i)
    if (!c.Users()[i].sid.empty()) users.push_back({c.UserName(i), c.Users()[i].RegistryRoot() + kEdgeStorage});

  for (const UserKeys& user : users) {
    if (c.Cancelled()) return;
    const std::wstring extensions = user.storage + L"\\MicrosoftEdge\\Extensions";
    RegKey key = OpenKey(extensions, kRegRead);
    if (!key || SubKeyCount(key) == 0) continue;
    ScanItemDetails details;
    details.registryKey = extensions;
    AddResetOption(c, L"Reset Edge extensions", user.name,
                   L"This option allows you to remove all MS Edge's extensions at once, for this user", details);
  }
  for (const UserKeys& user : users) {
    if (c.Cancelled()) return;
    const std::wstring main = user.storage + L"\\MicrosoftEdge\\Main";
    if (!KeyExists(main)) continue;
    ScanItemDetails details;
    details.registryKey = main;
    AddResetOption(c, L"Reset Edge Main settings", user.name,
                   L"This option allows you to reset MS Edge's main settings, for this user", details);
  }
  for (const UserKeys& user : users) {
    if (c.Cancelled()) return;
    const std::wstring protectedKey = ProtectedKey(user.storage + L"\\MicrosoftEdge");
    if (protectedKey.empty()) continue;
    const struct {
      const wchar_t* value;
      const wchar_t* option;
      const wchar_t* explanation;
    } values[] = {
        {L"ProtectedHomepages", L"Reset Edge Start Pages", L"Check this item if you want to reset Microsoft Edge's Start pages."},
        {L"ProtectedSearchScopes", L"Reset Edge Search Providers",
         L"Check this item if you want to reset Microsoft Edge's Search providers"},
    };
    for (const auto& v : values) {
      if (!KeyExists(protectedKey, v.value)) continue;
      ScanItemDetails details;
      details.registryKey = protectedKey;
      details.valueName = v.value;
      AddResetOption(c, v.option, user.name, v.explanation, details);
    }
  }
  const std::wstring systemApp =
      c.scan.session->systemFolders.windows + L"\\SystemApps\\Microsoft.MicrosoftEdge_8wekyb3d8bbwe\\";
  const struct {
    const wchar_t* file;
    const wchar_t* option;
    const wchar_t* explanation;
  } files[] = {
      {L"Settings.xbf", L"Reset Edge's Settings", L"Check this item if you want to reset Microsoft Edge's main settings"},
      {L"ExpertSettings.xbf", L"Reset Edge's Expert Settings",
       L"Check this item if you want to reset Microsoft Edge's expert settings"},
  };
  for (const auto& f : files) {
    if (c.Cancelled()) return;
    if (c.scan.session->systemFolders.windows.empty() || !FileExists(systemApp + f.file)) continue;
    ScanItemDetails details;
    details.path = systemApp + f.file;
    AddResetOption(c, f.option, kAllUsers, f.explanation, details);
  }
  for (const UserKeys& user : users) {
    if (c.Cancelled()) return;
    const std::wstring children = user.storage + L"\\Children";
    if (!ChildrenKeepDomStorage(children)) continue;
    ScanItemDetails details;
    details.registryKey = children;
    AddResetOption(c, L"Reset Edge's DOM Storage", user.name,
                   L"Check this item if you want to reset Microsoft Edge's DOM Storage", details);
  }
}

}  // namespace

bool EdgeUwpApplies(const ScanEnvironment& scan) {
  // The version is major + minor / 10, so 10.0 is held exactly.
  return scan.session && scan.session->windowsVersion == 10.0;
}

void ScanEdgeUwp(ScanEnvironment& scan) {
  if (scan.progress) scan.progress->SetStatus(L"Scanning Microsoft Edge...");
  LoadDetails(*scan.results, kBrowsersTab);
  EdgeUwpScan c{{scan}, TabList(*scan.results, kBrowsersTab)};
  c.Report(L"\r\n\r\n->Microsoft Edge (UWP) scan:\r\n");
  c.Report(L"\r\n\tMicrosoft Edge extensions:\r\n");
  ScanExtensions(c);
  if (!c.Cancelled()) {
    c.Report(L"\r\n\tMicrosoft Edge (UWP) reset options:\r\n");
    ScanResetOptions(c);
  }
  SaveDetails(*scan.results);
}

}  // namespace tavrin
