#include "ui/main_window.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "support/restart_recorder.h"
#include "support/scratch.h"
#include "ui/ui_ids.h"
#include "window_driver.h"

namespace tavrin {
namespace {

using test::AnswerMessageBox;
using test::AnswerShownMessageBox;
using test::ControlText;
using test::ScratchFolder;
using test::WaitForShownWindow;
using test::WaitForWindow;
using test::WaitUntil;

// The rest of the program as the window sees it, in a scratch folder, with
// scan and removal bodies that the test chooses.
struct Harness : test::TestWindowHost {
  std::atomic<int> removals{0};

  Harness() {
    host.prepareRemoval = [this](const RemovalChoices&, ProgressSink& status, ProgressSink&) {
      return std::function<unsigned()>([this, &status] {
        ++removals;
        status.SetStatus(L"Cleaning up...");
        return removalFlags;
      });
    };
  }

  // A scan that finds one recommended autostart entry and one optional
  // infected file.
  void UseFindingScan() {
    UseScan([this](ProgressSink& progress) {
      StartNewResults(results, scratch.Path(), 1234);
      progress.SetProgress(40);
      progress.SetStatus(L"Scanning...");
      const ResultList autostart = TabList(results, kAutostartTab);
      const int row =
          AddRow(autostart, kGroupRegistryAutostart, L"Adware Updater", L"root", L"C:\\Adware\\updater.exe", true);
      ScanItemDetails details;
      details.group = kGroupRegistryAutostart;
      details.registryKey = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
      details.valueName = L"Adware Updater";
      details.path = L"C:\\Adware\\updater.exe";
      StoreDetails(autostart, GetRowKey(autostart, row), details);
      AddRow(TabList(results, kMalwareTab), kGroupInfectedFiles, L"C:\\Adware\\payload.dll", L"High", L"Trojan", false);
      progress.SetStatus(L"Scan complete.");
      progress.SetProgress(100);
      return 0;
    });
  }

  void UseScan(std::function<int(ProgressSink&)> body) {
    host.prepareScan = [body](const ScanChoices&, ProgressSink& progress) {
      return std::function<int()>([body, &progress] { return body(progress); });
    };
  }

  // Runs the window on this thread while `driver` works on another; the
  // driver's last act is to close the window if it still exists.
  int Run(const std::function<void(HWND)>& driver) {
    std::thread worker([&] {
      // The window is shown once it has taken its size and controls.
      HWND window = WaitForWindow(kMainWindowClass, GetCurrentProcessId());
      if (window && (!IsWindowVisible(window) && host.options.showCommand != SW_HIDE))
        WaitUntil([&] { return IsWindowVisible(window) != FALSE; });
      if (window) driver(window);
      // Whatever the driver left: close, and agree to leave a running scan.
      for (int round = 0; round < 50 && window && IsWindow(window); ++round) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (HWND box = WaitForWindow(kMessageBoxClass, GetCurrentProcessId(), 200))
          AnswerMessageBox(box, IDYES);
      }
    });
    const int code = RunMainWindow(host);
    worker.join();
    return code;
  }

  unsigned removalFlags = 0;
};

int ListCount(HWND window, int tab) {
  return int(SendMessageW(GetDlgItem(window, kIdFirstList + tab), LVM_GETITEMCOUNT, 0, 0));
}

void SetListItemState(HWND list, int item, UINT mask, UINT state) {
  LVITEMW lvi{};
  lvi.stateMask = mask;
  lvi.state = state;
  SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&lvi));
}

