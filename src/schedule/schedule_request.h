#pragma once
// A scheduled scan as the settings dialog asks for it, and the one text
// that describes its task: name, description, program, arguments, date
// and time, joined by "  |  ".
#include <windows.h>

#include <string>

#include "platform/scheduled_tasks.h"

namespace tavrin {

inline constexpr wchar_t kScheduleTaskName[] = L"Tavrin Scheduled Scan";

struct ScheduleRequest {
  SYSTEMTIME firstStart{};  // local date and time of the first run
  unsigned repeatDays = 0;  // 0: runs once
  bool currentUserOnly = false;
  bool noMalware = false;
  bool remove = false;
  // Only with `remove`.
  bool quiet = false;
  bool noRestorePoint = false;
  bool autoReboot = false;
};

// " /ScanRemove" with " /Quiet", " /NoRP", " /AutoReboot" as asked, or
// " /Scan"; then " /CUOnly" and " /NoMalware" as asked.
std::wstring ScheduleArguments(const ScheduleRequest& request);

// The task's text for the program at `executable`.
std::wstring ScheduleSpecification(const ScheduleRequest& request, const std::wstring& executable);

// The task a specification describes, its working folder the program's
// folder. False unless the text splits into exactly six fields with a
// program, a date "yyyy-MM-dd" and a time "hh:mm:ss" that name a real
// moment.
bool ParseScheduleSpecification(const std::wstring& text, unsigned repeatDays, TaskRegistration& task);

}  // namespace tavrin
