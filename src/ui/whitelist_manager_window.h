#pragma once
// The Whitelist Manager window: every whitelist entry as a row with a check
// box, and the commands to whitelist a folder, delete the checked entries,
// import and export the list.
#include <windows.h>

#include <string>

#include "results/whitelist.h"

namespace tavrin {

// The window title: two spaces, the product name, " Whitelist Manager".
std::wstring WhitelistManagerTitle();

// Modal; returns when the window is closed.
void RunWhitelistManager(HWND owner, WhiteList& whitelist);

}  // namespace tavrin
