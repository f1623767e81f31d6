#include "ui/main_window.h"

#include <commctrl.h>
#include <objbase.h>
#include <gdiplus.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <memory>

#include "app/program_keys.h"
#include "app/self_removal.h"
#include "app/settings.h"
#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "platform/processes.h"
#include "platform/product.h"
#include "platform/restart.h"
#include "platform/shell_folders.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "scan/scan_summary.h"
#include "ui/detection_dialog.h"
#include "ui/main_menu.h"
#include "ui/message_box.h"
#include "ui/posted_progress.h"
#include "ui/progress_window.h"
#include "ui/result_views.h"
#include "ui/row_location.h"
#include "ui/tool_tips.h"
#include "ui/tutorial.h"
#include "ui/ui_fonts.h"
#include "ui/ui_ids.h"
#include "ui/whitelist_manager_window.h"
#include "ui/window_kit.h"
#include "ui/window_rules.h"
#include "ui/worker_thread.h"

namespace tavrin {

namespace {

// Private messages: a worker's events are waiting to be taken.
constexpr UINT kResultsPending = WM_APP + 1;
constexpr UINT kScanProgressPending = WM_APP + 2;
constexpr UINT kRemovalStatusPending = WM_APP + 3;
constexpr UINT kRemovalDetailPending = WM_APP + 4;

constexpr UINT_PTR kTutorialTimer = 1;
constexpr int kHeaderHeight = 78;
constexpr int kMinimumWidth = 640;
constexpr int kMinimumHeight = 480;

const wchar_t kReadyStatus[] = L"Press \"Scan\"...";

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

bool AnyMouseButtonDown() {
  return (GetAsyncKeyState(VK_LBUTTON) | GetAsyncKeyState(VK_RBUTTON) | GetAsyncKeyState(VK_MBUTTON)) & 0x8000;
}

// The header band's gradient as a brush, so that the controls standing on
// it can paint their background with the same colours.
HBRUSH MakeHeaderBrush() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 8;
  info.bmiHeader.biHeight = -kHeaderHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return CreateSolidBrush(RGB(225, 235, 248));
  {
    Gdiplus::Bitmap canvas(8, kHeaderHeight, 8 * 4, PixelFormat32bppRGB, static_cast<BYTE*>(bits));
    Gdiplus::Graphics graphics(&canvas);
    Gdiplus::LinearGradientBrush band(Gdiplus::Point(0, -1), Gdiplus::Point(0, kHeaderHeight),
                                      Gdiplus::Color(255, 242, 247, 253), Gdiplus::Color(255, 205, 222, 242));
    graphics.FillRectangle(&band, 0, 0, 8, kHeaderHeight);
  }
  HBRUSH brush = CreatePatternBrush(bitmap);
  DeleteObject(bitmap);
  return brush;
}

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

class MainWindow {
 public:
  explicit MainWindow(MainWindowHost& host)
      : host_(host),
        scanProgress_(nullptr, kScanProgressPending),
        removalStatus_(nullptr, kRemovalStatusPending),
        removalDetail_(nullptr, kRemovalDetailPending) {}
  ~MainWindow();

  bool Create();
  void Start();
  int Run();

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id, const wchar_t* tip = nullptr);
  void CreateControls();
  void Layout();
  void Paint();
  void ApplyControlStates();
  void SetStatus(const std::wstring& text);
  int CurrentTab() const;
  bool HasRows() const;
  CommandContext CommandState() const;

  void OnCommand(int id);
  void OnMenuCommand(int command);
  void OnNotify(const NMHDR& header, LPARAM lParam);
  void ShowMenu();

  void StartScan();
  void OnScanEnded();
  void StartRemoval(bool unattended);
  void OnRemovalEnded();
  void TakeScanProgress();
  void TakeRemovalProgress();

  void OpenRowLocation(LocationCommand command, int row = -1);
  void ViewReport(const std::wstring& path, bool wait);
  void Uninstall();

