#pragma once
// The phase of the Microsoft Edge that ships as a Windows app: its
// extensions and reset options from each scanned account's app-container
// keys, on Windows 10.0 only, as rows of the "Internet browsers" tab and a
// block of the scan report.
//
// Every key below is "HKU\" + SID + "\Software\Classes\Local Settings
// \Software\Microsoft\Windows\CurrentVersion\AppContainer\Storage
// \microsoft.microsoftedge_8wekyb3d8bbwe\" + a tail. What each row files in
// its details, so that a repair undoes exactly that row; every row stores
// "Group ID" and "User name" (column 1).
//
// Extension (24), unchecked. Name the part of the key name between its first
// two underscores; column 2 the extension key.
//   "Registry Key" "...\MicrosoftEdge\Extensions\" + the extension's subkey
//
// Reset option (26), unchecked; column 2 the explanation text.
//   "Reset Edge extensions"        "Registry Key" "...\MicrosoftEdge\Extensions"
//                                  (its subkeys are the extensions)
//   "Reset Edge Main settings"     "Registry Key" "...\MicrosoftEdge\Main"
//   "Reset Edge Start Pages"       "Registry Key" "...\MicrosoftEdge\" + the
//                                  policy-protected key, "Value name"
//                                  "ProtectedHomepages"
//   "Reset Edge Search Providers"  the same key, "Value name"
//                                  "ProtectedSearchScopes"
//   "Reset Edge's Settings", "Reset Edge's Expert Settings"  (user "(All
//                                  users)") "Path" the Windows folder +
//                                  "\SystemApps\Microsoft.MicrosoftEdge_8wekyb3d8bbwe
//                                  \Settings.xbf" (or "ExpertSettings.xbf")
//   "Reset Edge's DOM Storage"     "Registry Key" "...\Children"; the storage
//                                  to clear is the subkeys of each child
//                                  container's "\Internet Explorer\DOMStorage"
namespace tavrin {

struct ScanEnvironment;

// Whether the phase runs: the scan's Windows version is 10.0.
bool EdgeUwpApplies(const ScanEnvironment& scan);
void ScanEdgeUwp(ScanEnvironment& scan);

}  // namespace tavrin
