#pragma once
// What the program's own dialog windows share: their class, their child
// controls, their place beside the owner, their see-through labels and
// their scale.
//
// Windows are laid out in design units, pixels at 96 DPI, scaled by the
// DPI of the window they are on (the program is per-monitor aware).
#include <windows.h>

#include <string>

namespace tavrin {

// Registers a class of this module with the arrow cursor and the system
// colour `background` (a COLOR_ index); true when the class exists
// afterwards, also when an earlier call registered it.
bool RegisterWindowClass(const wchar_t* className, WNDPROC proc, int background, HICON icon = nullptr);

// Keeps the creation parameter as the window's user data when `message` is
// WM_NCCREATE; returns what the window keeps (null before that).
void* WindowData(HWND window, UINT message, LPARAM lParam);

inline constexpr UINT kDesignDpi = 96;

// The DPI `window` is laid out for: the one WM_DPICHANGED last gave it, else
// its monitor's, else the system DPI (also for a null window and on
// Windows before 10, which has no per-window DPI).
UINT WindowDpi(HWND window);
// Design units to pixels at `dpi`, and back.
int Scaled(int designUnits, UINT dpi);
int Unscaled(int pixels, UINT dpi);
// A system metric (SM_CXVSCROLL, SM_CXSMICON...) at `dpi`.
int MetricForDpi(int index, UINT dpi);

// A visible child control of this module, its rectangle in design units:
// placed at the parent's DPI, and placed again when that DPI changes.
HWND AddControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int w, int h,
                int id, DWORD exStyle = 0);

// The window's client area in design units.
RECT DesignClientRect(HWND window);

// Gives a new top-level window its size, `width` x `height` design units at
// its own DPI, centred on `owner` (on the screen when null).
void PlaceScaled(HWND window, HWND owner, int width, int height);

// Resizes the window so that its client area is `width` x `height` pixels,
// keeping its top-left corner.
void SetClientSize(HWND window, int width, int height);

// The answer to WM_DPICHANGED: the window takes the suggested rectangle;
// its controls their design rectangles, fonts and list columns at the new
// DPI; the tips it owns their width. Returns the DPI it had before.
UINT FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam);

// An icon of the module (or a system icon with a null `instance`) at
// `designSize` design units for `dpi`; shared, never destroyed.
HICON LoadScaledIcon(HINSTANCE instance, LPCWSTR name, int designSize, UINT dpi);
// The icon `index` of a file at `designSize` for `dpi`; null when it has
// none. The caller destroys it.
HICON FileIcon(const std::wstring& file, int index, int designSize, UINT dpi);

// The owner when it is visible and not minimized, else null: a hidden or
// minimized owner neither places nor owns a dialog.
HWND ShownOwner(HWND owner);

// The top-left corner of a window of this size centred on `owner`, or on
// the screen when there is none.
POINT CentredOn(HWND owner, int width, int height);

// The shell's folder picker with its title; the chosen folder, or empty.
std::wstring BrowseForFolder(HWND owner, const wchar_t* title);

// The answer to WM_CTLCOLORSTATIC / WM_CTLCOLORBTN that lets labels and
// buttons show the window's own background colour.
LRESULT TransparentBackground(HDC dc, int background);

}  // namespace tavrin
