#include "ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/program_keys.h"
#include "app/settings.h"
#include "platform/message_pump.h"
#include "platform/product.h"
#include "platform/restart.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "scan/custom_scan_target.h"
#include "scan/scan_summary.h"
#include "ui/header_band.h"
#include "ui/main_menu.h"
#include "ui/main_window_class.h"
#include "ui/custom_scan_dialog.h"
#include "ui/message_box.h"
#include "ui/tool_tips.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

// Private messages: a worker's events are waiting to be taken.
constexpr UINT kResultsPending = WM_APP + 1;
constexpr UINT kScanProgressPending = WM_APP + 2;
constexpr UINT kRemovalStatusPending = WM_APP + 3;
constexpr UINT kRemovalDetailPending = WM_APP + 4;

constexpr int kMinimumWidth = 640;
constexpr int kMinimumHeight = 480;

std::wstring ScanningText() {
  return std::wstring(kProductName) + L" is scanning your system.\r\n" + L"The scan's progress is shown here.";
}

bool IsButtonDown(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      return true;
  }
  return false;
}

}  // namespace

MainWindow::MainWindow(MainWindowHost& host)
    : host_(host),
      scanProgress_(nullptr, kScanProgressPending),
      removalStatus_(nullptr, kRemovalStatusPending),
      removalDetail_(nullptr, kRemovalDetailPending) {}

MainWindow::~MainWindow() {
  views_.Detach();
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  if (headerBrush_) DeleteObject(headerBrush_);
}

bool MainWindow::Create() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  if (!icon) icon = LoadIconW(nullptr, IDI_SHIELD);
  if (!RegisterWindowClass(kMainWindowClass, Proc, COLOR_WINDOW, icon)) return false;

  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainWindowClass, kProductName,
                            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                                WS_MAXIMIZEBOX | WS_CLIPCHILDREN,
                            CW_USEDEFAULT, CW_USEDEFAULT, kDesignedWidth, kDesignedHeight, nullptr, nullptr, instance,
                            this);
  if (!window_) return false;
  ApplyDpi(WindowDpi(window_));
  accelerators_ = CreateMainAccelerators();
  DragAcceptFiles(window_, TRUE);
  for (PostedProgress* sink : {&scanProgress_, &removalStatus_, &removalDetail_}) sink->Attach(window_);
  return true;
}

HWND MainWindow::AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id, const wchar_t* tip) {
  HWND control = tavrin::AddControl(window_, className, text, style, 0, 0, 10, 10, id);
  // Links lose their background when the tip window watches them: the event
  // loop hands their mouse messages over instead.
  if (tip) SetToolTip(toolTips_, control, tip, lstrcmpW(className, WC_LINK) == 0);
  return control;
}

// What the window draws itself for its DPI: the header's brush and the
// icons of its caption and task-bar button.
void MainWindow::ApplyDpi(UINT dpi) {
  if (headerBrush_) DeleteObject(headerBrush_);
  headerBrush_ = MakeHeaderBrush(dpi);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const auto& [which, size] : {std::pair{ICON_BIG, 32}, std::pair{ICON_SMALL, 16}}) {
    HICON icon = LoadScaledIcon(instance, MAKEINTRESOURCEW(1), size, dpi);
    if (!icon) icon = LoadScaledIcon(nullptr, IDI_SHIELD, size, dpi);
    if (icon) SendMessageW(window_, WM_SETICON, which, LPARAM(icon));
  }
}

