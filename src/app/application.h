#pragma once
// The process from its start to its end: the start-up steps before the main
// window and the last step after it. The entry point runs the main window
// in between.
#include <windows.h>

#include <string>

#include "app/start_options.h"
#include "platform/ini_document.h"

namespace tavrin {

struct ApplicationStart {
  StartOptions options;
  std::wstring executablePath;  // with the "\\?\" prefix
  std::wstring dataFolder;      // with the "\\?\" prefix
  std::wstring settingsPath;
  bool comInitialised = false;
  bool gdiplusStarted = false;
  ULONG_PTR gdiplusToken = 0;
};

// COM, the command line, the ".old" executable or the single-instance test,
// GDI+, the data folder and the settings file (loaded into `settings` and
// marked for auto-save), the firewall step and the process modes. False
// when a running instance was brought to the front: the process then ends
// with exit code 0 after EndApplication.
bool StartApplication(const std::wstring& commandLine, int showCommand, ApplicationStart& start,
                      IniDocument& settings);
// Releases GDI+ and COM.
void EndApplication(ApplicationStart& start);

}  // namespace tavrin
