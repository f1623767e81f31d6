#pragma once
// The four result tabs and their groups: titles, columns and the order in
// which the groups are shown. The group number travels with every row; the
// whitelist and the removal dispatch on it.
#include <array>
#include <span>
#include <string_view>

namespace tavrin {

enum ResultTab : int {
  kProgramsTab = 0,
  kAutostartTab = 1,
  kBrowsersTab = 2,
  kMalwareTab = 3,
};
inline constexpr int kTabCount = 4;
inline constexpr int kMaxColumns = 4;
// Programs rows, and any row asked about outside the list.
inline constexpr int kNoGroup = -1;

// The group numbers of tabs 1 to 3. The tens name the browser family (2x
// Edge (UWP), 11x Edge, 3x Internet Explorer, 4x Chrome, 5x Firefox, 6x
// other Chromium browsers, 7x other Firefox-based browsers), the last digit
// the kind of entry; 34, 54 and 74 are never used.
inline constexpr int kGroupRegistryAutostart = 11;
inline constexpr int kGroupStartupFolder = 12;
inline constexpr int kGroupScheduledTasks = 13;
inline constexpr int kGroupAppInitDlls = 14;
inline constexpr int kGroupDnsHijackers = 15;

inline constexpr int kGroupEdgeUwpStartPages = 22;
inline constexpr int kGroupEdgeUwpSearchProviders = 23;
inline constexpr int kGroupEdgeUwpExtensions = 24;
inline constexpr int kGroupEdgeUwpShortcuts = 25;
inline constexpr int kGroupEdgeUwpResetOptions = 26;
inline constexpr int kGroupEdgeUwpPolicies = 27;

inline constexpr int kGroupEdgeStartPages = 111;
inline constexpr int kGroupEdgeSearchProviders = 112;
inline constexpr int kGroupEdgeExtensions = 113;
inline constexpr int kGroupEdgeShortcuts = 114;
inline constexpr int kGroupEdgeResetOptions = 115;
inline constexpr int kGroupEdgePolicies = 116;

inline constexpr int kGroupIeStartPages = 31;
inline constexpr int kGroupIeSearchProviders = 32;
inline constexpr int kGroupIeAddOns = 33;
inline constexpr int kGroupIeShortcuts = 35;
inline constexpr int kGroupIeResetOptions = 36;
inline constexpr int kGroupIePolicies = 37;

inline constexpr int kGroupChromeStartPages = 42;
inline constexpr int kGroupChromeSearchProviders = 43;
inline constexpr int kGroupChromeExtensions = 44;
inline constexpr int kGroupChromeShortcuts = 45;
inline constexpr int kGroupChromeResetOptions = 46;
inline constexpr int kGroupChromePolicies = 47;

inline constexpr int kGroupFirefoxStartPages = 51;
inline constexpr int kGroupFirefoxSearchPlugins = 52;
inline constexpr int kGroupFirefoxExtensions = 53;
inline constexpr int kGroupFirefoxShortcuts = 55;
inline constexpr int kGroupFirefoxResetOptions = 56;

inline constexpr int kGroupOtherChromiumStartPages = 62;
inline constexpr int kGroupOtherChromiumSearchProviders = 63;
inline constexpr int kGroupOtherChromiumExtensions = 64;
inline constexpr int kGroupOtherChromiumShortcuts = 65;
inline constexpr int kGroupOtherChromiumResetOptions = 66;
inline constexpr int kGroupOtherChromiumPolicies = 67;

inline constexpr int kGroupOtherFirefoxStartPages = 71;
inline constexpr int kGroupOtherFirefoxSearchPlugins = 72;
inline constexpr int kGroupOtherFirefoxExtensions = 73;
inline constexpr int kGroupOtherFirefoxShortcuts = 75;
inline constexpr int kGroupOtherFirefoxResetOptions = 76;

inline constexpr int kGroupInfectedFiles = 81;
inline constexpr int kGroupInfectedRegistry = 82;  // column 0: key, value name and data joined with " / "
inline constexpr int kGroupMalwareFixes = 83;

struct TabInfo {
  std::wstring_view title;
  // The headers as the list takes them, separated by "\n".
  std::wstring_view headers;
  int columnCount;
  // A negative width is the list's width minus that many pixels.
  std::array<int, kMaxColumns> widths;
  bool grouped;
  // Icon file in the system folder shown for rows without an icon of their
  // own; empty for the toolkit's default image.
  std::wstring_view defaultIconInSystemFolder;
};

struct GroupInfo {
  int id;
  int tab;
  std::wstring_view title;
};

// Null for an index outside 0 to 3.
const TabInfo* FindTab(int tab);
// Every group in the order in which the tabs show them.
std::span<const GroupInfo> ResultGroups();
// Null for a number that names no group.
const GroupInfo* FindGroup(int id);

}  // namespace tavrin
