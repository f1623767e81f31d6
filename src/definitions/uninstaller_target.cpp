#include "definitions/uninstaller_target.h"

#include <windows.h>

#include <msi.h>
#include <sfc.h>

#include <utility>
#include <vector>

#include "filetrust/command_target.h"
#include "filetrust/system_folders.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

std::optional<UninstallerFile> MsiPackage(const std::wstring& productCode) {
  std::vector<wchar_t> buffer(2048);
  DWORD length = DWORD(buffer.size());
  if (MsiGetProductInfoW(productCode.c_str(), INSTALLPROPERTY_LOCALPACKAGE, buffer.data(), &length) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return UninstallerFile{std::wstring(buffer.data(), length), true};
}

// These run someone else's code (a DLL's unregistration, a script): the
// host itself says nothing about the program.
bool IsHostProgram(const std::wstring& path, const std::wstring& systemFolder) {
  for (const wchar_t* host : {L"regsvr32", L"rundll32", L"cmd"}) {
    for (const std::wstring& name : {std::wstring(host), std::wstring(host) + L".exe"}) {
      if (EqualsNoCase(path, name)) return true;
      if (!systemFolder.empty() && EqualsNoCase(path, systemFolder + L"\\" + name)) return true;
    }
  }
  return false;
}

}  // namespace

std::optional<UninstallerFile> UninstallerTarget(const std::wstring& uninstallKey, const SystemFolders& folders) {
  RegKey key = OpenKey(uninstallKey, kRegRead);
  if (!key) return std::nullopt;
  DWORD windowsInstaller = 0;
  const bool msi = ReadDword(key, L"WindowsInstaller", windowsInstaller) && windowsInstaller != 0;
  std::wstring target;
  if (!msi && !ReadString(key, L"UninstallString", target)) return std::nullopt;
  return UninstallerTargetOf(uninstallKey, msi, std::move(target), folders);
}

std::optional<UninstallerFile> UninstallerTargetOf(const std::wstring& uninstallKey, bool windowsInstaller,
                                                   std::wstring target, const SystemFolders& folders) {
  if (windowsInstaller) {
    std::wstring parent, productCode;
    if (!SplitLastComponent(uninstallKey, parent, productCode)) return std::nullopt;
    return MsiPackage(productCode);
  }
  if (!ResolveCommandTarget(target, folders, ResolveSearch | ResolveCommandLine)) return std::nullopt;
  target = LongPathName(target);
  if (IsHostProgram(target, folders.system)) return std::nullopt;
  if (SfcIsFileProtected(nullptr, target.c_str())) return std::nullopt;
  return UninstallerFile{target, false};
}

}  // namespace tavrin
