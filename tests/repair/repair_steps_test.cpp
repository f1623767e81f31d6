// The shared steps and the decisions of the repairs, on scratch keys,
// folders and services of the test's own: what is saved before a write,
// which folders a clean-up may empty, which profile entry is moved back,
// which services get their start type back, and the companion tool's
// records.
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/ini_document.h"
#include "platform/registry.h"
#include "platform/text_file.h"
#include "platform/access_list.h"
#include "repair/immunisation.h"
#include "repair/repair_backup.h"
#include "repair/service_start_types.h"
#include "repair/subsystems.h"
#include "repair/temp_folders.h"
#include "repair/repair_values.h"
#include "repair/user_repairs.h"
#include "repair/everyone_entries.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

std::wstring ScratchKey() { return L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()); }

TEST(Immunisation, TheRecordListsWholeCategoryNumbers) {
  struct Case {
    const wchar_t* immunized;
    int category;
    bool listed;
  } cases[] = {{L"6|8|11", 8, true}, {L"11", 11, true}, {L"6|18", 8, false}, {L"16|81", 6, false},
               {L"", 6, false},      {L"1|11|3", 1, true}};
  for (const Case& c : cases) EXPECT_EQ(ListsCategory(c.immunized, c.category), c.listed) << c.immunized;
}

// Wine keeps a key's access entries (not its protection flag, and nothing
// of a folder's list), so the key shows what a lock does.
TEST(Immunisation, ALockRefusesEveryoneAndIsLiftedAgain) {
  const std::wstring key = ScratchKey() + L"\\Locked";
  ASSERT_TRUE(CreateKey(key));
  const std::wstring name =
      L"CURRENT_USER\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"\\Locked";
  RepairContext context;
  context.windowsVersion = 10.0;
  ASSERT_TRUE(SetObjectLock(context, key, LockRegistryKey | LockProtect | LockTree));
  const test::EveryoneEntries locked = test::EntriesForEveryone(name);
  EXPECT_TRUE(locked.read && locked.denied);
  ASSERT_TRUE(SetObjectLock(context, key, LockRegistryKey | LockTree));
  const test::EveryoneEntries lifted = test::EntriesForEveryone(name);
  EXPECT_TRUE(lifted.read && !lifted.denied && !lifted.protectedList);
  // The key is usable again once lifted.
  EXPECT_TRUE(WriteDwordAt(key, L"Probe", 1));
  DeleteKeyTree(ScratchKey());
  // A missing file or folder is not locked.
  EXPECT_FALSE(SetObjectLock(context, L"C:\\NoSuchFolder-Tavrin\\etc", LockProtect));
}

