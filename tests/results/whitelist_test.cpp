#include "results/whitelist.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/file_system.h"
#include "platform/ini_document.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "platform/unique_handle.h"
#include "results/result_folders.h"
#include "results/whitelist_manager.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

std::string Utf16(const std::wstring& text) { return test::Utf16Bytes(text); }

GeneralizeFolders FoldersOf(const std::wstring& user) {
  GeneralizeFolders folders;
  folders.userProfile = L"C:\\users\\" + user;
  folders.appData = folders.userProfile + L"\\AppData\\Roaming";
  folders.localAppData = folders.userProfile + L"\\AppData\\Local";
  folders.programFiles = L"C:\\Program Files";
  folders.programFilesX86 = L"C:\\Program Files (x86)";
  folders.windows = L"C:\\windows";
  folders.systemDrive = L"C:";
  folders.is64Bit = true;
  return folders;
}

TEST(Whitelist, GeneralizeItemPlaceholders) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L""},
      {L"HKU\\S-1-5-21-1-2-3-1000\\Software\\Bad", L"Software\\Bad"},
      {L"hku\\S-1-5-21-1\\Software\\Bad", L"hku\\S-1-5-21-1\\Software\\Bad"},  // "HKU\" in exact case only
      {L"HKLM\\Software\\Bad", L"HKLM\\Software\\Bad"},
      {L"C:\\Users\\Alice\\AppData\\Roaming\\bad\\x.exe", L"%AppData%\\bad\\x.exe"},
      {L"c:\\users\\alice\\appdata\\local\\bad.dll", L"%LocalAppData%\\bad.dll"},
      {L"C:\\users\\alice\\Desktop\\x.lnk", L"%UserProfile%\\Desktop\\x.lnk"},
      {L"rundll32 C:\\users\\alice\\AppData\\Roaming\\x.dll", L"rundll32 %AppData%\\x.dll"},
      {L"C:\\Program Files\\Bad\\b.exe", L"%ProgramFiles%\\Bad\\b.exe"},
      {L"C:\\windows\\system32\\evil.dll", L"%WinDir%\\system32\\evil.dll"},
      {L"C:\\Tools\\evil.exe", L"%SystemDrive%\\Tools\\evil.exe"},
      {L"D:\\C:\\odd.exe", L"D:\\C:\\odd.exe"},  // the system drive only at the start
  };
  const GeneralizeFolders folders = FoldersOf(L"alice");
  for (const auto& [item, expected] : cases) EXPECT_EQ(GeneralizeItem(item, folders), expected) << item;

  GeneralizeFolders slashed = folders;
  slashed.appData += L"\\";
  EXPECT_EQ(GeneralizeItem(L"C:\\users\\alice\\AppData\\Roaming\\x.exe", slashed), L"%AppData%\\x.exe");
  GeneralizeFolders x86Only = folders;
  x86Only.programFiles.clear();
  EXPECT_EQ(GeneralizeItem(L"C:\\Program Files (x86)\\b.exe", x86Only), L"%ProgramFiles(x86)%\\b.exe");
  x86Only.is64Bit = false;
  EXPECT_EQ(GeneralizeItem(L"C:\\Program Files (x86)\\b.exe", x86Only), L"%SystemDrive%\\Program Files (x86)\\b.exe");
}

