#include "removal/restore_point.h"

#include <atomic>
#include <thread>

#include "platform/message_pump.h"
#include "platform/registry.h"
#include "platform/system_restore.h"

namespace tavrin {

namespace {

// Ends with true once the new point is listed or the wait is over; false
// when no point was made.
bool MakeAndAwait(const RestorePointRequest& request, int64_t& sequenceNumber) {
  if (!RequestRestorePoint(request, sequenceNumber)) return false;
  const ULONGLONG deadline = GetTickCount64() + kRestorePointWaitMs;
  while (GetTickCount64() < deadline) {
    if (FindRestorePoint(sequenceNumber) != RestorePointSeen::NotYet) break;
    Sleep(50);
  }
  return true;
}

}  // namespace

int64_t CreateRestorePoint(const std::wstring& description, DWORD eventType, DWORD restorePointType) {
  if (description.empty()) return 0;
  RestorePointRequest request;
  request.eventType = eventType;
  request.restorePointType = restorePointType;
  request.description = description.substr(0, 255);

  // The platform refuses a second point within that many minutes; the
  // user's own setting must survive the removal exactly, also its type.
  RegKey key = OpenKey(kRestoreFrequencyKey, kRegCreateOrOpen);
  RegValueBuffer saved;
  const bool existed = key && ReadRaw(key, kRestoreFrequencyValue, saved);
  DWORD frequency = 0;
  bool lifted = false;
  if (key && ReadDword(key, kRestoreFrequencyValue, frequency) && frequency != 0)
    lifted = WriteDword(key, kRestoreFrequencyValue, 0);

  std::atomic<bool> made{false}, done{false};
  int64_t sequenceNumber = 0;
  std::thread worker([&] {
    made = MakeAndAwait(request, sequenceNumber);
    done = true;
  });
  while (!done) {
    DispatchPendingMessages();
    Sleep(20);
  }
  worker.join();

  if (key) {
    if (lifted)
      WriteValue(key, kRestoreFrequencyValue, saved.type, saved.Data(), saved.length);
    else if (!existed)
      DeleteValue(key, kRestoreFrequencyValue);
  }
  return made ? sequenceNumber : 0;
}

}  // namespace tavrin
