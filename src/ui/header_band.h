#pragma once
// The band at the top of the main window: its gradient, the program's
// shield, and the labels and links that stand on it.
#include <windows.h>

namespace tavrin {

// In design units (see window_kit.h).
inline constexpr int kHeaderHeight = 78;

// The band's gradient at `dpi` as a brush, so that the controls standing on
// it can paint their background with the same colours. The caller deletes
// it.
HBRUSH MakeHeaderBrush(UINT dpi);

// The band, its lower edge and the shield, across `width` pixels at `dpi`.
void PaintHeader(HDC dc, int width, HBRUSH headerBrush, UINT dpi);

// The background of a static control or link of `window` (the answer to
// WM_CTLCOLORSTATIC): the band's brush, aligned with the band, for those on
// it; the window colour for the others.
HBRUSH StaticControlBackground(HWND window, HWND control, HDC dc, HBRUSH headerBrush);

}  // namespace tavrin
