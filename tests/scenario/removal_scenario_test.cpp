// A machine with hijacked autostart places and a malware file, scanned and
// cleaned by the real program in one quiet run: the removal report says
// what went, and the machine shows that exactly the checked rows went.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/com_ptr.h"
#include "platform/file_system.h"
#include "platform/path_lookup.h"
#include "platform/pattern.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/users.h"
#include "scenario/scenario_machine.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"

namespace tavrin::scenario {
namespace {

constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";
constexpr wchar_t kRun[] = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kWindowsKey[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

using test::MakeShortcut;

TEST(RemovalScenario, AQuietScanAndRemoveTakesTheCheckedRowsAndLeavesTheRest) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4243\n[Adware]\n203.0.113.66\n[Malware]\n"
                             L"44D88612FEA8A8F36DE82E1278ABB02F = EICAR-Test-File.8766.100\n"),
            L"");
  InteractiveUser console;
  const std::wstring user = console.AccountName();
  ASSERT_FALSE(user.empty());
  const std::wstring temp = LongPathName(TempFolder());
  const std::wstring windows = ShellFolder(CSIDL_WINDOWS);
  const std::wstring eicar = L"C:\\ProgramData\\Scenario\\eicar.com";
  const std::wstring inject = windows + L"\\temp\\inject.dll";
  const std::wstring helper = L"C:\\ProgramData\\Scenario\\helper";
  ASSERT_TRUE(CreateFolderTree(temp + L"Scenario"));
  ASSERT_TRUE(CreateFolderTree(L"C:\\ProgramData\\Scenario"));
  ASSERT_TRUE(CreateFolderTree(windows + L"\\temp"));
  ASSERT_TRUE(test::WriteBytes(temp + L"Scenario\\updater.exe", "MZ updater"));
  ASSERT_TRUE(test::WriteBytes(eicar, kEicar));
  ASSERT_TRUE(test::WriteBytes(inject, "MZ inject"));
  ASSERT_TRUE(test::WriteBytes(helper + L".dll", "MZ helper"));

  // Checked by the scan: a Run value starting a program in the temporary
  // folder and one starting the malware file; not checked: a Run value of
  // a program that is not there.
  ASSERT_TRUE(WriteStringAt(L"HKCU" + std::wstring(kRun), L"Updater", L"\"" + temp + L"Scenario\\updater.exe\""));
  ASSERT_TRUE(WriteStringAt(L"HKCU" + std::wstring(kRun), L"Gone", L"C:\\Nowhere\\gone.exe -tray"));
  ASSERT_TRUE(WriteStringAt(L"HKLM32" + std::wstring(kRun), L"Runner", eicar));
  // A Startup shortcut into the Windows temporary folder beside a note.
  const std::wstring userStartup = ShellFolder(CSIDL_STARTUP);
  const std::wstring commonStartup = ShellFolder(CSIDL_COMMON_STARTUP);
  ASSERT_TRUE(CreateFolderTree(userStartup));
  ASSERT_TRUE(CreateFolderTree(commonStartup));
  ASSERT_TRUE(MakeShortcut(commonStartup + L"\\Injector.lnk", inject));
  ASSERT_TRUE(test::WriteBytes(userStartup + L"\\notes.txt", "remember"));
  // AppInit_DLLs: the injected entry goes, the other stays as it was.
  ASSERT_TRUE(WriteStringAt(kWindowsKey, L"AppInit_DLLs", inject + L", " + helper));
  // A hijacked interface and one with public resolvers.
  const std::wstring interfaces = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
  const std::wstring hijacked = interfaces + L"\\{5C3A9E10-0000-4000-8000-00000000A001}";
  const std::wstring publicResolvers = interfaces + L"\\{5C3A9E10-0000-4000-8000-00000000A002}";
  ASSERT_TRUE(WriteStringAt(hijacked, L"NameServer", L"203.0.113.66 1.1.1.1"));
  ASSERT_TRUE(WriteStringAt(publicResolvers, L"NameServer", L"8.8.8.8,8.8.4.4"));
  // A root task that starts a program in the Windows temporary folder.
  const std::wstring taskFile = ShellFolder(CSIDL_SYSTEM) + L"\\Tasks\\Agent Update";
  ASSERT_TRUE(test::WriteBytes(
      taskFile, test::Utf16Bytes(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                 L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
                                 L"  <Actions Context=\"Author\">\r\n    <Exec><Command>" +
                                 windows + L"\\temp\\inject.exe</Command></Exec>\r\n  </Actions>\r\n</Task>\r\n")));

