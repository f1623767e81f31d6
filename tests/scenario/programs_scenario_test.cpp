// A machine with adware installed the many ways installers do it: per user
// and per machine in both registry views, through Windows Installer, hidden
// as a system component or an update, and left behind as bare folders;
// beside them uninstall entries that are broken or hostile.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/users.h"
#include "scan/program_folder.h"
#include "scenario/scenario_machine.h"
#include "support/child_process.h"

namespace tavrin::scenario {
namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

constexpr wchar_t kSuiteProduct[] = L"{3A5C7E91-B2D4-4F68-8A0C-1E3F5A7C9B2D}";
constexpr wchar_t kMachine64[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kMachine32[] = L"HKLM32\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

struct Value {
  const wchar_t* name;
  std::wstring text;
};
void Entry(const std::wstring& key, std::initializer_list<Value> values) {
  ASSERT_TRUE(CreateKey(key));
  for (const Value& value : values) ASSERT_TRUE(WriteStringAt(key, value.name, value.text)) << Narrow(key);
}
void Raw(const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD length) {
  RegKey handle;
  ASSERT_TRUE(CreateKey(handle, key, name, type, data, length)) << Narrow(key);
}
void MakeFolder(const std::wstring& path) { ASSERT_TRUE(CreateFolderTree(path)) << Narrow(path); }

DWORD SubkeyIndex(const std::wstring& parent, const std::wstring& name) {
  RegKey key = OpenKey(parent, kRegRead);
  std::wstring found;
  for (DWORD index = 0; EnumSubKey(key, index, found); ++index)
    if (_wcsicmp(found.c_str(), name.c_str()) == 0) return index;
  return ~0u;
}

std::wstring Program(const std::wstring& name, const std::wstring& key, const std::wstring& folder,
                     const std::wstring& user, bool checked) {
  return L"\r\n\tDetected program: " + name + L"\r\n\t\tUninstall key: " + key + L"\r\n\t\tFolder path: " + folder +
         L"\r\n\t\tUser name : " + user + L"\r\n\t\tItem state: " + (checked ? L"Checked" : L"Unchecked") + L"\r\n";
}
std::wstring FileObject(const std::wstring& path, const std::wstring& user, bool checked) {
  return L"\r\n\tDetected file object: " + path.substr(path.rfind(L'\\') + 1) + L"\r\n\t\tPath: " + path +
         L"\r\n\t\tUser name : " + user + L"\r\n\t\tItem state: " + (checked ? L"Checked" : L"Unchecked") + L"\r\n";
}

TEST(ProgramsScenario, AQuietScanListsTheInstalledAdwareAndItsLeftoverFolders) {
  ConsoleUser console;
  ASSERT_TRUE(FindInteractiveUser(console));
  ASSERT_FALSE(console.sid.empty());
  const std::wstring user = console.accountName;
  const std::wstring perUser = L"HKU\\" + console.sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const std::wstring appData = Folder(CSIDL_APPDATA);
  const std::wstring programFiles = Folder(CSIDL_PROGRAM_FILES);
  const std::wstring programFiles32 = Folder(CSIDL_PROGRAM_FILESX86);
  const std::wstring programData = Folder(CSIDL_COMMON_APPDATA);
  ASSERT_FALSE(appData.empty());

  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4243\n[Adware]\n"
                             L"Alpha Shopper\nGamma Coupons\nDelta Deals\nHidden Helper\nPatch Pal\n"
                             L"Tavrin Scenario Suite\nEpsilon Files\nKappa Cleaner\nZeta Prices | unchecked\n"),
            L"");

  // Windows Installer's own product, in the 32-bit view.
  test::ChildProcess msiexec;
  ASSERT_TRUE(msiexec.Start(L"msiexec.exe /i \"" + test::TestBuildPath(L"scenario_suite.msi") + L"\" /qn"));
  ASSERT_EQ(msiexec.Wait(180000), 0u);
  const std::wstring suiteKey = kMachine32 + std::wstring(kSuiteProduct);
  DWORD marker = 0;
  ASSERT_TRUE(ReadDwordAt(suiteKey, L"WindowsInstaller", marker));
  // The per-machine product keys go by the packed code, as Windows
  // Installer itself wrote them.
  EXPECT_TRUE(KeyExists(L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\" +
                        PackedProductCode(kSuiteProduct)));

