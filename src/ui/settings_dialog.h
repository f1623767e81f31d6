#pragma once
// The settings dialog of the main menu: its pages in a tab control; the
// scheduled scans are its page.
#include <windows.h>

#include <string>

namespace tavrin {

// Modal; returns when the dialog is closed.
void RunSettingsDialog(HWND owner, const std::wstring& executablePath);

}  // namespace tavrin
