#pragma once
// The settings dialog's page of scheduled scans: the first start and the
// repeat, the options the task passes to the program, and the buttons
// that create, delete or prepare the schedule.
#include <windows.h>

#include <string>

#include "schedule/schedule_request.h"

namespace tavrin {

// Creates the page as a child of `parent` in `area` (pixels), its controls
// at the parent's DPI; `executablePath` is the running program's own path.
HWND CreateSchedulePage(HWND parent, const RECT& area, const std::wstring& executablePath);

// The date-time picker's format for a user-interface language.
const wchar_t* FirstStartFormat(LANGID language);

}  // namespace tavrin
