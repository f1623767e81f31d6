#include "ui/custom_scan_dialog.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/file_system.h"
#include "scan/custom_scan_target.h"
#include "ui/modal_loop.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

constexpr int kWidth = 540;
constexpr int kHeight = 440;

struct DialogState {
  bool ended = false;
  std::optional<CustomScanRequest> request;
};

std::wstring FieldText(HWND dialog) {
  HWND field = GetDlgItem(dialog, kIdCustomTarget);
  std::wstring text(size_t(GetWindowTextLengthW(field)) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(field, text.data(), int(text.size()))));
  return text;
}

// The recursive option means something only for a folder.
void ApplyRecursiveRule(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, kIdCustomRecursive), FolderExists(FieldText(dialog)));
}

void SetField(HWND dialog, const std::wstring& text) {
  SetDlgItemTextW(dialog, kIdCustomTarget, text.c_str());
  ApplyRecursiveRule(dialog);
}

void PickFolder(HWND dialog) {
  const std::wstring folder = BrowseForFolder(dialog, L"Select the folder to scan");
  if (!folder.empty()) SetField(dialog, folder);
}

void PickFiles(HWND dialog) {
  std::vector<wchar_t> buffer(32768, L'\0');
  OPENFILENAMEW open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = dialog;
  open.lpstrFilter = L"All files\0*.*\0";
  open.lpstrFile = buffer.data();
  open.nMaxFile = DWORD(buffer.size());
  open.lpstrTitle = L"Select the files to scan. Hold Ctrl down for multiple files";
  open.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&open)) return;
  // One file: its path. Several: the folder, then each name, zero-separated.
  std::vector<std::wstring> parts;
  for (const wchar_t* at = buffer.data(); *at; at += wcslen(at) + 1) parts.emplace_back(at);
  if (parts.empty()) return;
  std::vector<std::wstring> items;
  if (parts.size() == 1) {
    items = parts;
  } else {
    const std::wstring folder = parts[0].back() == L'\\' ? parts[0] : parts[0] + L"\\";
    for (size_t i = 1; i < parts.size(); ++i) items.push_back(folder + parts[i]);
  }
  SetField(dialog, TargetOfItems(items));
}

LRESULT CALLBACK CustomScanDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<DialogState*>(WindowData(window, message, lParam));
  switch (message) {
    case WM_COMMAND:
      if (!state) break;
      switch (LOWORD(wParam)) {
        case kIdCustomTarget:
          if (HIWORD(wParam) == EN_CHANGE) ApplyRecursiveRule(window);
          return 0;
        case kIdCustomSelectFolder:
          PickFolder(window);
          return 0;
        case kIdCustomSelectFiles:
          PickFiles(window);
          return 0;
        case IDOK: {
          const std::wstring text = FieldText(window);
          if (text.size() < 2) return 0;
          CustomScanRequest request;
          request.target = text;
          request.recursive = FolderExists(text) && IsDlgButtonChecked(window, kIdCustomRecursive) == BST_CHECKED;
          state->request = request;
          state->ended = true;
          return 0;
        }
        case IDCANCEL:
          state->ended = true;
          return 0;
      }
      break;
    case WM_DROPFILES: {
      const std::wstring target = TargetOfItems(DroppedPaths(HDROP(wParam)));
      if (!target.empty()) SetField(window, target);
      return 0;
    }
    case WM_CLOSE:
      if (state) state->ended = true;
      return 0;
    case WM_DPICHANGED:
      FollowDpiChange(window, wParam, lParam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (GetDlgCtrlID(HWND(lParam)) == kIdCustomTarget) break;
      return TransparentBackground(HDC(wParam), COLOR_WINDOW);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::vector<std::wstring> DroppedPaths(HDROP drop) {
  std::vector<std::wstring> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(size_t(length) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
    if (!path.empty()) paths.push_back(path);
  }
  DragFinish(drop);
  return paths;
}

std::optional<CustomScanRequest> RunCustomScanDialog(HWND owner, const std::wstring& initial) {
  RegisterWindowClass(kCustomScanDialogClass, CustomScanDialogProc, COLOR_WINDOW);
  DialogState state;
  HWND shownOwner = ShownOwner(owner);
  const POINT at = CentredOn(shownOwner, kWidth, kHeight);
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, kCustomScanDialogClass,
                                L"Custom Scan", WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, kWidth, kHeight,
                                shownOwner, nullptr, GetModuleHandleW(nullptr), &state);
  if (!dialog) return std::nullopt;
  PlaceScaled(dialog, shownOwner, kWidth, kHeight);

  const RECT client = DesignClientRect(dialog);
  const int width = client.right - 40;
  HWND heading = AddControl(dialog, L"STATIC", L"Scan a directory or multiple files for malware", SS_NOPREFIX, 20, 12,
                            width, 50, 0);
  AddControl(dialog, L"STATIC", L"You can manually enter or paste the path of the files or folder to scan below",
             SS_NOPREFIX, 20, 72, width, 20, 0);
  HWND field = AddControl(dialog, L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 20, 96, width, 24,
                          kIdCustomTarget);
  AddControl(dialog, L"STATIC", L"Or drop files or a folder here", SS_NOPREFIX | SS_CENTER | SS_CENTERIMAGE | WS_BORDER,
             20, 132, width, 90, kIdCustomDropArea);
  AddControl(dialog, L"STATIC", L"Or browse and select the files or folder to scan", SS_NOPREFIX, 20, 234, width, 20,
             0);
  AddControl(dialog, L"BUTTON", L"Select folder", BS_PUSHBUTTON | WS_TABSTOP, 20, 260, 130, 30,
             kIdCustomSelectFolder);
  AddControl(dialog, L"BUTTON", L"Select files", BS_PUSHBUTTON | WS_TABSTOP, 160, 260, 130, 30, kIdCustomSelectFiles);
  AddControl(dialog, L"BUTTON", L" Scan sub folders (recursive)", BS_AUTOCHECKBOX | WS_TABSTOP, 20, 304, width, 24,
             kIdCustomRecursive);
  AddControl(dialog, L"BUTTON", L"Start scan", BS_DEFPUSHBUTTON | WS_TABSTOP, client.right - 150, client.bottom - 46,
             130, 32, IDOK);
  ApplyWindowFont(dialog);
  SendMessageW(heading, WM_SETFONT, WPARAM(HeadingFont(WindowDpi(dialog))), TRUE);
  CheckDlgButton(dialog, kIdCustomRecursive, BST_CHECKED);
  SetField(dialog, initial);

  ShowWindow(dialog, SW_SHOW);
  SetFocus(field);
  RunModalLoop(dialog, shownOwner, [&] { return state.ended; });
  DestroyWindow(dialog);
  return state.request;
}

}  // namespace tavrin
