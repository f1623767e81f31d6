#include "ui/program_window.h"

#include <memory>

#include "definitions/definitions_db.h"
#include "removal/removal_session.h"
#include "scan/custom_scan.h"
#include "scan/scan_session.h"
#include "ui/main_window.h"

namespace tavrin {

namespace {

// The removal's progress in both places: the main window's bar and status,
// and the progress window's bar.
class RemovalProgress : public ProgressSink {
 public:
  RemovalProgress(ProgressSink& status, ProgressSink& detail) : status_(status), detail_(detail) {}
  void SetProgress(int percent) override {
    status_.SetProgress(percent);
    detail_.SetProgress(percent);
  }
  void SetStatus(const std::wstring& text) override { status_.SetStatus(text); }

 private:
  ProgressSink& status_;
  ProgressSink& detail_;
};

}  // namespace

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
    return std::function<int()>([scan, &app] {
      const int exitCode = RunScan(*scan);
      StartCloudSubmissions(app);
      return exitCode;
    });
  };
  host.prepareCustomScan = [&app](const CustomScanRequest& request, const ScanChoices& choices,
                                  ProgressSink& progress) {
    app.scanOptions.detectionLevel = choices.detectionLevel;
    auto scan = std::make_shared<ScanEnvironment>(MakeScanEnvironment(app, progress));
    return std::function<int()>([scan, request] { return RunCustomScan(*scan, request); });
  };
  // The removal works on what the last scan left: its users, folders and
  // rows. Its progress goes to the main window and to the progress window;
  // its report path is kept for "View removal report" once it has ended.
  auto removalReport = std::make_shared<std::wstring>();
  host.prepareRemoval = [&app, removalReport](const RemovalChoices& choices, ProgressSink& status,
                                              ProgressSink& detail) {
    app.scanOptions.createRestorePoint = choices.createRestorePoint;
    app.scanOptions.autoReboot = choices.autoReboot;
    auto session = std::make_shared<RemovalSession>();
    session->scan = &app.scan;
    session->results = &app.results;
    session->dataFolder = app.dataFolder;
    session->createRestorePoint = choices.createRestorePoint;
    session->cancel = &app.cancel;
    session->showDetail = [&detail](const std::wstring& text) { detail.SetStatus(text); };
    return std::function<unsigned()>([session, removalReport, &status, &detail] {
      RemovalProgress progress(status, detail);
      session->progress = &progress;
      const unsigned flags = RunRemoval(*session);
      session->progress = nullptr;
      *removalReport = session->report.Path();
      return flags;
    });
  };
  host.removalReportPath = [removalReport] { return *removalReport; };

  const std::wstring server = DefinitionsServer(app.settings);
  // The window starts the update when no scan is asked for; a scan started
  // before the update thread has begun must find it under way, not start a
  // second one.
  if (!app.start.scanAtStart) app.definitions.state = DefinitionsState::Updating;
  host.runDefinitionsUpdate = [&app, server] { UpdateDefinitions(app.definitions, app.dataFolder, server, app.cancel); };
  host.definitionsUpdating = [&app] { return app.definitions.state.load() == DefinitionsState::Updating; };
  host.scanReportPath = [&app] { return app.scan.reportPath; };
  host.releaseScanState = [&app] { app.scan.users.clear(); };
  host.reportFalsePositive = [&app](const std::wstring& path) { return app.cloud.maker.StartFalsePositiveReport(path); };
  return RunMainWindow(host);
}

}  // namespace tavrin
