// A removal run in-process on rows and details the test files itself, on
// objects the test seeds in the prefix: what each phase removes, what it
// must leave, and what the report says about both.
#include "removal/removal_session.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "definitions/detection_context.h"
#include "definitions/malware_record.h"
#include "definitions/malware_rows.h"
#include "platform/file_system.h"
#include "platform/pattern.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "platform/users.h"
#include "removal/malware_removal.h"
#include "removal/program_removal.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "scan/known_folders.h"
#include "scan/scan_session.h"
#include "support/host_link.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::WriteBytes;

constexpr wchar_t kMachineRun[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kMachineWindows[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr wchar_t kUninstall[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kInterfaces[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";

// A file with its folders.
bool Seed(const std::wstring& path, const std::string& bytes) {
  return CreateFolderTree(path.substr(0, path.rfind(L'\\'))) && WriteBytes(path, bytes);
}

std::wstring SystemFolder() {
  wchar_t path[MAX_PATH] = {};
  GetSystemDirectoryW(path, MAX_PATH);
  return path;
}

class RemovalFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartNewResults(results, scratch.Path(), 4242));
    scan.folders = ResolveKnownFolders(nullptr, L"");
    scan.folders.system = SystemFolder();
    ASSERT_FALSE(scan.folders.commonAppData.empty());
    InteractiveUser console;
    scan.users.push_back({console.Sid(), scan.folders.profile, console.AccountName()});
    session.scan = &scan;
    session.results = &results;
    session.dataFolder = scratch.Path();
  }

  void TearDown() override {
    for (const std::wstring& key : keys) DeleteKeyTree(key);
    for (const auto& [key, value] : values) DeleteValueAt(key, value.c_str());
    for (const std::wstring& path : paths) test::RemoveTreeForTest(path);
  }

  int AddWithDetails(int tab, int group, const std::wstring& name, const std::wstring& column1,
                     const ScanItemDetails& details, bool checked = true) {
    ResultList list = TabList(results, tab);
    const int row = AddRow(list, group, name, column1, details.userName, checked);
    EXPECT_GE(row, 0);
    EXPECT_GT(StoreDetails(list, GetRowKey(list, row), details), 0);
    return row;
  }

  // A Malware registry row as the scan adds it, its parts filed from what
  // the machine holds now.
  void AddRegistryRow(const std::wstring& text) {
    DetectionContext context;
    context.results = &results;
    EXPECT_TRUE(AddMalwareRow(context, L"", text, MakeMalwareRecord(50))) << text;
  }

  // The report with its times and its size written as placeholders, after
  // checking that the size line tells the file's true size.
  std::wstring ReportText() {
    std::wstring text;
    EXPECT_TRUE(ReadTextFile(session.report.Path(), text));
    PatternMatch size;
    EXPECT_TRUE(Pattern(L"End of the removal report (\\d+) bytes ######\\z").Match(text, size));
    if (size.HasGroup(1)) {
      EXPECT_EQ(std::stoull(size.Group(1)), FileSize(session.report.Path()));
      text.replace(size.Offset(1), size.Group(1).size(), L"<size>");
    }
    return *Pattern(L"\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d").ReplaceAll(text, L"<time>");
  }

  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  test::ScratchFolder scratch;
  ResultSet results;
  ScanSession scan;
  RemovalSession session;
  std::vector<std::wstring> keys, paths;
  std::vector<std::pair<std::wstring, std::wstring>> values;
};

std::wstring Header() {
  return L"\r\n###### Tavrin threat removal report ######\r\n\r\n\tTavrin version: 10.9.6.0 (64bits).\r\n"
         L"\tRemoval start time: <time>.\r\n\r\n->Begin removal of the selected programs...\r\n\r\n";
}
constexpr wchar_t kAutostartHeading[] = L"\r\n->Begin repair of the selected Autostart items...\r\n\r\n";
constexpr wchar_t kBrowsersHeading[] = L"\r\n->Begin repair of the selected Internet Browser items...\r\n\r\n";
constexpr wchar_t kMalwareHeading[] = L"\r\n->Begin repair of the selected Malware items...\r\n\r\n";
constexpr wchar_t kNoneInGroup[] = L"\tNo items selected in this group.\r\n\r\n";
constexpr wchar_t kEnd[] =
    L"\r\n->End of the removal process. Time: <time>\r\n\r\n###### End of the removal report <size> bytes ######";

TEST_F(RemovalFixture, NothingCheckedWritesEveryHeadingAndRemovesNothing) {
  ScanItemDetails details;
  details.path = scratch / L"Unchecked Program";
  ASSERT_TRUE(CreateFolderTree(details.path));
  AddWithDetails(kProgramsTab, kNoGroup, L"Unchecked", L"Acme", details, false);
  details.group = kGroupStartupFolder;
  AddWithDetails(kAutostartTab, kGroupStartupFolder, L"x.lnk", L"", details, false);
  AddRow(TabList(results, kMalwareTab), kGroupInfectedFiles, details.path, L"", L"", false);

  EXPECT_EQ(RunRemoval(session), 0u);
  EXPECT_EQ(session.processedCount, 0);
  EXPECT_EQ(ReportText(), Header() + kNoneInGroup + kAutostartHeading + kNoneInGroup + kBrowsersHeading +
                              L"\tNo items selected in this tab.\r\n\r\n" + kMalwareHeading + kNoneInGroup + kEnd);
  EXPECT_TRUE(FolderExists(details.path));
  EXPECT_EQ(RowCount(TabList(results, kProgramsTab)), 1);
  EXPECT_EQ(RowCount(TabList(results, kAutostartTab)), 1);
}

TEST_F(RemovalFixture, AutostartRowsAreRemovedOnlyWhereTheirScanFoundThem) {
  const std::wstring tag = L"TavrinTest-" + pid;
  const std::wstring elsewhereKey = L"HKLM64\\SOFTWARE\\" + tag;
  keys.push_back(elsewhereKey);
  // Run values: one checked, one unchecked, one already gone, one filed
  // under a key the scan never reads.
  ASSERT_TRUE(WriteStringAt(kMachineRun, (tag + L"-a").c_str(), L"C:\\x\\a.exe"));
  ASSERT_TRUE(WriteStringAt(kMachineRun, (tag + L"-b").c_str(), L"C:\\x\\b.exe"));
  values.push_back({kMachineRun, tag + L"-a"});
  values.push_back({kMachineRun, tag + L"-b"});
  ASSERT_TRUE(WriteStringAt(elsewhereKey, L"Planted", L"C:\\x\\c.exe"));
  ScanItemDetails run;
  run.group = kGroupRegistryAutostart;
  run.registryKey = kMachineRun;
  run.userName = L"(All users)";
  for (const auto& [value, checked] : {std::pair{tag + L"-a", true}, {tag + L"-b", false}, {tag + L"-gone", true}}) {
    run.valueName = value;
    AddWithDetails(kAutostartTab, kGroupRegistryAutostart, value, L"(All users)", run, checked);
  }
  run.registryKey = elsewhereKey;
  run.valueName = L"Planted";
  AddWithDetails(kAutostartTab, kGroupRegistryAutostart, L"Planted", L"(All users)", run);

  // Startup items: one inside the common Startup folder, one outside it,
  // one that climbs out of it with "..".
  const std::wstring startup = scan.folders.commonStartup;
  ASSERT_TRUE(CreateFolderTree(startup));
  const std::wstring item = startup + L"\\" + tag + L".txt";
  const std::wstring outside = scratch / L"outside.txt";
  const std::wstring beside = startup + L"\\..\\" + tag + L"-beside.txt";
  for (const std::wstring& file : {item, outside, beside}) ASSERT_TRUE(WriteBytes(file, "x"));
  paths.push_back(item);
  paths.push_back(CanonicalFilePath(beside));
  ScanItemDetails startupItem;
  startupItem.group = kGroupStartupFolder;
  startupItem.userName = L"(All users)";
  for (const std::wstring& path : {item, outside, beside}) {
    startupItem.path = path;
    AddWithDetails(kAutostartTab, kGroupStartupFolder, path.substr(path.rfind(L'\\') + 1), L"(All users)",
                   startupItem);
  }

  // Tasks: a root task's file, and a name that climbs out of the folder.
  const std::wstring tasks = SystemFolder() + L"\\Tasks";
  ASSERT_TRUE(CreateFolderTree(tasks));
  ASSERT_TRUE(WriteBytes(tasks + L"\\" + tag, "<Task/>"));
  ASSERT_TRUE(WriteBytes(SystemFolder() + L"\\" + tag + L"-task", "x"));
  paths.push_back(tasks + L"\\" + tag);
  paths.push_back(SystemFolder() + L"\\" + tag + L"-task");
  ScanItemDetails task;
  task.group = kGroupScheduledTasks;
  task.userName = L"(All users)";
  AddWithDetails(kAutostartTab, kGroupScheduledTasks, tag, L"(All users)", task);
  AddWithDetails(kAutostartTab, kGroupScheduledTasks, L"..\\" + tag + L"-task", L"(All users)", task);

  // AppInit_DLLs: an entry whose name is also the end of another entry's.
  RegValueBuffer saved;
  const bool hadAppInit = ReadRawAt(kMachineWindows, L"AppInit_DLLs", saved);
  ASSERT_TRUE(WriteStringAt(kMachineWindows, L"AppInit_DLLs", L"%SystemRoot%\\myhook.dll, hook, other.dll",
                            REG_EXPAND_SZ));
  ScanItemDetails appInit;
  appInit.group = kGroupAppInitDlls;
  appInit.registryKey = kMachineWindows;
  appInit.valueName = L"AppInit_DLLs";
  appInit.userName = L"(All users)";
  AddWithDetails(kAutostartTab, kGroupAppInitDlls, L"hook", L"(All users)", appInit);
  AddWithDetails(kAutostartTab, kGroupAppInitDlls, L"nothere", L"(All users)", appInit);

  // Name servers: an interface's, and a value of the same name elsewhere.
  const std::wstring interfaceKey = kInterfaces + std::wstring(L"{") + tag + L"}";
  keys.push_back(interfaceKey);
  ASSERT_TRUE(WriteStringAt(interfaceKey, L"NameServer", L"203.0.113.66"));
  ASSERT_TRUE(WriteStringAt(elsewhereKey, L"NameServer", L"203.0.113.66"));
  ScanItemDetails dns;
  dns.group = kGroupDnsHijackers;
  dns.valueName = L"NameServer";
  dns.userName = L"(All users)";
  dns.registryKey = interfaceKey;
  AddWithDetails(kAutostartTab, kGroupDnsHijackers, L"203.0.113.66", L"(All users)", dns);
  dns.registryKey = elsewhereKey;
  AddWithDetails(kAutostartTab, kGroupDnsHijackers, L"203.0.113.67", L"(All users)", dns);

  const unsigned flags = RunRemoval(session);
  std::wstring appInitAfter;
  DWORD appInitType = 0;
  {
    RegValueBuffer after;
    ASSERT_TRUE(ReadRawAt(kMachineWindows, L"AppInit_DLLs", after));
    appInitAfter = after.Text();
    appInitType = after.type;
  }
  if (hadAppInit) {
    RegKey key = OpenKey(kMachineWindows, kRegWrite);
    WriteValue(key, L"AppInit_DLLs", saved.type, saved.Data(), saved.length);
  } else {
    DeleteValueAt(kMachineWindows, L"AppInit_DLLs");
  }

  EXPECT_EQ(flags, unsigned(kRemovalSomeFailed));
  EXPECT_EQ(session.processedCount, 12);
  EXPECT_EQ(session.succeededCount, 6);
  const std::wstring q = L"\"";
  const std::wstring all = L" for (All users).\r\n";
  EXPECT_EQ(ReportText(),
            Header() + kNoneInGroup + kAutostartHeading +
                L"\tFailed to remove DNS hijacker \"203.0.113.67\"" + all +
                L"\tSuccessfully removed DNS hijacker \"203.0.113.66\"" + all +
                L"\tFailed to remove AppInit_DLLs entry \"nothere\"" + all +
                L"\tSuccessfully removed AppInit_DLLs entry \"hook\"" + all +
                L"\tFailed to remove scheduled task \"..\\" + tag + L"-task\"" + all +
                L"\tSuccessfully removed autostart scheduled task \"" + tag + q + all +
                L"\tFailed to remove Startup folder item \"" + tag + L"-beside.txt\"" + all +
                L"\tFailed to remove Startup folder item \"outside.txt\"" + all +
                L"\tSuccessfully removed Startup folder item \"" + tag + L".txt\"" + all +
                L"\tFailed to remove autostart registry value \"Planted\"" + all +
                L"\tSuccessfully removed autostart registry value \"" + tag + L"-gone\"" + all +
                L"\tSuccessfully removed autostart registry value \"" + tag + L"-a\"" + all + L"\r\n" +
                kBrowsersHeading + L"\tNo items selected in this tab.\r\n\r\n" + kMalwareHeading + kNoneInGroup +
                kEnd);

  EXPECT_FALSE(KeyExists(kMachineRun, (tag + L"-a").c_str()));
  EXPECT_TRUE(KeyExists(kMachineRun, (tag + L"-b").c_str()));
  EXPECT_TRUE(KeyExists(elsewhereKey, L"Planted"));
  EXPECT_FALSE(FileExists(item));
  EXPECT_TRUE(FileExists(outside));
  EXPECT_TRUE(FileExists(beside));
  EXPECT_FALSE(FileExists(tasks + L"\\" + tag));
  EXPECT_TRUE(FileExists(SystemFolder() + L"\\" + tag + L"-task"));
  EXPECT_EQ(appInitAfter, L"%SystemRoot%\\myhook.dll, other.dll");
  EXPECT_EQ(appInitType, DWORD(REG_EXPAND_SZ));
  EXPECT_EQ(ReadStringAt(interfaceKey, L"NameServer"), L"");
  EXPECT_EQ(ReadStringAt(elsewhereKey, L"NameServer"), L"203.0.113.66");
  // The unchecked row and the six failures stay; the others are gone.
  EXPECT_EQ(RowCount(TabList(results, kAutostartTab)), 7);
}


// A Run value's row keeps its name and command trimmed and on one line:
// the value it stands for is found by that form, and its line is true
// against the key afterwards.
TEST_F(RemovalFixture, RunValuesAreFoundByTheirFiledFormAndReadBack) {
  const std::wstring tag = L"TavrinTest-" + pid;
  struct Case {
    std::wstring stored;  // the value's name on the machine
    const wchar_t* data;  // its command; nullptr: never there
    const wchar_t* filedData;
    bool stays;
  } const cases[] = {
      {L" " + tag + L"-lead", L"C:\\x\\a.exe", L"C:\\x\\a.exe", false},
      {tag + L"-trail ", L"C:\\x\\b.exe /run\r\n", L"C:\\x\\b.exe /run\r\n", false},
      {tag + L"-line\nbreak", L"C:\\x\\c.exe", L"C:\\x\\c.exe", false},
      {tag + L"-missing", nullptr, L"C:\\x\\d.exe", false},
      // Of the same name, but not the command the scan found: another's.
      {tag + L"-namesake", L"C:\\mine\\e.exe", L"C:\\x\\e.exe", true},
  };
  ScanItemDetails run;
  run.group = kGroupRegistryAutostart;
  run.registryKey = kMachineRun;
  run.userName = L"(All users)";
  for (const Case& c : cases) {
    if (c.data) {
      ASSERT_TRUE(WriteStringAt(kMachineRun, c.stored.c_str(), c.data));
      values.push_back({kMachineRun, c.stored});
    }
    // As the scan files it: the details file trims the texts.
    run.valueName = c.stored;
    run.valueData = c.filedData;
    AddWithDetails(kAutostartTab, kGroupRegistryAutostart, c.stored, L"(All users)", run);
  }

  RunRemoval(session);
  const std::wstring text = ReportText();
  for (const Case& c : cases) {
    EXPECT_EQ(KeyExists(kMachineRun, c.stored.c_str()), c.stays) << c.stored;
    const std::wstring line = L"\tSuccessfully removed autostart registry value \"" + FiledText(c.stored) +
                              L"\" for (All users).\r\n";
    EXPECT_NE(text.find(line), std::wstring::npos) << c.stored;
  }
  EXPECT_EQ(RowCount(TabList(results, kAutostartTab)), 0);
}

TEST_F(RemovalFixture, ProgramsLoseTheirFoldersLeftoversAndEntriesButNothingThatOnlyLooksAlike) {
  const std::wstring tag = L"TavrinAcme" + pid;
  const std::wstring base = L"C:\\ProgramData\\TavrinTest-" + pid;
  paths.push_back(base);
  const std::wstring acme = base + L"\\Acme Tools";
  ASSERT_TRUE(Seed(acme + L"\\acme.exe", "MZ acme"));
  ASSERT_TRUE(CreateFolderTree(acme + L"bar"));

  // Leftovers of the definition name in the machine's and the user's
  // application data, also in the publisher's folder; beside them folders
  // that only contain the name or belong to another vendor.
  const std::wstring common = scan.folders.commonAppData;
  const std::wstring roaming = scan.folders.user.appData;
  const std::wstring publisher = L"Acme Soft " + pid;
  const std::wstring removed[] = {common + L"\\" + tag + L"Data", roaming + L"\\" + tag,
                                  common + L"\\" + publisher + L"\\" + tag + L"Cache"};
  const std::wstring kept[] = {common + L"\\X-" + tag, common + L"\\" + publisher + L"\\Other",
                               common + L"\\Microsoft\\TavrinProbe" + pid};
  for (const std::wstring& folder : removed) ASSERT_TRUE(Seed(folder + L"\\state.dat", "x"));
  for (const std::wstring& folder : kept) ASSERT_TRUE(CreateFolderTree(folder));
  for (const std::wstring& folder : removed) paths.push_back(folder);
  for (const std::wstring& folder : kept) paths.push_back(folder);
  paths.push_back(common + L"\\" + publisher);

  // Run values: one starts the program, one a program whose folder only
  // begins like it.
  ASSERT_TRUE(WriteStringAt(kMachineRun, (tag + L"-tray").c_str(), L"\"" + acme + L"\\acme.exe\" /tray"));
  ASSERT_TRUE(WriteStringAt(kMachineRun, (tag + L"-bar").c_str(), acme + L"bar\\bar.exe"));
  values.push_back({kMachineRun, tag + L"-tray"});
  values.push_back({kMachineRun, tag + L"-bar"});

  // A Path of nine characters, a program named "Microsoft" by its
  // definition, and a Windows Installer product that is not installed (so
  // already gone: its folder and entry go as after its removal).
  const std::wstring shortPath = L"C:\\Tv" + std::to_wstring(1000 + GetCurrentProcessId() % 9000);
  ASSERT_EQ(shortPath.size(), 9u);
  ASSERT_TRUE(CreateFolderTree(shortPath));
  paths.push_back(shortPath);
  const std::wstring msThing = base + L"\\Ms Thing";
  ASSERT_TRUE(Seed(msThing + L"\\ms.exe", "MZ ms"));
  const std::wstring missingProduct = base + L"\\Installer Thing";
  ASSERT_TRUE(CreateFolderTree(missingProduct));

  struct Program {
    std::wstring name, publisher, path, dbName, product, key;
  };
  const Program programs[] = {
      {L"Acme Tools", publisher, acme, tag, L"", kUninstall + tag},
      {L"Short", L"(Not set)", shortPath, L"", L"", kUninstall + std::wstring(L"TavrinShort") + pid},
      {L"Ms Thing", L"Microsoft", msThing, L"Microsoft", L"", kUninstall + std::wstring(L"TavrinMs") + pid},
      {L"Installer Thing", L"Acme", missingProduct, L"", L"{6F3C1B5E-1111-4000-8000-0000000000A1}",
       kUninstall + std::wstring(L"TavrinMsi") + pid},
  };
  for (const Program& program : programs) {
    ASSERT_TRUE(WriteStringAt(program.key, L"DisplayName", program.name));
    keys.push_back(program.key);
    ScanItemDetails details;
    details.registryKey = program.key;
    details.path = program.path;
    details.dbName = program.dbName;
    details.userName = L"(All users)";
    if (!program.product.empty()) details.extra = {{L"MSI Product", program.product}};
    AddWithDetails(kProgramsTab, kNoGroup, program.name, program.publisher, details);
  }

  // Malware rows: a file, an image of the system, a value list, a hive's
  // top key, a value already gone, and a fix that cannot run yet.
  const std::wstring evil = scratch / L"evil.exe";
  ASSERT_TRUE(Seed(evil, "MZ evil"));
  const std::wstring services = SystemFolder() + L"\\services.exe";
  const bool servicesExisted = FileExists(services);
  const std::wstring valueKey = L"HKCU\\Software\\TavrinTest-" + pid;
  keys.push_back(valueKey);
  ASSERT_TRUE(WriteStringAt(valueKey, L"Dlls", L"a.dll, b.dll, c.dll"));
  ResultList malware = TabList(results, kMalwareTab);
  for (const std::wstring& file : {evil, services}) AddRow(malware, kGroupInfectedFiles, file, L"", L"", true);
  ASSERT_TRUE(WriteStringAt(valueKey + L"\\Gone", L"Missing", L"x"));
  for (const std::wstring& entry : {valueKey + L" / Dlls / b.dll", std::wstring(L"HKLM\\SOFTWARE"),
                                    std::wstring(L"HKLM64\\SOFTWARE\\Microsoft"), valueKey + L"\\Gone / Missing"})
    AddRegistryRow(entry);
  // Gone after the scan listed it, as when an earlier row took it.
  ASSERT_TRUE(DeleteValueAt(valueKey + L"\\Gone", L"Missing"));
  AddRow(malware, kGroupMalwareFixes, L"Reset hosts file", L"", L"", true);
  // A browser row whose file lies in no scanned profile fails and stays.
  ScanItemDetails coupon;
  coupon.group = kGroupChromeExtensions;
  coupon.registryKey = L"extensions->settings->abcdefghijklmnopabcdefghijklmnop";
  coupon.path = L"C:\\Elsewhere\\Default\\Preferences";
  coupon.userName = L"tester";
  AddWithDetails(kBrowsersTab, kGroupChromeExtensions, L"Coupon Helper", L"tester", coupon);

  EXPECT_EQ(RunRemoval(session), unsigned(kRemovalSomeFailed));
  EXPECT_EQ(ReportText(),
            Header() + L"\tInstaller Thing: Successfully removed.\r\n" + L"\tMs Thing: Successfully removed.\r\n" +
                L"\tFailed to remove program: Short.\r\n" + L"\tAcme Tools: Successfully removed.\r\n\r\n" +
                kAutostartHeading + kNoneInGroup + kBrowsersHeading +
                L"\tFailed to remove Chrome's extension \"Coupon Helper\" for tester.\r\n" + kMalwareHeading +
                L"\tSuccessfully repaired infected registry entry: " + valueKey +
                L"\\Gone / Missing.\r\n" + L"\tFailed to repair infected registry entry: HKLM64\\SOFTWARE\\Microsoft.\r\n" +
                L"\tFailed to repair infected registry entry: HKLM\\SOFTWARE.\r\n" +
                L"\tSuccessfully repaired infected registry entry: " + valueKey + L" / Dlls / b.dll.\r\n" +
                L"\tFailed to remove infected file: " + services + L".\r\n" +
                L"\tSuccessfully removed infected file: " + evil + L".\r\n" +
                L"\tFailed to execute repair action: Reset hosts file.\r\n" + kEnd);

  EXPECT_FALSE(FolderExists(acme));
  EXPECT_FALSE(FolderExists(msThing));
  EXPECT_TRUE(FolderExists(acme + L"bar"));
  EXPECT_TRUE(FolderExists(shortPath));
  for (const std::wstring& folder : removed) EXPECT_FALSE(FolderExists(folder)) << folder;
  for (const std::wstring& folder : kept) EXPECT_TRUE(FolderExists(folder)) << folder;
  EXPECT_FALSE(KeyExists(kMachineRun, (tag + L"-tray").c_str()));
  EXPECT_TRUE(KeyExists(kMachineRun, (tag + L"-bar").c_str()));
  // The uninstall entries go only with programs that went.
  EXPECT_FALSE(KeyExists(programs[0].key));
  EXPECT_TRUE(KeyExists(programs[1].key));
  EXPECT_FALSE(KeyExists(programs[2].key));
  EXPECT_FALSE(KeyExists(programs[3].key));
  EXPECT_FALSE(FolderExists(missingProduct));
  ResultList list = TabList(results, kProgramsTab);
  ASSERT_EQ(RowCount(list), 1);
  EXPECT_EQ(GetColumnText(list, 0, 0), L"Short");

  EXPECT_FALSE(FileExists(evil));
  EXPECT_EQ(FileExists(services), servicesExisted);
  EXPECT_TRUE(KeyExists(L"HKLM\\SOFTWARE\\Microsoft"));
  EXPECT_EQ(ReadStringAt(valueKey, L"Dlls"), L"a.dll, c.dll");
  EXPECT_EQ(RowCount(malware), 4);
  EXPECT_EQ(RowCount(TabList(results, kBrowsersTab)), 1);
}

// A row's Path is text: the removal judges it again, and a folder that
// another registered program lives in (or below) is neither swept for nor
// removed, so that program's Run value and shell verb stay.
TEST_F(RemovalFixture, AFolderThatIsAnotherProgramsIsNeitherSweptNorRemoved) {
  const std::wstring base = L"C:\\ProgramData\\TavrinVictim-" + pid;
  const std::wstring victim = base + L"\\Victim Suite";
  paths.push_back(base);
  ASSERT_TRUE(Seed(victim + L"\\victim.exe", "MZ victim"));
  const std::wstring victimKey = kUninstall + std::wstring(L"TavrinVictim") + pid;
  keys.push_back(victimKey);
  ASSERT_TRUE(WriteStringAt(victimKey, L"DisplayName", L"Victim Suite"));
  ASSERT_TRUE(WriteStringAt(victimKey, L"InstallLocation", victim));
  const std::wstring tray = L"VictimTray" + pid;
  ASSERT_TRUE(WriteStringAt(kMachineRun, tray.c_str(), L"\"" + victim + L"\\victim.exe\" /tray"));
  values.push_back({kMachineRun, tray});
  const std::wstring verb = L"HKCR64\\TavrinVictim" + pid + L"file";
  keys.push_back(verb);
  ASSERT_TRUE(WriteStringAt(verb + L"\\Shell\\open\\Command", nullptr, L"\"" + victim + L"\\victim.exe\" \"%1\""));

  // Hostile entries of flagged programs: one names the victim's folder,
  // one its parent; both are tied to those folders by name.
  struct Hostile {
    std::wstring name, path, key;
  };
  const Hostile hostiles[] = {{L"Victim", victim, kUninstall + std::wstring(L"TavrinHostile") + pid},
                              {L"TavrinVictim", base, kUninstall + std::wstring(L"TavrinHostileParent") + pid}};
  for (const Hostile& hostile : hostiles) {
    keys.push_back(hostile.key);
    ASSERT_TRUE(WriteStringAt(hostile.key, L"DisplayName", hostile.name));
    ASSERT_TRUE(WriteStringAt(hostile.key, L"InstallLocation", hostile.path));
    ScanItemDetails details;
    details.registryKey = hostile.key;
    details.path = hostile.path;
    details.userName = L"(All users)";
    AddWithDetails(kProgramsTab, kNoGroup, hostile.name, L"(Not set)", details);
  }

  EXPECT_EQ(RunRemoval(session), unsigned(kRemovalSomeFailed));
  const std::wstring report = ReportText();
  EXPECT_NE(report.find(L"\tFailed to remove program: TavrinVictim.\r\n\tFailed to remove program: Victim.\r\n"),
            std::wstring::npos)
      << WideToUtf8(report);
  EXPECT_TRUE(FileExists(victim + L"\\victim.exe"));
  EXPECT_TRUE(KeyExists(kMachineRun, tray.c_str()));
  EXPECT_TRUE(KeyExists(verb + L"\\Shell\\open\\Command"));
  EXPECT_TRUE(KeyExists(victimKey));
  for (const Hostile& hostile : hostiles) EXPECT_TRUE(KeyExists(hostile.key)) << WideToUtf8(hostile.key);
}

// A task definition that starts malware lies in the system folder's task
// store: it goes as a task, and nothing else of the system folder goes with
// it, whatever path a row names.
TEST_F(RemovalFixture, TaskFilesGoFromTheTaskStoreButNothingElseOfTheSystemFolder) {
  const std::wstring tag = L"TavrinTest-" + pid;
  const std::wstring store = SystemFolder() + L"\\Tasks";
  const std::wstring folder = store + L"\\" + tag;
  const std::wstring task = folder + L"\\Updater";
  const std::wstring beside = SystemFolder() + L"\\" + tag + L".dll";
  ASSERT_TRUE(Seed(task, "<?xml version=\"1.0\"?><Task/>"));
  ASSERT_TRUE(Seed(beside, "MZ"));
  paths.push_back(folder);
  paths.push_back(beside);
  ResultList malware = TabList(results, kMalwareTab);
  const std::wstring outOfTheStore = store + L"\\..\\" + tag + L".dll";
  for (const std::wstring& file : {task, folder, outOfTheStore, beside, store})
    AddRow(malware, kGroupInfectedFiles, file, L"", L"", true);

  EXPECT_EQ(RunRemoval(session), unsigned(kRemovalSomeFailed));
  const std::wstring text = ReportText();
  EXPECT_NE(text.find(L"\tSuccessfully removed infected file: " + task + L".\r\n"), std::wstring::npos) << text;
  for (const std::wstring& file : {folder, outOfTheStore, beside, store})
    EXPECT_NE(text.find(L"\tFailed to remove infected file: " + file + L".\r\n"), std::wstring::npos) << text;
  EXPECT_FALSE(FileExists(task));
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_TRUE(FileExists(beside));
  EXPECT_TRUE(FolderExists(store));
  EXPECT_EQ(RowCount(malware), 4);
}

TEST_F(RemovalFixture, ALockedFileIsScheduledOnlyWhereItsRowAllowsIt) {
  const std::wstring pending = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  RegValueBuffer savedPending;
  const bool hadPending = ReadRawAt(pending, L"PendingFileRenameOperations", savedPending);

  const std::wstring tag = L"TavrinTest-" + pid;
  const std::wstring infected = scratch / L"locked-evil.exe";
  const std::wstring startupItem = scan.folders.commonStartup + L"\\" + tag + L"-locked.txt";
  ASSERT_TRUE(Seed(infected, "MZ evil"));
  ASSERT_TRUE(Seed(startupItem, "x"));
  paths.push_back(startupItem);
  // Held open without delete sharing, as a running program holds its files.
  std::vector<HANDLE> holds;
  for (const std::wstring& path : {infected, startupItem}) {
    HANDLE hold = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    holds.push_back(hold);
  }
  AddRow(TabList(results, kMalwareTab), kGroupInfectedFiles, infected, L"", L"", true);
  ScanItemDetails startup;
  startup.group = kGroupStartupFolder;
  startup.userName = L"(All users)";
  startup.path = startupItem;
  AddWithDetails(kAutostartTab, kGroupStartupFolder, tag + L"-locked.txt", L"(All users)", startup);

  const unsigned flags = RunRemoval(session);
  std::wstring scheduled;
  ReadStringAt(pending, L"PendingFileRenameOperations", scheduled);
  for (HANDLE hold : holds) CloseHandle(hold);
  if (hadPending) {
    RegKey key = OpenKey(pending, kRegWrite);
    WriteValue(key, L"PendingFileRenameOperations", savedPending.type, savedPending.Data(), savedPending.length);
  } else {
    DeleteValueAt(pending, L"PendingFileRenameOperations");
  }

  EXPECT_EQ(flags, unsigned(kRemovalSomeFailed | kRemovalRestartNeeded));
  const std::wstring text = ReportText();
  EXPECT_NE(text.find(L"\tSuccessfully scheduled " + infected + L" for removal on reboot.\r\n"), std::wstring::npos)
      << text;
  EXPECT_NE(text.find(L"\tFailed to remove Startup folder item \"" + tag + L"-locked.txt\" for (All users).\r\n"),
            std::wstring::npos)
      << text;
  EXPECT_NE(scheduled.find(L"locked-evil.exe"), std::wstring::npos) << scheduled;
  // The Startup item is not left to the next start: it would run once more.
  EXPECT_EQ(scheduled.find(tag + L"-locked.txt"), std::wstring::npos) << scheduled;
  EXPECT_TRUE(FileExists(startupItem));
  EXPECT_EQ(RowCount(TabList(results, kMalwareTab)), 0);
  EXPECT_EQ(RowCount(TabList(results, kAutostartTab)), 1);
}

// Registry rows act on the parts the scan filed, never on a cut of their
// text, and each outcome is read back: a name that holds " / " is the
// value or key it names, a text the machine bears out two ways is refused,
// and an edit that removes nothing is no success.
TEST_F(RemovalFixture, RegistryRowsActOnTheirFiledPartsAndReadBackTheirOutcome) {
  const std::wstring base = L"HKCU\\Software\\TavrinTest-" + pid;
  keys.push_back(base);
  const std::wstring plain = base + L"\\Plain", twoWays = base + L"\\TwoWays", list = base + L"\\List";
  ASSERT_TRUE(WriteStringAt(plain, L"Evil / Updater", L"C:\\x\\evil.exe"));
  ASSERT_TRUE(WriteStringAt(twoWays, L"Evil / Updater", L"C:\\x\\evil.exe"));
  ASSERT_TRUE(WriteStringAt(twoWays, L"Evil", L"Updater, mine.dll"));
  ASSERT_TRUE(WriteStringAt(list, L"Dlls", L"ab.dll, c.dll"));
  ASSERT_TRUE(CreateKey(base + L"\\Sub / Name"));
  ASSERT_TRUE(WriteStringAt(base + L"\\Sub", L"Other", L"mine"));
  for (const std::wstring& entry : {plain + L" / Evil / Updater", twoWays + L" / Evil / Updater",
                                    list + L" / Dlls / b.dll", base + L"\\Sub / Name"})
    AddRegistryRow(entry);
  session.report.Open(scratch / L"report.txt");

  RemoveMalwareRows(session);
  EXPECT_FALSE(KeyExists(plain, L"Evil / Updater"));
  EXPECT_TRUE(KeyExists(twoWays, L"Evil / Updater"));
  EXPECT_EQ(ReadStringAt(twoWays, L"Evil"), L"Updater, mine.dll");
  EXPECT_EQ(ReadStringAt(list, L"Dlls"), L"ab.dll, c.dll");
  EXPECT_FALSE(KeyExists(base + L"\\Sub / Name"));
  EXPECT_EQ(ReadStringAt(base + L"\\Sub", L"Other"), L"mine");
  session.report.Finish(0);
  std::wstring text;
  ASSERT_TRUE(ReadTextFile(session.report.Path(), text));
  EXPECT_NE(text.find(kMalwareHeading + std::wstring(L"\tSuccessfully repaired infected registry entry: ") + base +
                      L"\\Sub / Name.\r\n\tFailed to repair infected registry entry: " + list +
                      L" / Dlls / b.dll.\r\n\tFailed to repair infected registry entry: " + twoWays +
                      L" / Evil / Updater.\r\n\tSuccessfully repaired infected registry entry: " + plain +
                      L" / Evil / Updater.\r\n"),
            std::wstring::npos)
      << text;
  EXPECT_EQ(session.processedCount, 4);
  EXPECT_EQ(session.succeededCount, 2);
  EXPECT_EQ(RowCount(TabList(results, kMalwareTab)), 2);
}

// Windows Installer's answers: done, done after a restart, nothing there
// to remove (the program is gone already), and real failures.
TEST(ProductRemovalOutcome, InstallerResultsMapToRemovedRestartOrFailed) {
  struct Case {
    unsigned result;
    bool removed, restart;
  };
  const Case cases[] = {{ERROR_SUCCESS, true, false},
                        {ERROR_SUCCESS_REBOOT_REQUIRED, true, true},
                        {ERROR_SUCCESS_REBOOT_INITIATED, true, true},
                        {ERROR_UNKNOWN_PRODUCT, true, false},
                        {ERROR_INSTALL_FAILURE, false, false},
                        {ERROR_INSTALL_USEREXIT, false, false},
                        {ERROR_INSTALL_ALREADY_RUNNING, false, false},
                        {ERROR_INVALID_PARAMETER, false, false},
                        {ERROR_BAD_CONFIGURATION, false, false}};
  for (const Case& test : cases) {
    const ProductRemovalOutcome outcome = ProductRemovalOutcomeOf(test.result);
    EXPECT_EQ(outcome.removed, test.removed) << test.result;
    EXPECT_EQ(outcome.restartNeeded, test.restart) << test.result;
  }
}

TEST_F(RemovalFixture, AStartupItemThatIsALinkIsNeverReportedRemoved) {
  const std::wstring tag = L"TavrinTest-" + pid;
  const std::wstring target = scratch / L"precious.exe";
  const std::wstring link = scan.folders.commonStartup + L"\\" + tag + L"-link.exe";
  ASSERT_TRUE(WriteBytes(target, "MZ precious"));
  ASSERT_TRUE(test::MakeHostLink(target, link));
  ScanItemDetails startup;
  startup.group = kGroupStartupFolder;
  startup.userName = L"(All users)";
  startup.path = link;
  AddWithDetails(kAutostartTab, kGroupStartupFolder, tag + L"-link.exe", L"(All users)", startup);

  const unsigned flags = RunRemoval(session);
  const bool linkStays = test::IsHostLink(link);
  const std::string targetBytes = test::ReadBytes(target);
  // The link is the test's to clear, never through Wine (which would
  // delete the target with it).
  test::RemoveHostLinks(link);

  EXPECT_EQ(targetBytes, "MZ precious");
  // Wine cannot delete the link alone: it stays, and the report says so.
  EXPECT_TRUE(linkStays);
  EXPECT_EQ(flags, unsigned(kRemovalSomeFailed));
  const std::wstring text = ReportText();
  EXPECT_NE(text.find(L"\tFailed to remove Startup folder item \"" + tag + L"-link.exe\" for (All users).\r\n"),
            std::wstring::npos)
      << text;
  EXPECT_EQ(RowCount(TabList(results, kAutostartTab)), 1);
}

}  // namespace
}  // namespace tavrin
