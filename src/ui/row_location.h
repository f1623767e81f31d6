#pragma once
// Where "Open registry location", "Open file location" and a double-click
// lead for a result row, and opening that place.
#include <string>

namespace tavrin {

enum class LocationCommand {
  Registry,     // "Open registry location"
  File,         // "Open file location"
  DoubleClick,  // the registry location, else the extension folder, else the path
};

// The fields of a row that can name a place: the details of the first three
// tabs, the columns of the Malware tab.
struct RowPlaces {
  int tab = 0;
  int group = -1;
  std::wstring column0;
  std::wstring registryKey;
  std::wstring valueName;
  std::wstring path;
  std::wstring extensionPath;
  bool extensionFolderExists = false;
};

struct Location {
  std::wstring target;  // empty: nothing to open
  bool hasValueName = false;
  std::wstring valueName;
};

Location ChooseRowLocation(const RowPlaces& row, LocationCommand command);

// A target beginning with "HK" is a registry key, shown in the registry
// editor; anything else is a file-system path: a folder is opened, a file
// shown selected in its folder. False when nothing could be opened.
bool OpenLocation(const Location& location);

}  // namespace tavrin
