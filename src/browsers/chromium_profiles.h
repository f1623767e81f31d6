#pragma once
// Profile folders of Chromium-based browsers and where Chrome and Edge
// are installed.
#include <string>
#include <vector>

namespace tavrin {

// The profile folders of a "User Data" folder: entries matching "*f*" that
// are folders named "Default" or beginning with "Profile " (any case), then
// the folders its "Local State" lists (see ListedChromiumProfileFolders)
// that are not among them yet, each profile once.
// Opera keeps its profiles in "Opera Software": every "Op*" folder there.
// Reparse points are never profiles: the repairs delete inside them.
std::vector<std::wstring> ChromiumProfileFolders(const std::wstring& userDataFolder, bool opera);

// The profile folders the browser itself lists in "Local State"
// ("profile" -> "info_cache": each member's name is a profile folder's
// name), in the file's order. The file is the user's to write, so a name is
// taken only when it is one plain folder name (no "\", "/", ":", "..", no
// wildcard or control character, no trailing dot or blank) of an existing
// folder directly inside the "User Data" folder with no reparse point on
// the way; it comes back spelled as the file system spells the folder (a
// short 8.3 alias or another case gives the folder's own name), each once.
std::vector<std::wstring> ListedChromiumProfileFolders(const std::wstring& userDataFolder);

// True when `profileFolder` is one of the profile folders of the "User
// Data" folder holding it (compared without regard to case), as
// ChromiumProfileFolders finds them; `opera` as there.
bool IsChromiumProfileFolder(const std::wstring& profileFolder, bool opera);

// The trimmed text of a "Last Browser" file (byte-order mark detected,
// otherwise told apart from UTF-16 by its bytes); empty when missing.
std::wstring ReadLastBrowserFile(const std::wstring& path);

// Chrome's (or Edge's) executable: the "Last Browser" file of its "User
// Data" folder when it names an existing file, then the per-user install,
// then the 64-bit and 32-bit program-files folders. Empty out on failure.
bool LocateChromiumExecutable(const std::wstring& profileFolder, const std::wstring& localFragment, bool isEdge,
                              std::wstring& out);

}  // namespace tavrin