void MainWindow::CreateControls() {
  toolTips_ = CreateToolTips(window_);
  AddControl(L"STATIC", kProductName, SS_NOPREFIX, kIdTitle);
  AddControl(L"STATIC", (std::wstring(L"Version ") + kProductVersion).c_str(), SS_NOPREFIX, kIdVersion);
  AddControl(WC_LINK, (std::wstring(L"Powered by <a>") + kMakerSiteName + L"</a>").c_str(), 0, kIdMakerLink);
  AddControl(WC_LINK, L"<a>Online help (F1)</a>", 0, kIdHelpLink, L"View the Help page (online)");
  AddControl(WC_LINK, L"<a>About this app</a>", 0, kIdAboutLink,
             L"View useful information about this application");

  AddControl(L"BUTTON", L"Scan", BS_PUSHBUTTON | WS_TABSTOP, kIdScan, L"Start searching for adware and malware");
  AddControl(L"BUTTON", L"Clean", BS_PUSHBUTTON | WS_TABSTOP, kIdClean, L"Start removing the selected items");
  AddControl(L"BUTTON", L" Scan all users", BS_AUTOCHECKBOX | WS_TABSTOP, kIdScanAllUsers,
             L"Whether to scan all user accounts or just the current user");
  AddControl(L"BUTTON", L" Don't scan malware", BS_AUTOCHECKBOX | WS_TABSTOP, kIdNoMalware,
             L"Check this option if you want to skip searching for malware\r\n"
             L"This will cause the application to search for adware only.");
  AddControl(L"BUTTON", L" Create restore point", BS_AUTOCHECKBOX | WS_TABSTOP, kIdRestorePoint,
             L"Whether to create a restore point before removing the selected items");
  AddControl(L"BUTTON", L" Auto reboot if needed", BS_AUTOCHECKBOX | WS_TABSTOP, kIdAutoReboot,
             L"Whether to automatically reboot the computer after the removal\r\n"
             L"process, if some files are scheduled for removal on reboot");
  AddControl(L"BUTTON", L"Menu", BS_PUSHBUTTON | WS_TABSTOP, kIdMenu,
             L"New scan, Custom scan, logs, list menu, whitelist, settings");
  AddControl(PROGRESS_CLASSW, nullptr, 0, kIdScanProgress, L"Current scan progress");
  AddControl(PROGRESS_CLASSW, nullptr, 0, kIdCleanProgress, L"Cleanup operation progress");
  AddControl(L"STATIC", kReadyStatus, SS_NOPREFIX | SS_LEFT, kIdStatus);

  tabs_ = AddControl(WC_TABCONTROLW, nullptr, WS_TABSTOP | WS_CLIPSIBLINGS, kIdTabs);
  for (int tab = 0; tab < kTabCount; ++tab) {
    std::wstring title(FindTab(tab)->title);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title.data();
    SendMessageW(tabs_, TCM_INSERTITEMW, tab, reinterpret_cast<LPARAM>(&item));
  }
  for (int id : {kIdScanProgress, kIdCleanProgress}) SendDlgItemMessageW(window_, id, PBM_SETRANGE32, 0, 100);

  ApplyWindowFont(window_);
  const UINT dpi = WindowDpi(window_);
  SendDlgItemMessageW(window_, kIdTitle, WM_SETFONT, WPARAM(HeadingFont(dpi)), TRUE);
  SendDlgItemMessageW(window_, kIdScan, WM_SETFONT, WPARAM(BoldFont(dpi)), TRUE);
  SendDlgItemMessageW(window_, kIdClean, WM_SETFONT, WPARAM(BoldFont(dpi)), TRUE);

  views_.Create(window_, kIdFirstList, *host_.results, kResultsPending);
  // The lists sit above the tab control.
  for (int tab = 0; tab < kTabCount; ++tab)
    SetWindowPos(views_.List(tab), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  views_.ShowTab(0);
}

// In design units, scaled for the window's DPI.
void MainWindow::Layout() {
  const UINT dpi = WindowDpi(window_);
  RECT client;
  GetClientRect(window_, &client);
  const int width = Unscaled(client.right, dpi);
  const int height = Unscaled(client.bottom, dpi);
  auto place = [&](int id, int x, int y, int w, int h) {
    MoveWindow(GetDlgItem(window_, id), Scaled(x, dpi), Scaled(y, dpi), Scaled(w, dpi), Scaled(h, dpi), TRUE);
  };
  place(kIdTitle, 80, 8, 200, 36);
  place(kIdVersion, 82, 46, 140, 20);
  place(kIdMakerLink, std::max(300, width - 250), 46, 230, 20);
  place(kIdHelpLink, std::max(300, width - 250), 12, 118, 20);
  place(kIdAboutLink, std::max(420, width - 122), 12, 106, 20);

  const int row = kHeaderHeight + 12;
  place(kIdScan, 20, row, 110, 44);
  place(kIdClean, 140, row, 110, 44);
  place(kIdScanAllUsers, 272, row, 180, 22);
  place(kIdNoMalware, 272, row + 23, 180, 22);
  place(kIdRestorePoint, 460, row, 180, 22);
  place(kIdAutoReboot, 460, row + 23, 180, 22);
  place(kIdMenu, std::max(650, width - 100), row + 4, 80, 36);

  const int bars = row + 56;
  const int half = (width - 50) / 2;
  place(kIdScanProgress, 20, bars, half, 14);
  place(kIdCleanProgress, 30 + half, bars, half, 14);
  place(kIdStatus, 20, bars + 20, width - 40, 36);

  const int tabTop = bars + 60;
  RECT tabArea{Scaled(10, dpi), Scaled(tabTop, dpi), Scaled(width - 10, dpi),
               Scaled(std::max(tabTop + 80, height - 10), dpi)};
  MoveWindow(tabs_, tabArea.left, tabArea.top, tabArea.right - tabArea.left, tabArea.bottom - tabArea.top, TRUE);
  RECT display{0, 0, tabArea.right - tabArea.left, tabArea.bottom - tabArea.top};
  SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  OffsetRect(&display, tabArea.left, tabArea.top);
  views_.Move(display);
}

void MainWindow::SetStatus(const std::wstring& text) { SetDlgItemTextW(window_, kIdStatus, text.c_str()); }

int MainWindow::CurrentTab() const { return std::max(0, int(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0))); }