TEST(Whitelist, MachineFoldersComeFromThePlatform) {
  GeneralizeFolders folders = MachineGeneralizeFolders();
  wchar_t windows[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  EXPECT_EQ(ToLower(folders.windows), ToLower(windows));
  EXPECT_EQ(ToLower(folders.systemDrive), ToLower(std::wstring(windows, 2)));
  EXPECT_TRUE(folders.is64Bit);
  EXPECT_FALSE(folders.programFiles.empty());
  EXPECT_TRUE(folders.appData.empty());  // the interactive user's are the application's to fill
  EXPECT_EQ(GeneralizeItem(std::wstring(windows) + L"\\system32\\x.dll", folders), L"%WinDir%\\system32\\x.dll");
  EXPECT_EQ(GeneralizeItem(folders.programFiles + L"\\Bad\\b.exe", folders), L"%ProgramFiles%\\Bad\\b.exe");
}

struct LookupCase {
  const wchar_t* item;
  const wchar_t* section;
  bool expected;
};

TEST(Whitelist, LookupRulesOfTheFile) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteBytes(scratch / L"WhiteList.ini",
                         Utf16(L"[Programs]\r\nabc=0\r\nToolbar Pro=0\r\nLongName Extra=0\r\nSpaced \t=0\r\n"
                               L"Disabled=-1\r\nTwice=-1\r\nTwice=0\r\n"
                               L"[Crome startup pages]\r\nhttp://old.test/=0\r\n"
                               L"[programs]\r\nLater=0\r\n")));
  WhiteList whitelist;
  ASSERT_TRUE(LoadWhiteList(whitelist, scratch / L"WhiteList.ini"));
  const LookupCase cases[] = {
      {L"abc", L"Programs", false},  // 3 characters are never looked up
      {L"Toolbar Pro", L"Programs", true},
      {L"TOOLBAR PRO", L"programs", true},
      {L"Toolbar", L"Programs", false},   // a prefix of a key is not the key
      {L"LongName", L"Programs", false},
      {L"Spaced", L"Programs", true},     // blanks before "=" belong to no key
      {L"Disabled", L"Programs", false},  // -1 means not whitelisted
      {L"Twice", L"Programs", false},     // the first entry wins
      {L"Later", L"Programs", false},     // only the first section of a name counts
      {L"Toolbar Pro", L"Startup folder items", false},
      {L"http://old.test/", L"Chrome startup pages", true},
      {L"http://old.test/", L"Firefox startup pages", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsWhitelisted(whitelist, c.item, c.section, false), c.expected) << c.item;
}

TEST(Whitelist, RowsGoIntoTheirSectionsAndLeaveTheirLists) {
  ScratchFolder scratch;
  WhiteList whitelist;
  LoadWhiteList(whitelist, scratch / L"WhiteList.ini");
  SetGeneralizeFolders(whitelist, FoldersOf(L"alice"));
  ResultSet results;
  ResultList browsers = TabList(results, kBrowsersTab);
  ResultList malware = TabList(results, kMalwareTab);
  ResultList programs = TabList(results, kProgramsTab);
  AddRow(browsers, 42, L"Startup page", L"alice", L"http://search.test/?q=1&src=tb", true);
  AddRow(malware, 83, L"Reset proxy", L"", L"", true);
  AddRow(malware, 81, L"C:\\users\\alice\\AppData\\Roaming\\bad\\x.exe", L"High", L"Adware", true);
  AddRow(programs, kNoGroup, L"Toolbar Pro", L"Acme", L"alice", false);

  EXPECT_TRUE(WhitelistRow(whitelist, browsers, 0));
  EXPECT_EQ(RowCount(browsers), 0);
  EXPECT_FALSE(WhitelistRow(whitelist, malware, 0));  // fixes cannot be whitelisted
  EXPECT_EQ(WhitelistChecked(whitelist, results, kAllTabs), 1);  // the unchecked program stays
  EXPECT_EQ(RowCount(malware), 1);
  EXPECT_EQ(GetGroup(malware, 0), 83);
  EXPECT_EQ(RowCount(programs), 1);

  // Written at once, "=" stored as "-", the infected file generalised.
  IniDocument saved(scratch / L"WhiteList.ini");
  EXPECT_EQ(saved.GetString(L"Chrome startup pages", L"http://search.test/?q-1&src-tb", L""), L"0");
  EXPECT_EQ(saved.GetString(L"Infected file objects", L"%AppData%\\bad\\x.exe", L""), L"0");

  // The next scan finds both again, the file also in another user's profile.
  EXPECT_TRUE(IsWhitelisted(whitelist, L"http://search.test/?q=1&src=tb", L"Chrome startup pages", false));
  SetGeneralizeFolders(whitelist, FoldersOf(L"bob"));
  EXPECT_TRUE(IsWhitelisted(whitelist, L"C:\\users\\bob\\AppData\\Roaming\\bad\\x.exe", L"Infected file objects", true));
  EXPECT_FALSE(IsWhitelisted(whitelist, L"C:\\users\\bob\\AppData\\Local\\bad\\x.exe", L"Infected file objects", true));
  EXPECT_FALSE(IsWhitelisted(whitelist, L"C:\\users\\alice\\AppData\\Roaming\\bad\\x.exe", L"Infected file objects", true));
}

