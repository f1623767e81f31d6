#include "results/details_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/ini_document.h"
#include "platform/text_file.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::ScratchFolder;

TEST(DetailsFiles, SecondRowFindsItsDetailsAfterTheFirstIsDeleted) {
  ScratchFolder scratch;
  ResultSet results;
  ASSERT_TRUE(StartNewResults(results, scratch.Path(), 133500000000000000ull));
  const std::wstring work = scratch.Path() + L"\\Temp133500000000000000";
  EXPECT_EQ(WorkFolder(results), work);
  DWORD attributes = GetFileAttributesW(work.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);

  ResultList list = TabList(results, kAutostartTab);
  ASSERT_TRUE(LoadDetails(results, kAutostartTab));
  int first = AddRow(list, 11, L"Updater", L"alice", L"C:\\a.exe", true);
  int second = AddRow(list, 11, L"Helper", L"alice", L"C:\\b.exe", true);
  ScanItemDetails details;
  details.group = 11;
  details.registryKey = L"HKU\\S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  details.path = L"C:\\a.exe";
  details.userName = L"alice";
  details.valueName = L"Updater";
  EXPECT_EQ(StoreDetails(list, GetRowKey(list, first), details), 5);
  details.path = L"C:\\b.exe";
  details.valueName = L"Helper";
  EXPECT_EQ(StoreDetails(list, GetRowKey(list, second), details), 5);

  ASSERT_TRUE(DeleteRow(list, first));
  ASSERT_EQ(RowCount(list), 1);
  EXPECT_EQ(GetRowKey(list, 0), 1);
  EXPECT_EQ(GetDetail(list, GetRowKey(list, 0), L"Value name"), L"Helper");
  EXPECT_EQ(GetDetail(list, GetRowKey(list, 0), L"value NAME"), L"Helper");
  EXPECT_EQ(GetDetail(list, GetRowKey(list, 0), L"URL"), L"");  // never written

  // On disk: only the fields given, under the row keys, found by the name
  // the removal uses.
  ASSERT_TRUE(SaveDetails(results));
  EXPECT_EQ(DetailsTabOfName(L"Autostart"), kAutostartTab);
  std::wstring text;
  ASSERT_TRUE(ReadTextFile(work + L"\\Autostart", text));
  EXPECT_EQ(text,
            L"[0]\r\nGroup ID=11\r\nRegistry Key=HKU\\S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\r\n"
            L"Path=C:\\a.exe\r\nUser name=alice\r\nValue name=Updater\r\n"
            L"[1]\r\nGroup ID=11\r\nRegistry Key=HKU\\S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\r\n"
            L"Path=C:\\b.exe\r\nUser name=alice\r\nValue name=Helper\r\n");
  EXPECT_EQ(DetailsFileName(kMalwareTab), L"Malware");
}

TEST(DetailsFiles, ManyRowsStayFindableThroughEditsAndReloads) {
  ScratchFolder scratch;
  ResultSet results;
  ASSERT_TRUE(StartNewResults(results, scratch.Path(), 7));
  ResultList list = TabList(results, kProgramsTab);
  constexpr int kRows = 300;
  for (int i = 0; i < kRows; ++i) {
    int row = AddRow(list, kNoGroup, L"Program " + std::to_wstring(i), L"Acme", L"alice", true);
    ScanItemDetails details;
    details.path = L"C:\\Program Files\\P" + std::to_wstring(i);
    details.dbName = L"Db" + std::to_wstring(i);
    details.extra = {{L"MSI Product", i % 3 == 0 ? L"{" + std::to_wstring(i) + L"}" : L""}};
    EXPECT_EQ(StoreDetails(list, GetRowKey(list, row), details), i % 3 == 0 ? 3 : 2);
    // A section of the tab's own grows in the middle of the file while rows
    // are still being added after it.
    if (i % 50 == 10) {
      ASSERT_TRUE(WriteDetail(list, L"_TVN_PRODUCTS_FOUND_", L"Db" + std::to_wstring(i), L"1"));
      EXPECT_EQ(GetDetail(list, i - 1, L"DBName"), L"Db" + std::to_wstring(i - 1));
    }
  }
  // Filing a row a second time changes its fields in place.
  ScanItemDetails again;
  again.path = L"C:\\moved";
  again.userName = L"(All users)";
  EXPECT_EQ(StoreDetails(list, 5, again), 2);

  auto check = [&] {
    for (int key : {0, 3, 5, 149, kRows - 1}) {
      EXPECT_EQ(GetDetail(list, key, L"DBName"), L"Db" + std::to_wstring(key));
      EXPECT_EQ(GetDetail(list, key, L"MSI Product"), key % 3 == 0 ? L"{" + std::to_wstring(key) + L"}" : L"");
    }
    EXPECT_EQ(GetDetail(list, 5, L"Path"), L"C:\\moved");
    EXPECT_EQ(GetDetail(list, 5, L"User name"), L"(All users)");
    EXPECT_EQ(GetDetail(list, 6, L"Path"), L"C:\\Program Files\\P6");
    EXPECT_EQ(ReadDetail(list, L"_TVN_PRODUCTS_FOUND_", L"Db260"), L"1");
    EXPECT_EQ(GetDetail(list, kRows, L"Path"), L"");
  };
  check();
  // The removal opens the file again from the work folder.
  ASSERT_TRUE(LoadDetails(results, kProgramsTab));
  check();
  IniDocument onDisk(WorkFolder(results) + L"\\Programs");
  EXPECT_EQ(onDisk.GetString(L"149", L"DBName", L""), L"Db149");
}

TEST(DetailsFiles, DiscardRemovesTheFolderAndTheDetailsStayGone) {
  ScratchFolder scratch;
  ResultSet results;
  ASSERT_TRUE(StartNewResults(results, scratch.Path(), 1));
  const std::wstring work = WorkFolder(results);
  ResultList list = TabList(results, kBrowsersTab);
  int row = AddRow(list, 42, L"Start page", L"alice", L"http://example.test/", true);
  ScanItemDetails details;
  details.url = L"http://example.test/";
  ASSERT_EQ(StoreDetails(list, GetRowKey(list, row), details), 1);
  ASSERT_TRUE(SaveDetails(results));
  ASSERT_TRUE(FileExists(work + L"\\Internet Browsers"));

  EXPECT_TRUE(DiscardResults(results));
  EXPECT_FALSE(FileExists(work));
  EXPECT_EQ(GetDetail(list, 0, L"URL"), L"");
  EXPECT_FALSE(LoadDetails(results, kBrowsersTab));
  // Rows stay until their lists are cleared; a new scan starts keys at 0.
  EXPECT_EQ(RowCount(list), 1);
  ASSERT_TRUE(StartNewResults(results, scratch.Path(), 2));
  EXPECT_EQ(RowCount(list), 0);
  EXPECT_EQ(GetRowKey(list, AddRow(list, 42, L"again", L"", L"", true)), 0);
  // The old folder did not come back through an auto-save.
  EXPECT_FALSE(FileExists(work));
}

}  // namespace
}  // namespace tavrin