  // The user's programs: three words matched by the first two, an add-on
  // name the definitions do not know, a definition whose folders are all
  // ones the user cannot do without.
  MakeFolder(appData + L"\\Alpha Shopper");
  Entry(perUser + L"AlphaPro", {{L"DisplayName", L"Alpha Shopper Pro"},
                                {L"Publisher", L"Alpha Ltd"},
                                {L"InstallLocation", appData + L"\\Alpha Shopper"},
                                {L"UninstallString", L"\"" + appData + L"\\Alpha Shopper\\uninstall.exe\" /S"}});
  Entry(perUser + L"OmegaBar", {{L"DisplayName", L"Omega Toolbar"}, {L"UninstallString", L"C:\\nowhere\\omega.exe /u"}});
  Entry(perUser + L"KappaPlus", {{L"DisplayName", L"Kappa Cleaner Plus"},
                                 {L"InstallLocation", appData},
                                 {L"UninstallString", appData + L"\\kappa-uninstall.exe"}});

  // The machine's, in both views.
  MakeFolder(programFiles + L"\\Gamma Coupons Suite");
  Entry(kMachine64 + std::wstring(L"GammaCoupons"),
        {{L"DisplayName", L"Gamma Coupons"},
         {L"Publisher", L"Gamma Savings"},
         {L"UninstallString", L"\"" + programFiles + L"\\Gamma Coupons Suite\\unins000.exe\""}});
  MakeFolder(programFiles32 + L"\\Delta Deals");
  Entry(kMachine32 + std::wstring(L"DeltaDeals"), {{L"DisplayName", L"Delta Deals"},
                                                   {L"InstallLocation", L"\"%ProgramFiles(x86)%\\Delta Deals\""},
                                                   {L"UninstallString", L"C:\\nowhere\\delta.exe"}});
  // Never listed: a system component and updates, though the definitions
  // name them.
  Entry(kMachine64 + std::wstring(L"HiddenHelper"), {{L"DisplayName", L"Hidden Helper"}, {L"UninstallString", L"x.exe"}});
  const DWORD one = 1;
  Raw(kMachine64 + std::wstring(L"HiddenHelper"), L"SystemComponent", REG_DWORD, &one, 4);
  Entry(kMachine64 + std::wstring(L"PatchPal"),
        {{L"DisplayName", L"Patch Pal"}, {L"ReleaseType", L"Update"}, {L"UninstallString", L"y.exe"}});
  Entry(kMachine64 + std::wstring(L"PatchPalFix"),
        {{L"DisplayName", L"Patch Pal"}, {L"ReleaseType", L"security UPDATE"}, {L"UninstallString", L"y.exe"}});
  Entry(kMachine64 + std::wstring(L"PatchPalChild"),
        {{L"DisplayName", L"Patch Pal"}, {L"ParentKeyName", L"PatchPal"}, {L"UninstallString", L"y.exe"}});

  // Broken and hostile entries.
  Raw(kMachine64 + std::wstring(L"BadTypes"), L"DisplayName", REG_BINARY, L"Gamma Coupons", 28);
  Raw(kMachine64 + std::wstring(L"BadTypes"), L"UninstallString", REG_DWORD, &one, 4);
  Entry(kMachine64 + std::wstring(L"BadTypes2"), {{L"DisplayName", L"Kappa Cleaner"},
                                                  {L"SystemComponent", L"1"},  // not a DWORD: no component
                                                  {L"InstallLocation", programFiles + L"\\..\\windows"},
                                                  {L"UninstallString", programFiles + L"\\uninstall.exe"}});
  Raw(kMachine64 + std::wstring(L"BadTypes2"), L"Publisher", REG_DWORD, &one, 4);
  Entry(kMachine64 + std::wstring(L"Overlong"),
        {{L"DisplayName", L"Gamma Coupons " + std::wstring(100000, L'x')}, {L"UninstallString", L"z.exe"}});
  Entry(kMachine64 + std::wstring(L"Separators"),
        {{L"DisplayName", L"Delta Deals\\..\\..\\Windows"}, {L"InstallLocation", L"C:\\windows"}});
  Entry(kMachine64 + std::wstring(L"Slashes"),
        {{L"DisplayName", L"Epsilon Files/../../../windows Toolbar"}, {L"UninstallString", L"C:\\windows\\a.exe"}});
  // Names no folder may be built from are listed all the same.
  Entry(kMachine64 + std::wstring(L"Dots"), {{L"DisplayName", L"Kappa Cleaner .. Toolbar"}, {L"UninstallString", L"a.exe"}});
  Entry(kMachine64 + std::wstring(L"Forged\r\n\tDetected program: Fake"),
        {{L"DisplayName", L"Gamma Coupons"}, {L"UninstallString", L"a.exe"}});
  ASSERT_TRUE(CreateKey(kMachine64 + std::wstring(L"Empty")));

  // Leftover folders: a file object under program files and in the user's
  // application data, one that is listed unchecked, and the folder of a
  // program listed above that must not come again.
  MakeFolder(programFiles + L"\\Epsilon Files");
  MakeFolder(appData + L"\\Epsilon Files 2");
  MakeFolder(programData + L"\\Zeta Prices Cache");

