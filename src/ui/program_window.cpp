#include "ui/program_window.h"

#include "platform/file_system.h"
#include "platform/users.h"
#include "results/generalize.h"
#include "results/result_set.h"
#include "results/whitelist.h"
#include "ui/main_window.h"

namespace tavrin {

int RunProgramWindow(const ApplicationStart& start, IniDocument& settings) {
  InteractiveUser user;
  WhiteList whitelist;
  GeneralizeFolders folders = MachineGeneralizeFolders();
  folders.appData = user.AppData();
  folders.localAppData = user.LocalAppData();
  folders.userProfile = user.ProfileFolder();
  SetGeneralizeFolders(whitelist, folders);
  OpenWhiteList(whitelist, start.dataFolder);

  ResultSet results;
  CancelFlags cancel;

  MainWindowHost host;
  host.options = start.options;
  host.dataFolder = start.dataFolder;
  host.executablePath = start.executablePath;
  host.settings = &settings;
  host.whitelist = &whitelist;
  host.results = &results;
  host.cancel = &cancel;
  // The removal session is not part of this build yet: a removal reports
  // its start and ends without changing anything.
  host.runRemoval = [](const RemovalChoices&, ProgressSink& status, ProgressSink& detail) {
    detail.SetStatus(L"Preparing to repair the selected issues...");
    status.SetStatus(L"Cleaning up...");
    status.SetProgress(100);
    return 0u;
  };
  host.releaseScanState = [&user] { user.Reset(); };
  return RunMainWindow(host);
}

}  // namespace tavrin
