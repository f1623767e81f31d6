#include <windows.h>

#include "app/application.h"
#include "platform/ini_document.h"
#include "ui/program_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
  tavrin::ApplicationStart start;
  int exitCode = 0;
  {
    tavrin::IniDocument settings;
    if (tavrin::StartApplication(commandLine ? commandLine : L"", showCommand, start, settings))
      exitCode = tavrin::RunProgramWindow(start, settings);
  }
  tavrin::EndApplication(start);
  return exitCode;
}