bool MainWindow::HasRows() const {
  for (int tab = 0; tab < kTabCount; ++tab) {
    if (RowCount(TabList(*host_.results, tab)) > 0) return true;
  }
  return false;
}

CommandContext MainWindow::CommandState() const {
  CommandContext context;
  context.phase = phase_;
  context.tab = CurrentTab();
  const int row = views_.HighlightedRow(context.tab);
  context.rowHighlighted = row >= 0;
  context.highlightedGroup = GetGroup(TabList(*host_.results, context.tab), row);
  return context;
}

void MainWindow::ApplyControlStates() {
  const ControlStates states = ControlsFor(phase_, HasRows());
  HWND scan = GetDlgItem(window_, kIdScan);
  SetWindowTextW(scan, states.scanIsStop ? L"Stop" : L"Scan");
  SetToolTip(toolTips_, scan, states.scanToolTip);
  EnableWindow(scan, states.scanEnabled);
  EnableWindow(GetDlgItem(window_, kIdClean), states.cleanEnabled);
  for (int id : {kIdScanAllUsers, kIdNoMalware}) EnableWindow(GetDlgItem(window_, id), states.scanOptionsEnabled);
  for (int id : {kIdRestorePoint, kIdAutoReboot})
    EnableWindow(GetDlgItem(window_, id), states.removalOptionsEnabled);
  // The tutorial keeps the menu and the tabs to itself.
  EnableWindow(GetDlgItem(window_, kIdMenu), tip_ < 0);
  EnableWindow(tabs_, tip_ < 0);
}

