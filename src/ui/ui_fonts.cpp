#include "ui/ui_fonts.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/windows_version.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

enum class FontKind { Window, List, Heading, Bold };

struct FontCache {
  std::mutex lock;
  std::map<std::pair<FontKind, UINT>, HFONT> fonts;
};

FontCache& Cache() {
  static FontCache cache;
  return cache;
}

HFONT MakeFont(FontKind kind, UINT dpi) {
  int tenthsOfPoint = 100;
  int weight = FW_NORMAL;
  if (kind == FontKind::List) tenthsOfPoint = 87;
  if (kind == FontKind::Heading) tenthsOfPoint = 160, weight = FW_SEMIBOLD;
  if (kind == FontKind::Bold) weight = FW_BOLD;
  return CreateFontW(-MulDiv(tenthsOfPoint, int(dpi), 720), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS,
                     UiFontFace());
}

HFONT FontOf(FontKind kind, UINT dpi) {
  FontCache& cache = Cache();
  std::lock_guard<std::mutex> hold(cache.lock);
  HFONT& font = cache.fonts[{kind, dpi}];
  // A font kept here is never deleted by the program, but a control may
  // delete the font it was given when it goes.
  if (!font || GetObjectType(font) != OBJ_FONT) font = MakeFont(kind, dpi);
  return font;
}

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font) {
  // Controls that chose a font of their own keep it.
  if (SendMessageW(child, WM_GETFONT, 0, 0) == 0) SendMessageW(child, WM_SETFONT, WPARAM(font), TRUE);
  return TRUE;
}

}  // namespace

const wchar_t* UiFontFace() { return WindowsVersion() >= 6.0 ? L"Segoe UI" : L"Arial"; }

HFONT WindowFont(UINT dpi) { return FontOf(FontKind::Window, dpi); }
HFONT ListFont(UINT dpi) { return FontOf(FontKind::List, dpi); }
HFONT HeadingFont(UINT dpi) { return FontOf(FontKind::Heading, dpi); }
HFONT BoldFont(UINT dpi) { return FontOf(FontKind::Bold, dpi); }

void ApplyWindowFont(HWND window) {
  HFONT font = WindowFont(WindowDpi(window));
  SendMessageW(window, WM_SETFONT, WPARAM(font), TRUE);
  EnumChildWindows(window, SetFontOnChild, LPARAM(font));
}

void RescaleFont(HWND control, UINT dpi) {
  HFONT current = HFONT(SendMessageW(control, WM_GETFONT, 0, 0));
  if (!current) return;
  FontKind kind;
  {
    FontCache& cache = Cache();
    std::lock_guard<std::mutex> hold(cache.lock);
    auto found = cache.fonts.begin();
    while (found != cache.fonts.end() && found->second != current) ++found;
    if (found == cache.fonts.end() || found->first.second == dpi) return;
    kind = found->first.first;
  }
  SendMessageW(control, WM_SETFONT, WPARAM(FontOf(kind, dpi)), TRUE);
}

}  // namespace tavrin
