#include "ui/whitelist_manager_window.h"

#include <windows.h>
#include <commctrl.h>

#include <thread>

#include <gtest/gtest.h>

#include "results/whitelist_manager.h"
#include "support/scratch.h"
#include "ui/ui_ids.h"
#include "window_driver.h"

namespace tavrin {
namespace {

using test::WaitForShownWindow;
using test::WaitUntil;

std::wstring ItemText(HWND list, int index, int column) {
  wchar_t buffer[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 512;
  SendMessageW(list, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

void CheckItem(HWND list, int index) {
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(2);
  SendMessageW(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

TEST(WhitelistManagerWindow, ListsEveryEntryAndDeletesTheCheckedOnes) {
  test::ScratchFolder scratch;
  WhiteList whitelist;
  LoadWhiteList(whitelist, scratch / L"WhiteList.ini");
  ASSERT_TRUE(WhitelistFolder(whitelist, L"C:\\Safe"));
  ASSERT_TRUE(AddWhitelistEntry(whitelist, L"Infected file objects", L"%AppData%\\tool\\tool.exe"));
  ASSERT_TRUE(AddWhitelistEntry(whitelist, L"Crome startup pages", L"http://old.example/"));
  ASSERT_TRUE(AddWhitelistEntry(whitelist, L"Programs", L"Handy Toolbar"));

  std::wstring title, deleteQuestion;
  std::vector<std::pair<std::wstring, std::wstring>> rows;
  int rowsAfter = -1;
  bool allChecked = false;
  std::thread driver([&] {
    HWND window = WaitForShownWindow(kWhitelistManagerClass, GetCurrentProcessId());
    if (!window) return;
    title = test::WindowText(window);
    HWND list = GetDlgItem(window, kIdManagerList);
    const int count = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) rows.emplace_back(ItemText(list, i, 0), ItemText(list, i, 1));

    SendDlgItemMessageW(window, kIdManagerCheckAll, BM_CLICK, 0, 0);
    allChecked = true;
    for (int i = 0; i < count; ++i)
      allChecked = allChecked && (SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK) >> 12) == 2;
    SendDlgItemMessageW(window, kIdManagerCheckAll, BM_CLICK, 0, 0);

    // The Programs entry and the folder.
    CheckItem(list, 0);
    CheckItem(list, count - 1);
    PostMessageW(window, WM_COMMAND, kIdManagerDelete, 0);
    HWND box = WaitForShownWindow(kMessageBoxClass, GetCurrentProcessId());
    if (box) {
      deleteQuestion = test::MessageBoxText(box);
      test::AnswerMessageBox(box, IDYES);
      WaitUntil([&] { return !IsWindow(box); });
    }
    rowsAfter = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  RunWhitelistManager(nullptr, whitelist);
  driver.join();

  EXPECT_EQ(title, L"  Tavrin Whitelist Manager");
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"Programs", L"Handy Toolbar"},
      {L"Crome startup pages", L"http://old.example/"},
      {L"Infected file objects", L"%AppData%\\tool\\tool.exe"},
      {L"Whitelisted directories", L"C:\\Safe\\"},
  };
  EXPECT_EQ(rows, expected);
  EXPECT_TRUE(allChecked);
  EXPECT_EQ(deleteQuestion, L"Are you sure you want to remove the selected items from your white list?");
  EXPECT_EQ(rowsAfter, 2);
  EXPECT_FALSE(IsWhitelisted(whitelist, L"Handy Toolbar", L"Programs", false));
  EXPECT_TRUE(WhitelistedFolders(whitelist).empty());
  EXPECT_FALSE(IsWhitelisted(whitelist, L"C:\\Safe\\evil.exe", L"Infected file objects", true));
  EXPECT_EQ(ListWhitelistEntries(whitelist).size(), 2u);
}

}  // namespace
}  // namespace tavrin