TEST(RepairValues, ARefusedKeyIsWrittenWithoutOpeningItToEverybody) {
  const std::wstring key = ScratchKey() + L"\\Refusing";
  const std::wstring name =
      L"CURRENT_USER\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"\\Refusing";
  ASSERT_TRUE(WriteDwordAt(key, L"Old", 1));
  ASSERT_EQ(ApplyAccessList(name, SE_REGISTRY_KEY, {{kSidEveryone, KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE, true}},
                            kSidAdministrators, ApplyProtected),
            DWORD(ERROR_SUCCESS));
  ASSERT_FALSE(SetDword(key, L"New", 5, false));  // the key refuses plain writes
  EXPECT_TRUE(SetDword(key, L"New", 5, true));
  DWORD data = 0;
  EXPECT_TRUE(ReadDwordAt(key, L"New", data));
  EXPECT_EQ(data, 5u);
  const test::EveryoneEntries after = test::EntriesForEveryone(name);
  EXPECT_FALSE(after.denied);
  EXPECT_FALSE(after.allowed);
  // A delete gets through the same way.
  ASSERT_EQ(ApplyAccessList(name, SE_REGISTRY_KEY, {{kSidEveryone, KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE, true}},
                            kSidAdministrators, ApplyProtected),
            DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(DeleteForRepair(key, L"Old"));
  EXPECT_FALSE(KeyExists(key, L"Old"));
  EXPECT_FALSE(test::EntriesForEveryone(name).allowed);
  EXPECT_TRUE(DeleteForRepair(key, L"NeverThere"));
  DeleteKeyTree(ScratchKey());
}

TEST(SubSystems, TheRuntimeCommandFollowsVersionAndBitness) {
  EXPECT_EQ(SubSystemsWindowsCommand(6.0, false),
            L"%SystemRoot%\\system32\\csrss.exe  ObjectDirectory=\\Windows SharedSection=1024,12288,512 Windows=On "
            L"SubSystemType=Windows ServerDll=basesrv,1 ServerDll=winsrv:UserServerDllInitialization,3 "
            L"ServerDll=winsrv:ConServerDllInitialization,2 ProfileControl=Off MaxRequestThreads=16");
  EXPECT_EQ(SubSystemsWindowsCommand(6.1, true),
            L"%SystemRoot%\\system32\\csrss.exe ObjectDirectory=\\Windows SharedSection=1024,20480,768 Windows=On "
            L"SubSystemType=Windows ServerDll=basesrv,1 ServerDll=winsrv:UserServerDllInitialization,3 "
            L"ServerDll=winsrv:ConServerDllInitialization,2 ServerDll=sxssrv,4 ProfileControl=Off "
            L"MaxRequestThreads=16");
  EXPECT_EQ(SubSystemsWindowsCommand(10.0, true),
            L"%SystemRoot%\\system32\\csrss.exe ObjectDirectory=\\Windows SharedSection=1024,20480,768 Windows=On "
            L"SubSystemType=Windows ServerDll=basesrv,1 ServerDll=winsrv:UserServerDllInitialization,3 "
            L"ServerDll=sxssrv,4 ProfileControl=Off MaxRequestThreads=16");
  EXPECT_NE(SubSystemsWindowsCommand(5.1, false).find(L"SharedSection=1024,3072,512 "), std::wstring::npos);
}

TEST(RepairBackup, AnExportKeepsEveryValueAndSubkey) {
  const std::wstring key = ScratchKey() + L"\\Export";
  ASSERT_TRUE(WriteStringAt(key, L"Path \"x\"", L"C:\\a\\b"));
  ASSERT_TRUE(WriteDwordAt(key, L"Flag", 0x1F));
  RegKey open;
  ASSERT_TRUE(CreateKey(open, key, L"List", REG_MULTI_SZ, L"ab\nc", 0));
  open.Close();
  ASSERT_TRUE(WriteStringAt(key + L"\\Sub", nullptr, L"d"));
  const std::wstring text = ExportKeysText({key, ScratchKey() + L"\\Missing"});
  DeleteKeyTree(ScratchKey());
  const std::wstring name = L"HKEY_CURRENT_USER\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId());
  EXPECT_EQ(text.rfind(L"Windows Registry Editor Version 5.00\r\n\r\n[" + name + L"\\Export]\r\n", 0), 0u) << text;
  for (const std::wstring& line :
       {std::wstring(L"\r\n\"Path \\\"x\\\"\"=\"C:\\\\a\\\\b\"\r\n"), std::wstring(L"\r\n\"Flag\"=dword:0000001f\r\n"),
        std::wstring(L"\r\n\"List\"=hex(7):61,00,62,00,00,00,63,00,00,00,00,00\r\n"),
        L"\r\n[" + name + L"\\Export\\Sub]\r\n@=\"d\"\r\n"})
    EXPECT_NE(text.find(line), std::wstring::npos) << line << text;
  EXPECT_EQ(text.find(L"Missing"), std::wstring::npos);
}

TEST(RepairBackup, AFileCopyLandsInTheDataFolderAndIsNamed) {
  test::ScratchFolder scratch;
  const std::wstring source = scratch / L"hosts";
  ASSERT_TRUE(test::WriteBytes(source, "0.0.0.0 example.test\r\n"));
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY);
  RepairContext context;
  context.dataFolder = scratch / L"data";
  const std::wstring backup = BackupFile(context, source, L"hosts", L"");
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(backup.rfind(context.dataFolder + L"\\Backups\\hosts-", 0), 0u) << backup;
  EXPECT_EQ(test::ReadBytes(backup), "0.0.0.0 example.test\r\n");
  // Without a data folder nothing is saved, so nothing may be overwritten.
  context.dataFolder.clear();
  EXPECT_EQ(BackupFile(context, source, L"hosts", L""), L"");
}

