#pragma once
// Folders that scans must never report and clean-ups must never delete,
// however an entry points at them.
#include <string>

namespace tavrin {

// True for an existing drive root, a shell folder of the machine or the
// running user, the temporary folder, the profiles folder and each
// profile's root (a folder directly inside it), and the Windows folder's
// own parts. Environment references in `path` are expanded first.
bool IsProtectedFolder(const std::wstring& path);

// A folder directly inside the profiles folder (both without trailing
// backslashes): the root of one account's profile, however deep the
// profiles folder itself lies.
bool IsProfileRoot(const std::wstring& folder, const std::wstring& profilesFolder);

}  // namespace tavrin
