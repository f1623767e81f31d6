#pragma once
// The application context: everything one run of the program owns, from
// start-up to exit. The main window holds it for the whole run; worker
// threads get the parts they work on (a scan gets a ScanEnvironment).
#include <windows.h>

#include <string>

#include "app/start_options.h"
#include "cloud/cloud_services.h"
#include "definitions/definitions_db.h"
#include "definitions/hash_list_queue.h"
#include "platform/ini_document.h"
#include "platform/privileges.h"
#include "platform/run_control.h"
#include "platform/users.h"
#include "results/result_set.h"
#include "results/whitelist.h"
#include "scan/scan_session.h"

namespace tavrin {

struct AppContext {
  StartOptions start;
  ScanOptions scanOptions;
  std::wstring executablePath;  // in the "\\?\" form
  std::wstring dataFolder;      // in the "\\?\" form
  std::wstring settingsPath;
  IniDocument settings;
  WhiteList whitelist;
  ResultSet results;
  InteractiveUser interactiveUser;
  CancelFlags cancel;
  DefinitionsDb definitions;
  HashListQueue hashList;
  CloudServices cloud;
  ScanSession scan;
  PrivilegeState privileges;

  bool comInitialized = false;
  ULONG_PTR gdiplusToken = 0;
};

// The first start-up steps: COM, the command line and the old executable
// left by an update. True when the single-instance test is to follow
// (neither the old executable's deletion nor a new instance was asked for);
// that test looks for the running instance's window, so the window side
// makes it and ends the process when a shown instance takes over.
bool BeginStartup(AppContext& app, const std::wstring& commandLine, int showCommand);

// The rest of the start-up up to the main window: GDI+, the data folder and
// the settings, the firewall step, the process modes, the privileges and
// the whitelist.
void FinishStartup(AppContext& app);

// The options of the next scan from the start options, and its detection
// level: the command line's when given, else the stored one.
void ApplyStartOptions(AppContext& app);

// What a scan thread works with, reporting to `progress`; the cloud
// client starts its work for the new scan.
ScanEnvironment MakeScanEnvironment(AppContext& app, ProgressSink& progress);

// After a scan thread has ended: the uploads of the files the service does
// not know, and the rest of the hash list.
void StartCloudSubmissions(AppContext& app);

// After the main window: the results' work folder is deleted, the user list
// released, the settings saved, GDI+ and COM released.
void EndApplication(AppContext& app);

}  // namespace tavrin
