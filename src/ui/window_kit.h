#pragma once
// What the program's own dialog windows share: their class, their child
// controls, their place beside the owner and their see-through labels.
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

// A visible child control of this module.
HWND AddControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int w, int h,
                int id, DWORD exStyle = 0);

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
