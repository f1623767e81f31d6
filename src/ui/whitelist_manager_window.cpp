#include "ui/whitelist_manager_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/product.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "results/whitelist_manager.h"
#include "ui/message_box.h"
#include "ui/modal_loop.h"
#include "ui/tool_tips.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

constexpr int kWidth = 650;
constexpr int kHeight = 500;

struct ManagerState {
  WhiteList* whitelist = nullptr;
  HWND list = nullptr;
  HIMAGELIST images = nullptr;
  bool closed = false;
};

enum Category { kProgramsImage, kAutostartImage, kBrowsersImage, kMalwareImage, kFolderImage };

int CategoryOf(const std::wstring& section) {
  if (EqualsNoCase(section, L"Programs")) return kProgramsImage;
  if (EqualsNoCase(section, L"Whitelisted directories")) return kFolderImage;
  if (StartsWithNoCase(section, L"Infected ")) return kMalwareImage;
  for (const wchar_t* autostart :
       {L"Registry autostart entries", L"Startup folder items", L"Scheduled tasks", L"Appinit DLLs", L"DNS hijackers"}) {
    if (EqualsNoCase(section, autostart)) return kAutostartImage;
  }
  return kBrowsersImage;
}

HIMAGELIST MakeCategoryImages(UINT dpi) {
  const int size = Scaled(16, dpi);
  HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 5, 0);
  const std::wstring system = ShellFolder(CSIDL_SYSTEM);
  auto add = [&](const std::wstring& file, int index, LPCWSTR stock) {
    HICON icon = file.empty() ? nullptr : FileIcon(file, index, 16, dpi);
    if (icon) {
      ImageList_AddIcon(images, icon);
      DestroyIcon(icon);
    } else {
      ImageList_AddIcon(images, LoadScaledIcon(nullptr, stock, 16, dpi));
    }
  };
  add(system + L"\\msiexec.exe", 0, IDI_APPLICATION);
  add(L"", 0, IDI_APPLICATION);
  add(system + L"\\shell32.dll", 13, IDI_INFORMATION);
  add(L"", 0, IDI_WARNING);
  add(system + L"\\shell32.dll", 3, IDI_APPLICATION);
  return images;
}

