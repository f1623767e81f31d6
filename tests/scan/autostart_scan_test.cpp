// The autostart phase on the test prefix, run in-process by the scan
// session so that the rows' hidden fields can be read back. A second
// account ("bob") is a hive of the test's own mounted under HKEY_USERS with
// a profile folder in scratch space, so that per-user expansion and
// per-user folders are seen to follow the owning account.
#include "scan/autostart_scan.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "definitions/definitions_db.h"
#include "platform/com_ptr.h"
#include "platform/file_system.h"
#include "platform/hives.h"
#include "platform/path_lookup.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "results/details_files.h"
#include "results/whitelist.h"
#include "scan/scan_phases.h"
#include "scan/scan_session.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"
#include "scan/scan_parts.h"

namespace tavrin {
namespace {

using test::WriteBytes;

constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";
constexpr wchar_t kRun[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kInterfaces[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";

using test::MakeShortcut;

std::wstring SystemTasksFolder() {
  wchar_t path[MAX_PATH] = {};
  GetSystemDirectoryW(path, MAX_PATH);
  return std::wstring(path) + L"\\Tasks";
}

std::wstring TaskXml(const std::wstring& actions) {
  return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
         L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
         L"  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>\r\n"
         L"  <Actions Context=\"Author\">\r\n" +
         actions + L"  </Actions>\r\n</Task>\r\n";
}

std::wstring Exec(const std::wstring& command, const std::wstring& arguments = L"") {
  return L"    <Exec><Command>" + command + L"</Command>" +
         (arguments.empty() ? L"" : L"<Arguments>" + arguments + L"</Arguments>") + L"</Exec>\r\n";
}

struct Seen {
  std::wstring name, user, path;
  bool checked = false;
  int key = -1;
};

class AutostartFixture : public ::testing::Test, public test::ScanParts {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    scratchKey = L"HKCU\\Software\\TavrinTest-" + pid;

    // Definitions: the EICAR file's hash and one hijacking name server.
    const std::wstring db = scratchKey + L"-db";
    ASSERT_TRUE(CreateKey(db + L"\\Adware\\203.0.113.66"));
    ASSERT_TRUE(WriteStringAt(db + L"\\Malware\\44\\D8\\86", L"12FEA8A8F36DE82E1278ABB02F", L"EICAR-Test-File.8766.100"));
    ASSERT_TRUE(SaveKeyToHive(db, scratch / L"TVNdb2.dat"));
    DeleteKeyTree(db);
    ASSERT_TRUE(WriteTextFile(scratch / L"TVNdb.txt", L"2000", TextEncoding::Ansi));

    // Files outside every temporary folder.
    programs = L"C:\\ProgramData\\TavrinTest-" + pid;
    ASSERT_TRUE(CreateFolderTree(programs));
    ASSERT_TRUE(WriteBytes(programs + L"\\plain.exe", "MZ plain"));
    ASSERT_TRUE(WriteBytes(programs + L"\\eicar.exe", kEicar));

    // Bob: profile folder and hive.
    bobSid = L"S-1-5-21-7-7-7-" + pid;
    // Outside every temporary folder, as profiles are.
    bobProfile = programs + L"\\bob";
    const std::wstring roaming = bobProfile + L"\\AppData\\Roaming";
    ASSERT_TRUE(CreateFolderTree(roaming));
    ASSERT_TRUE(CreateFolderTree(bobProfile + L"\\AppData\\Local\\Temp"));
    ASSERT_TRUE(WriteBytes(roaming + L"\\bobtool.exe", "MZ bob"));
    ASSERT_TRUE(WriteBytes(roaming + L"\\bobhook.dll", "MZ hook"));
    ASSERT_TRUE(WriteBytes(bobProfile + L"\\AppData\\Local\\Temp\\dropper.exe", "MZ dropper"));
    const std::wstring bobKey = scratchKey + L"-bob";
    ASSERT_TRUE(WriteStringAt(bobKey + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                              L"AppData", L"%USERPROFILE%\\AppData\\Roaming", REG_EXPAND_SZ));
    ASSERT_TRUE(WriteStringAt(bobKey + L"\\Environment", L"TEMP", L"%USERPROFILE%\\AppData\\Local\\Temp", REG_EXPAND_SZ));
    ASSERT_TRUE(WriteStringAt(bobKey + kRun, L"BobTool", L"\"%APPDATA%\\bobtool.exe\" /tray", REG_EXPAND_SZ));
    ASSERT_TRUE(WriteStringAt(bobKey + kRun, L"BobDropper", L"%TEMP%\\dropper.exe"));
    ASSERT_TRUE(WriteStringAt(bobKey + L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"AppInit_DLLs",
                              L"%APPDATA%\\bobhook,   nothere"));
    ASSERT_TRUE(SaveKeyToHive(bobKey, scratch / L"bob.dat"));
    DeleteKeyTree(bobKey);
    ASSERT_TRUE(LoadHive(HiveRoot::Users, bobSid, scratch / L"bob.dat"));
    bobMounted = true;

    WireScan(L"http://127.0.0.1:9");
  }

  void TearDown() override {
    const std::wstring userRun = interactiveUser.RegistryRoot() + kRun;
    for (const std::wstring& name : seededUserValues) DeleteValueAt(userRun, name.c_str());
    for (const std::wstring& name : seededMachineValues)
      DeleteValueAt(L"HKLM32\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", name.c_str());
    for (const std::wstring& key : seededKeys) DeleteKeyTree(key);
    for (const std::wstring& file : seededFiles) DeleteFileW(file.c_str());
    for (const std::wstring& folder : seededFolders) test::RemoveTreeForTest(folder);
    if (bobMounted) UnloadHive(HiveRoot::Users, bobSid);
    test::RemoveTreeForTest(programs);
    CoUninitialize();
  }

  // A task file of the root folder, as the service writes it.
  std::wstring SeedTask(const std::string& bytes) {
    const std::wstring name = L"TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(seededFiles.size());
    const std::wstring file = SystemTasksFolder() + L"\\" + name;
    EXPECT_TRUE(WriteBytes(file, bytes));
    seededFiles.push_back(file);
    return name;
  }

  void SeedUserRun(const std::wstring& name, const std::wstring& command) {
    ASSERT_TRUE(WriteStringAt(interactiveUser.RegistryRoot() + kRun, name.c_str(), command));
    seededUserValues.push_back(name);
  }

  std::wstring UserStartup(const std::wstring& profile) const {
    return profile + L"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
  }

  // Bob joins the session's users before the autostart phase runs.
  void Scan() {
    static std::wstring sid, profile;
    sid = bobSid;
    profile = bobProfile;
    const ScanPhase phases[] = {{6, nullptr,
                                 [](ScanEnvironment& scan) {
                                   scan.session->users.insert(scan.session->users.begin(), {sid, profile, L"bob"});
                                   scan.session->userDisplayNames.insert(scan.session->userDisplayNames.begin(), L"bob");
                                 }},
                                {35, nullptr, ScanAutostart}};
    ASSERT_EQ(RunScanPhases(scan, phases), kScanRan);
    ASSERT_TRUE(ReadTextFile(session.reportPath, report));
  }

  // The row of that group and name (and, when given, path).
  std::optional<Seen> Row(int group, const std::wstring& name, const std::wstring& path = {}) {
    ResultList list = TabList(results, kAutostartTab);
    for (int row = 0; row < RowCount(list); ++row) {
      if (GetGroup(list, row) != group || GetColumnText(list, row, 0) != name) continue;
      if (!path.empty() && !EqualsNoCase(GetColumnText(list, row, 2), path)) continue;
      return Seen{name, GetColumnText(list, row, 1), GetColumnText(list, row, 2), IsChecked(list, row),
                  GetRowKey(list, row)};
    }
    return std::nullopt;
  }
  std::wstring Detail(const Seen& row, const wchar_t* key) {
    return GetDetail(TabList(results, kAutostartTab), row.key, key);
  }
  bool MalwareRowFor(const std::wstring& text) {
    ResultList list = TabList(results, kMalwareTab);
    for (int row = 0; row < RowCount(list); ++row)
      if (EqualsNoCase(GetColumnText(list, row, 0), text)) return true;
    return false;
  }

  std::wstring scratchKey, programs, bobSid, bobProfile, report;
  bool bobMounted = false;
  std::vector<std::wstring> seededUserValues, seededMachineValues, seededKeys, seededFiles, seededFolders;
};

TEST_F(AutostartFixture, EntriesAreJudgedForTheirOwnerAndFiledWithWhatTheRemovalNeeds) {
  const std::wstring rootTemp = TempFolder() + L"TavrinTest-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateFolderTree(rootTemp));
  seededFolders.push_back(rootTemp);
  ASSERT_TRUE(WriteBytes(rootTemp + L"\\updater.exe", "MZ temp"));
  SeedUserRun(L"TavrinTempTool", L"\"" + rootTemp + L"\\updater.exe\" -silent");
  SeedUserRun(L"TavrinPlain", programs + L"\\..\\" + programs.substr(15) + L"\\plain.exe /background");
  SeedUserRun(L"TavrinEicar", programs + L"\\eicar.exe");
  SeedUserRun(L"TavrinMissing", L"C:\\nowhere\\gone.exe -x");
  SeedUserRun(L"TavrinBobsFile", L"\"%APPDATA%\\bobtool.exe\"");
  ASSERT_TRUE(WriteStringAt(L"HKLM32\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"TavrinMachine",
                            programs + L"\\plain.exe"));
  seededMachineValues.push_back(L"TavrinMachine");

  const std::wstring bobStartup = UserStartup(bobProfile);
  ASSERT_TRUE(CreateFolderTree(bobStartup));
  ASSERT_TRUE(MakeShortcut(bobStartup + L"\\Plain.lnk", programs + L"\\plain.exe", L"--hidden"));
  ASSERT_TRUE(WriteBytes(bobStartup + L"\\desktop.ini", "[.ShellClassInfo]\r\n"));
  ASSERT_TRUE(WriteBytes(bobStartup + L"\\Eicar.cmd", kEicar));

  const std::wstring hijacked = std::wstring(kInterfaces) + L"\\{7A5B0000-0000-0000-0000-" +
                                std::to_wstring(100000000000 + GetCurrentProcessId()) + L"}";
  seededKeys.push_back(hijacked);
  ASSERT_TRUE(WriteStringAt(hijacked, L"NameServer", L"203.0.113.66,1.1.1.1"));
  ASSERT_TRUE(WriteStringAt(hijacked + L"\\Profile", L"NameServer", L"8.8.4.4 8.8.8.8"));
  ASSERT_TRUE(WriteStringAt(hijacked + L"\\Other", L"NameServer", L"8.8.8.8 192.0.2.1"));

  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring machineTemp = std::wstring(windows) + L"\\Temp\\TavrinTest-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateFolderTree(machineTemp));
  seededFolders.push_back(machineTemp);
  seededFiles.push_back(machineTemp + L"\\payload.exe");
  ASSERT_TRUE(WriteBytes(machineTemp + L"\\payload.exe", "MZ payload"));
  const std::wstring twoActions = SeedTask(test::Utf16Bytes(
      TaskXml(Exec(L"\"" + programs + L"\\plain.exe\"", L"/update") +
              L"    <ShowMessage><Title>t</Title><Body>b</Body></ShowMessage>\r\n" + Exec(machineTemp + L"\\payload.exe"))));
  const std::wstring messageOnly =
      SeedTask(test::Utf16Bytes(TaskXml(L"    <ShowMessage><Title>t</Title><Body>b</Body></ShowMessage>\r\n")));

  Scan();
  const std::wstring userRun = interactiveUser.RegistryRoot() + kRun;
  const std::wstring root = interactiveUser.AccountName();

  struct Expected {
    int group;
    std::wstring name;
    std::wstring user, path;
    bool checked;
  };
  const Expected expected[] = {
      {11, L"TavrinTempTool", root, LongPathName(rootTemp + L"\\updater.exe"), true},
      {11, L"TavrinPlain", root, programs + L"\\plain.exe", false},
      {11, L"TavrinEicar", root, programs + L"\\eicar.exe", true},
      {11, L"TavrinMissing", root, L"C:\\nowhere\\gone.exe -x", false},
      // The console user has no such file; the raw command stands.
      {11, L"TavrinBobsFile", root, L"\"%APPDATA%\\bobtool.exe\"", false},
      {11, L"BobTool", L"bob", bobProfile + L"\\AppData\\Roaming\\bobtool.exe", false},
      {11, L"BobDropper", L"bob", bobProfile + L"\\AppData\\Local\\Temp\\dropper.exe", true},
      {11, L"TavrinMachine", L"(All users)", programs + L"\\plain.exe", false},
      {12, L"Plain.lnk", L"bob", programs + L"\\plain.exe", false},
      {13, twoActions, L"(All users)", programs + L"\\plain.exe", false},
      {13, twoActions, L"(All users)", machineTemp + L"\\payload.exe", true},
      {12, L"Eicar.cmd", L"bob", bobStartup + L"\\Eicar.cmd", true},
      {14, L"%APPDATA%\\bobhook", L"bob", bobProfile + L"\\AppData\\Roaming\\bobhook.dll", false},
      {14, L"nothere", L"bob", L"nothere.dll", false},
      {15, L"203.0.113.66,1.1.1.1", L"(All users)", hijacked, true},
      {15, L"8.8.8.8 192.0.2.1", L"(All users)", hijacked + L"\\Other", false},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name);
    std::optional<Seen> row = Row(e.group, e.name, e.group == kGroupScheduledTasks ? e.path : L"");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->user, e.user);
    EXPECT_TRUE(EqualsNoCase(row->path, e.path)) << row->path;
    EXPECT_EQ(row->checked, e.checked);
    EXPECT_EQ(Detail(*row, L"Group ID"), std::to_wstring(e.group));
    EXPECT_EQ(Detail(*row, L"User name"), e.user);
  }
  EXPECT_FALSE(Row(12, L"desktop.ini"));
  EXPECT_FALSE(Row(13, messageOnly));
  EXPECT_TRUE(
      EqualsNoCase(Detail(*Row(13, twoActions, machineTemp + L"\\payload.exe"), L"Path"), machineTemp + L"\\payload.exe"));
  EXPECT_FALSE(Row(15, L"8.8.4.4 8.8.8.8"));

