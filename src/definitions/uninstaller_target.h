#pragma once
// The file an installed program's uninstall entry runs, as the programs scan
// judges it.
#include <optional>
#include <string>

namespace tavrin {

struct SystemFolders;

struct UninstallerFile {
  std::wstring path;
  bool isMsi = false;  // Windows Installer's cached package of the product
};

// For an entry marked "WindowsInstaller" (a non-zero DWORD), the product's
// LocalPackage as Windows Installer reports it; the product code is the
// key's last component. Otherwise the file "UninstallString" runs, in its
// long form; nothing when it is a host (regsvr32, rundll32, cmd, bare or in
// the system folder) rather than the program's own uninstaller, or a file
// Windows protects.
std::optional<UninstallerFile> UninstallerTarget(const std::wstring& uninstallKey, const SystemFolders& folders);
// The same from the two values a caller has already read from the key:
// whether "WindowsInstaller" is non-zero, and "UninstallString".
std::optional<UninstallerFile> UninstallerTargetOf(const std::wstring& uninstallKey, bool windowsInstaller,
                                                   std::wstring uninstallString, const SystemFolders& folders);

}  // namespace tavrin
