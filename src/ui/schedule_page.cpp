#include "ui/schedule_page.h"

#include <commctrl.h>
#include <shellapi.h>

#include <iterator>

#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/product.h"
#include "schedule/schedule.h"
#include "schedule/scheduled_program.h"
#include "ui/message_box.h"
#include "ui/tool_tips.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

constexpr wchar_t kPageClass[] = L"TVN_SchedulePage";
constexpr UINT kTrayId = 1;

struct PageState {
  std::wstring executablePath;
  bool trayShown = false;
  NOTIFYICONDATAW tray{};
};

// Messages belong to the dialog the page sits in.
HWND Dialog(HWND page) { return GetAncestor(page, GA_ROOT); }

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

void ApplyEnableRules(HWND page) {
  const bool remove = Checked(page, kIdScheduleRemove);
  for (int id : {kIdScheduleQuiet, kIdScheduleNoRestorePoint, kIdScheduleAutoReboot})
    EnableWindow(GetDlgItem(page, id), remove);
  EnableWindow(GetDlgItem(page, kIdScheduleRepeatDays), Checked(page, kIdScheduleRepeat));
  EnableWindow(GetDlgItem(page, kIdScheduleDelete), ScheduleExists());
}

ScheduleRequest RequestOf(HWND page) {
  ScheduleRequest r;
  GetLocalTime(&r.firstStart);
  SendDlgItemMessageW(page, kIdScheduleFirstStart, DTM_GETSYSTEMTIME, 0, LPARAM(&r.firstStart));
  if (Checked(page, kIdScheduleRepeat)) {
    BOOL read = FALSE;
    const UINT days = GetDlgItemInt(page, kIdScheduleRepeatDays, &read, FALSE);
    r.repeatDays = read && days > 0 ? days : 1;
  }
  r.currentUserOnly = Checked(page, kIdScheduleCurrentUserOnly);
  r.noMalware = Checked(page, kIdScheduleNoMalware);
  r.remove = Checked(page, kIdScheduleRemove);
  r.quiet = r.remove && Checked(page, kIdScheduleQuiet);
  r.noRestorePoint = r.remove && Checked(page, kIdScheduleNoRestorePoint);
  r.autoReboot = r.remove && Checked(page, kIdScheduleAutoReboot);
  return r;
}