  // What a removal reads back: the value and its key, the file in its
  // canonical form, the Startup entry itself, the interface key.
  std::optional<Seen> plain = Row(11, L"TavrinPlain");
  EXPECT_EQ(Detail(*plain, L"Registry Key"), userRun);
  EXPECT_EQ(Detail(*plain, L"Value name"), L"TavrinPlain");
  EXPECT_EQ(Detail(*plain, L"Value data"), programs + L"\\..\\" + programs.substr(15) + L"\\plain.exe /background");
  EXPECT_TRUE(EqualsNoCase(Detail(*plain, L"Path"), programs + L"\\plain.exe"));
  EXPECT_EQ(Detail(*Row(11, L"BobTool"), L"Registry Key"), L"HKU\\" + bobSid + kRun);
  EXPECT_EQ(Detail(*Row(11, L"TavrinMachine"), L"Registry Key"),
            L"HKLM32\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_TRUE(EqualsNoCase(Detail(*Row(12, L"Plain.lnk"), L"Path"), bobStartup + L"\\Plain.lnk"));
  std::optional<Seen> appInit = Row(14, L"nothere");
  EXPECT_EQ(Detail(*appInit, L"Registry Key"),
            L"HKU\\" + bobSid + L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
  EXPECT_EQ(Detail(*appInit, L"Value name"), L"AppInit_DLLs");
  std::optional<Seen> dns = Row(15, L"203.0.113.66,1.1.1.1");
  EXPECT_EQ(Detail(*dns, L"Registry Key"), hijacked);
  EXPECT_EQ(Detail(*dns, L"Value name"), L"NameServer");
  EXPECT_EQ(Detail(*dns, L"Path"), L"");

  // The malware verdicts named their locations.
  EXPECT_TRUE(MalwareRowFor(programs + L"\\eicar.exe"));
  EXPECT_TRUE(MalwareRowFor(userRun + L" / TavrinEicar"));
  EXPECT_TRUE(MalwareRowFor(bobStartup + L"\\Eicar.cmd"));

  // Subsections in their order, inside the phase's section.
  const size_t section = report.find(L"\r\n\r\n->Autostart scan:\r\n");
  ASSERT_NE(section, std::wstring::npos);
  size_t at = section;
  for (const wchar_t* title : {L"\r\n\tRegistry autostart entries:\r\n", L"\r\n\tStartup folder items:\r\n",
                               L"\r\n\tScheduled tasks scan (root folder only):\r\n", L"\r\n\tAppInit_DLLs scan:\r\n",
                               L"\r\n\tDNS hijackers scan:\r\n"}) {
    const size_t next = report.find(title, at);
    ASSERT_NE(next, std::wstring::npos) << title;
    at = next;
  }
}

// Values, shortcuts and interface keys written by whoever got there first:
// none of them may forge report lines, crash the walk or be turned into
// something a removal would act on.
TEST_F(AutostartFixture, HostileEntriesNeitherCrashNorBecomeFindings) {
  const std::wstring bobStartup = UserStartup(bobProfile);
  ASSERT_TRUE(CreateFolderTree(bobStartup));
  std::string garbage(4096, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919 + 13) & 0xFF);
  garbage.replace(0, 4, "L\0\0\0", 4);  // a link header's size field, then noise
  ASSERT_TRUE(WriteBytes(bobStartup + L"\\Damaged.lnk", garbage));
  ASSERT_TRUE(WriteBytes(bobStartup + L"\\Empty.lnk", ""));

  SeedUserRun(L"TavrinHuge", std::wstring(40000, L'A'));
  SeedUserRun(L"TavrinLongPath", L"C:\\" + std::wstring(5000, L'b') + L".exe");
  SeedUserRun(L"TavrinForged", L"C:\\x.exe\r\n\t\tItem state: Checked\r\n\r\n\tStartup folder items:");

  const std::wstring dnsKey = std::wstring(kInterfaces) + L"\\{7A5B0001-0000-0000-0000-" +
                              std::to_wstring(100000000000 + GetCurrentProcessId()) + L"}";
  seededKeys.push_back(dnsKey);
  ASSERT_TRUE(WriteStringAt(dnsKey, L"NameServer", L"Adware\\..\\203.0.113.66 \\203.0.113.66"));

  // A task file cut short, and one far beyond any real task's size whose
  // tail would name a program.
  const std::string whole = test::Utf16Bytes(TaskXml(Exec(programs + L"\\plain.exe")));
  const std::wstring cut = SeedTask(whole.substr(0, whole.size() / 2));
  std::wstring padding(3 * 1024 * 1024 / 2, L' ');
  const std::wstring huge =
      SeedTask(test::Utf16Bytes(TaskXml(L"<!--" + padding + L"-->" + Exec(programs + L"\\plain.exe"))));
  const std::wstring binary = SeedTask(garbage);

  Scan();

  for (const std::wstring& task : {cut, huge, binary}) EXPECT_FALSE(Row(13, task)) << task;
  for (const wchar_t* name : {L"Damaged.lnk", L"Empty.lnk"}) {
    SCOPED_TRACE(name);
    std::optional<Seen> row = Row(12, name);
    ASSERT_TRUE(row);
    EXPECT_TRUE(EqualsNoCase(row->path, bobStartup + L"\\" + name)) << row->path;
    EXPECT_FALSE(row->checked);
  }
  EXPECT_FALSE(Row(11, L"TavrinHuge"));
  std::optional<Seen> longPath = Row(11, L"TavrinLongPath");
  ASSERT_TRUE(longPath);
  EXPECT_FALSE(longPath->checked);
  EXPECT_EQ(report.find(L"\r\n\t\tItem state: Checked\r\n\r\n\tStartup folder items:"), std::wstring::npos);
  EXPECT_NE(report.find(L"\r\n\t\tCommand: C:\\x.exe  \t\tItem state: Checked    \tStartup folder items:\r\n"),
            std::wstring::npos);
  std::optional<Seen> dns = Row(15, L"Adware\\..\\203.0.113.66 \\203.0.113.66");
  ASSERT_TRUE(dns);
  EXPECT_FALSE(dns->checked);
  ResultList malware = TabList(results, kMalwareTab);
  for (int row = 0; row < RowCount(malware); ++row)
    EXPECT_EQ(GetGroup(malware, row), kGroupMalwareFixes) << GetColumnText(malware, row, 0);
}

}  // namespace
}  // namespace tavrin
