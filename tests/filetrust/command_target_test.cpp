#include "filetrust/command_target.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/strings.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ScratchFolder;
using test::WriteBytes;

constexpr wchar_t kAppPaths[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// A machine of files the cases name: programs in folders with spaces, host
// scripts and libraries, a folder named like a program, a folder put on the
// search path, App Paths entries of this test, and a Windows folder of its
// own for the "System32\" and "\SystemRoot\" forms.
class CommandTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = scratch.Path();
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
    pathDir = dir + L"\\on path";
    appName = L"tavrin-app-" + suffix;
    staleName = L"tavrin-stale-" + suffix;
    for (const std::wstring& folder :
         {dir + L"\\Program Files", dir + L"\\Program Files\\App Dir", pathDir, dir + L"\\folder.exe",
          pathDir + L"\\tavrinfolder.exe", dir + L"\\apps", dir + L"\\Win", dir + L"\\Win\\System32",
          dir + L"\\Win\\System32\\drivers", dir + L"\\Win\\SysWOW64", dir + L"\\Win\\SysWOW64\\drivers"})
      ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << folder;
    for (const wchar_t* file :
         {L"Program Files\\App Dir\\app.exe", L"Program Files\\App.exe", L"tool.exe", L"lib.dll", L"job.vbe",
          L"both.vbs", L"both.vbe", L"settings.reg", L"batch.bat", L"order.scr", L"order.bat", L"order.pif",
          L"last.pif", L"drv.sys", L"on path\\tavrintool.exe", L"on path\\tavrinlib.dll",
          L"on path\\tavrinsettings.reg", L"on path\\tavrinbatch.bat", L"apps\\Real App.exe",
          L"Win\\System32\\kernelish.exe", L"Win\\System32\\drivers\\native.sys",
          L"Win\\SysWOW64\\drivers\\wow.sys"})
      ASSERT_TRUE(WriteBytes(dir + L"\\" + file, "MZ")) << file;

    wchar_t oldPath[32768] = {};
    GetEnvironmentVariableW(L"PATH", oldPath, 32768);
    savedPath = oldPath;
    SetEnvironmentVariableW(L"PATH", (pathDir + L";" + savedPath).c_str());
    SetEnvironmentVariableW(L"TAVRIN_TEST_DIR", dir.c_str());
    SetEnvironmentVariableW(L"TAVRIN_TEST_LONG", std::wstring(5000, L'x').c_str());

    // Installers write App Paths values quoted and with references.
    ASSERT_TRUE(WriteStringAt(kAppPaths + appName + L".exe", nullptr, L"\"%TAVRIN_TEST_DIR%\\apps\\Real App.exe\"",
                              REG_EXPAND_SZ));
    ASSERT_TRUE(WriteStringAt(kAppPaths + staleName + L".exe", nullptr, dir + L"\\apps\\gone.exe"));

    // Files of the scratch folder must not resolve by being in the current folder.
    wchar_t oldFolder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, oldFolder);
    savedFolder = oldFolder;
    ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));

    folders.systemDrive = dir.substr(0, 2);
    folders.windows = dir + L"\\Win";
    folders.system = dir + L"\\Win\\System32";
    folders.is64Bit = true;
  }

  void TearDown() override {
    SetCurrentDirectoryW(savedFolder.c_str());
    SetEnvironmentVariableW(L"PATH", savedPath.c_str());
    SetEnvironmentVariableW(L"TAVRIN_TEST_DIR", nullptr);
    SetEnvironmentVariableW(L"TAVRIN_TEST_LONG", nullptr);
    DeleteKeyTree(kAppPaths + appName + L".exe");
    DeleteKeyTree(kAppPaths + staleName + L".exe");
    EXPECT_FALSE(KeyExists(kAppPaths + appName + L".exe"));
  }

  static std::wstring RealSystemFile(const wchar_t* name) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + name;
  }

  ScratchFolder scratch;
  std::wstring dir, pathDir, appName, staleName, savedPath, savedFolder;
  SystemFolders folders;
};

struct Case {
  std::wstring text;
  unsigned flags;
  bool ok;
  // The resolved file, or on failure the text as it is left.
  std::wstring expected;
};

void CheckCases(const std::vector<Case>& cases, const SystemFolders& folders) {
  for (const Case& c : cases) {
    std::wstring text = c.text;
    EXPECT_EQ(ResolveCommandTarget(text, folders, c.flags), c.ok) << "[" << c.text << "] flags " << c.flags;
    EXPECT_TRUE(EqualsNoCase(text, c.expected))
        << "[" << c.text << "] flags " << c.flags << " gave [" << text << "] expected [" << c.expected << "]";
  }
}

constexpr unsigned kBoth = ResolveSearch | ResolveCommandLine;

