#pragma once
// The restore point made before a removal changes anything.
#include <windows.h>

#include <cstdint>
#include <string>

namespace tavrin {

inline constexpr wchar_t kRestoreFrequencyKey[] = L"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\SystemRestore";
inline constexpr wchar_t kRestoreFrequencyValue[] = L"SystemRestorePointCreationFrequency";
// Ten minutes for the new point to show up among the listed ones.
inline constexpr DWORD kRestorePointWaitMs = 600000;

// The sequence number of the new restore point, 0 when none was made (an
// empty description, no System Restore, a refused request). The platform's
// creation-frequency limit is lifted for the call and put back exactly as
// it was, present with its data or absent. The calling thread's messages
// are dispatched while the platform works; a listing that fails ends the
// wait at once.
int64_t CreateRestorePoint(const std::wstring& description, DWORD eventType, DWORD restorePointType);

}  // namespace tavrin
