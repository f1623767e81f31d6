#include <windows.h>

#include "app/app_context.h"
#include "platform/system_library.h"
#include "ui/program_window.h"
#include "ui/running_instance.h"

// The start-up steps of app/, the single-instance test (it looks for the
// running instance's window), the main window and its event loop, then the
// end of the process.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
  // Before anything loads a DLL: the program runs elevated, and its own
  // folder may be a Downloads folder that holds anything.
  tavrin::LimitDllSearchToSystemFolder();
  tavrin::AppContext app;
  int exitCode = 0;
  const bool singleInstanceTest = tavrin::BeginStartup(app, commandLine ? commandLine : L"", showCommand);
  // A hidden instance is only restored: this start goes on beside it.
  if (!(singleInstanceTest && tavrin::ActivateRunningInstance())) {
    tavrin::FinishStartup(app);
    exitCode = tavrin::RunProgramWindow(app);
  }
  tavrin::EndApplication(app);
  return exitCode;
}
