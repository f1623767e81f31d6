#include "ui/window_kit.h"

#include <shlobj.h>

namespace tavrin {

bool RegisterWindowClass(const wchar_t* className, WNDPROC proc, int background, HICON icon) {
  WNDCLASSEXW wc{sizeof wc};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(background);
  wc.hIcon = icon;
  wc.hIconSm = icon;
  wc.lpszClassName = className;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void* WindowData(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  return reinterpret_cast<void*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HWND AddControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int w, int h,
                int id, DWORD exStyle) {
  return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         HMENU(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
}

HWND ShownOwner(HWND owner) { return owner && IsWindowVisible(owner) && !IsIconic(owner) ? owner : nullptr; }

POINT CentredOn(HWND owner, int width, int height) {
  RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (owner) GetWindowRect(owner, &around);
  return {around.left + ((around.right - around.left) - width) / 2,
          around.top + ((around.bottom - around.top) - height) / 2};
}

LRESULT TransparentBackground(HDC dc, int background) {
  SetBkMode(dc, TRANSPARENT);
  return LRESULT(GetSysColorBrush(background));
}

std::wstring BrowseForFolder(HWND owner, const wchar_t* title) {
  BROWSEINFOW browse{};
  browse.hwndOwner = owner;
  browse.lpszTitle = title;
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (!chosen) return {};
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  return ok ? path : L"";
}

}  // namespace tavrin