  void StartTutorial();
  void ShowTip();
  void OnTutorialTimer();
  void EndTutorial();

  void OnClose();
  void EndProgram();
  void FinishAndDestroy();

  MainWindowHost& host_;
  HWND window_ = nullptr;
  HWND toolTips_ = nullptr;
  HWND tabs_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HBRUSH headerBrush_ = nullptr;
  ResultViews views_;
  PostedProgress scanProgress_;
  PostedProgress removalStatus_;
  PostedProgress removalDetail_;
  ProgressWindow progressWindow_;
  Balloon balloon_;

  WindowPhase phase_ = WindowPhase::Ready;
  WorkerThread scanThread_;
  WorkerThread removalThread_;
  WorkerThread definitionsThread_;
  int detectionLevel_ = 12;
  bool removalUnattended_ = false;
  bool exiting_ = false;
  bool closing_ = false;
  int exitCode_ = 0;

  // Tutorial: the tip shown (-1 none), when it appeared, whether it closed.
  int tip_ = -1;
  DWORD tipShownAt_ = 0;
  bool tipClosed_ = false;
  bool tutorialShown_ = false;
  bool scanBubble_ = false;
};

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
  headerBrush_ = MakeHeaderBrush();

  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainWindowClass, kProductName,
                            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                                WS_MAXIMIZEBOX | WS_CLIPCHILDREN,
                            CW_USEDEFAULT, CW_USEDEFAULT, kDesignedWidth, kDesignedHeight, nullptr, nullptr, instance,
                            this);
  if (!window_) return false;
  accelerators_ = CreateMainAccelerators();
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
  SendDlgItemMessageW(window_, kIdTitle, WM_SETFONT, WPARAM(HeadingFont()), TRUE);
  SendDlgItemMessageW(window_, kIdScan, WM_SETFONT, WPARAM(BoldFont()), TRUE);
  SendDlgItemMessageW(window_, kIdClean, WM_SETFONT, WPARAM(BoldFont()), TRUE);

  views_.Create(window_, kIdFirstList, *host_.results, kResultsPending);
  // The lists sit above the tab control.
  for (int tab = 0; tab < kTabCount; ++tab)
    SetWindowPos(views_.List(tab), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  views_.ShowTab(0);
}

