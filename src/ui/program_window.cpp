#include "ui/program_window.h"

#include <memory>

#include "definitions/definitions_db.h"
#include "scan/scan_session.h"
#include "ui/main_window.h"

namespace tavrin {

int RunProgramWindow(AppContext& app) {
  MainWindowHost host;
  host.options = app.start;
  host.dataFolder = app.dataFolder;
  host.executablePath = app.executablePath;
  host.settings = &app.settings;
  host.whitelist = &app.whitelist;
  host.results = &app.results;
  host.cancel = &app.cancel;

  // The option boxes and the detection level as the window has them become
  // the context's scan options when work starts. The environment is made
  // now, on the window thread: the settings document is the window's.
  host.prepareScan = [&app](const ScanChoices& choices, ProgressSink& progress) {
    app.scanOptions.scanAllUsers = choices.scanAllUsers;
    app.scanOptions.noMalware = choices.noMalware;
    app.scanOptions.detectionLevel = choices.detectionLevel;
    auto scan = std::make_shared<ScanEnvironment>(MakeScanEnvironment(app, progress));
    return std::function<int()>([scan] { return RunScan(*scan); });
  };
  // The removal session is not part of this build yet: a removal reports
  // its start and ends without changing anything.
  host.prepareRemoval = [&app](const RemovalChoices& choices, ProgressSink& status, ProgressSink& detail) {
    app.scanOptions.createRestorePoint = choices.createRestorePoint;
    app.scanOptions.autoReboot = choices.autoReboot;
    return std::function<unsigned()>([&status, &detail] {
      detail.SetStatus(L"Preparing to repair the selected issues...");
      status.SetStatus(L"Cleaning up...");
      status.SetProgress(100);
      return 0u;
    });
  };

  const std::wstring server = DefinitionsServer(app.settings);
  // The window starts the update when no scan is asked for; a scan started
  // before the update thread has begun must find it under way, not start a
  // second one.
  if (!app.start.scanAtStart) app.definitions.state = DefinitionsState::Updating;
  host.runDefinitionsUpdate = [&app, server] { UpdateDefinitions(app.definitions, app.dataFolder, server, app.cancel); };
  host.definitionsUpdating = [&app] { return app.definitions.state.load() == DefinitionsState::Updating; };
  host.scanReportPath = [&app] { return app.scan.reportPath; };
  host.releaseScanState = [&app] { app.scan.users.clear(); };
  return RunMainWindow(host);
}

}  // namespace tavrin