TEST(TempFolders, OnlyTheTemporaryFoldersOfProfilesCommonDataAndWindows) {
  test::ScratchFolder scratch;
  const std::wstring alice = scratch / L"Alice";
  const std::wstring windows = scratch / L"Windows";
  const std::wstring programData = scratch / L"ProgramData";
  ASSERT_TRUE(CreateFolderTree(alice + kProfileTempPart));
  ASSERT_TRUE(CreateFolderTree(windows + L"\\Temp"));
  ASSERT_TRUE(CreateFolderTree(programData + L"\\Temp"));
  ASSERT_TRUE(CreateFolderTree(scratch / L"Bob"));  // no temporary folder
  // A "temporary folder" that is a file.
  ASSERT_TRUE(CreateFolderTree(scratch / L"Dave\\AppData\\Local"));
  ASSERT_TRUE(test::WriteBytes(scratch / L"Dave\\AppData\\Local\\Temp", "not a folder"));
  UserList users = {{L"S-1-5-21-1", alice, L"Alice"},
                    {L"S-1-5-21-2", scratch / L"Bob", L"Bob"},
                    {L"S-1-5-21-3", L"Relative\\Carol", L"Carol"},
                    {L"S-1-5-21-4", scratch / L"Dave", L"Dave"},
                    {L"S-1-5-21-6", L"", L"NoProfile"},
                    {L"S-1-5-21-5", alice, L"Alice again"}};
  const std::vector<std::wstring> folders = TempFoldersToEmpty(users, programData, windows);
  ASSERT_EQ(folders.size(), 3u);
  EXPECT_EQ(folders[0], CanonicalFilePath(alice + kProfileTempPart));
  EXPECT_EQ(folders[1], CanonicalFilePath(programData + L"\\Temp"));
  EXPECT_EQ(folders[2], CanonicalFilePath(windows + L"\\Temp"));
}

class ProfileEntries : public ::testing::Test {
 protected:
  void TearDown() override { DeleteKeyTree(ScratchKey()); }
  void Entry(const std::wstring& name, const std::wstring& folder) {
    ASSERT_TRUE(WriteStringAt(list + L"\\" + name, L"ProfileImagePath", folder, REG_EXPAND_SZ));
    ASSERT_TRUE(WriteDwordAt(list + L"\\" + name, L"RefCount", 3));
  }
  test::ScratchFolder scratch;
  const std::wstring list = ScratchKey() + L"\\ProfileList";
  const std::wstring sid = L"S-1-5-21-7-7-7-1001";
};

TEST_F(ProfileEntries, ATemporaryProfileGivesWayToTheSavedOne) {
  const std::wstring real = scratch / L"Erin";
  ASSERT_TRUE(CreateFolderTree(real));
  ASSERT_TRUE(test::WriteBytes(real + L"\\NTUSER.DAT", "hive"));
  Entry(sid + L".bak", real);
  Entry(sid, L"C:\\Users\\TEMP");
  EXPECT_EQ(RepairProfileEntry(list, sid + L".bak", L"HOST"), ProfileRepair::Fixed);
  EXPECT_FALSE(KeyExists(list + L"\\" + sid + L".bak"));
  EXPECT_EQ(ReadStringAt(list + L"\\" + sid, L"ProfileImagePath"), real);
  DWORD refCount = 9, state = 9;
  EXPECT_TRUE(ReadDwordAt(list + L"\\" + sid, L"RefCount", refCount));
  EXPECT_TRUE(ReadDwordAt(list + L"\\" + sid, L"State", state));
  EXPECT_EQ(refCount, 0u);
  EXPECT_EQ(state, 0u);
}

