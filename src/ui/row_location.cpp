#include "ui/row_location.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <thread>

#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/strings.h"
#include "results/result_tabs.h"
#include "ui/registry_location.h"

namespace tavrin {

namespace {

constexpr wchar_t kMalwareKeySeparator[] = L" / ";

void ShowFileInFolder(const std::wstring& file) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  PIDLIST_ABSOLUTE item = nullptr;
  if (SUCCEEDED(SHParseDisplayName(file.c_str(), nullptr, &item, 0, nullptr))) {
    SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
    CoTaskMemFree(item);
  }
  CoUninitialize();
}

}  // namespace

Location ChooseRowLocation(const RowPlaces& row, LocationCommand command) {
  Location location;
  if (row.tab == kMalwareTab) {
    if (row.group == kGroupInfectedFiles) {
      location.target = row.column0;
    } else if (row.group == kGroupInfectedRegistry) {
      const size_t separator = row.column0.find(kMalwareKeySeparator);
      location.target = row.column0.substr(0, separator);
      if (separator != std::wstring::npos) {
        const size_t start = separator + 3;
        const size_t end = row.column0.find(kMalwareKeySeparator, start);
        location.hasValueName = true;
        location.valueName = row.column0.substr(start, end == std::wstring::npos ? end : end - start);
      }
    }
    return location;
  }
  if (command == LocationCommand::File) {
    location.target = row.path;
    return location;
  }
  if (!row.registryKey.empty()) {
    location.target = row.registryKey;
    if (!row.valueName.empty()) {
      location.hasValueName = true;
      location.valueName = row.valueName;
    }
    return location;
  }
  if (command == LocationCommand::DoubleClick)
    location.target = row.extensionFolderExists ? row.extensionPath : row.path;
  return location;
}

bool OpenLocation(const Location& location) {
  if (location.target.empty()) return false;
  if (StartsWithNoCase(location.target, L"HK"))
    return OpenRegistryLocation(location.target, location.hasValueName ? &location.valueName : nullptr);

  const std::wstring path = PlainPath(location.target);
  if (FolderExists(path)) return OpenDocument(path) != 0;
  if (!FileExists(path)) return false;
  // The shell call can take long on a slow folder; the window must not wait.
  std::thread(ShowFileInFolder, path).detach();
  return true;
}

}  // namespace tavrin
