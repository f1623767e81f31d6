#pragma once
// What a window must be at any DPI, checked on the window itself: every
// visible control inside its parent's client area, no two sibling controls
// overlapping, each control's text fitting it in the control's own font.
#include <windows.h>

#include <string>
#include <vector>

namespace tavrin::test {

// One line per fault, naming the control by its class and text; empty when
// the window is sound. Call it on the thread of the window or another of
// the same process (the fonts are read from the controls).
std::vector<std::wstring> LayoutFaults(HWND window);

// The height in pixels of the font a window has (WM_GETFONT), 0 for none.
int FontHeight(HWND window);

}  // namespace tavrin::test
