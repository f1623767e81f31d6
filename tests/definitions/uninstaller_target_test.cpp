#include "definitions/uninstaller_target.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "filetrust/system_folders.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

constexpr wchar_t kSampleProduct[] = L"{6F1B7C2E-3D4A-4B5C-9E8F-1A2B3C4D5E6F}";
// The sample is a 32-bit package: its entry lives in the 32-bit view.
constexpr wchar_t kUninstallRoot[] = L"HKLM32\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

DWORD RunMsiexec(const std::wstring& arguments) {
  test::ChildProcess msiexec;
  if (!msiexec.Start(L"msiexec.exe " + arguments)) return ~0u;
  return msiexec.Wait(180000);
}

// The sample package (built by wixl from samples/uninstall_sample.wxs) is
// installed by Windows Installer itself, and removed again at the end.
TEST(UninstallerTarget, AnInstalledProductGivesItsCachedPackage) {
  const std::wstring package = test::TestBuildPath(L"uninstall_sample.msi");
  ASSERT_TRUE(FileExists(package)) << Narrow(package);
  ASSERT_EQ(RunMsiexec(L"/i \"" + package + L"\" /qn"), 0u);
  struct Uninstall {
    ~Uninstall() {
      if (!done) RunMsiexec(L"/x " + std::wstring(kSampleProduct) + L" /qn");
    }
    bool done = false;
  } uninstall;
  const std::wstring entry = kUninstallRoot + std::wstring(kSampleProduct);
  DWORD marker = 0;
  ASSERT_TRUE(ReadDwordAt(entry, L"WindowsInstaller", marker));
  ASSERT_EQ(marker, 1u);

  const SystemFolders folders = FindSystemFolders();
  const std::optional<UninstallerFile> target = UninstallerTarget(entry, folders);
  ASSERT_TRUE(target);
  EXPECT_TRUE(target->isMsi);
  EXPECT_TRUE(FileExists(target->path)) << Narrow(target->path);
  EXPECT_TRUE(EndsWithNoCase(target->path, L".msi")) << Narrow(target->path);
  EXPECT_FALSE(EqualsNoCase(target->path, package));  // Windows Installer's own copy

  // The same product without the marker: its "MsiExec.exe /X{...}" command
  // is an uninstall string like any other.
  const std::wstring copy = L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-msi\\" +
                            kSampleProduct;
  ASSERT_GT(CopyKey(entry, copy), 0);
  RegKey key = OpenKey(copy, kRegCreateOrOpen);
  ASSERT_TRUE(WriteDword(key, L"WindowsInstaller", 0));
  const std::optional<UninstallerFile> command = UninstallerTarget(copy, folders);
  ASSERT_TRUE(command);
  EXPECT_FALSE(command->isMsi);
  EXPECT_TRUE(EndsWithNoCase(command->path, L"\\msiexec.exe")) << Narrow(command->path);
  key.Close();
  DeleteKeyTree(copy.substr(0, copy.rfind(L'\\')));

  EXPECT_EQ(RunMsiexec(L"/x " + std::wstring(kSampleProduct) + L" /qn"), 0u);
  uninstall.done = true;
  // Windows Installer no longer answers for the product.
  EXPECT_FALSE(UninstallerTarget(entry, folders));
}

TEST(UninstallerTarget, UninstallStrings) {
  test::ScratchFolder folder;
  const std::wstring uninstaller = folder / L"Vendor Tool\\uninst.exe";
  const std::wstring dll = folder / L"helper.dll";
  CreateFolderTree(folder / L"Vendor Tool");
  ASSERT_TRUE(test::WriteBytes(uninstaller, "MZ"));
  ASSERT_TRUE(test::WriteBytes(dll, "MZ"));
  const SystemFolders folders = FindSystemFolders();
  const std::wstring root = L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-uninst";

  const struct {
    const wchar_t* name;
    std::optional<std::wstring> uninstallString;  // none: no such value
    std::optional<DWORD> windowsInstaller;
    std::optional<std::wstring> target;
  } cases[] = {
      {L"quoted", L"\"" + uninstaller + L"\" /S", {}, uninstaller},
      {L"unquoted", uninstaller + L" /uninstall /silent", {}, uninstaller},
      {L"marker off", L"\"" + uninstaller + L"\"", 0u, uninstaller},
      // A host with nothing of the program's own left to run is no uninstaller.
      {L"regsvr32", L"regsvr32 /u /s \"" + folder.Path() + L"\\gone.dll\"", {}, std::nullopt},
      {L"regsvr32.exe in the system folder", folders.system + L"\\regsvr32.exe /u " + folder.Path() + L"\\gone.dll",
       {}, std::nullopt},
      {L"rundll32", L"rundll32.exe \"" + folder.Path() + L"\\gone.dll\",Uninstall", {}, std::nullopt},
      {L"cmd", L"cmd /c rmdir /s /q \"" + folder.Path() + L"\\gone\"", {}, std::nullopt},
      {L"cmd.exe by variable", L"%SystemRoot%\\system32\\cmd.exe /c exit", {}, std::nullopt},
      // The DLL a host unregisters is the program's own file.
      {L"regsvr32 on an existing DLL", L"regsvr32 /u /s \"" + dll + L"\"", {}, dll},
      {L"missing file", L"\"" + folder.Path() + L"\\gone\\uninst.exe\" /S", {}, std::nullopt},
      {L"no uninstall string", std::nullopt, {}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    const std::wstring key = root + L"\\" + c.name;
    ASSERT_TRUE(CreateKey(key));
    if (c.uninstallString) {
      ASSERT_TRUE(WriteStringAt(key, L"UninstallString", *c.uninstallString));
    }
    if (c.windowsInstaller) {
      ASSERT_TRUE(WriteDwordAt(key, L"WindowsInstaller", *c.windowsInstaller));
    }
    const std::optional<UninstallerFile> target = UninstallerTarget(key, folders);
    EXPECT_EQ(target.has_value(), c.target.has_value());
    if (target && c.target) {
      EXPECT_TRUE(EqualsNoCase(target->path, *c.target)) << Narrow(target->path);
      EXPECT_FALSE(target->isMsi);
    }
  }
  EXPECT_FALSE(UninstallerTarget(root + L"\\not there", folders));

  // Windows Installer is asked only for an entry that says it is one of its
  // products: an unknown product code answers nothing.
  const std::wstring unknown = root + L"\\{00000000-0000-0000-0000-000000000001}";
  ASSERT_TRUE(WriteDwordAt(unknown, L"WindowsInstaller", 1));
  ASSERT_TRUE(WriteStringAt(unknown, L"UninstallString", L"\"" + uninstaller + L"\""));
  EXPECT_FALSE(UninstallerTarget(unknown, folders));
  DeleteKeyTree(root);
}

}  // namespace
}  // namespace tavrin