TEST(Whitelist, WhitelistedFolderHidesInfectedFilesBelowIt) {
  ScratchFolder scratch;
  const std::wstring file = scratch / L"WhiteList.ini";
  const std::wstring infected = L"C:\\users\\alice\\AppData\\Roaming\\Vendor\\sub\\tool.exe";
  {
    WhiteList whitelist;
    LoadWhiteList(whitelist, file);
    SetGeneralizeFolders(whitelist, FoldersOf(L"alice"));
    EXPECT_FALSE(WhitelistFolder(whitelist, L"C"));
    EXPECT_FALSE(IsWhitelisted(whitelist, infected, L"Infected file objects", true));
    ASSERT_TRUE(WhitelistFolder(whitelist, L"C:\\users\\alice\\AppData\\Roaming\\Vendor"));
    EXPECT_EQ(WhitelistedFolders(whitelist), (std::vector<std::wstring>{L"%AppData%\\Vendor\\"}));
    EXPECT_TRUE(IsWhitelisted(whitelist, infected, L"Infected file objects", true));
  }
  // In a later run, for another user, and only for infected files.
  WhiteList later;
  LoadWhiteList(later, file);
  SetGeneralizeFolders(later, FoldersOf(L"bob"));
  EXPECT_TRUE(IsWhitelisted(later, L"C:\\users\\bob\\AppData\\Roaming\\vendor\\x.dll", L"Infected file objects", true));
  EXPECT_FALSE(IsWhitelisted(later, L"C:\\users\\bob\\AppData\\Roaming\\VendorX\\x.dll", L"Infected file objects", true));
  EXPECT_FALSE(IsWhitelisted(later, L"%AppData%\\Vendor\\x.dll", L"Infected registry entries", true));

  // The parent-folder command works on an infected-file row and removes it.
  ResultSet results;
  ResultList malware = TabList(results, kMalwareTab);
  AddRow(malware, 81, L"C:\\users\\bob\\Downloads\\pack\\setup.exe", L"High", L"Adware", true);
  AddRow(malware, 82, L"HKLM\\Software\\Bad", L"High", L"Adware", true);
  EXPECT_FALSE(WhitelistParentFolder(later, malware, 1));
  ASSERT_TRUE(WhitelistParentFolder(later, malware, 0));
  EXPECT_EQ(RowCount(malware), 1);
  EXPECT_TRUE(IsWhitelisted(later, L"C:\\users\\bob\\Downloads\\pack\\other.exe", L"Infected file objects", true));
}

TEST(Whitelist, FileBesideTheProgramWins) {
  EXPECT_TRUE(test::FileExists(ProgramFolder() + L"\\results_tests.exe"));
  ScratchFolder program, data;
  const std::wstring fallback = data.Path() + L"\\Settings\\WhiteList.ini";
  EXPECT_EQ(WhitelistFilePath(program.Path(), data.Path()), fallback);
  DWORD attributes = GetFileAttributesW((data.Path() + L"\\Settings").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);

  ASSERT_TRUE(WriteBytes(program / L"TVN_White_list.ini", Utf16(L"[Programs]\r\nPortable Pick=0\r\n")));
  ASSERT_TRUE(WriteBytes(fallback, Utf16(L"[Programs]\r\nSettings Pick=0\r\n")));
  const std::wstring chosen = WhitelistFilePath(program.Path(), data.Path());
  EXPECT_EQ(chosen, program / L"TVN_White_list.ini");
  WhiteList whitelist;
  ASSERT_TRUE(LoadWhiteList(whitelist, chosen));
  EXPECT_TRUE(IsWhitelisted(whitelist, L"Portable Pick", L"Programs", false));
  EXPECT_FALSE(IsWhitelisted(whitelist, L"Settings Pick", L"Programs", false));
}

