#pragma once
// The two access resets of "Reset registry and file permissions" that the
// WMI repair needs too: the installer's folder and key lose what malware
// locked them with, and the temporary folders get back what Windows gives
// them.
#include <string>

#include "repair/repair_context.h"

namespace tavrin {

// The Windows Installer folder, then (only when that succeeded) its key;
// true when the key was reset.
bool ResetInstallerAccess(RepairContext& context);

// The running account's temporary folder as the resets take it: the
// interactive user's profile "\AppData\Local\Temp" when RealTempFolder
// accepts it, whatever TMP and TEMP say; empty otherwise.
std::wstring OwnTempFolderToReset(RepairContext& context);

// The Windows folder's "\Temp", then (only when that succeeded) the
// interactive user's profile "\AppData\Local\Temp", each only as the
// temporary-folder emptying accepts it (RealTempFolder): never the folder a
// TMP or TEMP value names. True when the second reset succeeded.
bool ResetTempFolderAccess(RepairContext& context);

}  // namespace tavrin
