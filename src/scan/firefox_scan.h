#pragma once
// The Firefox-family phases: startup pages, search plug-ins, extensions,
// shortcuts and reset options of Mozilla Firefox and of every other
// Firefox-based browser found in the users' application data, for every
// scanned user and profile, as rows of the "Internet browsers" tab and a
// block of the scan report each.
//
// What each row files in its details, so that a repair undoes exactly that
// row. Every row stores "Group ID" and "User name" (the row's column 1);
// rows of the other Firefox-based browsers also store the browser's display
// name as "CLSID". Groups are Firefox / other browsers.
//
// Startup page (51 / 71), checked. Name "Startup homepage" (other: display
// name + " startup homepage"); column 2 the preference value.
//   "Path"        the profile's prefs.js
//   "Value name"  "browser.startup.homepage"
//   "URL"         the value as prefs.js holds it (escapes as written; it may
//                 list several pages separated by "|")
//
// Default search engine (52 / 72), checked. Name "Firefox default search
// provider" (other: display name + " default search provider"); column 2
// the engine name.
//   "Path"        the profile's prefs.js
//   "Value name"  "browser.search.defaultenginename"
//   "Value data"  the engine name as prefs.js holds it
//
// Search plug-in file (52 / 72), unchecked. Name the plug-in's ShortName
// (or its file name without extension); column 1 "(All users)"; column 2
// the file.
//   "Path"        the XML file in the browser's search plug-in folder
//
// Engine of the compressed search settings (52 / 72): a profile's
// "search.json.mozlz4" names an engine, not one of Firefox's own, whose
// search address is not a known engine's. When the settings choose it as
// default: checked, name and column 2 as the default search engine's row;
// otherwise unchecked, name the engine's name, column 2 its address.
//   "Path"        the profile's search.json.mozlz4
//   "Value name"  the engine's "id" (empty in older files)
//   "Value data"  the engine's "_name"
//   "URL"         the search address
//
// Extension (53 / 73), checked. Name the add-on's "defaultLocale" name;
// column 2 the path extensions.json records for it.
//   "JSONPath"       the profile's extensions.json
//   "Registry Key"   "addons", the JSON path of the array holding the element
//   "Value name"     the add-on's "id"; the element to cut is the one of
//                    "addons" whose "id" equals it
//   "Extension path" the add-on's path as extensions.json records it
//                    ("descriptor", else "path")
//   "Path"           the add-on's file or folder, only when that path, made
//                    canonical, lies strictly inside the profile's
//                    "extensions" folder; absent otherwise, and then the
//                    repair edits the documents only and deletes nothing
//
// Shortcut file (55 / 75): as every browser's (ScanBrowserShortcuts):
// "Path" the .lnk file, "CLSID" the browser name ("Mozilla Firefox" or the
// display name).
//
// Start Menu Internet command (55 / 75), checked. Name "Start Menu Internet
// shortcut"; column 1 the user or "(All users)"; column 2 the argument.
//   "Registry Key" the command key that was read (its default value)
//   "Path"         the executable path the argument follows in the command
//   "Value data"   the argument (quotes removed, trimmed)
//
// Reset option (56 / 76), unchecked. Name "Reset Firefox Ad-ons", "Reset
// Firefox Extensions", "Reset Firefox User Search Providers", "Reset Firefox
// Settings", "Reset Firefox User Preferences" (other: "Reset " + display name
// + " Ad-ons" and so on); column 2 the file or folder.
//   "Path"  the profile's "addons.json"; "extensions" folder or else
//           "extensions.json"; "search.json" or else "searchplugins"
//           folder; "prefs.js"; "user.js"
namespace tavrin {

struct ScanEnvironment;

void ScanFirefox(ScanEnvironment& scan);
void ScanOtherFirefox(ScanEnvironment& scan);

}  // namespace tavrin
