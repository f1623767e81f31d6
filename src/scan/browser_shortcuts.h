#pragma once
// Shortcuts that start a browser with arguments of their own: the way
// hijackers keep a start page or an extension even after the browser's
// settings were reset. Shared by the browser phases.
#include <string>

#include "browsers/user_folder_fragments.h"
#include "results/result_set.h"
#include "platform/run_control.h"

namespace tavrin {

class ScanReport;
struct WhiteList;

struct BrowserShortcutContext {
  int group = kNoGroup;
  // A full path, or just a file name ("chrome.exe") matched against the
  // shortcut target's file name.
  std::wstring executable;
  std::wstring browserName;  // "Google Chrome"; filed as the row's "CLSID"
  std::wstring userName;
  const wchar_t* whitelistSection = nullptr;
  ResultList list;
  const WhiteList* whitelist = nullptr;  // none: nothing is whitelisted
  ScanReport* report = nullptr;
  const CancelFlags* cancel = nullptr;
  int iconIndex = 0;
};

// Walks the folder and its sub-folders and adds a row for each ".lnk" file
// that starts the browser with arguments; returns the number of rows added.
// Reparse points are not followed (a link back up the tree would never
// end) and the walk stops a few levels down, deeper than any Start menu.
int ScanBrowserShortcuts(const BrowserShortcutContext& context, const std::wstring& folder);

// An account's desktop and Start menu (its profile folder + the fragments),
// and the machine's common desktop and Start menu, where they exist; each
// returns the number of rows added.
int ScanUserBrowserShortcuts(const BrowserShortcutContext& context, const std::wstring& profileFolder,
                             const UserFolderFragments& fragments);
int ScanCommonBrowserShortcuts(const BrowserShortcutContext& context, const UserFolderFragments& fragments);

// Whether a shortcut's arguments make its row recommended: a web address
// or an extension forced on the browser, rather than, say, a profile choice.
bool ShortcutArgumentsLookHijacked(const std::wstring& arguments);

}  // namespace tavrin
