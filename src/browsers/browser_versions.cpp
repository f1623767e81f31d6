#include "browsers/browser_versions.h"

#include "platform/file_system.h"
#include "platform/file_version.h"

namespace tavrin {

std::vector<std::wstring> BrowserVersionLines(const UserFolderFragments& fragments) {
  struct Browser {
    const wchar_t* label;
    const wchar_t* tail;
    bool bothFolders;
  };
  // Edge's installer only ever uses the 32-bit program-files folder.
  static const Browser kBrowsers[] = {
      {L"\tMicrosoft Edge version: ", L"\\Microsoft\\Edge\\Application\\msedge.exe", false},
      {L"\tInternet Explorer version: ", L"\\Internet Explorer\\iexplore.exe", true},
      {L"\tGoogle Chrome version: ", L"\\Google\\Chrome\\Application\\chrome.exe", true},
      {L"\tMozilla Firefox version: ", L"\\Mozilla Firefox\\firefox.exe", true},
  };
  std::vector<std::wstring> lines;
  for (const Browser& b : kBrowsers) {
    std::vector<std::wstring> roots;
    if (b.bothFolders) roots.push_back(fragments.programFiles);
    roots.push_back(fragments.programFilesX86);
    for (const std::wstring& root : roots) {
      if (root.empty() || !FileExists(root + b.tail)) continue;
      std::wstring version = FileVersionText(root + b.tail);
      if (version.empty()) continue;
      lines.push_back(b.label + version + L"\r\n");
      break;
    }
  }
  return lines;
}

}  // namespace tavrin
