#pragma once
// "Uninstall": the program removes its data, its keys and itself.
#include <string>

namespace tavrin {

// The executable a 64-bit build was installed beside: a final "64.exe"
// becomes ".exe"; the "\\?\" prefix is dropped.
std::wstring CompanionExecutable(const std::wstring& ownPath);

// The data folder with everything in it, the program's registry keys, and
// the companion executable (its running processes ended first, up to 10
// times 50 ms apart). True when the data folder and the keys are gone.
bool RemoveProgramFiles(const std::wstring& dataFolder, const std::wstring& ownPath);

// RemoveProgramFiles, then a hidden command interpreter deletes the own
// executable once this process has gone; ends the process with exit code 0.
[[noreturn]] void UninstallAndExit(const std::wstring& dataFolder, const std::wstring& ownPath);

}  // namespace tavrin
