// A machine with something started from every autostart place: Run values
// of the console user and of both machine views, Startup items of the user
// and of all users, AppInit_DLLs and hijacked name servers. The real
// program scans it quietly; its report must say exactly what it found.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>

#include "app/settings.h"
#include "platform/com_ptr.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/path_lookup.h"
#include "platform/registry.h"
#include "platform/scheduled_tasks.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/users.h"
#include "scenario/scenario_machine.h"
#include "support/report_twin.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"

namespace tavrin::scenario {
namespace {

constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";
constexpr wchar_t kRun[] = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

using test::MakeShortcut;

std::wstring Entry(const std::wstring& name, const std::wstring& user, const std::wstring& label,
                   const std::wstring& value, bool checked) {
  return L"\r\n\t\tName: " + name + L"\r\n\t\tUser name: " + user + L"\r\n\t\t" + label + L": " + value +
         L"\r\n\t\tItem state: " + (checked ? L"Checked" : L"Un-checked") + L"\r\n";
}

TEST(AutostartScenario, EveryAutostartPlaceIsReportedWithItsVerdict) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4243\n[Adware]\n203.0.113.66\n[Malware]\n"
                             L"44D88612FEA8A8F36DE82E1278ABB02F = EICAR-Test-File.8766.100\n"),
            L"");
  InteractiveUser console;
  const std::wstring user = console.AccountName();
  ASSERT_FALSE(user.empty());
  const std::wstring temp = LongPathName(TempFolder());
  const std::wstring windows = ShellFolder(CSIDL_WINDOWS);
  const std::wstring agent = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Scenario Agent\\agent.exe";
  const std::wstring helper = L"C:\\ProgramData\\Scenario\\helper.dll";
  const std::wstring eicar = L"C:\\ProgramData\\Scenario\\eicar.com";
  ASSERT_TRUE(CreateFolderTree(temp + L"Scenario"));
  ASSERT_TRUE(CreateFolderTree(ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Scenario Agent"));
  ASSERT_TRUE(CreateFolderTree(L"C:\\ProgramData\\Scenario"));
  ASSERT_TRUE(CreateFolderTree(windows + L"\\temp"));
  ASSERT_TRUE(test::WriteBytes(temp + L"Scenario\\updater.exe", "MZ updater"));
  ASSERT_TRUE(test::WriteBytes(agent, "MZ agent"));
  ASSERT_TRUE(test::WriteBytes(helper, "MZ helper"));
  ASSERT_TRUE(test::WriteBytes(eicar, kEicar));
  ASSERT_TRUE(test::WriteBytes(windows + L"\\temp\\inject.dll", "MZ inject"));

  // Run values.
  const std::wstring updaterCommand = L"\"" + temp + L"Scenario\\updater.exe\" /quiet";
  const std::wstring agentCommand = L"\"" + agent + L"\" --background";
  ASSERT_TRUE(WriteStringAt(L"HKCU" + std::wstring(kRun), L"Updater", updaterCommand));
  ASSERT_TRUE(WriteStringAt(L"HKCU" + std::wstring(kRun), L"Gone", L"C:\\Nowhere\\gone.exe -tray"));
  ASSERT_TRUE(WriteStringAt(L"HKLM64" + std::wstring(kRun), L"Scenario Agent", agentCommand));
  ASSERT_TRUE(WriteStringAt(L"HKLM32" + std::wstring(kRun), L"Runner", eicar));

  // Startup items.
  const std::wstring userStartup = ShellFolder(CSIDL_STARTUP);
  const std::wstring commonStartup = ShellFolder(CSIDL_COMMON_STARTUP);
  ASSERT_TRUE(CreateFolderTree(userStartup));
  ASSERT_TRUE(CreateFolderTree(commonStartup));
  ASSERT_TRUE(MakeShortcut(userStartup + L"\\Agent.lnk", agent, L"--minimized"));
  ASSERT_TRUE(test::WriteBytes(userStartup + L"\\notes.txt", "remember"));
  ASSERT_TRUE(test::WriteBytes(userStartup + L"\\desktop.ini", "[.ShellClassInfo]\r\n"));
  ASSERT_TRUE(MakeShortcut(commonStartup + L"\\Injector.lnk", windows + L"\\temp\\inject.dll", L""));

  // AppInit_DLLs with two entries, and the name servers.
  ASSERT_TRUE(WriteStringAt(L"HKLM64\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"AppInit_DLLs",
                            windows + L"\\temp\\inject.dll, C:\\ProgramData\\Scenario\\helper"));
  const std::wstring interfaces = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
  const std::wstring hijacked = interfaces + L"\\{5C3A9E10-0000-4000-8000-00000000A001}";
  ASSERT_TRUE(WriteStringAt(hijacked, L"NameServer", L"203.0.113.66 1.1.1.1"));
  ASSERT_TRUE(WriteStringAt(interfaces + L"\\{5C3A9E10-0000-4000-8000-00000000A002}", L"NameServer",
                            L"8.8.8.8,8.8.4.4"));

  // A task file with two programs among its actions, and a 1.0 work item.
  const std::wstring first = L"\"" + agent + L"\"";
  const std::wstring second = windows + L"\\temp\\inject.exe";
  ASSERT_TRUE(test::WriteBytes(second, "MZ second"));
  const std::wstring taskXml =
      L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
      L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
      L"  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>\r\n"
      L"  <Actions Context=\"Author\">\r\n"
      L"    <Exec><Command>" + first + L"</Command><Arguments>--update</Arguments></Exec>\r\n"
      L"    <SendEmail><Server>mail.example.org</Server><To>a@example.org</To></SendEmail>\r\n"
      L"    <Exec><Command>" + second + L"</Command></Exec>\r\n"
      L"  </Actions>\r\n</Task>\r\n";
  ASSERT_TRUE(test::WriteBytes(ShellFolder(CSIDL_SYSTEM) + L"\\Tasks\\Agent Update", test::Utf16Bytes(taskXml)));
  TaskRegistration job;
  job.name = L"Nightly Runner";
  job.executable = eicar;
  job.arguments = L"/night";
  GetLocalTime(&job.firstStart);
  job.firstStart.wYear += 1;
  ASSERT_TRUE(RegisterLegacyTask(job));

  // Places only the autostart inventory lists: a debugger redirection, an
  // Active Setup stub, a Winlogon notification DLL, a service and a task
  // of a subfolder, all starting clean files.
  const std::wstring winNt = L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  ASSERT_TRUE(WriteStringAt(L"HKLM" + winNt + L"\\Image File Execution Options\\scenario.exe", L"Debugger",
                            agentCommand));
  ASSERT_TRUE(WriteStringAt(L"HKLM64\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\"
                            L"{5C3A9E10-0000-4000-8000-00000000A010}",
                            L"StubPath", L"\"" + agent + L"\" /setup"));
  ASSERT_TRUE(WriteStringAt(L"HKLM64" + winNt + L"\\Winlogon\\Notify\\ScenarioNotify", L"DllName", helper));
  const std::wstring service = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\ScenarioAgentService";
  ASSERT_TRUE(WriteDwordAt(service, L"Type", SERVICE_WIN32_OWN_PROCESS));
  ASSERT_TRUE(WriteDwordAt(service, L"Start", SERVICE_DEMAND_START));
  ASSERT_TRUE(WriteStringAt(service, L"ImagePath", L"\"" + agent + L"\" /service", REG_EXPAND_SZ));
  ASSERT_TRUE(CreateFolderTree(ShellFolder(CSIDL_SYSTEM) + L"\\Tasks\\Scenario"));
  ASSERT_TRUE(test::WriteBytes(ShellFolder(CSIDL_SYSTEM) + L"\\Tasks\\Scenario\\Agent Helper",
                               test::Utf16Bytes(taskXml)));

  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  const std::wstring report = LatestScanReport();
  const std::wstring section = ReportSection(report, L"->Autostart scan:");
  ASSERT_FALSE(section.empty()) << report;

  const std::wstring run = Subsection(section, L"Registry autostart entries");
  EXPECT_NE(run.find(Entry(L"Updater", user, L"Command", updaterCommand, true)), std::wstring::npos) << run;
  EXPECT_NE(run.find(Entry(L"Gone", user, L"Command", L"C:\\Nowhere\\gone.exe -tray", false)), std::wstring::npos)
      << run;
  EXPECT_NE(run.find(Entry(L"Scenario Agent", L"(All users)", L"Command", agentCommand, false)), std::wstring::npos)
      << run;
  EXPECT_NE(run.find(Entry(L"Runner", L"(All users)", L"Command", eicar, true)), std::wstring::npos) << run;

  const std::wstring startup = Subsection(section, L"Startup folder items");
  EXPECT_NE(startup.find(Entry(L"Agent.lnk", user, L"Path", agent, false)), std::wstring::npos) << startup;
  EXPECT_NE(startup.find(Entry(L"notes.txt", user, L"Path", userStartup + L"\\notes.txt", false)), std::wstring::npos)
      << startup;
  EXPECT_NE(startup.find(Entry(L"Injector.lnk", L"(All users)", L"Path", windows + L"\\temp\\inject.dll", true)),
            std::wstring::npos)
      << startup;
  EXPECT_EQ(startup.find(L"desktop.ini"), std::wstring::npos) << startup;

  const std::wstring appInit = Subsection(section, L"AppInit_DLLs scan");
  EXPECT_NE(appInit.find(Entry(windows + L"\\temp\\inject.dll", L"(All users)", L"Path",
                               windows + L"\\temp\\inject.dll", true)),
            std::wstring::npos)
      << appInit;
  EXPECT_NE(appInit.find(Entry(L"C:\\ProgramData\\Scenario\\helper", L"(All users)", L"Path", helper, false)),
            std::wstring::npos)
      << appInit;

  const std::wstring dns = Subsection(section, L"DNS hijackers scan");
  EXPECT_NE(dns.find(L"\r\n\t\tName: 203.0.113.66 1.1.1.1\r\n\t\tUser name: (All users)\r\n\t\tRegistry key: " +
                     hijacked + L"\r\n\t\tValue name: NameServer\r\n\t\tItem state: Checked\r\n"),
            std::wstring::npos)
      << dns;
  EXPECT_EQ(dns.find(L"8.8.8.8"), std::wstring::npos) << dns;

  const std::wstring tasks = Subsection(section, L"Scheduled tasks scan (root folder only)");
  const auto task = [](const std::wstring& name, const std::wstring& command, bool checked) {
    return L"\r\n\t\tTask name: " + name + L"\r\n\t\tUser name: (All users)\r\n\t\tCommand: " + command +
           L"\r\n\t\tItem state: " + (checked ? L"Checked" : L"Un-checked") + L"\r\n";
  };
  EXPECT_NE(tasks.find(task(L"Agent Update", first + L" --update", false)), std::wstring::npos) << tasks;
  EXPECT_NE(tasks.find(task(L"Agent Update", second, true)), std::wstring::npos) << tasks;
  EXPECT_NE(tasks.find(task(L"Nightly Runner.job", eicar + L" /night", true)), std::wstring::npos) << tasks;
  // The inventory's own places add no row and no report line.
  for (const wchar_t* text : {L"scenario.exe", L"/setup", L"ScenarioNotify", L"ScenarioAgentService", L"Agent Helper"})
    EXPECT_EQ(report.find(text), std::wstring::npos) << text;
  // They are in the scan twin's inventory, with the rows' places.
  std::wstring twinPath;
  FILETIME newest{};
  for (FindFiles twins(PrepareDataFolder() + L"\\tvnScan*.json"); twins.Next();) {
    if (CompareFileTime(&twins.Entry().ftLastWriteTime, &newest) < 0) continue;
    newest = twins.Entry().ftLastWriteTime;
    twinPath = PrepareDataFolder() + L"\\" + twins.Name();
  }
  const test::ReportTwin twin = test::ReadReportTwin(twinPath);
  ASSERT_EQ(twin.problem, "") << WideToUtf8(twinPath);
  const auto commandOf = [&](const std::wstring& category, const std::wstring& name) {
    for (const PreferenceNode& entry : twin.Elements(L"inventory"))
      if (twin.Member(entry, L"category") == category && twin.Member(entry, L"name") == name)
        return twin.Member(entry, L"command");
    return std::wstring(L"<not listed>");
  };
  EXPECT_EQ(commandOf(L"Image File Execution Options", L"scenario.exe"), agentCommand);
  EXPECT_EQ(commandOf(L"Active Setup", L"{5C3A9E10-0000-4000-8000-00000000A010}"), L"\"" + agent + L"\" /setup");
  EXPECT_EQ(commandOf(L"Winlogon", L"ScenarioNotify"), helper);
  EXPECT_EQ(commandOf(L"Services", L"ScenarioAgentService"), L"\"" + agent + L"\" /service");
  EXPECT_NE(commandOf(L"Scheduled tasks", L"Agent Helper"), L"<not listed>");
  EXPECT_EQ(commandOf(L"Run", L"Updater"), updaterCommand);
  // The malware verdict listed the file in the Malware section too.
  EXPECT_NE(ReportSection(report, L"->Anti-Malware scan:").find(eicar), std::wstring::npos) << report;
  CoUninitialize();
}

}  // namespace
}  // namespace tavrin::scenario
