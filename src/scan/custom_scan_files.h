#pragma once
// The files of a folder that Windows can be made to run: shortcuts and the
// names the executable-file pattern knows, reparse points left out,
// subfolders entered only when asked.
#include <string>
#include <vector>

#include "platform/run_control.h"

namespace tavrin {

// True for a ".lnk" file or a name that ends in one of the extensions of
// programs, libraries, scripts, installers and archives.
bool IsExecutableFileName(const std::wstring& name);

// Appends the folder's matching files to `files`. False when the walk was
// cancelled (what was found so far stays).
bool CollectExecutableFiles(const std::wstring& folder, bool recursive, const CancelFlags* cancel,
                            std::vector<std::wstring>& files);

}  // namespace tavrin
