// The main window's commands: its buttons and links, the entries of the
// "Menu" button (also sent by the accelerators and by other programs), and
// the row locations, reports and uninstall they lead to.
#include "ui/main_window_class.h"

#include <commctrl.h>
#include <shlobj.h>

#include "app/self_removal.h"
#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "platform/processes.h"
#include "platform/product.h"
#include "platform/shell_folders.h"
#include "results/details_files.h"
#include "results/result_tabs.h"
#include "ui/custom_scan_dialog.h"
#include "ui/detection_dialog.h"
#include "ui/false_positive_command.h"
#include "ui/main_menu.h"
#include "ui/message_box.h"
#include "ui/settings_dialog.h"
#include "ui/ui_ids.h"
#include "ui/window_kit.h"
#include "ui/whitelist_manager_window.h"

namespace tavrin {

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
  if (!IsCommandEnabled(command, CommandState())) return;
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
    case kCmdCustomScan:
      OpenCustomScan(L"");
      break;
    case kCmdSettings:
      RunSettingsDialog(window_, host_.executablePath);
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
    case kCmdReportFalsePositive: {
      RECT area;
      GetWindowRect(tabs_, &area);
      const UINT dpi = WindowDpi(window_);
      balloon_.Show(window_, {area.left + Scaled(60, dpi), area.top + Scaled(40, dpi)},
                    ReportFalsePositive(host_.reportFalsePositive, list, views_.HighlightedRow(tab)), L"");
      break;
    }
  }
  views_.ApplyPending();
  // Whitelisting may have emptied the lists.
  if (phase_ == WindowPhase::Results || phase_ == WindowPhase::Ready) ApplyControlStates();
}

void MainWindow::OpenCustomScan(const std::wstring& initial) {
  if (!IsCommandEnabled(kCmdCustomScan, CommandState())) return;
  if (const auto request = RunCustomScanDialog(window_, initial)) StartCustomScan(*request);
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

LRESULT MainWindow::OnNotify(const NMHDR& header, LPARAM lParam) {
  const int id = int(header.idFrom);
  if (id == kIdTabs && header.code == TCN_SELCHANGE) {
    views_.ShowTab(CurrentTab());
    return 0;
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
    return 0;
  }
  if (id >= kIdFirstList && id < kIdFirstList + kTabCount) {
    const int tab = id - kIdFirstList;
    if (header.code == NM_CUSTOMDRAW)
      return views_.OnCustomDraw(tab, *reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
    if (header.code == LVN_ITEMCHANGED) {
      views_.OnItemChanged(tab, *reinterpret_cast<const NMLISTVIEW*>(lParam));
    } else if (header.code == NM_DBLCLK) {
      const auto& activate = *reinterpret_cast<const NMITEMACTIVATE*>(lParam);
      const int row = views_.ModelRow(tab, activate.iItem);
      if (row >= 0) OpenRowLocation(LocationCommand::DoubleClick, row);
    }
  }
  return 0;
}

}  // namespace tavrin