TEST_F(CommandTargetTest, PathsQuotesSwitchesAndPrefixes) {
  const std::wstring app = dir + L"\\Program Files\\App Dir\\app.exe";
  const std::wstring tool = dir + L"\\tool.exe";
  CheckCases(
      {
          {app, 0, true, app},
          {L"\"" + app + L"\"", 0, true, app},
          {L"\"" + app + L"\" --type=renderer \"C:\\some file\"", kBoth, true, app},
          // Unquoted with a switch: stripped with the command-line flag,
          // cut at spaces otherwise only in command-line mode.
          {app + L" /silent -x", ResolveCommandLine, true, app},
          {app + L" first second", ResolveCommandLine, true, app},
          {app + L" /silent", 0, false, app + L" /silent"},
          // Unquoted, a missing program's path is cut at spaces as Windows
          // does; a quoted one ends at its quote.
          {dir + L"\\Program Files\\App Dir\\gone.exe /x", kBoth, true, dir + L"\\Program Files\\App.exe"},
          {L"\"" + dir + L"\\Program Files\\App Dir\\gone.exe\" /x", kBoth, false,
           L"\"" + dir + L"\\Program Files\\App Dir\\gone.exe\" /x"},
          // Nor does it go on past the quote: the text after it is an
          // argument even where quote and argument together name a file.
          {L"\"" + dir + L"\\apps\\Real\" App.exe", kBoth, false, L"\"" + dir + L"\\apps\\Real\" App.exe"},
          {L"%TAVRIN_TEST_DIR%\\tool.exe", 0, true, tool},
          {L"@%TAVRIN_TEST_DIR%\\tool.exe", 0, true, tool},
          {L"\\??\\" + tool, 0, true, tool},
          // The long form resolves to the plain path, however it is written,
          // so that it is judged and removed like any other path; inside it
          // "." and ".." are names that name nothing.
          {L"\\\\?\\" + tool, 0, true, tool},
          {L"\\\\?\\" + tool + L" /s", ResolveCommandLine, true, tool},
          {L"\"\\\\?\\" + tool + L"\" /s", kBoth, true, tool},
          {L"\"\\\\?\\" + app + L"\" --flag", kBoth, true, app},
          {L"\\\\?\\" + dir + L"\\apps\\..\\tool.exe", 0, false, L"\\\\?\\" + dir + L"\\apps\\..\\tool.exe"},
          {L"\"\\\\?\\" + dir + L"\\apps\\..\\tool.exe\" /s", kBoth, false,
           L"\"\\\\?\\" + dir + L"\\apps\\..\\tool.exe\" /s"},
          {dir.substr(2) + L"\\tool.exe", 0, true, tool},
          {L"\\SystemRoot\\System32\\kernelish.exe", 0, true, dir + L"\\Win\\System32\\kernelish.exe"},
          {L"System32\\kernelish.exe /k", ResolveCommandLine, true, dir + L"\\Win\\System32\\kernelish.exe"},
          // Without an extension: .exe, scr, bat, cmd, vbs, pif in that order.
          {dir + L"\\order", 0, true, dir + L"\\order.scr"},
          {dir + L"\\last", 0, true, dir + L"\\last.pif"},
          // On failure the text keeps the expansion and the clean-up.
          {L"@%TAVRIN_TEST_DIR%\\missing.exe /s", kBoth, false, dir + L"\\missing.exe /s"},
          // A folder is never the file a command runs, even named like one.
          {dir + L"\\folder.exe", kBoth, false, dir + L"\\folder.exe"},
          {dir, kBoth, false, dir},
          // Relative names are not taken against the current folder.
          {L"tool.exe", ResolveCommandLine, false, L"tool.exe"},
          {L"tool.exe", kBoth, false, L"tool.exe"},
          {L"", kBoth, false, L""},
      },
      folders);
}

TEST_F(CommandTargetTest, HostPrograms) {
  CheckCases(
      {
          {L"cmd.exe /c \"" + dir + L"\\batch.bat\"", ResolveCommandLine, true, dir + L"\\batch.bat"},
          {L"cmd /c tavrinbatch", kBoth, true, pathDir + L"\\tavrinbatch.bat"},
          {L"wscript.exe \"" + dir + L"\\job\"", ResolveCommandLine, true, dir + L"\\job.vbe"},
          {L"wscript //B " + dir + L"\\both", ResolveCommandLine, true, dir + L"\\both.vbs"},
          // A program is not a script: wscript's argument is skipped.
          {L"wscript.exe " + dir + L"\\tool.exe", ResolveCommandLine, false, L"wscript.exe " + dir + L"\\tool.exe"},
          {L"regsvr32 /s \"" + dir + L"\\lib.dll\"", ResolveCommandLine, true, dir + L"\\lib.dll"},
          {L"regsvr32.exe /s " + dir + L"\\lib", ResolveCommandLine, true, dir + L"\\lib.dll"},
          // An argument with an extension is looked up without the search flag.
          {L"rundll32.exe tavrinlib.dll,Control_RunDLL", ResolveCommandLine, true, pathDir + L"\\tavrinlib.dll"},
          {L"C:\\Windows\\System32\\rundll32.exe " + dir + L"\\lib.dll,Entry 1", ResolveCommandLine, true,
           dir + L"\\lib.dll"},
          // The entry point is cut off before the extension is looked at.
          {L"rundll32 " + dir + L"\\lib.dll,Run.Me", ResolveCommandLine, true, dir + L"\\lib.dll"},
          {L"rundll32.exe \\\\?\\" + dir + L"\\lib.dll,Entry", ResolveCommandLine, true, dir + L"\\lib.dll"},
          // A bare name only with the search flag; without it regedit itself
          // is relative and nothing resolves.
          {L"regedit /s tavrinsettings", kBoth, true, pathDir + L"\\tavrinsettings.reg"},
          {L"regedit /s tavrinsettings", ResolveCommandLine, false, L"regedit /s tavrinsettings"},
          {L"regedit.exe /s \"" + dir + L"\\settings.reg\"", ResolveCommandLine, true, dir + L"\\settings.reg"},
          // A service host: the group name names no file, the host does.
          {L"%SystemRoot%\\System32\\svchost.exe -k netsvcs", kBoth, true, RealSystemFile(L"svchost.exe")},
      },
      folders);
}

