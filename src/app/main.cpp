#include <windows.h>

#include "app/app_context.h"
#include "ui/program_window.h"

// Start-up up to the main window here in app/, the window and its event
// loop in ui/, then the end of the process.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
  tavrin::AppContext app;
  int exitCode = 0;
  if (tavrin::StartApplication(app, commandLine ? commandLine : L"", showCommand))
    exitCode = tavrin::RunProgramWindow(app);
  tavrin::EndApplication(app);
  return exitCode;
}