bool ListItemChecked(HWND list, int item) {
  return ((SendMessageW(list, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

TEST(MainWindow, ScanAtStartShowsTheSummaryAndTheListsFollowTheModel) {
  Harness h;
  h.UseFindingScan();
  h.host.options.scanAtStart = true;
  std::wstring summary, status, scanText;
  int autostartRows = -1, malwareRows = -1;
  bool listChecked = false, modelCheckedByUser = false, modelUncheckedByMenu = false, listUnchecked = false;
  bool cleanEnabled = false;

  h.Run([&](HWND window) {
    const auto shown = AnswerShownMessageBox(GetCurrentProcessId(), IDNO);
    if (!shown) return;
    summary = *shown;
    status = ControlText(window, kIdStatus);
    scanText = ControlText(window, kIdScan);
    cleanEnabled = IsWindowEnabled(GetDlgItem(window, kIdClean));
    autostartRows = ListCount(window, kAutostartTab);
    malwareRows = ListCount(window, kMalwareTab);
    listChecked = ListItemChecked(GetDlgItem(window, kIdFirstList + int(kAutostartTab)), 0);

    // The user ticks the optional infected file: the model follows.
    HWND malware = GetDlgItem(window, kIdFirstList + int(kMalwareTab));
    SetListItemState(malware, 0, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(2));
    modelCheckedByUser = WaitUntil([&] { return IsChecked(TabList(h.results, kMalwareTab), 0); }, 2000);

    // "Check none" on the Autostart tab: the model changes and the list
    // follows it.
    SendDlgItemMessageW(window, kIdTabs, TCM_SETCURSEL, kAutostartTab, 0);
    SendMessageW(window, WM_COMMAND, kCmdCheckNone, 0);
    modelUncheckedByMenu = !IsChecked(TabList(h.results, kAutostartTab), 0);
    listUnchecked = WaitUntil(
        [&] { return !ListItemChecked(GetDlgItem(window, kIdFirstList + int(kAutostartTab)), 0); }, 2000);
  });

  EXPECT_EQ(summary.rfind(L"Tavrin found one recommended item, which is already checked, and one optional item.\r\n"
                          L"\r\nTake a look at all the tabs, ",
                          0),
            0u)
      << std::string(summary.begin(), summary.end());
  EXPECT_EQ(status, L"Press \"Clean\"...");
  EXPECT_EQ(scanText, L"Scan");
  EXPECT_TRUE(cleanEnabled);
  EXPECT_EQ(autostartRows, 1);
  EXPECT_EQ(malwareRows, 1);
  EXPECT_TRUE(listChecked);
  EXPECT_TRUE(modelCheckedByUser);
  EXPECT_TRUE(modelUncheckedByMenu);
  EXPECT_TRUE(listUnchecked);
}

// The colour a list paints at the middle of a cell's left margin, where no
// text is drawn.
COLORREF CellBackground(HWND list, int item, int column) {
  RECT client{}, cell{};
  GetClientRect(list, &client);
  cell.top = column;
  cell.left = LVIR_BOUNDS;
  if (!SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&cell))) return CLR_INVALID;
  HDC screen = GetDC(list);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
  const COLORREF colour = GetPixel(memory, cell.left + 2, (cell.top + cell.bottom) / 2);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(list, screen);
  return colour;
}

TEST(MainWindow, TheThreatLevelCellOfAMalwareRowShowsTheLevelsColours) {
  Harness h;
  h.UseFindingScan();  // its infected file is of level "High"
  h.host.options.scanAtStart = true;
  COLORREF levelCell = CLR_INVALID, typeCell = CLR_INVALID;
  h.Run([&](HWND window) {
    if (!AnswerShownMessageBox(GetCurrentProcessId(), IDNO)) return;
    SendDlgItemMessageW(window, kIdTabs, TCM_SETCURSEL, kMalwareTab, 0);
    HWND list = GetDlgItem(window, kIdFirstList + int(kMalwareTab));
    levelCell = CellBackground(list, 0, 1);
    typeCell = CellBackground(list, 0, 2);
  });
  EXPECT_EQ(levelCell, COLORREF(0x3383FF));
  EXPECT_NE(typeCell, COLORREF(0x3383FF));
  EXPECT_NE(typeCell, CLR_INVALID);
}

TEST(MainWindow, WhitelistingTheHighlightedRowRemovesItAndWritesTheEntry) {
  Harness h;
  h.UseFindingScan();
  h.host.options.scanAtStart = true;
  int rowsBefore = -1, rowsAfter = -1;

  h.Run([&](HWND window) {
    if (!AnswerShownMessageBox(GetCurrentProcessId(), IDNO)) return;
    SendDlgItemMessageW(window, kIdTabs, TCM_SETCURSEL, kAutostartTab, 0);
    HWND list = GetDlgItem(window, kIdFirstList + int(kAutostartTab));
    rowsBefore = ListCount(window, kAutostartTab);
    // Nothing highlighted: the command does nothing.
    SendMessageW(window, WM_COMMAND, kCmdWhitelistHighlighted, 0);
    SetListItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(window, WM_COMMAND, kCmdWhitelistHighlighted, 0);
    WaitUntil([&] { return ListCount(window, kAutostartTab) == 0; }, 2000);
    rowsAfter = ListCount(window, kAutostartTab);
  });

  EXPECT_EQ(rowsBefore, 1);
  EXPECT_EQ(rowsAfter, 0);
  EXPECT_EQ(RowCount(TabList(h.results, kAutostartTab)), 0);
  IniDocument stored(h.scratch / L"WhiteList.ini");
  EXPECT_EQ(stored.GetString(L"Registry autostart entries", L"Adware Updater", L""), L"0");
  EXPECT_TRUE(IsWhitelisted(h.whitelist, L"Adware Updater", L"Registry autostart entries", false));
}

TEST(MainWindow, WhitelistParentFolderTakesOnlyInfectedFiles) {
  Harness h;
  h.host.options.scanAtStart = true;
  h.UseScan([&](ProgressSink&) {
    StartNewResults(h.results, h.scratch.Path(), 77);
    const ResultList malware = TabList(h.results, kMalwareTab);
    AddRow(malware, kGroupInfectedRegistry, L"HKLM\\SOFTWARE\\Evil / Run / x", L"High", L"Trojan", true);
    AddRow(malware, kGroupInfectedFiles, L"C:\\Games\\Cracked\\keygen.exe", L"High", L"Trojan", true);
    return 0;
  });
  bool askedForKey = true;
  std::wstring question;
  int rowsAfterKey = -1, rowsAfterFile = -1;
  h.Run([&](HWND window) {
    if (!AnswerShownMessageBox(GetCurrentProcessId(), IDNO)) return;
    SendDlgItemMessageW(window, kIdTabs, TCM_SETCURSEL, kMalwareTab, 0);
    HWND list = GetDlgItem(window, kIdFirstList + int(kMalwareTab));

    SetListItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    PostMessageW(window, WM_COMMAND, kCmdWhitelistParentFolder, 0);
    askedForKey = WaitForShownWindow(kMessageBoxClass, GetCurrentProcessId(), 300) != nullptr;
    rowsAfterKey = ListCount(window, kMalwareTab);

    SetListItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    PostMessageW(window, WM_COMMAND, kCmdWhitelistParentFolder, 0);
    const auto asked = AnswerShownMessageBox(GetCurrentProcessId(), IDYES);
    if (!asked) return;
    question = *asked;
    WaitUntil([&] { return ListCount(window, kMalwareTab) == 1; }, 2000);
    rowsAfterFile = ListCount(window, kMalwareTab);
  });
  EXPECT_FALSE(askedForKey);
  EXPECT_EQ(rowsAfterKey, 2);
  EXPECT_EQ(question,
            L"Are you sure you want to whitelist the parent directory of the hilighted item?\r\n\r\nThis action "
            L"can be undone from Menu -> Whitelist Manager.");
  EXPECT_EQ(rowsAfterFile, 1);
  EXPECT_TRUE(IsWhitelisted(h.whitelist, L"C:\\Games\\Cracked\\other.exe", L"Infected file objects", true));
}

TEST(MainWindow, TheDetectionDialogStoresTheChosenLevelAndEscapeKeepsIt) {
  Harness h;
  int initialOption = 0;
  bool storedLevelSelected = false;
  h.Run([&](HWND window) {
    PostMessageW(window, WM_COMMAND, kCmdDetectionSettings, 0);
    HWND dialog = WaitForShownWindow(kDetectionDialogClass, GetCurrentProcessId());
    if (!dialog) return;
    for (int id : {kIdSoft, kIdMedium, kIdAggressive}) {
      if (SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED) initialOption = id;
    }
    SendDlgItemMessageW(dialog, kIdAggressive, BM_CLICK, 0, 0);
    SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
    WaitUntil([&] { return !IsWindow(dialog); });

    // Opened again: the stored level is selected; Escape changes nothing.
    PostMessageW(window, WM_COMMAND, kCmdDetectionSettings, 0);
    dialog = WaitForShownWindow(kDetectionDialogClass, GetCurrentProcessId());
    if (!dialog) return;
    storedLevelSelected = SendDlgItemMessageW(dialog, kIdAggressive, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendDlgItemMessageW(dialog, kIdSoft, BM_CLICK, 0, 0);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    WaitUntil([&] { return !IsWindow(dialog); });
  });
  EXPECT_EQ(initialOption, kIdMedium);
  EXPECT_TRUE(storedLevelSelected);
  EXPECT_EQ(h.settings.GetInt(L"SCAN", L"ScanSoftness", 0), 10);
}

TEST(MainWindow, ClosingDuringAScanAsksAndNoKeepsItRunning) {
  Harness h;
  h.host.options.scanAtStart = true;
  std::atomic<bool> scanning{false};
  h.UseScan([&](ProgressSink& progress) {
    progress.SetProgress(35);
    progress.SetStatus(L"Scanning autostart locations...");
    scanning = true;
    while (!h.cancel.Cancelled()) Sleep(5);
    return 0;
  });
  std::wstring question, stopText, liveStatus;
  int liveProgress = -1;
  bool stillRunning = false, exitFlagAfterNo = true, summaryShown = false;

  h.Run([&](HWND window) {
    WaitUntil([&] { return scanning.load(); });
    stopText = ControlText(window, kIdScan);
    // The worker's progress reaches the window while it runs.
    WaitUntil([&] { return ControlText(window, kIdStatus) == L"Scanning autostart locations..."; }, 2000);
    liveStatus = ControlText(window, kIdStatus);
    liveProgress = int(SendDlgItemMessageW(window, kIdScanProgress, PBM_GETPOS, 0, 0));
    PostMessageW(window, WM_CLOSE, 0, 0);
    const auto asked = AnswerShownMessageBox(GetCurrentProcessId(), IDNO);
    if (!asked) return;
    question = *asked;
    Sleep(100);
    stillRunning = IsWindow(window) && scanning;
    exitFlagAfterNo = h.cancel.Cancelled();

    PostMessageW(window, WM_CLOSE, 0, 0);
    if (!AnswerShownMessageBox(GetCurrentProcessId(), IDYES)) return;
    WaitUntil([&] { return !IsWindow(window); });
    // A scan ended by leaving shows no summary.
    summaryShown = test::FindProcessWindow(kMessageBoxClass, GetCurrentProcessId()) != nullptr;
  });

  EXPECT_EQ(stopText, L"Stop");
  EXPECT_EQ(liveStatus, L"Scanning autostart locations...");
  EXPECT_EQ(liveProgress, 35);
  EXPECT_EQ(question, L"There is an active scan in progress.\r\n\r\nAre you sure you want to exit?");
  EXPECT_TRUE(stillRunning);
  EXPECT_FALSE(exitFlagAfterNo);
  EXPECT_TRUE(h.cancel.exit.load());
  EXPECT_FALSE(summaryShown);
}

TEST(MainWindow, ThePlacementIsWrittenAtExitAndAStoredWidthWiderThanTheScreenIsIgnored) {
  Harness h;
  h.settings.SetInt(L"UI", L"WindowCX", GetSystemMetrics(SM_CXSCREEN) + 1);
  h.settings.SetInt(L"UI", L"WindowCY", 600);
  RECT first{};
  h.Run([&](HWND window) {
    GetWindowRect(window, &first);
    SetWindowPos(window, nullptr, 0, 0, 820, 610, SWP_NOMOVE | SWP_NOZORDER);
    // Closed while minimized: the size it had before counts.
    SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  });
  EXPECT_EQ(first.right - first.left, 750);
  EXPECT_EQ(first.bottom - first.top, 600);
  IniDocument stored(h.scratch / L"settings.ini");
  EXPECT_EQ(stored.GetString(L"UI", L"Maximized", L""), L"0");
  EXPECT_EQ(stored.GetInt(L"UI", L"WindowCX", 0), 820);
  EXPECT_EQ(stored.GetInt(L"UI", L"WindowCY", 0), 610);

  // Maximized: the flag is written and the stored size kept.
  Harness again;
  again.settings.SetInt(L"UI", L"WindowCX", 820);
  again.settings.SetInt(L"UI", L"WindowCY", 610);
  bool zoomed = false;
  again.Run([&](HWND window) {
    SendMessageW(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    zoomed = IsZoomed(window);
  });
  EXPECT_TRUE(zoomed);
  IniDocument maximized(again.scratch / L"settings.ini");
  EXPECT_EQ(maximized.GetString(L"UI", L"Maximized", L""), L"1");
  EXPECT_EQ(maximized.GetInt(L"UI", L"WindowCX", 0), 820);
}

// Scan and remove without a window to look at: the run ends by itself, and
// restarts only when asked to and when something waits for the restart.
TEST(MainWindow, ScanAndRemoveRunsEndOnTheirOwn) {
  struct Case {
    bool findsChecked;
    bool autoReboot;
    unsigned removalFlags;
    int removals;
    bool restarted;
  } cases[] = {
      {false, true, 2, 0, false},  // nothing recommended: the program ends at once
      {true, true, 2, 1, true},
      {true, false, 2, 1, false},
      {true, true, 1, 1, false},
  };
  for (const Case& c : cases) {
    Harness h;
    h.host.options.scanAtStart = true;
    h.host.options.removeAfterScan = true;
    h.host.options.autoReboot = c.autoReboot;
    h.host.options.showCommand = SW_HIDE;
    h.removalFlags = c.removalFlags;
    h.UseScan([&](ProgressSink&) {
      StartNewResults(h.results, h.scratch.Path(), 99);
      AddRow(TabList(h.results, kMalwareTab), kGroupMalwareFixes, L"Reset TCP/IP (Winsock)", L"", L"", false);
      if (c.findsChecked) AddRow(TabList(h.results, kProgramsTab), kNoGroup, L"Toolbar", L"Adware Inc.", L"root", true);
      return 0;
    });
    const std::wstring marker = h.scratch / L"restart.marker";
    SetEnvironmentVariableW(test::kRestartMarkerVariable, marker.c_str());
    std::atomic<bool> sawVisible{false}, sawBox{false};
    std::thread watcher([&] {
      HWND window = WaitForWindow(kMainWindowClass, GetCurrentProcessId());
      while (window && IsWindow(window)) {
        if (IsWindowVisible(window)) sawVisible = true;
        if (test::FindProcessWindow(kMessageBoxClass, GetCurrentProcessId())) sawBox = true;
        Sleep(5);
      }
    });
    RunMainWindow(h.host);
    watcher.join();
    SetEnvironmentVariableW(test::kRestartMarkerVariable, nullptr);
    EXPECT_EQ(h.removals.load(), c.removals) << c.findsChecked << c.autoReboot << c.removalFlags;
    EXPECT_EQ(test::FileExists(marker), c.restarted) << c.findsChecked << c.autoReboot << c.removalFlags;
    EXPECT_FALSE(sawVisible.load());
    EXPECT_FALSE(sawBox.load());
  }
}

TEST(MainWindow, InteractiveCleanAsksFirstAndOffersTheRestart) {
  Harness h;
  h.UseFindingScan();
  h.host.options.scanAtStart = true;
  h.removalFlags = 2;
  const std::wstring marker = h.scratch / L"restart.marker";
  SetEnvironmentVariableW(test::kRestartMarkerVariable, marker.c_str());
  std::wstring confirm, restartQuestion, status;
  int removalsAfterNo = -1;

  h.Run([&](HWND window) {
    if (!AnswerShownMessageBox(GetCurrentProcessId(), IDNO)) return;

    PostMessageW(window, WM_COMMAND, kIdClean, 0);
    const auto asked = AnswerShownMessageBox(GetCurrentProcessId(), IDNO);
    if (!asked) return;
    confirm = *asked;
    Sleep(50);
    removalsAfterNo = h.removals;

    PostMessageW(window, WM_COMMAND, kIdClean, 0);
    if (!AnswerShownMessageBox(GetCurrentProcessId(), IDYES)) return;
    const auto restart = AnswerShownMessageBox(GetCurrentProcessId(), IDNO);
    if (!restart) return;
    restartQuestion = *restart;
    status = ControlText(window, kIdStatus);
  });
  SetEnvironmentVariableW(test::kRestartMarkerVariable, nullptr);

  EXPECT_EQ(confirm,
            L"Are you sure you want to remove the selected items?\r\n\r\nOpen internet browsers will be closed. "
            L"Continue?");
  EXPECT_EQ(removalsAfterNo, 0);
  EXPECT_EQ(h.removals.load(), 1);
  EXPECT_EQ(restartQuestion.rfind(L"Some file system objects were scheduled for removal on reboot.", 0), 0u);
  EXPECT_NE(restartQuestion.find(L"run Tavrin again"), std::wstring::npos);
  EXPECT_EQ(status, L"Cleanup complete.");
  EXPECT_FALSE(test::FileExists(marker));
}

TEST(MainWindow, TheTutorialHoldsTheMenuAndTabsUntilACommand) {
  Harness h;
  h.UseFindingScan();
  h.host.options.scanAtStart = true;
  bool menuDuring = true, tabsDuring = true, menuAfter = false, tabsAfter = false;
  int tabDuring = -1;
  h.Run([&](HWND window) {
    if (!AnswerShownMessageBox(GetCurrentProcessId(), IDYES)) return;
    Sleep(50);
    menuDuring = IsWindowEnabled(GetDlgItem(window, kIdMenu));
    tabsDuring = IsWindowEnabled(GetDlgItem(window, kIdTabs));
    tabDuring = int(SendDlgItemMessageW(window, kIdTabs, TCM_GETCURSEL, 0, 0));
    SendMessageW(window, WM_COMMAND, kCmdCheckAll, 0);
    menuAfter = IsWindowEnabled(GetDlgItem(window, kIdMenu));
    tabsAfter = IsWindowEnabled(GetDlgItem(window, kIdTabs));
  });
  EXPECT_FALSE(menuDuring);
  EXPECT_FALSE(tabsDuring);
  EXPECT_EQ(tabDuring, kProgramsTab);
  EXPECT_TRUE(menuAfter);
  EXPECT_TRUE(tabsAfter);
}

}  // namespace
}  // namespace tavrin