void MainWindow::Start() {
  SetMessageDispatcher(DispatchThreadMessages);
  CreateControls();
  MoveLegacyKeys();

  const StartOptions& options = host_.options;
  CheckDlgButton(window_, kIdScanAllUsers, options.currentUserOnly ? BST_UNCHECKED : BST_CHECKED);
  CheckDlgButton(window_, kIdNoMalware, options.noMalware ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window_, kIdRestorePoint, options.noRestorePoint ? BST_UNCHECKED : BST_CHECKED);
  CheckDlgButton(window_, kIdAutoReboot, options.autoReboot ? BST_CHECKED : BST_UNCHECKED);

  const WindowSettings stored = ReadWindowSettings(*host_.settings);
  const UINT dpi = WindowDpi(window_);
  const WindowSize size = InitialWindowSize({Scaled(kDesignedWidth, dpi), Scaled(kDesignedHeight, dpi)}, stored,
                                            {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
  const POINT at = CentredOn(nullptr, size.width, size.height);
  SetWindowPos(window_, nullptr, at.x, at.y, size.width, size.height, SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();
  ShowWindow(window_, InitialShowCommand(options.showCommand, stored.maximized));
  if (IsWindowVisible(window_)) UpdateWindow(window_);

  detectionLevel_ = options.detectionLevel ? *options.detectionLevel : StoredDetectionLevel(*host_.settings);
  ApplyControlStates();
  if (options.scanAtStart) {
    StartScan();
  } else if (host_.runDefinitionsUpdate) {
    definitionsThread_.Start([this] {
      host_.runDefinitionsUpdate();
      return DWORD(0);
    });
  }
}

// ---- Scan ----

void MainWindow::StartScan() {
  if (scanThread_.Handle() || removalThread_.Handle() || !host_.prepareScan) return;
  host_.cancel->Reset();
  ScanChoices choices;
  choices.scanAllUsers = IsDlgButtonChecked(window_, kIdScanAllUsers) == BST_CHECKED;
  choices.noMalware = IsDlgButtonChecked(window_, kIdNoMalware) == BST_CHECKED;
  choices.detectionLevel = detectionLevel_;
  SendDlgItemMessageW(window_, kIdScanProgress, PBM_SETPOS, 0, 0);
  std::function<int()> body = host_.prepareScan(choices, scanProgress_);
  if (!body || !scanThread_.Start([body] { return DWORD(body()); })) return;
  customScan_ = false;
  phase_ = WindowPhase::Scanning;
  ApplyControlStates();
  if (IsWindowVisible(window_) && tip_ < 0) {
    RECT bar;
    GetWindowRect(GetDlgItem(window_, kIdScanProgress), &bar);
    balloon_.Show(window_, {bar.left + Scaled(60, WindowDpi(window_)), bar.bottom}, ScanningText(), L"");
    scanBubble_ = true;
  }
}

void MainWindow::StartCustomScan(const CustomScanRequest& request) {
  if (scanThread_.Handle() || removalThread_.Handle() || !host_.prepareCustomScan) return;
  host_.cancel->Reset();
  ScanChoices choices;
  choices.detectionLevel = detectionLevel_;
  SendDlgItemMessageW(window_, kIdScanProgress, PBM_SETPOS, 0, 0);
  std::function<int()> body = host_.prepareCustomScan(request, choices, scanProgress_);
  if (!body || !scanThread_.Start([body] { return DWORD(body()); })) return;
  customScan_ = true;
  phaseBeforeCustomScan_ = phase_;
  phase_ = WindowPhase::Scanning;
  ApplyControlStates();
}

void MainWindow::TakeScanProgress() {
  const auto update = scanProgress_.Take();
  if (update.progress) SendDlgItemMessageW(window_, kIdScanProgress, PBM_SETPOS, *update.progress, 0);
  if (update.status) SetStatus(*update.status);
}

void MainWindow::OnScanEnded() {
  const int exitCode = int(scanThread_.Finish());
  // What the worker posted before it ended comes first.
  views_.ApplyPending();
  TakeScanProgress();
  if (scanBubble_) {
    balloon_.Hide();
    scanBubble_ = false;
  }

  const ResultCounters counters = GetCounters(*host_.results);
  ScanOutcome outcome;
  outcome.exitCode = exitCode;
  outcome.cancelled = host_.cancel->Cancelled();
  outcome.itemsFound = unsigned(std::max(0, counters.rowsAdded));
  outcome.itemsChecked = unsigned(std::max(0, counters.rowsAddedChecked));
  outcome.customScan = customScan_;
  if (customScan_ && exitCode == kCustomScanNoTarget) {
    phase_ = phaseBeforeCustomScan_;
  } else {
    phase_ = (exitCode == 0 && HasRows()) ? WindowPhase::Results : WindowPhase::Ready;
  }
  ApplyControlStates();

  // The run modes follow full scans only.
  switch (AfterScan(outcome, host_.options.removeAfterScan && !customScan_, exiting_)) {
    case ScanEndStep::Nothing:
      return;
    case ScanEndStep::EndProgram:
      EndProgram();
      return;
    case ScanEndStep::StartRemoval:
      StartRemoval(true);
      return;
    case ScanEndStep::ShowSummary:
      break;
  }
  const ScanSummary summary = customScan_ ? SummarizeCustomScan(outcome) : SummarizeScan(outcome);
  if (!summary.status.empty()) SetStatus(summary.status);
  if (summary.asksForTips) {
    if (ShowMessage(window_, summary.message, MB_YESNO | MB_ICONQUESTION) == IDYES && !tutorialShown_)
      StartTutorial();
  } else {
    ShowMessage(window_, summary.message, MB_OK | (exitCode == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
  }
}

// ---- Removal ----

void MainWindow::StartRemoval(bool unattended) {
  if (scanThread_.Handle() || removalThread_.Handle() || !host_.prepareRemoval) return;
  if (!unattended &&
      ShowMessage(window_,
                  L"Are you sure you want to remove the selected items?\r\n\r\nOpen internet browsers will be closed. "
                  L"Continue?",
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  host_.cancel->Reset();
  RemovalChoices choices;
  choices.createRestorePoint = IsDlgButtonChecked(window_, kIdRestorePoint) == BST_CHECKED;
  choices.autoReboot = IsDlgButtonChecked(window_, kIdAutoReboot) == BST_CHECKED;
  choices.unattended = unattended;
  removalUnattended_ = unattended;
  SendDlgItemMessageW(window_, kIdCleanProgress, PBM_SETPOS, 0, 0);
  progressWindow_.Open(window_, L"Preparing to fix the selected items", *host_.cancel);
  std::function<unsigned()> body = host_.prepareRemoval(choices, removalStatus_, removalDetail_);
  if (!body || !removalThread_.Start([body] { return DWORD(body()); })) {
    progressWindow_.Close();
    return;
  }
  phase_ = WindowPhase::Removing;
  ApplyControlStates();
}

void MainWindow::TakeRemovalProgress() {
  const auto status = removalStatus_.Take();
  if (status.progress) SendDlgItemMessageW(window_, kIdCleanProgress, PBM_SETPOS, *status.progress, 0);
  if (status.status) SetStatus(*status.status);
  const auto detail = removalDetail_.Take();
  if (detail.progress) progressWindow_.SetProgress(*detail.progress);
  if (detail.status) progressWindow_.SetDetail(*detail.status);
}

void MainWindow::OnRemovalEnded() {
  const unsigned flags = removalThread_.Finish();
  views_.ApplyPending();
  TakeRemovalProgress();
  progressWindow_.Close();
  SendDlgItemMessageW(window_, kIdCleanProgress, PBM_SETPOS, 100, 0);
  SetStatus(L"Cleanup complete.");
  phase_ = HasRows() ? WindowPhase::Results : WindowPhase::Ready;
  ApplyControlStates();

  const RemovalEndSteps steps =
      AfterRemoval(flags, removalUnattended_, IsDlgButtonChecked(window_, kIdAutoReboot) == BST_CHECKED);
  if (steps.showReport && host_.removalReportPath) ViewReport(host_.removalReportPath(), true);
  if (steps.askRestart &&
      ShowMessage(window_,
                  std::wstring(L"Some file system objects were scheduled for removal on reboot.\r\n\r\nYou should "
                               L"reboot your computer as soon as possible. After reboot, run ") +
                      kProductName +
                      L" again, and ensure all items are successfully removed.\r\n\r\nDo you want to reboot now?",
                  MB_YESNO | MB_ICONQUESTION) == IDYES) {
    RestartComputer();
    EndProgram();
    return;
  }
  if (steps.restartNow) RestartComputer();
  if (steps.endProgram) EndProgram();
}

// ---- Closing ----

void MainWindow::OnClose() {
  // A modal window of ours is open (the window is disabled): it goes first.
  if (closing_ || !IsWindowEnabled(window_)) return;
  if (removalThread_.Handle()) {
    // The removal stops at its next check; the program stays open.
    host_.cancel->user = true;
    return;
  }
  if (scanThread_.Handle()) {
    if (ShowMessage(window_, L"There is an active scan in progress.\r\n\r\nAre you sure you want to exit?",
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
      return;
    // The scan may have ended while the question was open.
    exiting_ = true;
    host_.cancel->exit = true;
    closing_ = true;
    while (!scanThread_.Wait(0)) {
      DispatchThreadMessages();
      Sleep(10);
    }
    scanThread_.Finish();
  }
  FinishAndDestroy();
}

void MainWindow::EndProgram() {
  exiting_ = true;
  FinishAndDestroy();
}

void MainWindow::FinishAndDestroy() {
  closing_ = true;
  EndTutorial();
  balloon_.Hide();

  // A minimized window keeps its size (and whether it was maximized) in its
  // placement; its own rectangle is the icon's.
  WindowSettings placement;
  RECT frame;
  GetWindowRect(window_, &frame);
  placement.maximized = IsZoomed(window_) != FALSE;
  WINDOWPLACEMENT stored{sizeof stored};
  if (IsIconic(window_) && GetWindowPlacement(window_, &stored)) {
    frame = stored.rcNormalPosition;
    placement.maximized = (stored.flags & WPF_RESTORETOMAXIMIZED) != 0;
  }
  placement.width = frame.right - frame.left;
  placement.height = frame.bottom - frame.top;
  WriteWindowSettings(*host_.settings, placement);
  host_.settings->Save();

  while (host_.definitionsUpdating && host_.definitionsUpdating()) Sleep(20);
  if (definitionsThread_.Handle()) definitionsThread_.Finish();

  views_.Detach();
  DiscardResults(*host_.results);
  if (host_.releaseScanState) host_.releaseScanState();
  DestroyWindow(window_);
}

// ---- Messages ----

LRESULT CALLBACK MainWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_SIZE:
      if (tabs_) Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      const UINT dpi = WindowDpi(window_);
      limits->ptMinTrackSize = {Scaled(kMinimumWidth, dpi), Scaled(kMinimumHeight, dpi)};
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window_, &paint);
      RECT client;
      GetClientRect(window_, &client);
      PaintHeader(dc, client.right, headerBrush_, WindowDpi(window_));
      EndPaint(window_, &paint);
      return 0;
    }
    case WM_DPICHANGED:
      ApplyDpi(HIWORD(wParam));
      views_.SetDpi(HIWORD(wParam));
      FollowDpiChange(window_, wParam, lParam);
      if (tabs_) Layout();
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_CTLCOLORSTATIC:
      return LRESULT(StaticControlBackground(window_, HWND(lParam), HDC(wParam), headerBrush_));
    case WM_TIMER:
      if (wParam == kTutorialTimer) OnTutorialTimer();
      return 0;
    case kResultsPending:
      views_.ApplyPending();
      if (phase_ == WindowPhase::Results || phase_ == WindowPhase::Ready) ApplyControlStates();
      return 0;
    case kScanProgressPending:
      TakeScanProgress();
      return 0;
    case kRemovalStatusPending:
    case kRemovalDetailPending:
      TakeRemovalProgress();
      return 0;
    case WM_DROPFILES: {
      const std::vector<std::wstring> dropped = DroppedPaths(HDROP(wParam));
      if (IsWindowEnabled(window_)) OpenCustomScan(TargetOfItems(dropped));
      return 0;
    }
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(exitCode_);
      return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

int MainWindow::Run() {
  MSG msg;
  for (;;) {
    HANDLE handles[2];
    DWORD count = 0;
    if (HANDLE h = scanThread_.Handle()) handles[count++] = h;
    if (HANDLE h = removalThread_.Handle()) handles[count++] = h;
    const DWORD woke = MsgWaitForMultipleObjectsEx(count, handles, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke < WAIT_OBJECT_0 + count) {
      if (handles[woke - WAIT_OBJECT_0] == scanThread_.Handle()) {
        OnScanEnded();
      } else {
        OnRemovalEnded();
      }
    }
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return int(msg.wParam);
      // Any click closes a shown tip or the scanning bubble.
      if (IsButtonDown(msg.message) && balloon_.Visible()) {
        balloon_.Hide();
        tipClosed_ = true;
        scanBubble_ = false;
      }
      if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST && msg.hwnd &&
          (GetDlgCtrlID(msg.hwnd) == kIdHelpLink || GetDlgCtrlID(msg.hwnd) == kIdAboutLink) &&
          GetParent(msg.hwnd) == window_)
        SendMessageW(toolTips_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
      if (window_ && IsWindow(window_) && TranslateAcceleratorW(window_, accelerators_, &msg)) continue;
      if (window_ && IsWindow(window_) && IsDialogMessageW(window_, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

int RunMainWindow(MainWindowHost& host) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_LINK_CLASS | ICC_TAB_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  auto window = std::make_unique<MainWindow>(host);
  if (!window->Create()) return 0;
  window->Start();
  const int code = window->Run();
  SetMessageDispatcher(nullptr);
  return code;
}

}  // namespace tavrin
