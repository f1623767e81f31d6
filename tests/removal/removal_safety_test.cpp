// Attempts to make the removal's limits let through what they must refuse:
// every row below is a text a bad definition or a tampered details file
// could carry.
#include "removal/removal_safety.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/pattern.h"
#include "removal/app_init_list.h"
#include "removal/malware_removal.h"
#include "removal/wildcard_pattern.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

std::wstring WindowsFolder() {
  wchar_t path[MAX_PATH] = {};
  GetWindowsDirectoryW(path, MAX_PATH);
  return path;
}

TEST(WildcardPattern, MatchesWholeNamesAndTakesEveryOtherCharacterLiterally) {
  struct Case {
    const wchar_t* wildcard;
    const wchar_t* name;
    bool matches;
  };
  const Case cases[] = {
      {L"Tool*", L"Toolbar", true},
      {L"Tool*", L"MyToolbar", false},   // anchored at the start
      {L"Tool", L"Toolbar", false},      // and at the end
      {L"Tool", L"tOOL", true},          // case-insensitive
      {L"name", L"name\n", false},       // "$" would let a final line feed through
      {L"a|b", L"a", false},             // "|" is no alternation
      {L"a|b", L"b", false},
      {L"a|b", L"a|b", true},
      {L"x?z", L"xyz", true},            // "?" is exactly one character
      {L"x?z", L"xz", false},
      {L"Foo (x)", L"Foo (x)", true},
      {L"Foo (x)", L"Foo (x))", false},  // ")" is no repetition
      {L"a.b", L"axb", false},
      {L"[ab]", L"a", false},
      {L"[ab]", L"[ab]", true},
      {L"^x$", L"^x$", true},
      {L"a+", L"aa", false},
      {L"C:\\x", L"C:\\x", true},
      {L"{1}", L"{1}", true},
      {L"\u00e9t\u00e9*", L"\u00e9t\u00e9 2", true},
      {L"*", L"", true},
      {L"", L"x", false},
  };
  for (const Case& c : cases) {
    const Pattern pattern(WildcardPattern(c.wildcard));
    ASSERT_TRUE(pattern.IsValid()) << c.wildcard;
    EXPECT_EQ(pattern.Matches(c.name), c.matches) << c.wildcard << L" against " << c.name;
  }
}

