#pragma once
// The custom scan dialog: a target typed, pasted, dropped or picked, and
// whether a folder's subfolders are scanned too.
#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "scan/custom_scan.h"

namespace tavrin {

// Modal; `initial` fills the field (files dropped on the main window).
// The request when "Start scan" was pressed with a target of at least two
// characters, nothing when the dialog was closed.
std::optional<CustomScanRequest> RunCustomScanDialog(HWND owner, const std::wstring& initial = {});

// The paths of files dropped with a WM_DROPFILES handle (released here).
std::vector<std::wstring> DroppedPaths(HDROP drop);

}  // namespace tavrin