  // Wine opens Internet Explorer on its own web site, which is no page a
  // Windows machine comes with; this machine gets the blank page Windows
  // knows, so that no browser row waits for a repair.
  ASSERT_TRUE(WriteStringAt(L"HKCU\\Software\\Microsoft\\Internet Explorer\\Main", L"Start Page", L"about:blank"));
  ASSERT_TRUE(
      WriteStringAt(L"HKLM64\\SOFTWARE\\Microsoft\\Internet Explorer\\Main", L"Default_Page_URL", L"about:blank"));
  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  const std::wstring report = LatestRemovalReport();
  ASSERT_FALSE(report.empty());
  const std::wstring all = L" for (All users).\r\n";
  const std::wstring expectedLines[] = {
      L"\tSuccessfully removed autostart registry value \"Updater\" for " + user + L".\r\n",
      L"\tSuccessfully removed autostart registry value \"Runner\"" + all,
      L"\tSuccessfully removed Startup folder item \"Injector.lnk\"" + all,
      L"\tSuccessfully removed autostart scheduled task \"Agent Update\"" + all,
      L"\tSuccessfully removed AppInit_DLLs entry \"" + inject + L"\"" + all,
      L"\tSuccessfully removed DNS hijacker \"203.0.113.66 1.1.1.1\"" + all,
      L"\tSuccessfully removed infected file: " + eicar + L".\r\n",
  };
  for (const std::wstring& line : expectedLines) EXPECT_NE(report.find(line), std::wstring::npos) << line;
  EXPECT_EQ(report.find(L"\tFailed"), std::wstring::npos);
  EXPECT_EQ(report.find(L"Gone"), std::wstring::npos);
  EXPECT_EQ(report.find(L"notes.txt"), std::wstring::npos);
  EXPECT_EQ(report.rfind(L"\r\n###### Tavrin threat removal report ######\r\n\r\n", 0), 0u);
  PatternMatch size;
  ASSERT_TRUE(Pattern(L"\r\n\r\n###### End of the removal report (\\d+) bytes ######\\z").Match(report, size));
  // The file's size: the byte-order mark and two bytes per character.
  EXPECT_EQ(std::stoull(size.Group(1)), 2 * (report.size() + 1));

  EXPECT_FALSE(KeyExists(L"HKCU" + std::wstring(kRun), L"Updater"));
  EXPECT_TRUE(KeyExists(L"HKCU" + std::wstring(kRun), L"Gone"));
  EXPECT_FALSE(KeyExists(L"HKLM32" + std::wstring(kRun), L"Runner"));
  EXPECT_FALSE(FileExists(commonStartup + L"\\Injector.lnk"));
  EXPECT_TRUE(FileExists(userStartup + L"\\notes.txt"));
  EXPECT_FALSE(FileExists(taskFile));
  EXPECT_EQ(ReadStringAt(kWindowsKey, L"AppInit_DLLs"), helper);
  EXPECT_EQ(ReadStringAt(hijacked, L"NameServer"), L"");
  EXPECT_EQ(ReadStringAt(publicResolvers, L"NameServer"), L"8.8.8.8,8.8.4.4");
  EXPECT_FALSE(FileExists(eicar));
  // Files that rows only pointed at are not the rows' to delete.
  EXPECT_TRUE(FileExists(inject));
  EXPECT_TRUE(FileExists(temp + L"Scenario\\updater.exe"));
  CoUninitialize();
}

}  // namespace
}  // namespace tavrin::scenario
