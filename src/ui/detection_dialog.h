#pragma once
// The malware detection settings dialog ("MalwareScanSettingsDlg").
#include <windows.h>

#include "definitions/detection_level.h"
#include "platform/ini_document.h"

namespace tavrin {

// The radio button of a level, and back (an unknown button is Medium).
int DetectionOptionOf(DetectionLevel level);
DetectionLevel DetectionLevelOf(int option);

// Modal. "OK" stores the chosen level in `level` and in "ScanSoftness" of
// section "SCAN"; Escape and the close button change nothing. True when OK
// was pressed.
bool RunDetectionSettingsDialog(HWND owner, DetectionLevel& level, IniDocument& settings);

}  // namespace tavrin
