#pragma once
// System Restore as the platform offers it: the request through
// SrClient.dll (loaded at run time from the System folder by its full
// path, absent where System Restore is not installed) and the restore points the WMI class lists.
#include <windows.h>

#include <cstdint>
#include <string>

namespace tavrin {

struct RestorePointRequest {
  DWORD eventType = 100;        // BEGIN_SYSTEM_CHANGE
  DWORD restorePointType = 12;  // MODIFY_SETTINGS
  std::wstring description;     // cut to 255 characters
};

// SRSetRestorePointW; false when the library or its export is missing or
// the platform refuses. `sequenceNumber` is the new point's on success.
bool RequestRestorePoint(const RestorePointRequest& request, int64_t& sequenceNumber);

enum class RestorePointSeen { Listed, NotYet, QueryFailed };
// Whether an instance of "SystemRestore" in "root/default" has that
// "SequenceNumber". Initialises COM for the call when the thread has not.
RestorePointSeen FindRestorePoint(int64_t sequenceNumber);

}  // namespace tavrin