TEST(Whitelist, IndexAnswersAsTheDocumentAfterEveryKindOfChange) {
  ScratchFolder scratch;
  const std::wstring file = scratch / L"WhiteList.ini";
  ASSERT_TRUE(WriteBytes(file, Utf16(L"; comment\r\n[Programs]\r\nalpha one=0\r\n[Scheduled tasks]\r\nTask A=0\r\n")));
  ASSERT_TRUE(WriteBytes(scratch / L"import.ini",
                         Utf16(L"[Programs]\r\nalpha one=-1\r\nimported=0\r\n[DNS hijackers]\r\n8.8.4.4 x=0\r\n")));
  WhiteList whitelist;
  LoadWhiteList(whitelist, file);
  const std::vector<std::pair<std::wstring, std::wstring>> probes = {
      {L"Programs", L"alpha one"}, {L"Programs", L"imported"},     {L"Programs", L"beta two"},
      {L"Scheduled tasks", L"Task A"}, {L"Scheduled tasks", L"Task B"}, {L"DNS hijackers", L"8.8.4.4 x"},
      {L"Appinit DLLs", L"c:\\x.dll"},
  };
  auto compare = [&](const char* step) {
    ASSERT_TRUE(SaveWhiteList(whitelist));
    IniDocument reference(file);
    for (const auto& [section, item] : probes) {
      auto value = reference.GetString(section, item);
      bool expected = value && reference.GetInt(section, item, 0) != -1;
      EXPECT_EQ(IsWhitelisted(whitelist, item, section, false), expected) << step << ": " << item;
    }
  };
  compare("loaded");
  ASSERT_TRUE(AddWhitelistEntry(whitelist, L"Programs", L"beta two"));
  ASSERT_TRUE(AddWhitelistEntry(whitelist, L"Appinit DLLs", L"C:\\X.dll"));
  compare("added");
  ASSERT_TRUE(ImportWhitelist(whitelist, scratch / L"import.ini"));
  compare("imported");
  EXPECT_EQ(DeleteWhitelistEntries(whitelist, {{L"Scheduled tasks", L"Task A"}, {L"Programs", L"missing"}}), 1);
  compare("deleted");
  ASSERT_TRUE(AddWhitelistEntry(whitelist, L"Scheduled tasks", L"Task B"));
  compare("added again");
}

