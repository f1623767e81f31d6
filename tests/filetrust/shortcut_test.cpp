#include "filetrust/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/com_ptr.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"

namespace tavrin {
namespace {

using test::ScratchFolder;
using test::WriteBytes;

// Made the way the shell and installers make them.
using test::MakeShortcut;

TEST(Shortcut, ReadAndClearArguments) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    ScratchFolder scratch;
    const std::wstring target = scratch / L"browser.exe";
    const std::wstring link = scratch / L"Browser.lnk";
    const std::wstring arguments = L"--profile-directory=Default \"http://start.example/?q=1\"";
    ASSERT_TRUE(WriteBytes(target, "MZ"));
    ASSERT_TRUE(MakeShortcut(link, target, arguments, scratch.Path(), target, 3));

    Shortcut read;
    ASSERT_TRUE(ReadShortcut(link, read));
    EXPECT_EQ(read.target, target);
    EXPECT_EQ(read.arguments, arguments);
    EXPECT_EQ(read.workingFolder, scratch.Path());
    EXPECT_EQ(read.iconPath, target);
    EXPECT_EQ(read.iconIndex, 3);

    ASSERT_TRUE(SetShortcutArguments(link, L""));
    Shortcut repaired;
    ASSERT_TRUE(ReadShortcut(link, repaired));
    EXPECT_EQ(repaired.arguments, L"");
    EXPECT_EQ(repaired.target, target);
    EXPECT_EQ(repaired.iconIndex, 3);

    // Not a link, and no file at all: nothing is read and nothing written.
    const std::wstring text = scratch / L"notes.lnk";
    ASSERT_TRUE(WriteBytes(text, "not a shell link"));
    Shortcut untouched;
    untouched.target = L"kept";
    EXPECT_FALSE(ReadShortcut(text, untouched));
    EXPECT_FALSE(ReadShortcut(scratch / L"missing.lnk", untouched));
    EXPECT_EQ(untouched.target, L"kept");
    EXPECT_FALSE(SetShortcutArguments(scratch / L"missing.lnk", L""));
    EXPECT_FALSE(test::FileExists(scratch / L"missing.lnk"));
  }
  CoUninitialize();
}

// Scan workers have no COM set-up of their own.
TEST(Shortcut, ReadOnThreadWithoutCom) {
  ScratchFolder scratch;
  const std::wstring target = scratch / L"tool.exe";
  const std::wstring link = scratch / L"Tool.lnk";
  ASSERT_TRUE(WriteBytes(target, "MZ"));
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const bool made = MakeShortcut(link, target, L"-x", scratch.Path(), target, 0);
  CoUninitialize();
  ASSERT_TRUE(made);

  Shortcut read;
  EXPECT_TRUE(ReadShortcut(link, read));
  EXPECT_EQ(read.target, target);
  EXPECT_EQ(read.arguments, L"-x");
}

}  // namespace
}  // namespace tavrin
