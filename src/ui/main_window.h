#pragma once
// The main window: the options of the next scan and removal, the four
// result tabs, the progress of the running operation and the menu of
// commands. Its event loop runs on the thread that calls RunMainWindow until
// the program ends; scans and removals run on worker threads it starts.
#include <windows.h>

#include <functional>
#include <string>

#include "app/start_options.h"
#include "platform/ini_document.h"
#include "platform/run_control.h"
#include "results/result_set.h"
#include "results/whitelist.h"
#include "scan/custom_scan.h"

namespace tavrin {

// What a scan is asked to do, taken from the option boxes when it starts.
struct ScanChoices {
  bool scanAllUsers = true;
  bool noMalware = false;
  DetectionLevel detectionLevel = DetectionLevel::Medium;
};

struct RemovalChoices {
  bool createRestorePoint = true;
  bool autoReboot = false;
  bool unattended = false;  // a scan-and-remove run: nothing is asked
};

// The rest of the program, as the window sees it. The objects outlive the
// window; the thread bodies run on worker threads and report through the
// sinks they are given, never through the window. Whatever a body needs
// from shared documents is taken while it is prepared, on the window
// thread.
struct MainWindowHost {
  StartOptions options;
  std::wstring dataFolder;      // with the "\\?\" prefix
  std::wstring executablePath;  // with the "\\?\" prefix
  IniDocument* settings = nullptr;
  WhiteList* whitelist = nullptr;
  ResultSet* results = nullptr;
  CancelFlags* cancel = nullptr;

  // Called on the window thread when a scan starts; returns the scan
  // thread's body, which ends with 0 (the scan ran), 1 (no users or no work
  // folder) or 3 (the definitions could not be loaded).
  std::function<std::function<int()>(const ScanChoices&, ProgressSink&)> prepareScan;
  // The same for a custom scan of the files the dialog chose; it runs in
  // the scan thread's slot and ends with the same codes, or 4 when the
  // target does not exist.
  std::function<std::function<int()>(const CustomScanRequest&, const ScanChoices&, ProgressSink&)>
      prepareCustomScan;
  // The same for a removal; its body ends with the result flags (2: objects
  // wait for the next start). `detail` is the progress window's line.
  std::function<std::function<unsigned()>(const RemovalChoices&, ProgressSink& status, ProgressSink& detail)>
      prepareRemoval;
  // Started at start-up when no scan is asked for; may be empty.
  std::function<void()> runDefinitionsUpdate;
  std::function<bool()> definitionsUpdating;
  // The reports of the last scan and removal; empty when there is none.
  std::function<std::wstring()> scanReportPath;
  std::function<std::wstring()> removalReportPath;
  // Starts a false-positive report of a file (empty: none highlighted);
  // 1 started, 3 one still running, 0 failed. May be empty.
  std::function<int(const std::wstring&)> reportFalsePositive;
  // The end of the program: releases what the scans kept (users, hives).
  std::function<void()> releaseScanState;
};

// The main window's class is registered and the window created, started
// (the key moves, the options, the stored size, the detection level, the
// scan or the definitions update) and run until it is closed or a run
// mode ends the program. Returns the process exit code.
int RunMainWindow(MainWindowHost& host);

// Where the maker's site and the online help are.
inline constexpr wchar_t kMakerSiteName[] = L"halvoret.com";
inline constexpr wchar_t kMakerSiteUrl[] = L"https://www.halvoret.com/";
inline constexpr wchar_t kOnlineHelpUrl[] = L"https://www.halvoret.com/tavrin/help/";

}  // namespace tavrin