void MainWindow::Layout() {
  RECT client;
  GetClientRect(window_, &client);
  const int width = client.right;
  const int height = client.bottom;
  auto place = [&](int id, int x, int y, int w, int h) {
    MoveWindow(GetDlgItem(window_, id), x, y, w, h, TRUE);
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
  RECT tabArea{10, tabTop, width - 10, std::max(tabTop + 80, height - 10)};
  MoveWindow(tabs_, tabArea.left, tabArea.top, tabArea.right - tabArea.left, tabArea.bottom - tabArea.top, TRUE);
  RECT display{0, 0, tabArea.right - tabArea.left, tabArea.bottom - tabArea.top};
  SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  OffsetRect(&display, tabArea.left, tabArea.top);
  views_.Move(display);
}

void MainWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  RECT client;
  GetClientRect(window_, &client);
  RECT header{0, 0, client.right, kHeaderHeight};
  SetBrushOrgEx(dc, 0, 0, nullptr);
  FillRect(dc, &header, headerBrush_);
  RECT line{0, kHeaderHeight, client.right, kHeaderHeight + 1};
  FillRect(dc, &line, GetSysColorBrush(COLOR_3DSHADOW));
  {
    Gdiplus::Graphics graphics(dc);
    DrawShield(graphics, 18, 12, 50);
  }
  EndPaint(window_, &paint);
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
  const WindowSize size = InitialWindowSize({kDesignedWidth, kDesignedHeight}, stored,
                                            {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
  const POINT at = CentredOn(nullptr, size.width, size.height);
  SetWindowPos(window_, nullptr, at.x, at.y, size.width, size.height, SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();
  ShowWindow(window_, InitialShowCommand(options.showCommand, stored.maximized));
  if (IsWindowVisible(window_)) UpdateWindow(window_);

  detectionLevel_ = options.detectionLevel != 0 ? options.detectionLevel : StoredDetectionLevel(*host_.settings);
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
  phase_ = WindowPhase::Scanning;
  ApplyControlStates();
  if (IsWindowVisible(window_) && tip_ < 0) {
    RECT bar;
    GetWindowRect(GetDlgItem(window_, kIdScanProgress), &bar);
    balloon_.Show(window_, {bar.left + 60, bar.bottom}, ScanningText(), L"");
    scanBubble_ = true;
  }
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
  phase_ = (exitCode == 0 && HasRows()) ? WindowPhase::Results : WindowPhase::Ready;
  ApplyControlStates();

  switch (AfterScan(outcome, host_.options.removeAfterScan, exiting_)) {
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
  const ScanSummary summary = SummarizeScan(outcome);
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

// ---- Commands ----

void MainWindow::OnCommand(int id) {
  if (id >= kCmdNewScan && id <= kCmdOnlineHelp) {
    OnMenuCommand(id);
    return;
  }
  switch (id) {
    case kIdScan:
      EndTutorial();
      if (phase_ == WindowPhase::Scanning || phase_ == WindowPhase::Removing) {
        host_.cancel->user = true;
      } else if (ControlsFor(phase_, HasRows()).scanEnabled) {
        StartScan();
      }
      break;
    case kIdClean:
      EndTutorial();
      if (ControlsFor(phase_, HasRows()).cleanEnabled) StartRemoval(false);
      break;
    case kIdMenu:
      EndTutorial();
      ShowMenu();
      break;
  }
}

void MainWindow::ShowMenu() {
  HMENU menu = CreateMainMenu(CommandState());
  RECT button;
  GetWindowRect(GetDlgItem(window_, kIdMenu), &button);
  TrackPopupMenu(menu, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, button.right, button.bottom, 0, window_,
                 nullptr);
  DestroyMenu(menu);
}

void MainWindow::OnMenuCommand(int command) {
  EndTutorial();
  if (!IsCommandAvailable(command) || !IsCommandEnabled(command, CommandState())) return;
  const int tab = CurrentTab();
  const ResultList list = TabList(*host_.results, tab);
  switch (command) {
    case kCmdNewScan:
      for (int t = 0; t < kTabCount; ++t) ClearList(TabList(*host_.results, t));
      views_.ApplyPending();
      SendDlgItemMessageW(window_, kIdScanProgress, PBM_SETPOS, 0, 0);
      SetStatus(kReadyStatus);
      phase_ = WindowPhase::Ready;
      break;
    case kCmdDetectionSettings:
      RunDetectionSettingsDialog(window_, detectionLevel_, *host_.settings);
      break;
    case kCmdViewScanLog:
      if (host_.scanReportPath) ViewReport(host_.scanReportPath(), false);
      break;
    case kCmdViewCleanupLog:
      if (host_.removalReportPath) ViewReport(host_.removalReportPath(), false);
      break;
    case kCmdOpenLogsFolder:
      OpenDocument(PlainPath(host_.dataFolder));
      break;
    case kCmdUninstall:
      Uninstall();
      break;
    case kCmdOpenRegistryLocation:
      OpenRowLocation(LocationCommand::Registry);
      break;
    case kCmdOpenFileLocation:
      OpenRowLocation(LocationCommand::File);
      break;
    case kCmdCheckAll:
    case kCmdCheckNone:
      SetChecked(list, 0, kToEnd, command == kCmdCheckAll);
      views_.ApplyPending();
      break;
    case kCmdWhitelistHighlighted:
      WhitelistRow(*host_.whitelist, list, views_.HighlightedRow(tab));
      break;
    case kCmdWhitelistParentFolder: {
      const int row = views_.HighlightedRow(tab);
      if (GetGroup(list, row) != kGroupInfectedFiles) break;
      if (ShowMessage(window_,
                      L"Are you sure you want to whitelist the parent directory of the hilighted item?\r\n\r\nThis "
                      L"action can be undone from Menu -> Whitelist Manager.",
                      MB_YESNO | MB_ICONQUESTION) == IDYES)
        WhitelistParentFolder(*host_.whitelist, list, row);
      break;
    }
    case kCmdWhitelistChecked:
      WhitelistChecked(*host_.whitelist, *host_.results, tab);
      break;
    case kCmdWhitelistCheckedAllTabs:
      WhitelistChecked(*host_.whitelist, *host_.results, kAllTabs);
      break;
    case kCmdWhitelistManager:
      RunWhitelistManager(window_, *host_.whitelist);
      break;
    case kCmdOnlineHelp:
      OpenDocument(kOnlineHelpUrl);
      break;
  }
  views_.ApplyPending();
  // Whitelisting may have emptied the lists.
  if (phase_ == WindowPhase::Results || phase_ == WindowPhase::Ready) ApplyControlStates();
}

void MainWindow::OpenRowLocation(LocationCommand command, int row) {
  const int tab = CurrentTab();
  const ResultList list = TabList(*host_.results, tab);
  if (row < 0) row = views_.HighlightedRow(tab);
  const auto item = GetRow(list, row);
  if (!item) return;
  RowPlaces places;
  places.tab = tab;
  places.group = item->group;
  places.column0 = item->columns[0];
  if (tab != kMalwareTab) {
    places.registryKey = GetDetail(list, item->key, L"Registry Key");
    places.valueName = GetDetail(list, item->key, L"Value name");
    places.path = GetDetail(list, item->key, L"Path");
    places.extensionPath = GetDetail(list, item->key, L"Extension path");
    places.extensionFolderExists = !places.extensionPath.empty() && FolderExists(places.extensionPath);
  }
  OpenLocation(ChooseRowLocation(places, command));
}

void MainWindow::ViewReport(const std::wstring& path, bool wait) {
  if (path.empty() || !FileExists(path)) return;
  const std::wstring notepad = ShellFolder(CSIDL_SYSTEM) + L"\\notepad.exe";
  RunProgram(L"\"" + notepad + L"\"", L" \"" + PlainPath(path) + L"\"", SW_SHOWNORMAL, wait);
}

void MainWindow::Uninstall() {
  if (ShowMessage(window_, std::wstring(L"Are you sure you want to completely remove ") + kProductName + L"?",
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  // A definitions update still writing into the data folder would keep it
  // from going: it is stopped first.
  if (definitionsThread_.Handle()) {
    host_.cancel->exit = true;
    while (!definitionsThread_.Wait(0)) {
      DispatchThreadMessages();
      Sleep(20);
    }
    definitionsThread_.Finish();
  }
  views_.Detach();
  UninstallAndExit(host_.dataFolder, host_.executablePath);
}

void MainWindow::OnNotify(const NMHDR& header, LPARAM lParam) {
  const int id = int(header.idFrom);
  if (id == kIdTabs && header.code == TCN_SELCHANGE) {
    views_.ShowTab(CurrentTab());
    return;
  }
  if ((id == kIdHelpLink || id == kIdAboutLink || id == kIdMakerLink) &&
      (header.code == NM_CLICK || header.code == NM_RETURN)) {
    EndTutorial();
    if (id == kIdHelpLink) {
      OpenDocument(kOnlineHelpUrl);
    } else if (id == kIdMakerLink) {
      OpenDocument(kMakerSiteUrl);
    } else {
      ShowMessage(window_,
                  std::wstring(kProductName) + L"\r\nVersion " + kProductVersion +
                      L"\r\n\r\nFinds and removes adware, potentially unwanted programs, browser hijackers and "
                      L"malware.\r\n\r\nPowered by " + kMakerSiteName,
                  MB_OK | MB_ICONINFORMATION);
    }
    return;
  }
  if (id >= kIdFirstList && id < kIdFirstList + kTabCount) {
    const int tab = id - kIdFirstList;
    if (header.code == LVN_ITEMCHANGED) {
      views_.OnItemChanged(tab, *reinterpret_cast<const NMLISTVIEW*>(lParam));
    } else if (header.code == NM_DBLCLK) {
      const auto& activate = *reinterpret_cast<const NMITEMACTIVATE*>(lParam);
      const int row = views_.ModelRow(tab, activate.iItem);
      if (row >= 0) OpenRowLocation(LocationCommand::DoubleClick, row);
    }
  }
}

// ---- Tutorial ----

void MainWindow::StartTutorial() {
  tutorialShown_ = true;
  tip_ = 0;
  ShowTip();
  ApplyControlStates();
  SetTimer(window_, kTutorialTimer, 100, nullptr);
}

void MainWindow::ShowTip() {
  const TutorialTip& tip = TutorialTips()[size_t(tip_)];
  if (tip.tab >= 0) {
    SendMessageW(tabs_, TCM_SETCURSEL, tip.tab, 0);
    views_.ShowTab(tip.tab);
  }
  RECT target{};
  switch (tip.anchor) {
    case TipAnchor::Tab:
      SendMessageW(tabs_, TCM_GETITEMRECT, tip.tab, reinterpret_cast<LPARAM>(&target));
      MapWindowPoints(tabs_, nullptr, reinterpret_cast<POINT*>(&target), 2);
      break;
    case TipAnchor::RemovalOptions: {
      RECT second;
      GetWindowRect(GetDlgItem(window_, kIdRestorePoint), &target);
      GetWindowRect(GetDlgItem(window_, kIdAutoReboot), &second);
      target.bottom = second.bottom;
      break;
    }
    case TipAnchor::CleanButton:
      GetWindowRect(GetDlgItem(window_, kIdClean), &target);
      break;
  }
  std::wstring body, title;
  SplitTipText(tip.text, body, title);
  balloon_.Show(window_, {(target.left + target.right) / 2, target.bottom}, body, title);
  tipShownAt_ = GetTickCount();
  tipClosed_ = false;
}

void MainWindow::OnTutorialTimer() {
  if (tip_ < 0) {
    KillTimer(window_, kTutorialTimer);
    return;
  }
  const TutorialTip& tip = TutorialTips()[size_t(tip_)];
  const DWORD shown = GetTickCount() - tipShownAt_;
  if (!tipClosed_ && tip.stayMs > 0 && shown >= DWORD(tip.stayMs)) {
    balloon_.Hide();
    tipClosed_ = true;
  }
  if (!ShouldAdvanceTip(AnyMouseButtonDown(), tipClosed_, shown)) return;
  if (++tip_ >= int(TutorialTips().size())) {
    EndTutorial();
    return;
  }
  ShowTip();
}

void MainWindow::EndTutorial() {
  if (tip_ < 0) return;
  tip_ = -1;
  balloon_.Hide();
  KillTimer(window_, kTutorialTimer);
  ApplyControlStates();
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
      OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
      return 0;
    case WM_SIZE:
      if (tabs_) Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize = {kMinimumWidth, kMinimumHeight};
      return 0;
    }
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CTLCOLORSTATIC: {
      HWND control = HWND(lParam);
      const int id = GetDlgCtrlID(control);
      SetBkMode(HDC(wParam), TRANSPARENT);
      if (id == kIdTitle || id == kIdVersion || id == kIdMakerLink || id == kIdHelpLink || id == kIdAboutLink) {
        if (id == kIdTitle) SetTextColor(HDC(wParam), RGB(20, 60, 120));
        if (id == kIdVersion) SetTextColor(HDC(wParam), RGB(60, 80, 110));
        // The brush is the header's: it starts where the window starts.
        POINT origin{0, 0};
        MapWindowPoints(control, window_, &origin, 1);
        SetBrushOrgEx(HDC(wParam), -origin.x, -origin.y, nullptr);
        return LRESULT(headerBrush_);
      }
      return LRESULT(GetSysColorBrush(COLOR_WINDOW));
    }
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

}  // namespace

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