// The program the task is to start: a copy in a protected folder when
// users could replace the program itself. Empty when there is none to
// schedule (the copy was declined or failed).
std::wstring ProgramToSchedule(HWND page, const std::wstring& executablePath) {
  const std::wstring program = ScheduledProgramPath(executablePath);
  if (!IsWritableByStandardUsers(program)) return program;
  const std::wstring target = ProtectedProgramPath(program);
  if (target.empty()) return {};
  if (ShowMessage(Dialog(page),
                  L"The program lies in a folder that users without administrator rights can change, and a "
                  L"scheduled scan runs it with full rights.\r\n\r\nCopy it to \"" + target +
                      L"\" and schedule the copy?",
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return {};
  return CopyProgramTo(program, target) ? target : std::wstring();
}

void OnCreate(HWND page, PageState& state) {
  const std::wstring program = ProgramToSchedule(page, state.executablePath);
  if (!program.empty() && CreateSchedule(RequestOf(page), program)) {
    ShowMessage(Dialog(page), L"The selected schedule was successfully created.", MB_OK | MB_ICONINFORMATION);
  } else {
    ShowMessage(Dialog(page), L"Sorry, the selected schedule could not be created.", MB_OK | MB_ICONERROR);
  }
  ApplyEnableRules(page);
}

void OnDelete(HWND page) {
  if (ShowMessage(Dialog(page), L"Are you sure you want to delete the current schedule?", MB_YESNO | MB_ICONQUESTION) !=
      IDYES)
    return;
  if (!DeleteSchedule()) ShowMessage(Dialog(page), L"Sorry, the schedule could not be deleted.", MB_OK | MB_ICONERROR);
  ApplyEnableRules(page);
  // A schedule the scheduler refused to delete keeps the button.
  if (!ScheduleExists()) EnableWindow(GetDlgItem(page, kIdScheduleDelete), FALSE);
}

void OnScanNow(HWND page, PageState& state) {
  ShowMessage(Dialog(page),
              std::wstring(L"This will launch a new instance of ") + kProductName +
                  L" which will automatically start scanning your system. \r\n\r\nOnce the scan is complete, "
                  L"whitelist all the checked items you don't want to remove and close the application to come "
                  L"back here.",
              MB_OK | MB_ICONINFORMATION);
  std::wstring arguments = L" /Scan /NoUpdate /NewInstance";
  if (Checked(page, kIdScheduleCurrentUserOnly)) arguments += L" /CUOnly";
  if (Checked(page, kIdScheduleNoMalware)) arguments += L" /NoMalware";

  NOTIFYICONDATAW& tray = state.tray;
  tray = NOTIFYICONDATAW{};
  tray.cbSize = sizeof tray;
  tray.hWnd = page;
  tray.uID = kTrayId;
  tray.uFlags = NIF_ICON | NIF_TIP | NIF_INFO;
  const UINT dpi = WindowDpi(page);
  tray.hIcon = LoadScaledIcon(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), 16, dpi);
  if (!tray.hIcon) tray.hIcon = LoadScaledIcon(nullptr, IDI_SHIELD, 16, dpi);
  lstrcpynW(tray.szTip, kProductName, int(std::size(tray.szTip)));
  lstrcpynW(tray.szInfoTitle, kProductName, int(std::size(tray.szInfoTitle)));
  lstrcpynW(tray.szInfo,
            (std::wstring(kProductName) +
             L" is scanning your system. Once the scan completes, whitelist all the checked items you don't want "
             L"to remove and then close the application.")
                .c_str(),
            int(std::size(tray.szInfo)));
  tray.dwInfoFlags = NIIF_INFO;
  if (!state.trayShown) {
    state.trayShown = Shell_NotifyIconW(NIM_ADD, &tray) != FALSE;
  } else {
    Shell_NotifyIconW(NIM_MODIFY, &tray);
  }
  RunProgram(L"\"" + PlainPath(state.executablePath) + L"\"", arguments, SW_SHOWNORMAL, false);
}

LRESULT CALLBACK SchedulePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<PageState*>(WindowData(page, message, lParam));
  switch (message) {
    case WM_COMMAND:
      if (!state) break;
      switch (LOWORD(wParam)) {
        case kIdScheduleRemove:
        case kIdScheduleRepeat:
          ApplyEnableRules(page);
          return 0;
        case kIdScheduleCreate:
          OnCreate(page, *state);
          return 0;
        case kIdScheduleDelete:
          OnDelete(page);
          return 0;
        case kIdScheduleScanNow:
          OnScanNow(page, *state);
          return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return TransparentBackground(HDC(wParam), COLOR_WINDOW);
    case WM_NCDESTROY:
      if (state) {
        if (state->trayShown) Shell_NotifyIconW(NIM_DELETE, &state->tray);
        SetWindowLongPtrW(page, GWLP_USERDATA, 0);
        delete state;
      }
      return 0;
  }
  return DefWindowProcW(page, message, wParam, lParam);
}

}  // namespace

const wchar_t* FirstStartFormat(LANGID language) {
  return language == 9 ? L"' 'yyyy'/'MM'/'dd'  'hh':'mm':'ss' 'tt" : L"' 'yyyy'/'MM'/'dd'  'HH':'mm':'ss";
}

