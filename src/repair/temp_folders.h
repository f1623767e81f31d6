#pragma once
// Which folders "Empty temporary folders" may empty. Only folders that are
// temporary by their place: each profile's "\AppData\Local\Temp", the
// common application data folder's "\Temp" and the Windows folder's "\Temp". A TMP or TEMP value is text anybody can set (to
// Documents, to a drive root), so the folder it names is never emptied
// for being named there.
#include <string>
#include <vector>

#include "platform/users.h"

namespace tavrin {

inline constexpr wchar_t kProfileTempPart[] = L"\\AppData\\Local\\Temp";

// `base` + `part` (kProfileTempPart, "\Temp") in its canonical form when it
// exists and resolves to just that, with no link on the way below `base`;
// empty otherwise.
std::wstring RealTempFolder(const std::wstring& base, const std::wstring& part);

// The canonical existing folders, without repeats; a profile folder that
// is not absolute, or whose temporary folder resolves elsewhere (".."
// parts) or is a link, gives none.
std::vector<std::wstring> TempFoldersToEmpty(const UserList& users, const std::wstring& commonAppData,
                                             const std::wstring& windowsFolder);

}  // namespace tavrin