void FillList(ManagerState& state) {
  SendMessageW(state.list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(state.list, LVM_DELETEALLITEMS, 0, 0);
  int index = 0;
  for (const WhitelistEntry& entry : ListWhitelistEntries(*state.whitelist)) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(entry.section.c_str());
    item.iImage = CategoryOf(entry.section);
    index = int(SendMessageW(state.list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) break;
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = const_cast<wchar_t*>(entry.item.c_str());
    SendMessageW(state.list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub));
    ++index;
  }
  SendMessageW(state.list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(state.list, nullptr, TRUE);
}

std::wstring ItemText(HWND list, int index, int column) {
  std::vector<wchar_t> buffer(32768);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer.data();
  item.cchTextMax = int(buffer.size());
  const LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
  return std::wstring(buffer.data(), size_t(length));
}

bool IsItemChecked(HWND list, int index) {
  return ((SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void CheckAll(HWND list, bool checked) {
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&item));
}

void DeleteChecked(HWND window, ManagerState& state) {
  std::vector<WhitelistEntry> entries;
  const int count = int(SendMessageW(state.list, LVM_GETITEMCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    if (IsItemChecked(state.list, index))
      entries.push_back({ItemText(state.list, index, 0), ItemText(state.list, index, 1)});
  }
  if (entries.empty()) return;
  if (ShowMessage(window, L"Are you sure you want to remove the selected items from your white list?",
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  DeleteWhitelistEntries(*state.whitelist, entries);
  FillList(state);
}

void AddFolder(HWND window, ManagerState& state) {
  const std::wstring path = BrowseForFolder(window, L"Indicate the folder you wish to whitelist");
  if (path.empty() || !WhitelistFolder(*state.whitelist, path)) return;
  FillList(state);
}

// A file name from the open or save picker; empty when cancelled.
std::wstring PickIniFile(HWND window, bool save) {
  wchar_t path[MAX_PATH] = {};
  if (save) wcscpy(path, L"TVN_White_list");
  OPENFILENAMEW pick{};
  pick.lStructSize = sizeof pick;
  pick.hwndOwner = window;
  pick.lpstrFilter = L"INI files (*.ini)\0*.ini\0";
  pick.lpstrFile = path;
  pick.nMaxFile = MAX_PATH;
  pick.lpstrDefExt = L"ini";
  if (save) {
    pick.lpstrTitle = L"Select file to export the white list to";
    pick.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&pick)) return {};
  } else {
    pick.lpstrTitle = L"Select file to import the white list from";
    pick.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&pick)) return {};
  }
  return path;
}

void Import(HWND window, ManagerState& state) {
  const std::wstring path = PickIniFile(window, false);
  if (path.empty()) return;
  std::wstring failure;
  if (!ImportWhitelist(*state.whitelist, path, &failure) && !failure.empty())
    ShowMessage(window, failure, MB_OK | MB_ICONERROR);
  FillList(state);
}

void Export(HWND window, ManagerState& state) {
  const std::wstring path = PickIniFile(window, true);
  if (path.empty()) return;
  std::wstring failure;
  if (!ExportWhitelist(*state.whitelist, path, &failure) && !failure.empty())
    ShowMessage(window, failure, MB_OK | MB_ICONERROR);
}

LRESULT CALLBACK ManagerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<ManagerState*>(WindowData(window, message, lParam));
  switch (message) {
    case WM_COMMAND:
      if (!state) break;
      switch (LOWORD(wParam)) {
        case kIdManagerCheckAll:
          CheckAll(state->list, IsDlgButtonChecked(window, kIdManagerCheckAll) == BST_CHECKED);
          return 0;
        case kIdManagerAddFolder:
          AddFolder(window, *state);
          return 0;
        case kIdManagerDelete:
          DeleteChecked(window, *state);
          return 0;
        case kIdManagerImport:
          Import(window, *state);
          return 0;
        case kIdManagerExport:
          Export(window, *state);
          return 0;
        case IDCANCEL:
          state->closed = true;
          return 0;
      }
      break;
    case WM_CLOSE:
      if (state) state->closed = true;
      return 0;
    case WM_DPICHANGED:
      FollowDpiChange(window, wParam, lParam);
      if (state) {
        HIMAGELIST images = MakeCategoryImages(HIWORD(wParam));
        SendMessageW(state->list, LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(images));
        ImageList_Destroy(state->images);
        state->images = images;
      }
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return TransparentBackground(HDC(wParam), COLOR_BTNFACE);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::wstring WhitelistManagerTitle() { return std::wstring(L"  ") + kProductName + L" Whitelist Manager"; }

void RunWhitelistManager(HWND owner, WhiteList& whitelist) {
  RegisterWindowClass(kWhitelistManagerClass, ManagerProc, COLOR_BTNFACE);

  ManagerState state;
  state.whitelist = &whitelist;
  HWND shownOwner = ShownOwner(owner);
  const POINT at = CentredOn(shownOwner, kWidth, kHeight);
  HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, kWhitelistManagerClass, WhitelistManagerTitle().c_str(),
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, kWidth, kHeight, shownOwner, nullptr,
                                GetModuleHandleW(nullptr), &state);
  if (!window) return;
  PlaceScaled(window, shownOwner, kWidth, kHeight);

  const RECT client = DesignClientRect(window);
  const UINT dpi = WindowDpi(window);
  const int listBottom = client.bottom - 56;
  state.list = AddControl(window, WC_LISTVIEWW, nullptr, WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 10,
                          client.right - 20, listBottom - 10, kIdManagerList, WS_EX_CLIENTEDGE);
  SendMessageW(state.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
  state.images = MakeCategoryImages(dpi);
  SendMessageW(state.list, LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(state.images));
  const auto headers = Split(L"Section name\nWhitelisted item", L"\n");
  const int widths[] = {200, client.right - 20 - 200 - Unscaled(MetricForDpi(SM_CXVSCROLL, dpi), dpi) - 4};
  for (int column = 0; column < 2; ++column) {
    LVCOLUMNW lvc{};
    lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    lvc.pszText = const_cast<wchar_t*>(headers[size_t(column)].c_str());
    lvc.cx = Scaled(widths[column], dpi);
    lvc.iSubItem = column;
    SendMessageW(state.list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&lvc));
  }

  const int y = client.bottom - 44;
  HWND tips = CreateToolTips(window);
  struct Control {
    const wchar_t* text;
    DWORD style;
    int x, width, id;
    const wchar_t* tip;
  };
  const Control controls[] = {
      {L" Check all/none", BS_AUTOCHECKBOX, 12, 120, kIdManagerCheckAll,
       L"Check all or none of the items in the list."},
      {L"Whitelist a folder", BS_PUSHBUTTON, 140, 120, kIdManagerAddFolder,
       L"Add a folder and all its contents to the whitelist.\r\nAny malware found in this folder will not be listed"},
      {L"Delete checked", BS_PUSHBUTTON, 266, 116, kIdManagerDelete, L"Remove the selected items from the white list."},
      {L"Import list", BS_PUSHBUTTON, 388, 116, kIdManagerImport,
       L"Import the white list from an external ini file.\r\nThe imported items will be merged to the current list."},
      {L"Export list", BS_PUSHBUTTON, 510, 116, kIdManagerExport,
       L"Export the white list to an external ini file.\r\nThe exported items will be merged to the existing list."},
  };
  for (const Control& control : controls)
    SetToolTip(tips,
               AddControl(window, L"BUTTON", control.text, WS_TABSTOP | control.style, control.x, y, control.width, 30,
                          control.id),
               control.tip);
  ApplyWindowFont(window);
  SendMessageW(state.list, WM_SETFONT, WPARAM(ListFont(dpi)), TRUE);

  FillList(state);
  ShowWindow(window, SW_SHOW);
  SetFocus(state.list);
  RunModalLoop(window, shownOwner, [&] { return state.closed; });
  DestroyWindow(window);
  ImageList_Destroy(state.images);
}

}  // namespace tavrin
