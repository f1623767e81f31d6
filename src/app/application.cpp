#include "app/app_context.h"

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include "app/settings.h"
#include "app/startup.h"
#include "platform/file_system.h"
#include "results/details_files.h"
#include "results/generalize.h"
#include "schedule/scheduled_program.h"

namespace tavrin {

bool BeginStartup(AppContext& app, const std::wstring& commandLine, int showCommand) {
  app.comInitialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

  app.executablePath = OwnExecutablePath();
  app.start = ParseStartOptions(SplitCommandLine(commandLine), showCommand);

  if (app.start.deleteOldExecutable) {
    DeleteOldExecutable(app.executablePath);
    return false;
  }
  return !app.start.newInstance;
}

void FinishStartup(AppContext& app) {
  Gdiplus::GdiplusStartupInput gdiplusInput;
  if (Gdiplus::GdiplusStartup(&app.gdiplusToken, &gdiplusInput, nullptr) != Gdiplus::Ok) app.gdiplusToken = 0;

  app.dataFolder = PrepareDataFolder();
  app.settingsPath = SettingsFilePath(app.dataFolder);
  EnsureSettingsFile(app.settingsPath);
  app.settings.Load(app.settingsPath);
  app.settings.MarkAutoSave();
  app.executablePath = WithLongPathPrefix(app.executablePath);
  RunFirewallStep(app.settings, app.executablePath);
  SetProcessModes();
  app.privileges = EnablePrivileges();

  GeneralizeFolders folders = MachineGeneralizeFolders();
  folders.appData = app.interactiveUser.AppData();
  folders.localAppData = app.interactiveUser.LocalAppData();
  folders.userProfile = app.interactiveUser.ProfileFolder();
  SetGeneralizeFolders(app.whitelist, folders);
  OpenWhiteList(app.whitelist, app.dataFolder);
  // A schedule made earlier runs a copy with the whitelist it was given
  // then; what the user whitelists from now on must reach it too.
  const std::wstring scheduled = ScheduledProgramPath(app.executablePath);
  ShareWhitelistWithCopy(app.whitelist, scheduled, ProtectedProgramPath(scheduled));
  ApplyStartOptions(app);

  MigrateReportCache();
  app.cloud.virusTotal.Configure(ReadVirusTotalSettings(app.settings));
  app.cloud.virusTotal.AttachCancel(&app.cancel);
  app.cloud.maker.Configure(DefinitionsServer(app.settings));
}

void ApplyStartOptions(AppContext& app) {
  const StartOptions& s = app.start;
  ScanOptions& o = app.scanOptions;
  o.scanAllUsers = !s.currentUserOnly;
  o.noMalware = s.noMalware;
  o.autoReboot = s.autoReboot;
  o.createRestorePoint = !s.noRestorePoint;
  o.removeAfterScan = s.removeAfterScan;
  o.scanAtStart = s.scanAtStart;
  o.detectionLevel = s.detectionLevel ? *s.detectionLevel : StoredDetectionLevel(app.settings);
}

ScanEnvironment MakeScanEnvironment(AppContext& app, ProgressSink& progress) {
  ScanEnvironment scan;
  scan.options = app.scanOptions;
  scan.session = &app.scan;
  scan.results = &app.results;
  scan.whitelist = &app.whitelist;
  scan.interactiveUser = &app.interactiveUser;
  scan.definitions = &app.definitions;
  scan.cancel = &app.cancel;
  scan.progress = &progress;
  scan.dataFolder = app.dataFolder;
  scan.definitionsServer = DefinitionsServer(app.settings);
  scan.hashList = &app.hashList;
  scan.cloud = &app.cloud;
  app.cloud.virusTotal.ResetForScan();
  // The look-ups of the scan tell their progress in the scan's status.
  app.cloud.virusTotal.AttachStatus(&progress);
  return scan;
}

void StartCloudSubmissions(AppContext& app) { app.cloud.StartAfterScan(app.hashList); }

void EndApplication(AppContext& app) {
  DiscardResults(app.results);
  app.scan.users.clear();
  if (!app.settingsPath.empty()) app.settings.Save();
  RestorePrivileges(app.privileges);
  if (app.gdiplusToken) Gdiplus::GdiplusShutdown(app.gdiplusToken);
  app.gdiplusToken = 0;
  if (app.comInitialized) CoUninitialize();
  app.comInitialized = false;
}

}  // namespace tavrin