  // The scan lists the entries in the order they have now; the removal that
  // follows the scan takes the checked ones away.
  const DWORD deltaIndex = SubkeyIndex(kMachine32, L"DeltaDeals");
  const DWORD suiteIndex = SubkeyIndex(kMachine32, kSuiteProduct);
  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  const std::wstring report = LatestScanReport();
  const std::wstring section = ReportSection(report, L"->Programs scan:");
  const std::wstring suiteFolder = programFiles32 + L"\\Tavrin Scenario Suite";
  // Entries come in the registry's index order, which is the platform's to
  // choose (Windows Installer wrote one of these two).
  const std::wstring delta = Program(L"Delta Deals", kMachine32 + std::wstring(L"DeltaDeals"),
                                     programFiles32 + L"\\Delta Deals", L"(All users)", true);
  const std::wstring suite = Program(L"Tavrin Scenario Suite", suiteKey, suiteFolder, L"(All users)", true);
  ASSERT_NE(deltaIndex, suiteIndex);
  const std::wstring machine32 = deltaIndex < suiteIndex ? delta + suite : suite + delta;
  const std::wstring expected =
      L"->Programs scan:\r\n" +
      Program(L"Alpha Shopper Pro", perUser + L"AlphaPro", appData + L"\\Alpha Shopper", user, true) +
      Program(L"Kappa Cleaner Plus", perUser + L"KappaPlus", L"", user, true) +
      Program(L"Omega Toolbar", perUser + L"OmegaBar", L"", user, false) +
      Program(L"Kappa Cleaner", kMachine64 + std::wstring(L"BadTypes2"), L"", L"(All users)", true) +
      Program(L"Kappa Cleaner .. Toolbar", kMachine64 + std::wstring(L"Dots"), L"", L"(All users)", true) +
      Program(L"Gamma Coupons", kMachine64 + std::wstring(L"GammaCoupons"), programFiles + L"\\Gamma Coupons Suite",
              L"(All users)", true) +
      Program(L"Epsilon Files/../../../windows Toolbar", kMachine64 + std::wstring(L"Slashes"), L"", L"(All users)",
              false) +
      machine32 +
      FileObject(programFiles + L"\\Epsilon Files", L"(All users)", true) +
      FileObject(appData + L"\\Epsilon Files 2", user, true) +
      FileObject(programData + L"\\Zeta Prices Cache", L"(All users)", false) + L"\r\n";
  EXPECT_EQ(section, expected) << Narrow(section);

  // The removal that followed: the checked programs went, with their
  // folders, their Windows Installer product and their uninstall entries;
  // the unchecked ones and every folder that a hostile entry named stayed.
  const std::wstring removal = LatestRemovalReport();
  for (const wchar_t* name : {L"Alpha Shopper Pro", L"Gamma Coupons", L"Delta Deals", L"Tavrin Scenario Suite"})
    EXPECT_NE(removal.find(L"\t" + std::wstring(name) + L": Successfully removed.\r\n"), std::wstring::npos)
        << Narrow(name) << "\n" << Narrow(removal);
  EXPECT_EQ(removal.find(L"Omega Toolbar"), std::wstring::npos) << Narrow(removal);
  EXPECT_FALSE(FolderExists(appData + L"\\Alpha Shopper"));
  EXPECT_FALSE(FolderExists(programFiles + L"\\Gamma Coupons Suite"));
  EXPECT_FALSE(FolderExists(programFiles32 + L"\\Delta Deals"));
  EXPECT_FALSE(FolderExists(suiteFolder));
  EXPECT_FALSE(FolderExists(programFiles + L"\\Epsilon Files"));
  EXPECT_FALSE(KeyExists(kMachine64 + std::wstring(L"GammaCoupons")));
  EXPECT_FALSE(KeyExists(kMachine32 + std::wstring(L"DeltaDeals")));
  EXPECT_FALSE(KeyExists(suiteKey));
  EXPECT_FALSE(KeyExists(L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\" +
                         PackedProductCode(kSuiteProduct)));
  EXPECT_TRUE(KeyExists(perUser + L"OmegaBar"));
  EXPECT_FALSE(KeyExists(kMachine64 + std::wstring(L"Dots")));
  EXPECT_TRUE(KeyExists(kMachine64 + std::wstring(L"Slashes")));
  EXPECT_TRUE(FolderExists(programData + L"\\Zeta Prices Cache"));
  EXPECT_TRUE(FolderExists(appData));
  EXPECT_TRUE(FolderExists(programFiles));
  EXPECT_TRUE(FolderExists(Folder(CSIDL_WINDOWS) + L"\\system32"));
}

}  // namespace
}  // namespace tavrin::scenario
