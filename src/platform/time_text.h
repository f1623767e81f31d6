#pragma once
// The program's one date-time format, shared by the reports, the "Modified
// in" column of Malware rows and the cloud look-ups.
#include <windows.h>

#include <cstdint>
#include <string>

namespace tavrin {

// "2024/03/05 07:04:09".
std::wstring ReportTimeText(const SYSTEMTIME& time);
// A time in FILETIME units (local or UTC, as the caller has it), written as
// above.
std::wstring ReportTimeText(uint64_t fileTime);

}  // namespace tavrin