TEST(Whitelist, ExportAndImportRoundTripThroughFiles) {
  ScratchFolder scratch;
  WhiteList source;
  LoadWhiteList(source, scratch / L"source.ini");
  SetGeneralizeFolders(source, FoldersOf(L"alice"));
  AddWhitelistEntry(source, L"Infected file objects", L"%AppData%\\bad.exe");
  AddWhitelistEntry(source, L"Programs", L"Toolbar Pro");
  AddWhitelistEntry(source, L"Crome search providers", L"http://old.test/");
  AddWhitelistEntry(source, L"Chrome search providers", L"http://new.test/");
  WhitelistFolder(source, L"C:\\users\\alice\\AppData\\Roaming\\Vendor");
  const std::wstring exported = scratch / L"export\\TVN_White_list.ini";
  ASSERT_TRUE(ExportWhitelist(source, exported));

  // The whitelist keeps writing to its own file after an export.
  const std::string exportedBytes = ReadBytes(exported);
  AddWhitelistEntry(source, L"Programs", L"After Export");
  ASSERT_TRUE(SaveWhiteList(source));
  EXPECT_EQ(ReadBytes(exported), exportedBytes);
  EXPECT_EQ(WhiteListPath(source), scratch / L"source.ini");

  WhiteList target;
  ASSERT_TRUE(WriteBytes(scratch / L"target.ini", Utf16(L"[Programs]\r\nToolbar Pro=-1\r\nOwn Entry=0\r\n")));
  LoadWhiteList(target, scratch / L"target.ini");
  SetGeneralizeFolders(target, FoldersOf(L"bob"));
  ASSERT_TRUE(ImportWhitelist(target, exported));
  EXPECT_TRUE(IsWhitelisted(target, L"Toolbar Pro", L"Programs", false));  // takes the imported value
  EXPECT_TRUE(IsWhitelisted(target, L"C:\\users\\bob\\AppData\\Roaming\\Vendor\\v.dll", L"Infected file objects", true));

  std::vector<std::wstring> listed;
  for (const auto& entry : ListWhitelistEntries(target)) listed.push_back(entry.section + L"|" + entry.item);
  EXPECT_EQ(listed, (std::vector<std::wstring>{
                        L"Programs|Toolbar Pro",
                        L"Programs|Own Entry",
                        L"Chrome search providers|http://new.test/",
                        L"Crome search providers|http://old.test/",
                        L"Infected file objects|%AppData%\\bad.exe",
                        L"Whitelisted directories|%AppData%\\Vendor\\",
                    }));
  IniDocument onDisk(scratch / L"target.ini");
  EXPECT_EQ(onDisk.GetString(L"Infected file objects", L"%AppData%\\bad.exe", L""), L"0");

  // Deleting the folder entry lifts the folder rule at once.
  EXPECT_EQ(DeleteWhitelistEntries(target, {{L"Whitelisted directories", L"%AppData%\\Vendor\\"}}), 1);
  EXPECT_TRUE(WhitelistedFolders(target).empty());
  EXPECT_FALSE(IsWhitelisted(target, L"C:\\users\\bob\\AppData\\Roaming\\Vendor\\v.dll", L"Infected file objects", true));
}

TEST(Whitelist, FailedImportOrExportChangesNothing) {
  ScratchFolder scratch;
  const std::wstring file = scratch / L"WhiteList.ini";
  ASSERT_TRUE(WriteBytes(file, Utf16(L"[Programs]\r\nKeep Me=0\r\n")));
  ASSERT_TRUE(WriteBytes(scratch / L"empty.ini", Utf16(L"just text\r\n[Programs]\r\n; only a comment\r\n")));
  ASSERT_TRUE(WriteBytes(scratch / L"locked.ini", Utf16(L"[Programs]\r\nLocked=0\r\n")));
  UniqueFile locked(CreateFileW((scratch / L"locked.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(locked);

  WhiteList whitelist;
  LoadWhiteList(whitelist, file);
  const std::string before = ReadBytes(file);
  for (const wchar_t* name : {L"missing.ini", L"empty.ini", L"locked.ini"}) {
    std::wstring message;
    EXPECT_FALSE(ImportWhitelist(whitelist, scratch / name, &message)) << name;
    EXPECT_EQ(message, L"The specified file could not be imported. Please specify a file the application can read.");
  }
  locked.reset();
  EXPECT_EQ(ReadBytes(file), before);
  EXPECT_EQ(ListWhitelistEntries(whitelist).size(), 1u);
  EXPECT_FALSE(IsWhitelisted(whitelist, L"Locked", L"Programs", false));

  // A file where a folder should be: the export cannot be written.
  std::wstring message;
  EXPECT_FALSE(ExportWhitelist(whitelist, file + L"\\export.ini", &message));
  EXPECT_EQ(message,
            L"An error occurred while exporting the white list. Please specify a file the application can write to.");
  EXPECT_EQ(ReadBytes(file), before);
}

}  // namespace
}  // namespace tavrin
