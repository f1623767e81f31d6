#pragma once
// One checked row of the "Internet browsers" tab as the browser repairs
// see it, what a repair made of it, and the checks every family shares:
// where a row's file, folder or key may lie before it is edited or
// deleted, and the shortcut and Start Menu Internet fixes.
#include <functional>
#include <string>

#include "removal/removal_probe.h"

namespace tavrin {

struct RemovalSession;
struct ScanSession;

struct BrowserRow {
  int position = -1;
  int group = -1;
  std::wstring name;     // column 0
  std::wstring column2;  // the URL, path or argument shown
  std::wstring iconFile;  // the browser's executable when the scan knew it
  std::wstring key, path, user, valueName, valueData, clsid, extensionPath, jsonPath, url;
  // Chromium extension rows: the policy keys that forced the extension at
  // the scan, joined by "|".
  std::wstring policyKeys;
};

struct RowRepair {
  bool attempted = false;  // false: a required detail was missing; no line, no count
  bool succeeded = false;
  bool removeRow = false;  // usually the same as succeeded
  bool scheduled = false;  // a deletion waits for the next start
  std::wstring line;
  std::wstring failedLine;  // the line had it failed
};

// A repair's outcome with its line; `line` gives the line for an outcome,
// so that a success the probe contradicts can still be reported as the
// failure it is.
RowRepair Repaired(bool succeeded, const std::function<std::wstring(bool)>& line);

// The row's success taken back when its probe finds the hijack still
// there: the line becomes the failure line and the row stays.
void OverturnIfPresent(RowRepair& repair, const RowProbe& probe);

// " for " + user + ".\r\n", the tail of most lines.
std::wstring ForUser(const BrowserRow& row);
// "\tSuccessfully " + done, or "\tFailed to " + todo.
std::wstring Lead(bool ok, const wchar_t* done, const wchar_t* todo);

// The key begins with the root of a scanned account ("HKU\" + SID) or of
// a machine view ("HKLM64", "HKLM32") and a backslash; `rest` gets what
// follows. Keys that only a user's writable text could have named are
// refused by every family on this test.
bool SplitScannedRoot(const ScanSession& scan, const std::wstring& key, std::wstring& rest);

// A file or folder path in canonical form, inside a scanned account's
// profile folder, with no reparse point on the way.
bool LiesInScannedProfile(const ScanSession& scan, const std::wstring& path);

// The folder part of a path; empty without a backslash.
std::wstring ParentOf(const std::wstring& path);
std::wstring LastPartOf(const std::wstring& path);

// The shortcut repair: the ".lnk" file of the row, in a scanned profile or
// a common Desktop or Programs folder, loses its arguments. Success when
// they are empty afterwards (also when they already were).
bool ClearShortcutArguments(const ScanSession& scan, const std::wstring& path);

// The Start Menu Internet repair: every occurrence of the argument after
// the program of the command below "...\StartMenuInternet\<client>\shell
// \open\command" is cut and the trimmed rest written back. Success when
// the argument is gone afterwards (also when it already was).
bool RemoveStartMenuArgument(const ScanSession& scan, const std::wstring& key, const std::wstring& argument);

// The shortcut rows of the Chromium and Firefox families and of Internet
// Explorer: a Start Menu Internet command ("Registry Key", the argument in
// "Value data" or column 2) or a shortcut file ("Path"). The lines name
// `browser` ("Chrome", "MS Edge", "Firefox", "IE"); for a browser found on
// the fly (`others`) they take its own name and the Start Menu line its
// possessive on success.
RowRepair RepairShortcutRow(const ScanSession& scan, const BrowserRow& row, const std::wstring& browser, bool others);

// Deletes the value when it is there; success when it is gone.
bool DeleteValueIfPresent(const std::wstring& key, const std::wstring& valueName);
// Deletes the key with its subkeys when it is there (a second try on
// failure); success when it is gone.
bool DeleteKeyIfPresent(const std::wstring& key);

// A file deleted with taking over its permissions, then, on failure, with
// scheduling at the next start; `scheduled` tells which.
bool DeleteFileOrSchedule(const std::wstring& path, bool& scheduled);

}  // namespace tavrin