TEST_F(CommandTargetTest, SearchPathAndAppPaths) {
  const std::wstring overLong(300, L'a');
  CheckCases(
      {
          {L"notepad", ResolveSearch, true, RealSystemFile(L"notepad.exe")},
          {L"notepad", 0, false, L"notepad"},
          {L"tavrintool", kBoth, true, pathDir + L"\\tavrintool.exe"},
          // The search path also finds folders; they are not programs.
          {L"tavrinfolder", kBoth, false, L"tavrinfolder"},
          {L"tavrintool.exe /q", kBoth, true, pathDir + L"\\tavrintool.exe"},
          {appName, ResolveSearch, true, dir + L"\\apps\\Real App.exe"},
          {appName + L" --start", kBoth, true, dir + L"\\apps\\Real App.exe"},
          // An App Paths entry whose file is gone names nothing.
          {staleName, ResolveSearch, false, staleName},
          // Too long for the platform's buffers: skipped, never cut.
          {overLong, kBoth, false, overLong},
          {dir + L"\\" + overLong + L".exe", kBoth, false, dir + L"\\" + overLong + L".exe"},
          {L"%TAVRIN_TEST_LONG%\\tool.exe", kBoth, false, L"%TAVRIN_TEST_LONG%\\tool.exe"},
      },
      folders);
}

TEST_F(CommandTargetTest, DriverPaths) {
  const std::wstring drv = dir + L"\\drv.sys";
  const struct {
    std::wstring text;
    bool ok;
    std::wstring expected;
  } cases[] = {
      {drv, true, drv},
      {L"\\??\\" + drv, true, drv},
      {L"\\SystemRoot\\System32\\drivers\\native.sys", true, dir + L"\\Win\\System32\\drivers\\native.sys"},
      {L"System32\\drivers\\native.sys", true, dir + L"\\Win\\System32\\drivers\\native.sys"},
      {L"\"" + drv + L"\" -start", true, drv},
      // A longer name ending elsewhere is another file.
      {drv + L".bak", false, drv + L".bak"},
      {dir + L"\\Win\\System32\\drivers\\wow.sys", true, dir + L"\\Win\\SysWOW64\\drivers\\wow.sys"},
      // Not a driver at all: resolved as a command line.
      {L"\\SystemRoot\\System32\\kernelish.exe -k group", true, dir + L"\\Win\\System32\\kernelish.exe"},
      {L"System32\\drivers\\absent.sys", false, dir + L"\\Win\\System32\\drivers\\absent.sys"},
  };
  for (const auto& c : cases) {
    std::wstring text = c.text;
    EXPECT_EQ(ResolveDriverPath(text, folders), c.ok) << "[" << c.text << "]";
    EXPECT_TRUE(EqualsNoCase(text, c.expected)) << "[" << c.text << "] gave [" << text << "]";
  }

  SystemFolders native = folders;
  native.is64Bit = false;
  std::wstring text = dir + L"\\Win\\System32\\drivers\\wow.sys";
  EXPECT_FALSE(ResolveDriverPath(text, native)) << "only 64-bit Windows redirects 32-bit installers";
}

TEST_F(CommandTargetTest, MachineFolders) {
  const SystemFolders machine = FindSystemFolders();
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_TRUE(EqualsNoCase(machine.windows, windows));
  EXPECT_TRUE(EqualsNoCase(machine.system, std::wstring(windows) + L"\\system32")) << machine.system;
  EXPECT_TRUE(EqualsNoCase(machine.systemDrive, std::wstring(windows, 2)));
  EXPECT_TRUE(machine.is64Bit);

  std::wstring text = L"\\SystemRoot\\System32\\notepad.exe";
  EXPECT_TRUE(ResolveDriverPath(text, machine));
  EXPECT_TRUE(EqualsNoCase(text, RealSystemFile(L"notepad.exe"))) << text;
}

}  // namespace
}  // namespace tavrin
