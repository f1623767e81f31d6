#pragma once
// The main window's class, shared by the files that make it up: the window
// core (main_window.cpp: creation, layout, the workers, the messages and
// the event loop), its commands (main_window_commands.cpp) and the
// tutorial (main_window_tutorial.cpp). Nothing outside them includes it.
#include <windows.h>

#include <string>

#include "ui/main_window.h"
#include "ui/posted_progress.h"
#include "ui/progress_window.h"
#include "ui/result_views.h"
#include "ui/row_location.h"
#include "ui/tutorial.h"
#include "ui/window_rules.h"
#include "ui/worker_thread.h"

namespace tavrin {

inline constexpr UINT_PTR kTutorialTimer = 1;
inline constexpr wchar_t kReadyStatus[] = L"Press \"Scan\"...";

class MainWindow {
 public:
  explicit MainWindow(MainWindowHost& host);
  ~MainWindow();

  bool Create();
  void Start();
  int Run();

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id, const wchar_t* tip = nullptr);
  void ApplyDpi(UINT dpi);
  void CreateControls();
  void Layout();
  void ApplyControlStates();
  void SetStatus(const std::wstring& text);
  int CurrentTab() const;
  bool HasRows() const;
  CommandContext CommandState() const;

  void OnCommand(int id);
  void OnMenuCommand(int command);
  LRESULT OnNotify(const NMHDR& header, LPARAM lParam);
  void ShowMenu();

  void StartScan();
  void OpenCustomScan(const std::wstring& initial);
  void StartCustomScan(const CustomScanRequest& request);
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
  DetectionLevel detectionLevel_ = DetectionLevel::Medium;
  bool removalUnattended_ = false;
  bool customScan_ = false;  // the scan thread's slot holds a custom scan
  // A custom scan that finds no target leaves the results as they were.
  WindowPhase phaseBeforeCustomScan_ = WindowPhase::Ready;
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

}  // namespace tavrin
