#include "app/application.h"

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include "app/settings.h"
#include "app/start_options.h"
#include "app/startup.h"
#include "platform/ini_document.h"

namespace tavrin {

int RunApplication(const std::wstring& commandLine, int showCommand) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  std::wstring executablePath = OwnExecutablePath();
  const StartOptions options = ParseStartOptions(SplitCommandLine(commandLine), showCommand);

  if (options.deleteOldExecutable) {
    DeleteOldExecutable(executablePath);
  } else if (!options.newInstance && ActivateRunningInstance()) {
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
  }

  Gdiplus::GdiplusStartupInput gdiplusInput;
  ULONG_PTR gdiplusToken = 0;
  const bool gdiplus = Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr) == Gdiplus::Ok;

  const std::wstring dataFolder = PrepareDataFolder();
  const std::wstring settingsPath = SettingsFilePath(dataFolder);
  EnsureSettingsFile(settingsPath);
  executablePath = WithLongPathPrefix(executablePath);
  {
    IniDocument settings(settingsPath);
    settings.MarkAutoSave();
    RunFirewallStep(settings, executablePath);
    SetProcessModes();
    // The main window takes over here; until it exists the run ends with the
    // settings saved.
  }

  if (gdiplus) Gdiplus::GdiplusShutdown(gdiplusToken);
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace tavrin