TEST_F(ProfileEntries, TheLargerCurrentProfileStaysAndTheStaleEntryGoes) {
  const std::wstring saved = scratch / L"Small";
  const std::wstring current = scratch / L"Large";
  ASSERT_TRUE(CreateFolderTree(saved));
  ASSERT_TRUE(CreateFolderTree(current + L"\\Documents"));
  ASSERT_TRUE(test::WriteBytes(current + L"\\Documents\\work.txt", std::string(4096, 'w')));
  Entry(sid + L".bak", saved);
  Entry(sid, current);
  EXPECT_EQ(RepairProfileEntry(list, sid + L".bak", L"HOST"), ProfileRepair::StaleRemoved);
  EXPECT_FALSE(KeyExists(list + L"\\" + sid + L".bak"));
  EXPECT_EQ(ReadStringAt(list + L"\\" + sid, L"ProfileImagePath"), current);
  DWORD refCount = 0;
  EXPECT_TRUE(ReadDwordAt(list + L"\\" + sid, L"RefCount", refCount));
  EXPECT_EQ(refCount, 3u);
}

TEST_F(ProfileEntries, EntriesThatAreNotSetAsideAreLeftAlone) {
  Entry(sid, scratch.Path());
  Entry(L"S-1-5-21-8.bak", scratch.Path());  // no current entry beside it
  EXPECT_EQ(RepairProfileEntry(list, sid, L"HOST"), ProfileRepair::NotHandled);
  EXPECT_EQ(RepairProfileEntry(list, L"S-1-5-21-8.bak", L"HOST"), ProfileRepair::NotHandled);
  EXPECT_TRUE(KeyExists(list + L"\\S-1-5-21-8.bak"));
  // A saved entry whose folder is gone is dropped without a move.
  Entry(sid + L".bak", scratch / L"Gone");
  EXPECT_EQ(RepairProfileEntry(list, sid + L".bak", L"HOST"), ProfileRepair::StaleRemoved);
  EXPECT_EQ(ReadStringAt(list + L"\\" + sid, L"ProfileImagePath"), scratch.Path());
}

