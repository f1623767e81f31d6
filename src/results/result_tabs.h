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
