#pragma once
// The fonts of the program's windows, made once per process and kept until
// it ends.
#include <windows.h>

namespace tavrin {

// "Segoe UI" from Windows 6.0 on, "Arial" before.
const wchar_t* UiFontFace();
HFONT WindowFont();   // 10 points
HFONT ListFont();     // 8.7 points
HFONT HeadingFont();  // the title lines and headings
HFONT BoldFont();     // 10 points, bold

// Sets the window font on a window and all its children.
void ApplyWindowFont(HWND window);

}  // namespace tavrin