// Services of the test's own, created and deleted through the manager.
class StartTypes : public ::testing::Test {
 protected:
  void SetUp() override {
    manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    struct Seeded {
      const wchar_t* name;
      DWORD start;
      const wchar_t* image;
    };
    for (const Seeded& seeded : {Seeded{L"TavrinTestSvcA", SERVICE_DISABLED, L"svc.exe"},
                                 Seeded{L"TavrinTestSvcB", SERVICE_AUTO_START, L"svc.exe"},
                                 Seeded{L"TavrinTestSvcC", SERVICE_DISABLED, L"other.exe"}}) {
      const std::wstring image = scratch / seeded.image;
      ASSERT_TRUE(test::WriteBytes(image, "MZ"));
      SC_HANDLE service = CreateServiceW(manager, seeded.name, seeded.name, SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, seeded.start, SERVICE_ERROR_IGNORE,
                                         (L"\"" + image + L"\"").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
      ASSERT_NE(service, nullptr) << GetLastError();
      CloseServiceHandle(service);
    }
  }
  void TearDown() override {
    for (const wchar_t* name : {L"TavrinTestSvcA", L"TavrinTestSvcB", L"TavrinTestSvcC"}) {
      SC_HANDLE service = OpenServiceW(manager, name, DELETE);
      if (service) DeleteService(service);
      if (service) CloseServiceHandle(service);
    }
    if (manager) CloseServiceHandle(manager);
  }
  DWORD Start(const wchar_t* name) {
    DWORD start = 99;
    ReadDwordAt(std::wstring(L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\") + name, L"Start", start);
    return start;
  }
  SC_HANDLE manager = nullptr;
  test::ScratchFolder scratch;
};

TEST_F(StartTypes, OnlyWindowsOwnServicesThatDifferAreReset) {
  const std::wstring table = scratch / L"svcstates.ini";
  ASSERT_TRUE(WriteTextFile(table,
                            L"[WIN.61]\r\nTavrinTestSvcB.STT=4\r\n[WIN.100]\r\nTavrinTestSvcA.STT=3\r\n"
                            L"TavrinTestSvcB.STT=2\r\nTavrinTestSvcB.DAS=1\r\nTavrinTestSvcC.STT=2\r\n"));
  RepairContext context;
  context.windowsVersion = 10.0;
  int failed = 0;
  // C's image is taken for someone else's file: it is no service of Windows.
  const int repaired = ResetStartTypesWith(
      context, table, [](const std::wstring& file) { return file.find(L"svc.exe") != std::wstring::npos; }, &failed);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(Start(L"TavrinTestSvcA"), DWORD(SERVICE_DEMAND_START));
  EXPECT_EQ(Start(L"TavrinTestSvcB"), DWORD(SERVICE_AUTO_START));
  DWORD delayed = 0;
  EXPECT_TRUE(ReadDwordAt(L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\TavrinTestSvcB", L"DelayedAutostart", delayed));
  EXPECT_EQ(delayed, 1u);
  EXPECT_EQ(Start(L"TavrinTestSvcC"), DWORD(SERVICE_DISABLED));
  EXPECT_EQ(repaired, 2);
  // A second run finds nothing left to do.
  EXPECT_EQ(ResetStartTypesWith(
                context, table, [](const std::wstring& file) { return file.find(L"svc.exe") != std::wstring::npos; },
                &failed),
            0);
  // Nothing is touched for services the test says are not Windows' own.
  ASSERT_TRUE(WriteTextFile(table, L"[WIN.100]\r\nTavrinTestSvcA.STT=4\r\n"));
  EXPECT_EQ(ResetStartTypesWith(context, table, [](const std::wstring&) { return false; }, &failed), 0);
  EXPECT_EQ(Start(L"TavrinTestSvcA"), DWORD(SERVICE_DEMAND_START));
}

TEST(StartTypeTable, EveryVersionSectionIsThereAndParses) {
  test::ScratchFolder scratch;
  ASSERT_TRUE(WriteTextFile(scratch / L"t.ini", StartTypeTableText()));
  IniDocument table(scratch / L"t.ini");
  for (double version : {5.1, 6.0, 6.1, 6.3, 10.0, 11.0}) {
    const std::wstring section = StartTypeSection(version);
    EXPECT_EQ(table.GetInt(section, L"Winmgmt.STT", 0), 2) << section;
    EXPECT_EQ(table.GetInt(section, L"VSS.STT", 0), 3) << section;
  }
  EXPECT_EQ(StartTypeSection(6.3), L"WIN.63");
  EXPECT_EQ(table.GetInt(L"WIN.100", L"AppVClient.STT", 0), 4);
  EXPECT_EQ(table.GetInt(L"WIN.63", L"BITS.DAS", 0), 1);
  EXPECT_EQ(table.GetInt(L"WIN.110", L"NetTcpPortSharing.STT", 0), 4);
  // Services whose default depends on the machine's role are never reset:
  // a domain member's Netlogon or a server's WinRM set to manual would cut
  // the machine off from its domain or its administrators.
  for (const wchar_t* section : {L"WIN.100", L"WIN.110"})
    for (const wchar_t* service : {L"Netlogon", L"W32Time", L"WinRM", L"RemoteRegistry", L"WSearch", L"SysMain"})
      EXPECT_EQ(table.GetInt(section, std::wstring(service) + L".STT", 6), 6) << section << L" " << service;
  // A start value outside automatic, manual and disabled, or a delayed
  // flag other than 1, would be written into services as it stands.
  const std::wstring& text = StartTypeTableText();
  for (size_t at = 0, end = 0; at < text.size(); at = end + 2) {
    end = text.find(L"\r\n", at);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(at, end - at);
    if (line.empty() || line.front() == L'[') continue;
    const size_t equals = line.find(L'=');
    ASSERT_NE(equals, std::wstring::npos) << line;
    const std::wstring value = line.substr(equals + 1);
    if (line.find(L".DAS=") != std::wstring::npos)
      EXPECT_EQ(value, L"1") << line;
    else
      EXPECT_TRUE(value == L"2" || value == L"3" || value == L"4") << line;
  }
}

}  // namespace
}  // namespace tavrin
