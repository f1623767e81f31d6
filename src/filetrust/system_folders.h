#pragma once
// The machine's folder set that command-line resolution works against.
// Filled once per scan session and passed to every resolution, so that a
// scan resolves all its entries against the same folders.
#include <string>

namespace tavrin {

struct SystemFolders {
  std::wstring systemDrive;  // "C:", no trailing backslash
  std::wstring windows;      // the system Windows folder
  std::wstring system;       // the 64-bit system folder
  bool is64Bit = false;      // 64-bit Windows
};

SystemFolders FindSystemFolders();

}  // namespace tavrin
