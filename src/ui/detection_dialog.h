#pragma once
// The malware detection settings dialog ("MalwareScanSettingsDlg").
#include <windows.h>

#include "platform/ini_document.h"

namespace tavrin {

// Option of the level (14 Soft, 10 Aggressive, anything else Medium).
int DetectionOptionOf(int level);
int DetectionLevelOf(int option);

// Modal. "OK" stores the chosen level in `level` and in "ScanSoftness" of
// section "SCAN"; Escape and the close button change nothing. True when OK
// was pressed.
bool RunDetectionSettingsDialog(HWND owner, int& level, IniDocument& settings);

}  // namespace tavrin
