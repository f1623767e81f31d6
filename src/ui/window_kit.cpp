#include "ui/window_kit.h"

#include <commctrl.h>
#include <shlobj.h>

#include "ui/ui_fonts.h"

namespace tavrin {

namespace {

// Where a window keeps the DPI WM_DPICHANGED gave it, and a control its
// rectangle in design units.
constexpr wchar_t kDpiProperty[] = L"TavrinDpi";
constexpr wchar_t kDesignProperty[] = L"TavrinDesignRect";

// Windows 10 gives each window its monitor's DPI; earlier versions have
// only the system's, and lack the functions.
template <typename Function>
Function User32Function(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT SystemDpi() {
  static const auto getDpiForSystem = User32Function<UINT(WINAPI*)()>("GetDpiForSystem");
  if (getDpiForSystem) return getDpiForSystem();
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? UINT(dpi) : kDesignDpi;
}

// The design rectangle packed into a property: four 16-bit fields.
HANDLE PackRect(int x, int y, int w, int h) {
  auto field = [](int v, int shift) { return (UINT64(UINT16(v)) << shift); };
  return HANDLE(UINT_PTR(field(x, 0) | field(y, 16) | field(w, 32) | field(h, 48)));
}

RECT UnpackRect(HANDLE packed) {
  const UINT64 bits = UINT64(UINT_PTR(packed));
  auto field = [&](int shift) { return int(INT16(UINT16(bits >> shift))); };
  return {field(0), field(16), field(32), field(48)};
}

struct DpiChange {
  HWND window;
  UINT before;
  UINT after;
};

void ScaleListColumns(HWND list, const DpiChange& change) {
  HWND header = HWND(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = header ? int(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (int column = 0; column < columns; ++column) {
    const int width = int(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(MulDiv(width, int(change.after), int(change.before)), 0));
  }
}

BOOL CALLBACK RescaleChild(HWND child, LPARAM parameter) {
  const auto& change = *reinterpret_cast<const DpiChange*>(parameter);
  RescaleFont(child, change.after);
  wchar_t name[64] = {};
  GetClassNameW(child, name, 64);
  if (lstrcmpiW(name, WC_LISTVIEWW) == 0) ScaleListColumns(child, change);
  if (HANDLE packed = GetPropW(child, kDesignProperty)) {
    const RECT design = UnpackRect(packed);
    MoveWindow(child, Scaled(design.left, change.after), Scaled(design.top, change.after),
               Scaled(design.right, change.after), Scaled(design.bottom, change.after), TRUE);
  }
  return TRUE;
}

// Tips are windows of their own, owned by the window their tools are on.
BOOL CALLBACK RescaleOwnedTips(HWND popup, LPARAM parameter) {
  const auto& change = *reinterpret_cast<const DpiChange*>(parameter);
  wchar_t name[64] = {};
  GetClassNameW(popup, name, 64);
  if (GetWindow(popup, GW_OWNER) != change.window || lstrcmpiW(name, TOOLTIPS_CLASSW) != 0) return TRUE;
  const int width = int(SendMessageW(popup, TTM_GETMAXTIPWIDTH, 0, 0));
  if (width > 0) SendMessageW(popup, TTM_SETMAXTIPWIDTH, 0, MulDiv(width, int(change.after), int(change.before)));
  return TRUE;
}

}  // namespace

UINT WindowDpi(HWND window) {
  if (!window) return SystemDpi();
  HWND root = GetAncestor(window, GA_ROOT);
  if (UINT_PTR kept = UINT_PTR(GetPropW(root ? root : window, kDpiProperty))) return UINT(kept);
  static const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
  return dpi ? dpi : SystemDpi();
}

int Scaled(int designUnits, UINT dpi) { return MulDiv(designUnits, int(dpi), int(kDesignDpi)); }

int Unscaled(int pixels, UINT dpi) { return MulDiv(pixels, int(kDesignDpi), int(dpi ? dpi : kDesignDpi)); }

int MetricForDpi(int index, UINT dpi) {
  static const auto forDpi = User32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
  if (forDpi) return forDpi(index, dpi);
  return MulDiv(GetSystemMetrics(index), int(dpi), int(SystemDpi()));
}

RECT DesignClientRect(HWND window) {
  const UINT dpi = WindowDpi(window);
  RECT client{};
  GetClientRect(window, &client);
  return {0, 0, Unscaled(client.right, dpi), Unscaled(client.bottom, dpi)};
}

void PlaceScaled(HWND window, HWND owner, int width, int height) {
  const UINT dpi = WindowDpi(window);
  const int w = Scaled(width, dpi);
  const int h = Scaled(height, dpi);
  const POINT at = CentredOn(owner, w, h);
  SetWindowPos(window, nullptr, at.x, at.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetClientSize(HWND window, int width, int height) {
  RECT frame{}, client{};
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  const int extraWidth = (frame.right - frame.left) - client.right;
  const int extraHeight = (frame.bottom - frame.top) - client.bottom;
  SetWindowPos(window, nullptr, 0, 0, width + extraWidth, height + extraHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam) {
  DpiChange change{window, WindowDpi(window), HIWORD(wParam)};
  if (change.after == 0) change.after = change.before;
  SetPropW(window, kDpiProperty, HANDLE(UINT_PTR(change.after)));
  EnumChildWindows(window, RescaleChild, LPARAM(&change));
  EnumThreadWindows(GetCurrentThreadId(), RescaleOwnedTips, LPARAM(&change));
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  if (suggested)
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  return change.before;
}

HICON LoadScaledIcon(HINSTANCE instance, LPCWSTR name, int designSize, UINT dpi) {
  const int size = Scaled(designSize, dpi);
  return HICON(LoadImageW(instance, name, IMAGE_ICON, size, size, LR_SHARED));
}

HICON FileIcon(const std::wstring& file, int index, int designSize, UINT dpi) {
  const int size = Scaled(designSize, dpi);
  HICON icon = nullptr;
  if (PrivateExtractIconsW(file.c_str(), index, size, size, &icon, nullptr, 1, 0) != 1) return nullptr;
  return icon;
}

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
  const UINT dpi = WindowDpi(parent);
  HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, Scaled(x, dpi),
                                 Scaled(y, dpi), Scaled(w, dpi), Scaled(h, dpi), parent, HMENU(INT_PTR(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control) SetPropW(control, kDesignProperty, PackRect(x, y, w, h));
  return control;
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
