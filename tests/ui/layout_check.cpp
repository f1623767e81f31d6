#include "layout_check.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/window_kit.h"
#include "window_driver.h"

namespace tavrin::test {

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

bool IsClass(HWND window, const wchar_t* name) { return lstrcmpiW(ClassOf(window).c_str(), name) == 0; }

bool Shown(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

std::wstring Describe(HWND control) {
  return ClassOf(control) + L" \"" + WindowText(control) + L"\"";
}

std::wstring Rect(const RECT& r) {
  return L"(" + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L")-(" + std::to_wstring(r.right) + L"," +
         std::to_wstring(r.bottom) + L")";
}

// The control's rectangle in its parent's client coordinates.
RECT PlaceIn(HWND control, HWND parent) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// A link shows its text without the markup.
std::wstring ShownText(HWND control) {
  std::wstring text = WindowText(control);
  if (IsClass(control, WC_LINK)) {
    for (const wchar_t* tag : {L"<a>", L"</a>"}) {
      for (size_t at; (at = text.find(tag)) != std::wstring::npos;) text.erase(at, wcslen(tag));
    }
  }
  return text;
}

// The extent of `text` in the control's font: wrapped at `wrapWidth` when
// it is above zero, else on one line.
SIZE TextExtent(HWND control, const std::wstring& text, int wrapWidth, UINT prefix) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, HGDIOBJ(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT r{0, 0, std::max(wrapWidth, 1), 0};
  DrawTextW(dc, text.c_str(), int(text.size()), &r,
            DT_CALCRECT | prefix | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {r.right, r.bottom};
}

// The room a control's text has (its client area less the parts drawn
// beside the text), and whether the text wraps in it.
struct TextRoom {
  int width = 0;
  int height = 0;
  bool wraps = false;
  bool checked = false;  // false: the control's text is not measured
  UINT prefix = 0;
};

TextRoom RoomFor(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  const UINT dpi = WindowDpi(control);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  TextRoom room{client.right, client.bottom};
  if (IsClass(control, L"Static")) {
    const LONG type = style & SS_TYPEMASK;
    if (type == SS_ICON || type == SS_BITMAP || (style & SS_PATHELLIPSIS) == SS_PATHELLIPSIS) return room;
    room.checked = true;
    room.wraps = type == SS_LEFT && !(style & SS_CENTERIMAGE);
    room.prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    return room;
  }
  if (IsClass(control, L"Button")) {
    const LONG type = style & BS_TYPEMASK;
    room.checked = true;
    if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON) {
      // The box and the gap after it.
      room.width -= Scaled(13, dpi) + Scaled(4, dpi);
    } else {
      // A push button's edge and focus frame on either side.
      room.width -= 2 * Scaled(4, dpi);
      room.height -= 2 * Scaled(3, dpi);
    }
    return room;
  }
  if (IsClass(control, WC_LINK)) {
    room.checked = true;
    room.prefix = DT_NOPREFIX;
  }
  return room;
}

void CheckText(HWND control, std::vector<std::wstring>& faults) {
  const TextRoom room = RoomFor(control);
  if (IsClass(control, L"Edit") || IsClass(control, DATETIMEPICK_CLASSW)) {
    // One line of the control's font fits its height.
    RECT client;
    GetClientRect(control, &client);
    const int height = FontHeight(control);
    if (height > client.bottom) {
      faults.push_back(Describe(control) + L": a line " + std::to_wstring(height) + L" high in " +
                       std::to_wstring(client.bottom));
    }
    return;
  }
  const std::wstring text = ShownText(control);
  if (!room.checked || text.empty()) return;
  const SIZE extent = TextExtent(control, text, room.wraps ? room.width : 0, room.prefix);
  if (extent.cx > room.width || extent.cy > room.height) {
    faults.push_back(Describe(control) + L": text " + std::to_wstring(extent.cx) + L"x" + std::to_wstring(extent.cy) +
                     L" in " + std::to_wstring(room.width) + L"x" + std::to_wstring(room.height));
  }
}

void CheckTabItems(HWND tabs, std::vector<std::wstring>& faults) {
  RECT client;
  GetClientRect(tabs, &client);
  const int count = int(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int item = 0; item < count; ++item) {
    RECT r{};
    SendMessageW(tabs, TCM_GETITEMRECT, item, LPARAM(&r));
    if (r.right > client.right) faults.push_back(Describe(tabs) + L": tab " + std::to_wstring(item) + L" cut off");
  }
}

// A tab control holds the pages and lists that stand on it.
bool Holds(HWND outer, const RECT& outerRect, const RECT& innerRect) {
  RECT both;
  return IsClass(outer, WC_TABCONTROLW) && IntersectRect(&both, &outerRect, &innerRect) && EqualRect(&both, &innerRect);
}

void CheckChildren(HWND parent, std::vector<std::wstring>& faults) {
  RECT client;
  GetClientRect(parent, &client);
  std::vector<std::pair<HWND, RECT>> shown;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!Shown(child)) continue;
    const RECT r = PlaceIn(child, parent);
    RECT inside;
    if (!IntersectRect(&inside, &r, &client) || !EqualRect(&inside, &r))
      faults.push_back(Describe(child) + L": " + Rect(r) + L" outside the client area " + Rect(client));
    for (const auto& [other, otherRect] : shown) {
      RECT both;
      if (IntersectRect(&both, &r, &otherRect) && !Holds(child, r, otherRect) && !Holds(other, otherRect, r))
        faults.push_back(Describe(child) + L" " + Rect(r) + L" overlaps " + Describe(other) + L" " + Rect(otherRect));
    }
    shown.emplace_back(child, r);
    CheckText(child, faults);
    if (IsClass(child, WC_TABCONTROLW)) CheckTabItems(child, faults);
    // A page of controls of its own: its controls are checked within it.
    if (!IsClass(child, WC_LISTVIEWW) && !IsClass(child, DATETIMEPICK_CLASSW)) CheckChildren(child, faults);
  }
}

}  // namespace

int FontHeight(HWND window) {
  HFONT font = HFONT(SendMessageW(window, WM_GETFONT, 0, 0));
  if (!font) return 0;
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return metrics.tmHeight;
}

std::vector<std::wstring> LayoutFaults(HWND window) {
  std::vector<std::wstring> faults;
  CheckChildren(window, faults);
  return faults;
}

}  // namespace tavrin::test
