#pragma once
// The Internet Explorer phase: home and search pages, search providers,
// add-ons, shortcuts, group policies and the reset options of Internet
// Explorer and of the shell settings hijackers change through it (proxy,
// Winlogon shell), for every scanned account ("HKU\" + SID) and both
// machine views ("HKLM64", "HKLM32"), as rows of the "Internet browsers"
// tab and a block of the scan report.
//
// What each row files in its details, so that a repair undoes exactly that
// row. Every row stores "Group ID" and "User name" (column 1: the account,
// or "(All users)" for the machine views). Keys are RegPath texts of the
// root the row was found under.
//
// Page value (31), checked. Name the value name; column 2 the URL.
//   "Registry Key" root + "\Software\Microsoft\Internet Explorer\Main"
//   "Value name"   "Default_Page_URL", "Default_Search_URL", "Search Page",
//                  "Start Page", "Start Page Redirect Cache" or
//                  "Default_Secondary_Page_URL"
//   "URL"          the value's text
//
// Secondary start page (31), checked. Name "Secondary Start Pages"; column 2
// the entry.
//   "Registry Key" the Main key
//   "Value name"   "Secondary Start Pages" (a multi-string)
//   "URL", "Value data"  the entry (one line of the multi-string); the
//                  repair removes that line and keeps the others
//
// Search provider (32), checked. Name the display name; column 2 the URL.
//   "Registry Key" the scope key: root +
//                  "\Software\Microsoft\Internet Explorer\SearchScopes\" + scope
//   "URL"          its "URL" value
//
// Add-on (33), checked. Name the class name (or the CLSID); column 2 the
// file (or "The CLSID key for this Ad-on does not exist.").
//   "Registry Key" where it was found: the "Toolbar" key, whose value named
//                  like the CLSID registers it, or the CLSID subkey itself of
//                  "Explorer\Browser Helper Objects", "Ext\PreApproved",
//                  "Ext\Approved", "Ext\Settings" or "Ext\Stats" (below root +
//                  "\Software\Microsoft\Windows\CurrentVersion\"). One row
//                  stands for every place of the same root that names the
//                  CLSID; the first place found is filed
//   "Value name"   the CLSID, for a toolbar only
//   "Path"         the class's file; absent when the class key is missing
//   "CLSID"        the CLSID with its braces
//
// Start Menu Internet command (35), checked. Name "Start Menu Internet
// shortcut"; column 2 the argument.
//   "Registry Key" root + "\Software\Clients\StartMenuInternet\IEXPLORE.EXE
//                  \shell\open\command" (default value)
//   "Value data"   the argument that follows "\iexplore.exe" (quotes removed)
//
// Shortcut file (35): as every browser's (ScanBrowserShortcuts): "Path" the
// .lnk file, "CLSID" "Internet Explorer".
//
// Start page policy (37), checked. Name "Start Page" or
// "SecondaryStartPages"; column 2 the URL.
//   "Registry Key" root + "\Software\Policies\Microsoft\Internet Explorer\Main"
//                  for "Start Page", its "\SecondaryStartPages" subkey for the
//                  others
//   "Value name"   "Start Page", or the value's name in SecondaryStartPages
//   "URL"          the value's text
//
// Search provider policy (37), checked. Name display name + " (search
// provider)"; column 2 the URL.
//   "Registry Key" the policy scope key: root +
//                  "\Software\Policies\Microsoft\Internet Explorer\SearchScopes\" + scope
//   "URL"          its "URL" value
//
// Reset option (36), unchecked. Name and the key it acts on:
//   "Reset Proxy"      "Registry Key" root + "\Software\Microsoft\Windows
//                      \CurrentVersion\Internet Settings" (values "ProxyServer"
//                      and "ProxyEnable")
//   "Reset Shell"      "Registry Key" root + "\Software\Microsoft\Windows NT
//                      \CurrentVersion\Winlogon", "Value name" "Shell"
//   "Reset Internet Explorer Policies"  "Registry Key" root +
//                      "\Software\Policies\Microsoft\Internet Explorer"
//   "Reset IE's DOM Storage"  "Registry Key" root +
//                      "\SOFTWARE\Microsoft\Internet Explorer\DomStorage"
//                      (its subkeys are the storage to clear)
namespace tavrin {

struct ScanEnvironment;

void ScanInternetExplorer(ScanEnvironment& scan);

}  // namespace tavrin
