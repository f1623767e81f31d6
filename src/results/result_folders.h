#pragma once
// The few file-system steps the results need: the hidden work and settings
// folders, and removing the work folder with its content.
#include <string>

namespace tavrin {

// Creates every missing folder of the path. When `hidden` is set and the
// last folder did not exist before, it gets the hidden attribute.
bool CreateResultFolder(const std::wstring& path, bool hidden);
// Removes the folder and everything in it; links inside are removed as
// links, never followed. True when nothing is left.
bool RemoveResultFolder(const std::wstring& path);

}  // namespace tavrin
