// The shortcut walk on folders of the test's own: which links count as
// starting the browser, which arguments make a row and which make it
// recommended, and how deep the walk goes.
#include "scan/browser_shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/com_ptr.h"
#include "platform/file_system.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"

namespace tavrin {
namespace {

std::string Narrow(std::wstring_view s) {
  std::string out;
  for (wchar_t c : s) out += c < 128 ? char(c) : '?';
  return out;
}

using test::MakeShortcut;

TEST(BrowserShortcuts, ArgumentsThatForceAPageOrAnExtensionAreRecommended) {
  const struct {
    const wchar_t* arguments;
    bool hijacked;
  } cases[] = {
      {L"\"http://portal.example-hijack.test/\"", true},
      {L"https://portal.example-hijack.test/", true},
      {L"www.portal.example-hijack.test", true},
      {L"--load-extension=C:\\helper", true},
      {L"--EXTENSION-id", true},
      {L"--profile-directory=\"Profile 1\"", false},
      {L"--start-page http://portal.example-hijack.test/", false},
      {L"--incognito", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.arguments));
    EXPECT_EQ(ShortcutArgumentsLookHijacked(c.arguments), c.hijacked);
  }
}

class BrowserShortcutWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(PrepareWorkFolder(results, scratch.Path(), 1));
    browser = scratch / L"Browser\\Application\\browser.exe";
    ASSERT_TRUE(CreateFolderTree(scratch / L"Browser\\Application"));
    ASSERT_TRUE(test::WriteBytes(browser, "MZ browser"));
    ASSERT_TRUE(test::WriteBytes(scratch / L"other.exe", "MZ other"));
    menu = scratch / L"Menu";
    ASSERT_TRUE(CreateFolderTree(menu));
    context.group = kGroupOtherChromiumShortcuts;
    context.browserName = L"Vendor Browser";
    context.userName = L"bob";
    context.whitelistSection = L"Other Chromium browsers shortcuts";
    context.list = TabList(results, kBrowsersTab);
  }
  void TearDown() override { CoUninitialize(); }

  std::vector<std::wstring> Found() {
    std::vector<std::wstring> names;
    for (int row = 0; row < RowCount(context.list); ++row) names.push_back(GetColumnText(context.list, row, 0));
    return names;
  }

  test::ScratchFolder scratch;
  ResultSet results;
  BrowserShortcutContext context;
  std::wstring browser, menu;
};

TEST_F(BrowserShortcutWalk, OnlyLinksToTheBrowserWithArgumentsWithinTheDepthBoundCount) {
  const std::wstring args = L"--load-extension=C:\\helper";
  ASSERT_TRUE(MakeShortcut(menu + L"\\Top.lnk", browser, args));
  ASSERT_TRUE(MakeShortcut(menu + L"\\Other.lnk", scratch / L"other.exe", args));
  ASSERT_TRUE(MakeShortcut(menu + L"\\Five.lnk", browser, L"-abcd"));
  ASSERT_TRUE(test::WriteBytes(menu + L"\\NotALink.txt", "x"));
  std::wstring folder = menu;
  for (int depth = 1; depth <= 10; ++depth) {
    folder += L"\\d" + std::to_wstring(depth);
    ASSERT_TRUE(CreateFolderTree(folder));
    ASSERT_TRUE(MakeShortcut(folder + L"\\Depth" + std::to_wstring(depth) + L".lnk", browser, args));
  }

  context.executable = browser;
  EXPECT_EQ(ScanBrowserShortcuts(context, menu), 9);
  std::vector<std::wstring> found = Found();
  std::sort(found.begin(), found.end());
  const std::vector<std::wstring> expected = {L"Depth1.lnk", L"Depth2.lnk", L"Depth3.lnk", L"Depth4.lnk",
                                              L"Depth5.lnk", L"Depth6.lnk", L"Depth7.lnk", L"Depth8.lnk", L"Top.lnk"};
  EXPECT_EQ(found, expected);
  // Every row filed the browser and is recommended (the arguments force an extension).
  const std::optional<ScanItem> first = GetRow(context.list, 0);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(GetDetail(context.list, first->key, L"CLSID"), L"Vendor Browser");
  EXPECT_TRUE(first->checked);
}

TEST_F(BrowserShortcutWalk, AnExecutableWithoutAFolderIsMatchedByTheTargetsFileName) {
  ASSERT_TRUE(MakeShortcut(menu + L"\\Browser.lnk", browser, L"--profile-directory=Default"));
  ASSERT_TRUE(MakeShortcut(menu + L"\\Other.lnk", scratch / L"other.exe", L"--profile-directory=Default"));
  for (const wchar_t* name : {L"browser.exe", L"browser", L"BROW"}) {
    SCOPED_TRACE(Narrow(name));
    ClearList(context.list);
    context.executable = name;
    EXPECT_EQ(ScanBrowserShortcuts(context, menu), 1);
    EXPECT_EQ(Found(), std::vector<std::wstring>{L"Browser.lnk"});
  }
  context.executable = L"other browser";
  EXPECT_EQ(ScanBrowserShortcuts(context, menu), 0);
}

}  // namespace
}  // namespace tavrin
