#pragma once
// The start options of one run, read once from the command line.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "definitions/detection_level.h"

namespace tavrin {

struct StartOptions {
  bool scanAtStart = false;
  bool removeAfterScan = false;
  bool noRestorePoint = false;
  bool noMalware = false;
  bool autoReboot = false;
  bool newInstance = false;
  bool currentUserOnly = false;
  bool deleteOldExecutable = false;
  std::optional<DetectionLevel> detectionLevel;  // none: not given
  int showCommand = SW_SHOWNORMAL;
};

// The arguments after the program name, split with the Windows rules.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// Switches are taken left to right, with "/" or "-", in any case; unknown
// arguments are ignored and "/Update" ends the processing. `showCommand` is
// the one Windows passed to the process.
StartOptions ParseStartOptions(const std::vector<std::wstring>& arguments, int showCommand);

}  // namespace tavrin
