#pragma once
// Tool tips of the program's windows: one tool-tip window per top-level
// window, one tool per control.
#include <windows.h>

namespace tavrin {

HWND CreateToolTips(HWND owner);
// Adds or replaces the control's tip text. The tool tip window watches the
// control's mouse messages itself unless `relayed` is set: the owner then
// hands them over with TTM_RELAYEVENT (for controls that repaint wrongly
// when watched, such as links).
void SetToolTip(HWND toolTips, HWND control, const wchar_t* text, bool relayed = false);

}  // namespace tavrin
