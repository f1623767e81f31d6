#pragma once
// The scan report header's lines naming the installed browsers' versions.
#include <string>
#include <vector>

#include "browsers/user_folder_fragments.h"

namespace tavrin {

// One line per browser whose executable is found, each "\t<Browser>
// version: " + FileVersion + "\r\n", in the order Edge, Internet Explorer,
// Chrome, Firefox.
std::vector<std::wstring> BrowserVersionLines(const UserFolderFragments& fragments);

}  // namespace tavrin
