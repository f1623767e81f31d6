#pragma once
// The program's data folder and its settings document.
#include <string>

#include "cloud/virustotal_client.h"
#include "definitions/detection_level.h"
#include "platform/ini_document.h"
#include "platform/product.h"

namespace tavrin {

// Common application data + "\Tavrin", with the "\\?\" prefix; created
// when missing. Empty when the common folder cannot be found.
std::wstring PrepareDataFolder();
std::wstring SettingsFilePath(const std::wstring& dataFolder);
// Creates the settings file as a bare UTF-16LE byte-order mark when missing.
bool EnsureSettingsFile(const std::wstring& path);

// The detection level that a stored "ScanSoftness" stands for: 10 or 14 as
// stored, 12 for anything else.
DetectionLevel StoredDetectionLevel(const IniDocument& settings);

// The file-report service: section "Settings", key "VirusTotalServer" (its
// base address, the public service when missing) and key "VirusTotalApiKey"
// (64 hexadecimal characters; any other text counts as no key, and then
// nothing is sent). Key "VirusTotalKeyType": "personal" for a key of the
// public API, anything else (and none) for a partner key. A personal key's
// limits: "VirusTotalRequestsPerMinute" (4) and "VirusTotalRequestsPerDay"
// (500); a value that is no whole number from 1 up counts as the default.
// Key "VirusTotalUpload": "1" lets files the service does not know be sent
// to it; anything else (and none) keeps every file on the machine.
VirusTotalSettings ReadVirusTotalSettings(const IniDocument& settings);

struct WindowSettings {
  bool maximized = false;
  int width = 0;
  int height = 0;
};
WindowSettings ReadWindowSettings(const IniDocument& settings);
// "Maximized", and the outer size only when not maximized.
void WriteWindowSettings(IniDocument& settings, const WindowSettings& window);

}  // namespace tavrin
