#pragma once
// The Programs tab's part of a removal: each checked program's processes,
// its Windows Installer product, its leftover folders in every chosen
// user's and the machine's application-data and Programs folders, the
// class registrations, services, tasks, Run values, shortcuts and shell
// verbs that point into its folder, then the folder and the uninstall key.
#include <string>

namespace tavrin {

struct RemovalSession;

// One checked Programs row with its details.
struct ProgramRemovalEntry {
  int rowKey = -1;
  std::wstring name;
  std::wstring path;          // "Path" as filed
  std::wstring cleanupFolder;  // CleanupFolder(path): empty when nothing may be searched for
  std::wstring registryKey;
  std::wstring userName;
  std::wstring dbName;
  std::wstring msiProduct;
  std::wstring publisher;     // "(Not set)" taken as empty
};

void RemoveProgramRows(RemovalSession& session);

// What a Windows Installer removal's result means for the row.
struct ProductRemovalOutcome {
  bool removed = false;        // the product is gone (or was never there)
  bool restartNeeded = false;  // gone once the machine restarts
};
// ERROR_SUCCESS; ERROR_SUCCESS_REBOOT_REQUIRED and ERROR_SUCCESS_REBOOT_INITIATED
// (removed, restart needed); ERROR_UNKNOWN_PRODUCT (already gone, so the
// uninstall entry and the leftovers go as after a removal); anything else
// failed.
ProductRemovalOutcome ProductRemovalOutcomeOf(unsigned installerResult);

// The uninstall key of a program as the scan files it: an entry directly
// below one of the Uninstall keys, deep enough that no hive or Uninstall
// key itself can be meant.
bool IsUninstallEntryKey(const std::wstring& key);

}  // namespace tavrin