TEST(RemovalSafety, LeftoverPatternsRefuseWhatCouldTakeOtherPrograms) {
  struct Case {
    const wchar_t* dbName;
    const wchar_t* path;
    const wchar_t* pattern;  // empty: refused
  };
  const Case cases[] = {
      {L"AcmeTool", L"C:\\Program Files\\Whatever", L"AcmeTool*"},
      {L"", L"C:\\Program Files\\Acme Tools", L"Acme Tools"},  // never widened
      {L"", L"C:\\Program Files\\Acme Tools\\", L"Acme Tools"},
      {L"Ab", L"C:\\Program Files\\Acme Tools", L""},          // two characters
      {L"Abc", L"C:\\Program Files\\Acme Tools", L""},
      {L"", L"C:\\Program Files\\AB", L""},
      {L"Microsoft", L"C:\\Program Files\\Acme Tools", L""},
      {L"MICROSOFT", L"C:\\Program Files\\Acme Tools", L""},
      {L"Micr", L"C:\\Program Files\\Acme Tools", L""},        // "Micr*" takes "Microsoft"
      {L"", L"C:\\Program Files\\Microsoft Office", L""},
      {L"Pack", L"C:\\Program Files\\Acme Tools", L""},        // would take "Packages"
      {L"Temp", L"C:\\Program Files\\Acme Tools", L""},
      {L"..\\..\\Windows", L"C:\\Program Files\\Acme Tools", L""},
      {L"Good..Bad", L"C:\\Program Files\\Acme Tools", L""},
      {L"Acme/Tool", L"C:\\Program Files\\Acme Tools", L""},
      {L"C:Acme", L"C:\\Program Files\\Acme Tools", L""},
      {L"Ac*e", L"C:\\Program Files\\Acme Tools", L""},
      {L"", L"C:\\Program Files\\..", L""},
      {L"", L"", L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LeftoverNamePattern(c.dbName, c.path), c.pattern) << c.dbName << L" / " << c.path;

  const wchar_t* const refusedPublishers[] = {L"(Not set)", L"Microsoft", L"Microsoft Corporation", L"Ac",
                                              L"..\\Windows", L"Acme\\..", L"Acme:x", L""};
  for (const wchar_t* publisher : refusedPublishers) EXPECT_EQ(PublisherFolderName(publisher), L"") << publisher;
  EXPECT_EQ(PublisherFolderName(L"Acme Software"), L"Acme Software");
}

TEST(RemovalSafety, CleanupFoldersAreLongCanonicalAndUnprotected) {
  test::ScratchFolder scratch;
  const std::wstring program = scratch / L"Acme Tools";
  ASSERT_TRUE(CreateFolderTree(program));
  EXPECT_EQ(CleanupFolder(program), CanonicalFilePath(program));
  EXPECT_EQ(CleanupFolder(program + L"\\"), CanonicalFilePath(program));

  const std::wstring windows = WindowsFolder();
  const std::wstring refused[] = {
      L"C:\\abcdef",                         // nine characters
      L"C:\\",
      L"relative\\folder\\name",
      windows,
      windows + L"\\System32",
      program + L"\\..\\..\\..\\..\\..\\..\\..",  // climbs to the drive root
      L"%SystemRoot%\\System32",
      L"C:\\Program Files",
  };
  for (const std::wstring& path : refused) EXPECT_EQ(CleanupFolder(path), L"") << path;
}

TEST(RemovalSafety, OnlyTextsThatNameTheFolderOrItsFilesMatch) {
  struct Case {
    const wchar_t* text;
    bool names;
  };
  const std::wstring folder = L"C:\\Apps\\Tool";
  const Case cases[] = {
      {L"C:\\Apps\\Tool\\a.exe", true},
      {L"\"C:\\Apps\\Tool\\a.exe\" /x", true},
      {L"rundll32.exe c:\\apps\\tool\\hook.dll,Run", true},
      {L"\\??\\C:\\Apps\\Tool\\driver.sys", true},
      {L"C:\\Apps\\Tool", true},
      {L"\"C:\\Apps\\Tool\"", true},
      {L"C:\\Apps\\Toolbar\\a.exe", false},  // shares only a prefix
      {L"C:\\Apps\\Tool Box\\a.exe", false},
      {L"C:\\Apps\\Tool.old\\a.exe", false},
      {L"C:\\Apps\\Tool\\..\\Other\\a.exe", false},
      {L"XC:\\Apps\\Tool\\a.exe", false},
      {L"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(NamesPathInside(c.text, folder), c.names) << c.text;
  // A folder too short to be a program's own, or none, matches nothing.
  EXPECT_FALSE(NamesPathInside(L"C:\\abcdef\\x.exe", L"C:\\abcdef"));
  EXPECT_FALSE(NamesPathInside(L"C:\\Apps\\Tool\\a.exe", L""));

  EXPECT_TRUE(LiesInFolder(L"C:\\a\\b\\c", L"C:\\a\\b", true));
  EXPECT_TRUE(LiesInFolder(L"C:\\a\\b\\c\\d", L"C:\\a\\b\\"));
  EXPECT_FALSE(LiesInFolder(L"C:\\a\\b\\c\\d", L"C:\\a\\b", true));
  EXPECT_FALSE(LiesInFolder(L"C:\\a\\bc\\d", L"C:\\a\\b"));
  EXPECT_FALSE(LiesInFolder(L"C:\\a\\b\\..\\x", L"C:\\a\\b"));
  EXPECT_FALSE(LiesInFolder(L"C:\\a\\b", L"C:\\a\\b"));
}

TEST(RemovalSafety, SharedRegistryKeysAreNeverDeletedWhole) {
  const wchar_t* const shared[] = {
      L"HKLM",
      L"HKLM\\SOFTWARE",
      L"HKLM\\SOFTWARE\\Microsoft",
      L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
      L"HKLM32\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
      L"HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows",
      L"HKLM\\SOFTWARE\\Classes",
      L"HKCR\\CLSID",
      L"HKLM\\SYSTEM\\CurrentControlSet",
      L"HKLM\\SYSTEM\\CurrentControlSet\\Services",
      L"HKU\\S-1-5-21-1-2-3-1000",
      L"HKU\\S-1-5-21-1-2-3-1000\\Software",
      L"HKU\\S-1-5-21-1-2-3-1000\\Software\\Microsoft",
      L"HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
      L"HKCU\\Environment",
      L"NOROOT\\Software\\Bad",
  };
  for (const wchar_t* key : shared) EXPECT_TRUE(IsSharedRegistryKey(key)) << key;
  const wchar_t* const owned[] = {
      L"HKLM\\SOFTWARE\\BadVendor",
      L"HKLM32\\SOFTWARE\\BadVendor\\Toolbar",
      L"HKCR\\CLSID\\{00000000-1111-2222-3333-444444444444}",
      L"HKU\\S-1-5-21-1-2-3-1000\\Software\\BadVendor",
      L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\BadService",
      L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\BadProgram",
  };
  for (const wchar_t* key : owned) EXPECT_FALSE(IsSharedRegistryKey(key)) << key;
}

TEST(RemovalSafety, SystemImagesAreUntouchableWhereTheSystemKeepsThem) {
  const std::wstring windows = WindowsFolder();
  for (const wchar_t* image : {L"lsass.exe", L"csrss.exe", L"winlogon.exe", L"services.exe", L"smss.exe",
                               L"wininit.exe", L"svchost.exe", L"LSASS.EXE"}) {
    EXPECT_TRUE(IsUntouchableFile(windows + L"\\System32\\" + image, windows)) << image;
    EXPECT_TRUE(IsUntouchableFile(windows + L"\\SysWOW64\\" + image, windows)) << image;
  }
  EXPECT_TRUE(IsUntouchableFile(windows + L"\\explorer.exe", windows));
  EXPECT_TRUE(IsUntouchableFile(windows + L"\\Temp\\..\\System32\\lsass.exe", windows));
  // The same names elsewhere are what malware hides behind.
  EXPECT_FALSE(IsUntouchableFile(L"C:\\Users\\x\\AppData\\Local\\Temp\\svchost.exe", windows));
  EXPECT_FALSE(IsUntouchableFile(windows + L"\\System32\\drivers\\lsass.exe", windows));
  EXPECT_FALSE(IsUntouchableFile(windows + L"\\System32\\notepad.exe", windows));
}

TEST(RemovalSafety, ListEditsRemoveWholeEntriesOnly) {
  struct Case {
    const wchar_t* list;
    const wchar_t* entry;
    const wchar_t* result;  // nullptr: not found
  };
  const Case appInit[] = {
      {L"a.dll, b.dll, c.dll", L"b.dll", L"a.dll, c.dll"},
      {L"a.dll, b.dll, c.dll", L"c.dll", L"a.dll, b.dll"},
      {L"a.dll, b.dll, c.dll", L"A.DLL", L"b.dll, c.dll"},
      {L"myhook.dll hook other.dll", L"hook", L"myhook.dll other.dll"},
      {L"myhook.dll", L"hook", nullptr},
      {L"x.dll\ny.dll\nx.dll", L"x.dll", L"y.dll"},
      {L"x.dll", L"x.dll", L""},
      {L"x.dll ab", L"x.dll", L""},  // fewer than three characters left
      {L"", L"x.dll", nullptr},
  };
  for (const Case& c : appInit) {
    const std::optional<std::wstring> edited = RemoveAppInitEntry(c.list, c.entry);
    ASSERT_EQ(edited.has_value(), c.result != nullptr) << c.list << L" - " << c.entry;
    if (edited) {
      EXPECT_EQ(*edited, c.result) << c.list << L" - " << c.entry;
    }
  }

  const Case values[] = {
      {L"a.dll, b.dll, c.dll", L"b.dll", L"a.dll, c.dll"},
      {L"a.dll, b.dll, c.dll", L"c.dll", L"a.dll, b.dll"},
      {L"a.dll, b.dll, c.dll", L"a.dll", L"b.dll, c.dll"},
      {L"myhook.dll, hook.dll", L"hook.dll", L"myhook.dll"},
      {L"myhook.dll, x.dll", L"hook.dll", L"myhook.dll, x.dll"},
      {L"a.dll, bad1.dll, c.dll", L"bad*", L"a.dll"},  // "*" runs to the end
      {L"a|b.dll, c.dll", L"a|b.dll", L"c.dll"},
  };
  for (const Case& c : values) {
    const std::optional<std::wstring> edited = RemoveValueEntries(c.list, c.entry, false);
    ASSERT_TRUE(edited.has_value()) << c.list;
    EXPECT_EQ(*edited, c.result) << c.list << L" - " << c.entry;
  }
  EXPECT_EQ(RemoveValueEntries(L"a.dll\nbad.dll\nc.dll", L"bad.dll", true), L"a.dll\nc.dll");
  EXPECT_EQ(RemoveValueEntries(L"a.dll\nxbad.dll\nc.dll", L"bad.dll", true), L"a.dll\nxbad.dll\nc.dll");
  EXPECT_EQ(RemoveValueEntries(L"bad.dll", L"bad.dll", true), L"");
}

}  // namespace
}  // namespace tavrin
