#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <memory>

#include <gtest/gtest.h>

#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/remote_buffer.h"
#include "platform/shell_folders.h"

#include "results/result_tabs.h"
#include "ui/registry_location.h"
#include "ui/row_location.h"
#include "window_driver.h"

namespace tavrin {
namespace {

TEST(RegistryEditorPath, RootTokensBecomeTheEditorsNames) {
  struct Case {
    const wchar_t* target;
    const wchar_t* editor;
  } cases[] = {
      {L"HKLM\\SOFTWARE\\Vendor", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor"},
      {L"HKLM64\\SOFTWARE\\Vendor", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor"},
      {L"HKEY_LOCAL_MACHINE64\\SYSTEM\\x", L"HKEY_LOCAL_MACHINE\\SYSTEM\\x"},
      {L"HKLM32\\SOFTWARE\\Vendor\\App", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor\\App"},
      {L"hklm32\\Software\\Vendor", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor"},
      {L"HKEY_LOCAL_MACHINE32\\SOFTWARE", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node"},
      {L"HKLM32\\SYSTEM\\Setup", L"HKEY_LOCAL_MACHINE\\SYSTEM\\Setup"},
      {L"HKLM32\\SOFTWAREX\\a", L"HKEY_LOCAL_MACHINE\\SOFTWAREX\\a"},
      {L"HKU\\S-1-5-21-1\\Software", L"HKEY_USERS\\S-1-5-21-1\\Software"},
      {L"HKCU\\Software\\Run", L"HKEY_CURRENT_USER\\Software\\Run"},
      {L"HKCR32\\CLSID\\{1}", L"HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{1}"},
      {L"HKEY_CLASSES_ROOT32\\CLSID", L"HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID"},
      {L"HKCR64\\.exe", L"HKEY_CLASSES_ROOT\\.exe"},
      {L"HKCR\\.exe", L"HKEY_CLASSES_ROOT\\.exe"},
      {L"HKCC\\System", L"HKEY_CURRENT_CONFIG\\System"},
      {L"HKEY_CURRENT_USER\\Software", L"HKEY_CURRENT_USER\\Software"},
      {L"HKCU64\\Software", L"HKEY_CURRENT_USER\\Software"},
      {L"HKLM", L"HKEY_LOCAL_MACHINE"},
  };
  for (const Case& c : cases) EXPECT_EQ(RegistryEditorPath(c.target), c.editor) << c.target;
}

TEST(RegistryEditorPath, LastKeyKeepsTheEditorsOwnRootName) {
  const std::wstring path = L"HKEY_CURRENT_USER\\Software";
  EXPECT_EQ(RegistryEditorLastKey(path, L"Computer\\HKEY_LOCAL_MACHINE\\SOFTWARE"), L"Computer\\" + path);
  EXPECT_EQ(RegistryEditorLastKey(path, L"Ordinateur\\HKEY_USERS"), L"Ordinateur\\" + path);
  EXPECT_EQ(RegistryEditorLastKey(path, L"Computer"), path);
  EXPECT_EQ(RegistryEditorLastKey(path, L"\\"), path);
  EXPECT_EQ(RegistryEditorLastKey(path, L""), path);
  EXPECT_EQ(RegistryEditorLastKey(path, L"HKEY_CURRENT_USER\\Software\\Old"), path);
}

TEST(RowLocation, TheTargetComesFromTheDetailsOrTheMalwareColumns) {
  RowPlaces run;
  run.tab = kAutostartTab;
  run.group = 11;
  run.registryKey = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  run.valueName = L"Updater";
  run.path = L"C:\\Adware\\updater.exe";

  Location registry = ChooseRowLocation(run, LocationCommand::Registry);
  EXPECT_EQ(registry.target, run.registryKey);
  EXPECT_TRUE(registry.hasValueName);
  EXPECT_EQ(registry.valueName, L"Updater");
  EXPECT_EQ(ChooseRowLocation(run, LocationCommand::File).target, run.path);
  EXPECT_EQ(ChooseRowLocation(run, LocationCommand::DoubleClick).target, run.registryKey);

  // A browser extension without a key: the double-click opens its folder
  // when it exists, else the path; the registry command has nothing.
  RowPlaces extension;
  extension.tab = kBrowsersTab;
  extension.group = 44;
  extension.path = L"C:\\Users\\u\\AppData\\Local\\Chrome\\Preferences";
  extension.extensionPath = L"C:\\Users\\u\\AppData\\Local\\Chrome\\Extensions\\abc";
  extension.extensionFolderExists = true;
  EXPECT_EQ(ChooseRowLocation(extension, LocationCommand::DoubleClick).target, extension.extensionPath);
  extension.extensionFolderExists = false;
  EXPECT_EQ(ChooseRowLocation(extension, LocationCommand::DoubleClick).target, extension.path);
  EXPECT_TRUE(ChooseRowLocation(extension, LocationCommand::Registry).target.empty());

  RowPlaces keyOnly = run;
  keyOnly.valueName.clear();
  EXPECT_FALSE(ChooseRowLocation(keyOnly, LocationCommand::Registry).hasValueName);

  RowPlaces infectedFile;
  infectedFile.tab = kMalwareTab;
  infectedFile.group = 81;
  infectedFile.column0 = L"C:\\Windows\\Temp\\evil.exe";
  EXPECT_EQ(ChooseRowLocation(infectedFile, LocationCommand::Registry).target, infectedFile.column0);

  RowPlaces infectedValue;
  infectedValue.tab = kMalwareTab;
  infectedValue.group = 82;
  infectedValue.column0 = L"HKLM\\SOFTWARE\\Run / Evil / C:\\evil.exe";
  Location value = ChooseRowLocation(infectedValue, LocationCommand::DoubleClick);
  EXPECT_EQ(value.target, L"HKLM\\SOFTWARE\\Run");
  EXPECT_TRUE(value.hasValueName);
  EXPECT_EQ(value.valueName, L"Evil");

  infectedValue.column0 = L"HKLM\\SOFTWARE\\Evil";
  value = ChooseRowLocation(infectedValue, LocationCommand::Registry);
  EXPECT_EQ(value.target, L"HKLM\\SOFTWARE\\Evil");
  EXPECT_FALSE(value.hasValueName);

  infectedValue.column0 = L"HKLM\\SOFTWARE\\Run /  / data";
  value = ChooseRowLocation(infectedValue, LocationCommand::Registry);
  EXPECT_TRUE(value.hasValueName);
  EXPECT_EQ(value.valueName, L"");  // the default value

  RowPlaces fix;
  fix.tab = kMalwareTab;
  fix.group = 83;
  fix.column0 = L"Reset TCP/IP (Winsock)";
  EXPECT_TRUE(ChooseRowLocation(fix, LocationCommand::DoubleClick).target.empty());
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

// The registry editor of the test machine opens at the key with the value
// selected.
TEST(RegistryEditor, OpensAtTheKeyWithTheValueSelected) {
  const std::wstring key = L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(WriteStringAt(key, L"Alpha", L"1"));
  ASSERT_TRUE(WriteStringAt(key, L"Probe", L"2"));
  ASSERT_TRUE(WriteStringAt(key, L"Zulu", L"3"));
  ASSERT_TRUE(OpenRegistryLocation(key, std::make_unique<std::wstring>(L"Probe").get()));

  std::wstring lastKey;
  ReadStringAt(L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", L"Lastkey", lastKey);
  EXPECT_NE(lastKey.find(L"HKEY_CURRENT_USER\\Software\\TavrinTest-"), std::wstring::npos) << lastKey.size();

  const std::wstring editor = ShellFolder(CSIDL_WINDOWS) + L"\\regedit.exe";
  const DWORD pid = FindProcessByPath(editor);
  ASSERT_NE(pid, 0u);
  HWND list = nullptr;
  if (HWND top = test::FindProcessWindow(L"RegEdit_RegEdit", pid)) {
    EnumChildWindows(
        top,
        [](HWND child, LPARAM out) {
          wchar_t name[64] = {};
          GetClassNameW(child, name, 64);
          if (lstrcmpiW(name, WC_LISTVIEWW) != 0) return TRUE;
          *reinterpret_cast<HWND*>(out) = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&list));
  }
  ASSERT_NE(list, nullptr);
  const int selected = int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
  RemoteBuffer remote(pid, sizeof(LVITEMW) + 256 * sizeof(wchar_t));
  ASSERT_TRUE(remote);
  auto* base = static_cast<unsigned char*>(remote.Address());
  LVITEMW item{};
  item.pszText = reinterpret_cast<wchar_t*>(base + sizeof(LVITEMW));
  item.cchTextMax = 256;
  ASSERT_TRUE(remote.Write(0, &item, sizeof item));
  SendMessageW(list, LVM_GETITEMTEXTW, selected, reinterpret_cast<LPARAM>(base));
  wchar_t text[256] = {};
  remote.Read(sizeof(LVITEMW), text, sizeof text);
  EXPECT_STREQ(text, L"Probe");

  KillProcessesByPath(editor);
  DeleteKeyTree(key);
}

}  // namespace
}  // namespace tavrin