HWND CreateSchedulePage(HWND parent, const RECT& area, const std::wstring& executablePath) {
  RegisterWindowClass(kPageClass, SchedulePageProc, COLOR_WINDOW);
  auto* state = new PageState;
  state->executablePath = executablePath;
  HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_VISIBLE, area.left, area.top,
                              area.right - area.left, area.bottom - area.top, parent, nullptr,
                              GetModuleHandleW(nullptr), state);
  if (!page) {
    delete state;
    return nullptr;
  }
  const int width = Unscaled(area.right - area.left, WindowDpi(page)) - 30;
  HWND tips = CreateToolTips(page);
  int y = 8;
  AddControl(page, L"STATIC",
             L"Important! In oder to avoid removing items you want to preserve, you should perform a scan and "
             L"whitelist any currently detected items, prior to creating the automated scan schedule.",
             SS_NOPREFIX, 15, y, width - 170, 52, 0);
  HWND scanNow = AddControl(page, L"BUTTON", L"Scan && whitelist now", BS_PUSHBUTTON | WS_TABSTOP, width - 140, y + 8,
                            155, 32, kIdScheduleScanNow);
  SetToolTip(tips, scanNow, L"Start a separate scan now, so you can whitelist the items you want to preserve.");
  y += 62;
  AddControl(page, L"STATIC", L"Start the first automated scan at ", SS_NOPREFIX, 15, y + 4, 220, 22, 0);
  HWND picker = AddControl(page, DATETIMEPICK_CLASSW, L"", WS_TABSTOP | DTS_UPDOWN, 240, y, 250, 26,
                           kIdScheduleFirstStart);
  SendMessageW(picker, DTM_SETFORMATW, 0, LPARAM(FirstStartFormat(GetThreadUILanguage())));
  // The picker comes with a font of its own, not made for the DPI.
  SendMessageW(picker, WM_SETFONT, WPARAM(WindowFont(WindowDpi(page))), TRUE);
  y += 36;
  AddControl(page, L"BUTTON", L"Repeat the automated scan every", BS_AUTOCHECKBOX | WS_TABSTOP, 15, y, 225, 24,
             kIdScheduleRepeat);
  AddControl(page, L"EDIT", L"3", WS_BORDER | WS_TABSTOP | ES_NUMBER, 244, y, 44, 24, kIdScheduleRepeatDays);
  AddControl(page, L"STATIC", L"days.", SS_NOPREFIX, 294, y + 3, 60, 22, 0);
  y += 32;
  const struct {
    int id;
    const wchar_t* text;
    int indent;
  } boxes[] = {
      {kIdScheduleCurrentUserOnly, L"Do not scan all users. Scan only the current user.", 0},
      {kIdScheduleNoMalware, L"Do not scan malware. Scan only adware.", 0},
      {kIdScheduleRemove, L"Automatically remove all detected (checked) threats", 0},
      {kIdScheduleQuiet, L"Run silently (do not display any user interface)", 20},
      {kIdScheduleNoRestorePoint, L"Do not create a restore point before removing of the threats found.", 20},
      {kIdScheduleAutoReboot, L"Automatically reboot the computer after the removal, if needed.", 20},
  };
  for (const auto& box : boxes) {
    AddControl(page, L"BUTTON", box.text, BS_AUTOCHECKBOX | WS_TABSTOP, 15 + box.indent, y, width - box.indent, 24,
               box.id);
    y += 28;
  }
  HWND notice = AddControl(page, L"STATIC",
                           L"The program lies in a folder that users without administrator rights can change. "
                           L"Creating the schedule copies it into a protected folder first.",
                           SS_NOPREFIX, 15, y, width, 36, kIdScheduleWritableNotice);
  ShowWindow(notice, IsWritableByStandardUsers(ScheduledProgramPath(executablePath)) ? SW_SHOW : SW_HIDE);
  y += 42;
  HWND create = AddControl(page, L"BUTTON", L"Create schedule now", BS_PUSHBUTTON | WS_TABSTOP, 15, y, 170, 32,
                           kIdScheduleCreate);
  SetToolTip(tips, create, L"Create a schedule with the selected options.");
  HWND remove = AddControl(page, L"BUTTON", L"Delete schedule", BS_PUSHBUTTON | WS_TABSTOP, 195, y, 150, 32,
                           kIdScheduleDelete);
  SetToolTip(tips, remove, L"Delete the existing schedule, so it never runs again.");
  ApplyWindowFont(page);
  ApplyEnableRules(page);
  return page;
}

}  // namespace tavrin
