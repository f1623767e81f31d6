#pragma once
// A file's owner and access list kept aside while a repair takes the file
// over to write it, and put back afterwards whatever the write did.
#include <string>
#include <vector>

namespace tavrin {

struct SavedFileSecurity {
  std::vector<unsigned char> descriptor;  // self-relative; empty when not saved
};

// Reads owner, group and access list; false when the platform refuses.
bool SaveFileSecurity(const std::wstring& path, SavedFileSecurity& saved);
// Puts a saved descriptor back; false when there is none or it is refused.
bool RestoreFileSecurity(const std::wstring& path, const SavedFileSecurity& saved);
// BUILTIN\Administrators as owner and full control for the administrators,
// LocalSystem and Everyone, so that the running administrator can write.
bool TakeOverFile(const std::wstring& path);

}  // namespace tavrin
