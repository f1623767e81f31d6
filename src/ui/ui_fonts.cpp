#include "ui/ui_fonts.h"

#include "platform/windows_version.h"

namespace tavrin {

namespace {

// Font height in logical units for a size in tenths of a point.
int HeightOf(int tenthsOfPoint) {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return -MulDiv(tenthsOfPoint, dpi, 720);
}

HFONT MakeFont(int tenthsOfPoint, int weight) {
  return CreateFontW(HeightOf(tenthsOfPoint), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS,
                     UiFontFace());
}

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font) {
  // Controls that chose a font of their own keep it.
  if (SendMessageW(child, WM_GETFONT, 0, 0) == 0) SendMessageW(child, WM_SETFONT, WPARAM(font), TRUE);
  return TRUE;
}

}  // namespace

const wchar_t* UiFontFace() { return WindowsVersion() >= 6.0 ? L"Segoe UI" : L"Arial"; }

HFONT WindowFont() {
  static HFONT font = MakeFont(100, FW_NORMAL);
  return font;
}

HFONT ListFont() {
  static HFONT font = MakeFont(87, FW_NORMAL);
  return font;
}

HFONT HeadingFont() {
  static HFONT font = MakeFont(160, FW_SEMIBOLD);
  return font;
}

HFONT BoldFont() {
  static HFONT font = MakeFont(100, FW_BOLD);
  return font;
}

void ApplyWindowFont(HWND window) {
  SendMessageW(window, WM_SETFONT, WPARAM(WindowFont()), TRUE);
  EnumChildWindows(window, SetFontOnChild, LPARAM(WindowFont()));
}

}  // namespace tavrin
