#pragma once
// Tool tips of the program's windows: one tool-tip window per top-level
// window, one tool per control.
#include <windows.h>

namespace tavrin {

HWND CreateToolTips(HWND owner);
// Adds or replaces the control's tip text.
void SetToolTip(HWND toolTips, HWND control, const wchar_t* text);

}  // namespace tavrin
