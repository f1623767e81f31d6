#pragma once
// Profile folders of Chromium-based browsers and where Chrome and Edge
// are installed.
#include <string>
#include <vector>

namespace tavrin {

// The profile folders of a "User Data" folder: entries matching "*f*" that
// are folders named "Default" or beginning with "Profile " (any case).
// Opera keeps its profiles in "Opera Software": every "Op*" folder there.
// Reparse points are never profiles: the repairs delete inside them.
std::vector<std::wstring> ChromiumProfileFolders(const std::wstring& userDataFolder, bool opera);

// The trimmed text of a "Last Browser" file (byte-order mark detected,
// otherwise told apart from UTF-16 by its bytes); empty when missing.
std::wstring ReadLastBrowserFile(const std::wstring& path);

// Chrome's (or Edge's) executable: the "Last Browser" file of its "User
// Data" folder when it names an existing file, then the per-user install,
// then the 64-bit and 32-bit program-files folders. Empty out on failure.
bool LocateChromiumExecutable(const std::wstring& profileFolder, const std::wstring& localFragment, bool isEdge,
                              std::wstring& out);

}  // namespace tavrin
