#include "ui/header_band.h"

#include <objbase.h>
#include <gdiplus.h>

#include <algorithm>

#include "ui/ui_ids.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

// The program's mark beside its name: a shield with a check mark.
void DrawShield(Gdiplus::Graphics& graphics, float x, float y, float size) {
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::GraphicsPath shield;
  shield.AddBezier(x + size * 0.5f, y, x + size * 0.7f, y + size * 0.12f, x + size * 0.85f, y + size * 0.12f,
                   x + size, y + size * 0.12f);
  shield.AddBezier(x + size, y + size * 0.12f, x + size, y + size * 0.6f, x + size * 0.8f, y + size * 0.85f,
                   x + size * 0.5f, y + size);
  shield.AddBezier(x + size * 0.5f, y + size, x + size * 0.2f, y + size * 0.85f, x, y + size * 0.6f, x,
                   y + size * 0.12f);
  shield.AddBezier(x, y + size * 0.12f, x + size * 0.15f, y + size * 0.12f, x + size * 0.3f, y + size * 0.12f,
                   x + size * 0.5f, y);
  shield.CloseFigure();
  Gdiplus::LinearGradientBrush fill(Gdiplus::PointF(x, y), Gdiplus::PointF(x, y + size),
                                    Gdiplus::Color(255, 52, 120, 206), Gdiplus::Color(255, 18, 60, 130));
  graphics.FillPath(&fill, &shield);
  Gdiplus::Pen check(Gdiplus::Color(255, 255, 255, 255), size * 0.11f);
  check.SetLineJoin(Gdiplus::LineJoinRound);
  check.SetStartCap(Gdiplus::LineCapRound);
  check.SetEndCap(Gdiplus::LineCapRound);
  const Gdiplus::PointF mark[] = {{x + size * 0.28f, y + size * 0.5f},
                                  {x + size * 0.45f, y + size * 0.66f},
                                  {x + size * 0.74f, y + size * 0.33f}};
  graphics.DrawLines(&check, mark, 3);
}

}  // namespace

HBRUSH MakeHeaderBrush(UINT dpi) {
  const int height = Scaled(kHeaderHeight, dpi);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 8;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return CreateSolidBrush(RGB(225, 235, 248));
  {
    Gdiplus::Bitmap canvas(8, height, 8 * 4, PixelFormat32bppRGB, static_cast<BYTE*>(bits));
    Gdiplus::Graphics graphics(&canvas);
    Gdiplus::LinearGradientBrush band(Gdiplus::Point(0, -1), Gdiplus::Point(0, height),
                                      Gdiplus::Color(255, 242, 247, 253), Gdiplus::Color(255, 205, 222, 242));
    graphics.FillRectangle(&band, 0, 0, 8, height);
  }
  HBRUSH brush = CreatePatternBrush(bitmap);
  DeleteObject(bitmap);
  return brush;
}

void PaintHeader(HDC dc, int width, HBRUSH headerBrush, UINT dpi) {
  const int height = Scaled(kHeaderHeight, dpi);
  RECT header{0, 0, width, height};
  SetBrushOrgEx(dc, 0, 0, nullptr);
  FillRect(dc, &header, headerBrush);
  RECT line{0, height, width, height + std::max(1, Scaled(1, dpi))};
  FillRect(dc, &line, GetSysColorBrush(COLOR_3DSHADOW));
  Gdiplus::Graphics graphics(dc);
  DrawShield(graphics, float(Scaled(18, dpi)), float(Scaled(12, dpi)), float(Scaled(50, dpi)));
}

HBRUSH StaticControlBackground(HWND window, HWND control, HDC dc, HBRUSH headerBrush) {
  const int id = GetDlgCtrlID(control);
  SetBkMode(dc, TRANSPARENT);
  if (id == kIdTitle || id == kIdVersion || id == kIdMakerLink || id == kIdHelpLink || id == kIdAboutLink) {
    if (id == kIdTitle) SetTextColor(dc, RGB(20, 60, 120));
    if (id == kIdVersion) SetTextColor(dc, RGB(60, 80, 110));
    // The brush is the header's: it starts where the window starts.
    POINT origin{0, 0};
    MapWindowPoints(control, window, &origin, 1);
    SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
    return headerBrush;
  }
  return GetSysColorBrush(COLOR_WINDOW);
}

}  // namespace tavrin
