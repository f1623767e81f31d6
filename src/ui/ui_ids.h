#pragma once
// Identifiers that other programs (and the tests) use to drive the windows
// with messages: window classes, control identifiers and the commands of
// the main window's menu.
namespace tavrin {

inline constexpr wchar_t kMainWindowClass[] = L"TVN_WNDCLASS";
inline constexpr wchar_t kMessageBoxClass[] = L"TVN_MsgBox";
inline constexpr wchar_t kDetectionDialogClass[] = L"MalwareScanSettingsDlg";
inline constexpr wchar_t kWhitelistManagerClass[] = L"TVN_WhitelistManager";
inline constexpr wchar_t kProgressWindowClass[] = L"TVN_Progress";
inline constexpr wchar_t kCustomScanDialogClass[] = L"CustomScanDlgClass";
inline constexpr wchar_t kSettingsDialogClass[] = L"TVN_Settings";

// The menu of the "Menu" button; every entry is also a WM_COMMAND the main
// window takes from its accelerators or from another program.
enum MenuCommand : int {
  kCmdNewScan = 40001,
  kCmdCustomScan,
  kCmdDetectionSettings,
  kCmdViewScanLog,
  kCmdViewCleanupLog,
  kCmdOpenLogsFolder,
  kCmdUninstall,
  kCmdOpenRegistryLocation,
  kCmdOpenFileLocation,
  kCmdReportFalsePositive,
  kCmdCheckAll,
  kCmdCheckNone,
  kCmdWhitelistHighlighted,
  kCmdWhitelistParentFolder,
  kCmdWhitelistChecked,
  kCmdWhitelistCheckedAllTabs,
  kCmdWhitelistManager,
  kCmdSettings,
  kCmdOnlineHelp,  // F1
};

// Child controls of the main window.
enum MainControl : int {
  kIdScan = 1001,  // "Scan", and "Stop" while a scan or a removal runs
  kIdClean,
  kIdMenu,
  kIdScanAllUsers,
  kIdNoMalware,
  kIdRestorePoint,
  kIdAutoReboot,
  kIdScanProgress,
  kIdCleanProgress,
  kIdStatus,
  kIdHelpLink,
  kIdAboutLink,
  kIdMakerLink,
  kIdTitle,
  kIdVersion,
  kIdTabs,
  kIdFirstList,  // one list per tab: kIdFirstList + tab
};

// The message box: its text and buttons (IDOK, IDYES, IDNO, IDCANCEL).
inline constexpr int kIdMessageText = 2001;

// The malware detection settings dialog: the three options and IDOK.
enum DetectionDialogControl : int {
  kIdSoft = 2101,
  kIdMedium,
  kIdAggressive,
};

// The Whitelist Manager.
enum WhitelistManagerControl : int {
  kIdManagerList = 2201,
  kIdManagerCheckAll,
  kIdManagerAddFolder,
  kIdManagerDelete,
  kIdManagerImport,
  kIdManagerExport,
};

// The removal's progress window: caption, detail line, bar and IDCANCEL.
enum ProgressControl : int {
  kIdProgressTitle = 2301,
  kIdProgressDetail,
  kIdProgressBar,
};

// The custom scan dialog: the target field, the pickers, the recursive
// option and IDOK ("Start scan").
enum CustomScanControl : int {
  kIdCustomTarget = 2401,
  kIdCustomDropArea,
  kIdCustomSelectFolder,
  kIdCustomSelectFiles,
  kIdCustomRecursive,
};

// The settings dialog's schedule page; IDCANCEL closes the dialog.
enum SchedulePageControl : int {
  kIdScheduleFirstStart = 2501,
  kIdScheduleRepeat,
  kIdScheduleRepeatDays,
  kIdScheduleCurrentUserOnly,
  kIdScheduleNoMalware,
  kIdScheduleRemove,
  kIdScheduleQuiet,
  kIdScheduleNoRestorePoint,
  kIdScheduleAutoReboot,
  kIdScheduleCreate,
  kIdScheduleDelete,
  kIdScheduleScanNow,
  kIdScheduleWritableNotice,
  kIdSettingsTabs,
};

}  // namespace tavrin
