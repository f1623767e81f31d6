#include "app/application.h"

#include <objbase.h>
#include <gdiplus.h>

#include "app/settings.h"
#include "app/startup.h"

namespace tavrin {

bool StartApplication(const std::wstring& commandLine, int showCommand, ApplicationStart& start,
                      IniDocument& settings) {
  start.comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

  start.executablePath = OwnExecutablePath();
  start.options = ParseStartOptions(SplitCommandLine(commandLine), showCommand);

  if (start.options.deleteOldExecutable) {
    DeleteOldExecutable(start.executablePath);
  } else if (!start.options.newInstance && ActivateRunningInstance()) {
    return false;
  }

  Gdiplus::GdiplusStartupInput gdiplusInput;
  start.gdiplusStarted = Gdiplus::GdiplusStartup(&start.gdiplusToken, &gdiplusInput, nullptr) == Gdiplus::Ok;

  start.dataFolder = PrepareDataFolder();
  start.settingsPath = SettingsFilePath(start.dataFolder);
  EnsureSettingsFile(start.settingsPath);
  start.executablePath = WithLongPathPrefix(start.executablePath);
  settings.Load(start.settingsPath);
  settings.MarkAutoSave();
  RunFirewallStep(settings, start.executablePath);
  SetProcessModes();
  return true;
}

void EndApplication(ApplicationStart& start) {
  if (start.gdiplusStarted) Gdiplus::GdiplusShutdown(start.gdiplusToken);
  start.gdiplusStarted = false;
  if (start.comInitialised) CoUninitialize();
  start.comInitialised = false;
}

}  // namespace tavrin
