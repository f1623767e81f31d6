// A machine with the damage the system repairs undo: junk in the temporary
// folders, a hijacked and immunized hosts file, a changed SubSystems key,
// restrictive policies, blocked tools, disabled services, a set-aside user
// profile. Every fix row is checked and the removal runs them all in one
// run of the removal engine: each row ends with its report line, the
// machine shows the repairs, and what was overwritten is saved in the data
// folder. Tools Wine does not have end with their failure, quickly.
#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/text_file.h"
#include "platform/users.h"
#include "platform/windows_version.h"
#include "removal/removal_session.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "results/result_tabs.h"
#include "scan/known_folders.h"
#include "scan/malware_section.h"
#include "scan/scan_session.h"
#include "repair/everyone_entries.h"
#include "support/scratch.h"

namespace tavrin::scenario {
namespace {

constexpr wchar_t kSubSystems[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems";
constexpr wchar_t kMachineSystemPolicies[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kIfeo[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\";
constexpr wchar_t kProfileList[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
constexpr wchar_t kSetAsideSid[] = L"S-1-5-21-4242-4242-4242-1042";

bool Seed(const std::wstring& path, const std::string& bytes) {
  return CreateFolderTree(path.substr(0, path.rfind(L'\\'))) && test::WriteBytes(path, bytes);
}

std::wstring Slurp(const std::wstring& path) {
  std::wstring text;
  ReadTextFile(path, text);
  return text;
}

// The backups of the data folder whose names start with `name`.
std::vector<std::wstring> Backups(const std::wstring& dataFolder, const std::wstring& name) {
  std::vector<std::wstring> found;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((dataFolder + L"\\Backups\\" + name + L"-*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do found.push_back(dataFolder + L"\\Backups\\" + data.cFileName);
  while (FindNextFileW(find, &data));
  FindClose(find);
  return found;
}

bool CreateDisabledService(const wchar_t* name, const std::wstring& image) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return false;
  SC_HANDLE service = OpenServiceW(manager, name, SERVICE_CHANGE_CONFIG);
  if (service) {
    ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
  } else {
    service = CreateServiceW(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DISABLED,
                             SERVICE_ERROR_IGNORE, image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  const bool made = service != nullptr;
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return made;
}

DWORD ServiceStart(const wchar_t* name) {
  DWORD start = 99;
  ReadDwordAt(std::wstring(L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\") + name, L"Start", start);
  return start;
}

struct Machine {
  ScanSession scan;
  ResultSet results;
  RemovalSession session;
  CancelFlags cancel;
  std::wstring dataFolder;

  explicit Machine(const std::wstring& data) : dataFolder(data) {}

  // A scan's results with the fix rows, as the scan adds them (unchecked),
  // then the named ones checked.
  bool Prepare(const std::vector<std::wstring>& checked) {
    if (!StartNewResults(results, dataFolder, 4343)) return false;
    scan.folders = ResolveKnownFolders(nullptr, L"");
    scan.windowsVersion = WindowsVersion();
    ResultList malware = TabList(results, kMalwareTab);
    for (const std::wstring& name : MalwareFixNames(scan.windowsVersion))
      if (AddRow(malware, kGroupMalwareFixes, name, L"", L"", false) < 0) return false;
    for (int row = 0; row < RowCount(malware); ++row)
      for (const std::wstring& name : checked)
        if (GetColumnText(malware, row, 0) == name) SetChecked(malware, row, row, true);
    session.scan = &scan;
    session.results = &results;
    session.dataFolder = dataFolder;
    session.cancel = &cancel;
    return true;
  }

  std::wstring Run() {
    RunRemoval(session);
    return Slurp(session.report.Path());
  }
};

TEST(RepairScenario, EveryCheckedFixRunsAndTheMachineShowsIt) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  InteractiveUser console;
  const std::wstring sid = console.Sid();
  const std::wstring profile = console.ProfileFolder();
  ASSERT_FALSE(sid.empty());
  const std::wstring windows = ShellFolder(CSIDL_WINDOWS);
  const std::wstring system = ShellFolder(CSIDL_SYSTEM);
  const std::wstring dataFolder = ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Tavrin";
  ASSERT_TRUE(CreateFolderTree(dataFolder));

  // Temporary folders, and a TMP that points at the user's documents.
  const std::wstring documents = ShellFolder(CSIDL_PERSONAL);
  const std::wstring userJunk = profile + L"\\AppData\\Local\\Temp\\Junk\\setup.tmp";
  const std::wstring windowsJunk = windows + L"\\Temp\\dropper.tmp";
  const std::wstring keep = documents + L"\\thesis.txt";
  for (const std::wstring& file : {userJunk, windowsJunk, keep}) ASSERT_TRUE(Seed(file, "bytes"));
  ASSERT_TRUE(WriteStringAt(L"HKU\\" + sid + L"\\Environment", L"TMP", documents));
  SetEnvironmentVariableW(L"TMP", documents.c_str());
  SetEnvironmentVariableW(L"TEMP", documents.c_str());

  // A hijacked hosts file, read-only and immunized by the companion tool.
  const std::wstring hosts = system + L"\\drivers\\etc\\hosts";
  const std::string hijacked = "127.0.0.1 update.example.test\r\n0.0.0.0 antivirus.example.test\r\n";
  ASSERT_TRUE(Seed(hosts, hijacked));
  SetFileAttributesW(hosts.c_str(), FILE_ATTRIBUTE_READONLY);
  // The companion tool protects the hosts file and the SubSystems key.
  ASSERT_TRUE(WriteStringAt(L"HKLM64\\SOFTWARE\\Halvoret\\ORN - Orrin\\Immunization", L"Immunized", L"8|11"));

  // A SubSystems key whose runtime command starts something else.
  ASSERT_TRUE(WriteStringAt(kSubSystems, L"Windows", L"C:\\evil\\csrss.exe ObjectDirectory=\\Windows", REG_EXPAND_SZ));

  // Policies and blocked tools.
  const std::wstring userPolicies = L"HKU\\" + sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
  ASSERT_TRUE(WriteDwordAt(userPolicies + L"\\Explorer", L"NoRun", 1));
  ASSERT_TRUE(WriteDwordAt(userPolicies + L"\\System", L"DisableRegistryTools", 1));
  ASSERT_TRUE(WriteDwordAt(kMachineSystemPolicies, L"DisableTaskMgr", 1));
  ASSERT_TRUE(WriteDwordAt(L"HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\System", L"DisableCMD", 2));
  ASSERT_TRUE(WriteStringAt(std::wstring(kIfeo) + L"taskmgr.exe", L"Debugger", L"C:\\evil\\blocker.exe"));
  ASSERT_TRUE(WriteStringAt(std::wstring(kIfeo) + L"regedit.exe", L"Debugger", L"C:\\evil\\blocker.exe"));

  // Services the repairs set to start again.
  const std::wstring image = L"\"" + system + L"\\svchost.exe\" -k netsvcs";
  ASSERT_TRUE(CreateDisabledService(L"wmiApSrv", image));
  ASSERT_TRUE(CreateDisabledService(L"VSS", image));

  // A profile that Windows set aside for a temporary one.
  const std::wstring erin = ProfilesFolder() + L"\\erin";
  ASSERT_TRUE(Seed(erin + L"\\NTUSER.DAT", "hive"));
  ASSERT_TRUE(WriteStringAt(kProfileList + std::wstring(kSetAsideSid) + L".bak", L"ProfileImagePath", erin,
                            REG_EXPAND_SZ));
  ASSERT_TRUE(WriteStringAt(kProfileList + std::wstring(kSetAsideSid), L"ProfileImagePath",
                            ProfilesFolder() + L"\\TEMP", REG_EXPAND_SZ));
  ASSERT_TRUE(WriteDwordAt(kProfileList + std::wstring(kSetAsideSid), L"RefCount", 2));

  Machine machine(dataFolder);
  const std::vector<std::wstring> fixes = MalwareFixNames(WindowsVersion());
  ASSERT_EQ(fixes.size(), 17u);
  ASSERT_TRUE(machine.Prepare(fixes));
  const std::wstring report = machine.Run();
  ASSERT_FALSE(report.empty());

  // Every row has exactly its one line, in the list's order.
  size_t at = 0;
  for (const std::wstring& name : fixes) {
    const std::wstring lines[] = {L"\tSuccessfully executed repair action: " + name + L".\r\n",
                                  L"\tFailed to execute repair action: " + name + L".\r\n"};
    const size_t ok = report.find(lines[0]), failed = report.find(lines[1]);
    ASSERT_NE(ok == std::wstring::npos, failed == std::wstring::npos) << name << report;
    const size_t line = ok != std::wstring::npos ? ok : failed;
    EXPECT_GT(line, at) << name;
    at = line;
  }
  for (const wchar_t* done : {L"Empty temporary folders", L"Reset the hosts file", L"Reset the SubSystems registry key",
                              L"Reset the group policies",
                              L"Fix Applications not responding", L"Fix corrupted user profiles"})
    EXPECT_NE(report.find(L"\tSuccessfully executed repair action: " + std::wstring(done) + L".\r\n"),
              std::wstring::npos)
        << done << report;
  // Wine has none of these tools: each says it failed and the run went on.
  // (Its DISM is a stub that may end before it is seen, or be seen.)
  // Wine protects no file, so no service counts as Windows' own: nothing
  // repaired is a result of 0.
  for (const wchar_t* missing : {L"Run an SFC scan", L"Fix the Windows store and Metro apps",
                                 L"Reset Windows services' start types"})
    EXPECT_NE(report.find(L"\tFailed to execute repair action: " + std::wstring(missing) + L".\r\n"),
              std::wstring::npos)
        << missing;
  EXPECT_NE(report.find(L"\t\tFailed to start the System protected resources scan.\r\n"), std::wstring::npos);
  EXPECT_NE(report.find(L"\t\tFailed to reset the Windows Store.\r\n"), std::wstring::npos);
  EXPECT_NE(report.find(L"\t\tReset Windows services result: No hijacked services found.\r\n"), std::wstring::npos);
  EXPECT_NE(report.find(L"\t\t1 corrupted user profile successfully fixed.\r\n"), std::wstring::npos);
  EXPECT_NE(report.find(L"->End of the removal process."), std::wstring::npos);

  // Temporary folders emptied; the documents TMP named are untouched.
  EXPECT_FALSE(FileExists(userJunk));
  EXPECT_FALSE(FileExists(windowsJunk));
  EXPECT_TRUE(FolderExists(profile + L"\\AppData\\Local\\Temp"));
  EXPECT_TRUE(FileExists(keep));

  // The hosts file is Windows' own again, its old text saved and named.
  const std::string reset = test::ReadBytes(hosts);
  EXPECT_NE(reset.find("# localhost name resolution is handled within DNS itself.\r\n  127.0.0.1       localhost"),
            std::string::npos);
  EXPECT_EQ(reset.find("example.test"), std::string::npos);
  const std::vector<std::wstring> hostsBackups = Backups(dataFolder, L"hosts");
  ASSERT_EQ(hostsBackups.size(), 1u);
  EXPECT_EQ(test::ReadBytes(hostsBackups[0]), hijacked);
  EXPECT_NE(report.find(L"\t\tSuccessfully reset the HOSTS file. The previous file was saved as " + hostsBackups[0] +
                        L".\r\n"),
            std::wstring::npos);

  // SubSystems restored, the changed key saved.
  EXPECT_EQ(ReadStringAt(kSubSystems, L"Windows").value_or(L"").rfind(L"%SystemRoot%\\system32\\csrss.exe ", 0), 0u);
  EXPECT_EQ(ReadStringAt(kSubSystems, L"Required"), L"Debug\nWindows");
  const std::vector<std::wstring> keyBackups = Backups(dataFolder, L"SubSystems");
  ASSERT_EQ(keyBackups.size(), 1u);
  // The protection was lifted for the writes and is back (Wine keeps a
  // key's entries, not a folder's, so the key shows it).
  EXPECT_TRUE(
      test::EntriesForEveryone(L"MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems").denied);
  // "C:\evil" at the start of the expandable text, as the export writes it.
  EXPECT_NE(Slurp(keyBackups[0]).find(L"\"Windows\"=hex(2):43,00,3a,00,5c,00,65,00,76,00,69,00,6c,00,5c,00"),
            std::wstring::npos);

  // Policies and tool blocks gone, the policies saved, the defaults back.
  EXPECT_FALSE(KeyExists(userPolicies + L"\\Explorer", L"NoRun"));
  EXPECT_FALSE(KeyExists(userPolicies + L"\\System", L"DisableRegistryTools"));
  EXPECT_FALSE(KeyExists(kMachineSystemPolicies, L"DisableTaskMgr"));
  EXPECT_FALSE(KeyExists(L"HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\System", L"DisableCMD"));
  EXPECT_FALSE(KeyExists(std::wstring(kIfeo) + L"taskmgr.exe", L"Debugger"));
  EXPECT_FALSE(KeyExists(std::wstring(kIfeo) + L"regedit.exe", L"Debugger"));
  DWORD lua = 0;
  EXPECT_TRUE(ReadDwordAt(kMachineSystemPolicies, L"EnableLUA", lua));
  EXPECT_EQ(lua, 1u);
  const std::vector<std::wstring> policyBackups = Backups(dataFolder, L"Policies");
  ASSERT_EQ(policyBackups.size(), 1u);
  const std::wstring savedPolicies = Slurp(policyBackups[0]);
  EXPECT_NE(savedPolicies.find(L"\"NoRun\"=dword:00000001"), std::wstring::npos);
  EXPECT_NE(savedPolicies.find(L"\"DisableCMD\"=dword:00000002"), std::wstring::npos);

  // Services set to their start types.
  EXPECT_EQ(ServiceStart(L"wmiApSrv"), DWORD(SERVICE_DEMAND_START));
  EXPECT_EQ(ServiceStart(L"VSS"), DWORD(SERVICE_DEMAND_START));

  // Hung applications, and the profile that came back.
  EXPECT_EQ(ReadStringAt(L"HKU\\" + sid + L"\\Control Panel\\Desktop", L"HungAppTimeout"), L"12000");
  EXPECT_FALSE(KeyExists(kProfileList + std::wstring(kSetAsideSid) + L".bak"));
  EXPECT_EQ(ReadStringAt(kProfileList + std::wstring(kSetAsideSid), L"ProfileImagePath"), erin);
  DWORD refCount = 9;
  EXPECT_TRUE(ReadDwordAt(kProfileList + std::wstring(kSetAsideSid), L"RefCount", refCount));
  EXPECT_EQ(refCount, 0u);

  // The rows of the fixes stay in the list.
  EXPECT_EQ(RowCount(TabList(machine.results, kMalwareTab)), 17);
  CoUninitialize();
}

TEST(RepairScenario, CancelEndsTheRunningFixAndTheNextOneStillRuns) {
  const std::wstring dataFolder = ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Tavrin";
  ASSERT_TRUE(CreateFolderTree(dataFolder));
  Machine machine(dataFolder);
  ASSERT_TRUE(machine.Prepare({L"Reset IP, Winsock and proxy", L"Fix Applications not responding"}));
  // Cancel pressed while the first fix is about to run.
  machine.cancel.user = true;
  const std::wstring report = machine.Run();
  const size_t cancelled = report.find(L"\tThe repair action: Reset IP, Winsock and proxy was cancelled by the user.\r\n");
  const size_t next = report.find(L"\tSuccessfully executed repair action: Fix Applications not responding.\r\n");
  EXPECT_NE(cancelled, std::wstring::npos) << report;
  EXPECT_NE(next, std::wstring::npos) << report;
  EXPECT_LT(cancelled, next);
  EXPECT_EQ(machine.session.processedCount, 2);
  EXPECT_EQ(machine.session.succeededCount, 1);
}

}  // namespace
}  // namespace tavrin::scenario
