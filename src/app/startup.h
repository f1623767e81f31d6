#pragma once
// The start-up steps of the process that come before the main window.
#include <string>

#include "platform/ini_document.h"

namespace tavrin {

// Adds "\\?\" unless the path already begins with two backslashes.
std::wstring WithLongPathPrefix(const std::wstring& path);

// The previous executable left by an update (own path + ".old"): up to 50
// attempts, 30 ms apart, stopping at the first success.
bool DeleteOldExecutable(const std::wstring& executablePath);

enum class FirewallStep { AlreadyAuthorized, FirewallOff, Authorized, Failed };
// Authorises the executable once per location and remembers the location as
// "FirewallPath64" in section "Settings".
FirewallStep RunFirewallStep(IniDocument& settings, const std::wstring& executablePath);

// No critical-error or open-file boxes, and no sleep while the program runs.
void SetProcessModes();

}  // namespace tavrin
