#include "scan/browser_shortcuts.h"

#include "filetrust/shortcut.h"
#include "inventory/autostart_entries.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/message_pump.h"
#include "platform/strings.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/scan_report.h"

namespace tavrin {

namespace {

// The Start menu nests two or three levels; anything far deeper is not a
// place Windows shows shortcuts from.
constexpr int kMaxDepth = 8;

bool Cancelled(const BrowserShortcutContext& context) { return context.cancel && context.cancel->Cancelled(); }

std::wstring WithoutQuotes(std::wstring text) {
  std::erase(text, L'"');
  return text;
}

// A backslash among the second to fourth characters ("C:\", "\\server")
// makes the executable a full path.
bool IsFullPath(const std::wstring& executable) {
  for (size_t i = 1; i < 4 && i < executable.size(); ++i)
    if (executable[i] == L'\\') return true;
  return false;
}

bool StartsBrowser(const BrowserShortcutContext& context, const std::wstring& target) {
  if (IsFullPath(context.executable)) return StartsWithNoCase(target, context.executable);
  const size_t slash = target.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
  return StartsWithNoCase(name, context.executable) || EqualsNoCase(name, context.executable + L".exe");
}

bool ScanShortcut(const BrowserShortcutContext& context, const std::wstring& path, const std::wstring& fileName) {
  Shortcut link;
  if (!ReadShortcut(path, link)) return false;
  const std::wstring target = WithoutQuotes(link.target);
  if (target.size() < 4 || !StartsBrowser(context, target)) return false;
  const std::wstring arguments = Trim(link.arguments);
  if (arguments.size() < 6) return false;
  if (context.whitelist && IsWhitelisted(*context.whitelist, arguments, context.whitelistSection, false)) return false;

  const bool checked = ShortcutArgumentsLookHijacked(arguments);
  const int row = AddRow(context.list, context.group, fileName, context.userName, arguments, checked,
                         context.executable, context.iconIndex);
  if (row < 0) return false;
  ScanItemDetails details;
  details.group = context.group;
  details.path = path;
  details.userName = context.userName;
  details.clsid = context.browserName;
  StoreDetails(context.list, GetRowKey(context.list, row), details);
  if (context.report)
    context.report->Write(L"\r\n\t\tShortcut path: " + ReportField(path) + L"\r\n\t\tUser name: " + context.userName +
                          L"\r\n\t\tBrowser: " + context.browserName + L"\r\n\t\tArguments: " + ReportField(arguments) +
                          L"\r\n\t\tItem state: " + (checked ? L"Checked" : L"Un-checked") + L"\r\n");
  return true;
}

int Walk(const BrowserShortcutContext& context, const std::wstring& folder, int depth) {
  int added = 0;
  FindFiles find(folder + L"\\*");
  while (!Cancelled(context) && find.Next()) {
    DispatchPendingMessages();
    if (find.IsReparsePoint()) continue;
    const std::wstring name = find.Name();
    const std::wstring path = folder + L"\\" + name;
    if (find.IsFolder()) {
      if (depth < kMaxDepth) added += Walk(context, path, depth + 1);
    } else if (EndsWithNoCase(name, L".lnk") && ScanShortcut(context, path, name)) {
      ++added;
    }
  }
  return added;
}

}  // namespace

bool ShortcutArgumentsLookHijacked(const std::wstring& arguments) {
  const std::wstring_view head = std::wstring_view(arguments).substr(0, 5);
  return FindNoCase(head, L"http") != std::wstring::npos || FindNoCase(head, L"www.") != std::wstring::npos ||
         FindNoCase(arguments, L"extension") != std::wstring::npos;
}

int ScanBrowserShortcuts(const BrowserShortcutContext& context, const std::wstring& folder) {
  if (folder.empty() || context.executable.empty()) return 0;
  return Walk(context, folder, 0);
}

namespace {

// The desktop, then the Start menu that holds the "Programs" folder.
int ScanDesktopAndStartMenu(const BrowserShortcutContext& context, const std::wstring& desktop,
                            const std::wstring& programs) {
  int added = 0;
  if (FolderExists(desktop)) added += ScanBrowserShortcuts(context, desktop);
  const size_t slash = programs.find_last_of(L'\\');
  if (!Cancelled(context) && slash != std::wstring::npos && FolderExists(programs))
    added += ScanBrowserShortcuts(context, programs.substr(0, slash));
  return added;
}

}  // namespace

int ScanUserBrowserShortcuts(const BrowserShortcutContext& context, const std::wstring& profileFolder,
                             const UserFolderFragments& fragments) {
  return ScanDesktopAndStartMenu(context, profileFolder + fragments.desktop, profileFolder + fragments.programs);
}

int ScanCommonBrowserShortcuts(const BrowserShortcutContext& context, const UserFolderFragments& fragments) {
  return ScanDesktopAndStartMenu(context, fragments.commonDesktop, fragments.commonPrograms);
}

}  // namespace tavrin
