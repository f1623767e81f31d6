#pragma once
// The Autostart tab's part of a removal: Run values, Startup items,
// scheduled tasks, AppInit_DLLs entries and hijacked name servers.
#include <string>

namespace tavrin {

struct RemovalSession;
struct ScanSession;

// Writes the phase heading and deals with every checked row, last to first.
void RemoveAutostartRows(RemovalSession& session);

// Where the scan finds each kind of entry; a details field that names any
// other place is refused before anything is changed.
bool IsScannedRunKey(const ScanSession& scan, const std::wstring& key);
bool IsScannedWindowsKey(const ScanSession& scan, const std::wstring& key);
bool IsScannedStartupItem(const ScanSession& scan, const std::wstring& path);
bool IsInterfaceKey(const std::wstring& key);

}  // namespace tavrin
