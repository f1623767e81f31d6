#pragma once
// The fonts of the program's windows, made once per process and DPI and
// kept until it ends.
#include <windows.h>

namespace tavrin {

// "Segoe UI" from Windows 6.0 on, "Arial" before.
const wchar_t* UiFontFace();
// Each at `dpi`, the DPI of the window the font is for (WindowDpi).
HFONT WindowFont(UINT dpi);   // 10 points
HFONT ListFont(UINT dpi);     // 8.7 points
HFONT HeadingFont(UINT dpi);  // the title lines and headings
HFONT BoldFont(UINT dpi);     // 10 points, bold

// Sets the window font at the window's DPI on a window and all its
// children that have none of their own.
void ApplyWindowFont(HWND window);
// Gives a control that has one of these fonts the same font at `dpi`.
void RescaleFont(HWND control, UINT dpi);

}  // namespace tavrin
