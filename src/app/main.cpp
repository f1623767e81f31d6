#include <windows.h>

#include "app/application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
  return tavrin::RunApplication(commandLine ? commandLine : L"", showCommand);
}
