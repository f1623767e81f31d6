// A machine where flagged programs' uninstall entries name folders that are
// not theirs: Windows' own folders, another program's folder or its parent,
// written with "..", forward slashes, trailing dots and blanks, short names,
// "\\?\" and environment references, or only in a "/log=" argument. Beside
// them genuine adware installed the usual ways, two of them through Windows
// Installer (one that asks for a restart, one that is gone already). One
// run of the real program may change nothing but the genuine findings.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "platform/users.h"
#include "scenario/machine_manifest.h"
#include "scenario/scenario_machine.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin::scenario {
namespace {

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

constexpr wchar_t kUninstallPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kRunPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kServices[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\";
constexpr wchar_t kRebootProduct[] = L"{7C1E5A93-4B2D-4E6F-9A8C-2D4F6B8A0C1E}";
constexpr wchar_t kGoneProduct[] = L"{2B4D6F81-A3C5-4E79-8B1D-3F5A7C9E0B2D}";

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring ShortName(const std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

void File(const std::wstring& path) {
  ASSERT_TRUE(CreateFolderTree(path.substr(0, path.rfind(L'\\')))) << Narrow(path);
  ASSERT_TRUE(test::WriteBytes(path, "MZ " + Narrow(path))) << Narrow(path);
}

struct Value {
  const wchar_t* name;
  std::wstring text;
};
void Key(const std::wstring& key, std::initializer_list<Value> values) {
  ASSERT_TRUE(CreateKey(key)) << Narrow(key);
  for (const Value& value : values) ASSERT_TRUE(WriteStringAt(key, value.name, value.text)) << Narrow(key);
}

TEST(HostilePrograms, OnlyTheGenuineFindingsChange) {
  ConsoleUser console;
  ASSERT_TRUE(FindInteractiveUser(console));
  const std::wstring user = L"HKU\\" + console.sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\";
  const std::wstring machine64 = L"HKLM64\\" + std::wstring(kUninstallPath);
  const std::wstring machine32 = L"HKLM32\\" + std::wstring(kUninstallPath);
  const std::wstring run64 = L"HKLM64\\" + std::wstring(kRunPath);
  // The same keys as the manifest names them.
  const std::wstring listed64 = L"HKLM\\" + std::wstring(kUninstallPath);
  const std::wstring listed32 = L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const std::wstring listedUser = L"HKU\\" + console.sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\";
  const std::wstring appData = Folder(CSIDL_APPDATA);
  const std::wstring programFiles = Folder(CSIDL_PROGRAM_FILES);
  const std::wstring programFiles32 = Folder(CSIDL_PROGRAM_FILESX86);
  const std::wstring windows = Folder(CSIDL_WINDOWS);
  ASSERT_FALSE(appData.empty());

  std::wstring adware;
  ASSERT_TRUE(ReadTextFile(ProjectFile("data/definitions/adware.txt"), adware));
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4270\n" + adware), L"");

  // Genuine adware through Windows Installer: one whose removal asks for a
  // restart, and an entry of a product that is not installed any more.
  test::ChildProcess msiexec;
  ASSERT_TRUE(msiexec.Start(L"msiexec.exe /i \"" + test::TestBuildPath(L"scenario_reboot.msi") + L"\" /qn"));
  ASSERT_EQ(msiexec.Wait(180000), 0u);
  const std::wstring genieo = programFiles + L"\\Genieo Companion";
  ASSERT_TRUE(FolderExists(genieo));
  const std::wstring segurazo = programFiles + L"\\Segurazo";
  File(segurazo + L"\\seg.exe");
  Key(machine64 + kGoneProduct, {{L"DisplayName", L"Segurazo"},
                                 {L"InstallLocation", segurazo},
                                 {L"UninstallString", L"MsiExec.exe /X" + std::wstring(kGoneProduct)}});
  ASSERT_TRUE(WriteDwordAt(machine64 + kGoneProduct, L"WindowsInstaller", 1));

  // Genuine adware with a service and Run values of its own, per machine
  // and per user, found by its location, its uninstaller's folder or a
  // guess.
  const std::wstring wajam = programFiles + L"\\Wajam";
  File(wajam + L"\\wajam.exe");
  File(wajam + L"\\uninstall.exe");
  Key(machine64 + L"Wajam", {{L"DisplayName", L"Wajam"},
                             {L"InstallLocation", wajam},
                             {L"UninstallString", L"\"" + wajam + L"\\uninstall.exe\" /S"}});
  Key(kServices + std::wstring(L"WajamUpdate"), {{L"ImagePath", L"\"" + wajam + L"\\wajam.exe\" /service"}});
  ASSERT_TRUE(WriteDwordAt(kServices + std::wstring(L"WajamUpdate"), L"Type", 16));
  ASSERT_TRUE(WriteDwordAt(kServices + std::wstring(L"WajamUpdate"), L"Start", 4));
  ASSERT_TRUE(WriteStringAt(run64, L"Wajam", L"\"" + wajam + L"\\wajam.exe\" /tray"));
  const std::wstring browseFox = appData + L"\\BrowseFox";
  File(browseFox + L"\\browsefox.exe");
  Key(user + L"Uninstall\\BrowseFox", {{L"DisplayName", L"BrowseFox"},
                                       {L"InstallLocation", browseFox},
                                       {L"UninstallString", browseFox + L"\\uninstall.exe"}});
  ASSERT_TRUE(WriteStringAt(user + L"Run", L"BrowseFox", browseFox + L"\\browsefox.exe"));
  const std::wstring victim = programFiles + L"\\Victim Notes";
  const std::wstring regClean = programFiles32 + L"\\RegClean Pro";
  File(regClean + L"\\unins000.exe");
  Key(machine32 + L"RegClean Pro_is1",
      {{L"DisplayName", L"RegClean Pro"},
       {L"UninstallString", L"\"" + regClean + L"\\unins000.exe\" /SILENT /log=\"" + victim + L"\\setup.log\""}});
  // Its neighbour only shares the beginning of its name.
  const std::wstring qvo6 = L"C:\\Apps\\Qvo6";
  const std::wstring viewer = L"C:\\Apps\\Qvo6Viewer";
  File(qvo6 + L"\\qvo6.exe");
  Key(machine64 + L"Qvo6", {{L"DisplayName", L"Qvo6"}, {L"InstallLocation", qvo6}});

  // Programs that are no findings, with their uninstall entries, a
  // service, Run values and a shell verb that run from their folders.
  for (const wchar_t* file : {L"\\notes.exe", L"\\notes-svc.exe", L"\\bin\\helper.dll", L"\\setup.log"})
    File(victim + file);
  Key(machine64 + L"VictimNotes", {{L"DisplayName", L"Victim Notes"}, {L"InstallLocation", victim}});
  Key(kServices + std::wstring(L"VictimNotesSvc"), {{L"ImagePath", L"\"" + victim + L"\\notes-svc.exe\""}});
  ASSERT_TRUE(WriteDwordAt(kServices + std::wstring(L"VictimNotesSvc"), L"Type", 16));
  ASSERT_TRUE(WriteDwordAt(kServices + std::wstring(L"VictimNotesSvc"), L"Start", 4));
  ASSERT_TRUE(WriteStringAt(run64, L"VictimNotes", L"\"" + victim + L"\\notes.exe\" /background"));
  Key(L"HKCR64\\VictimNotes.Document\\Shell\\open\\Command", {{nullptr, L"\"" + victim + L"\\notes.exe\" \"%1\""}});
  const std::wstring helper = L"C:\\Apps\\Helper Suite";
  File(helper + L"\\helper.exe");
  Key(machine64 + L"HelperSuite", {{L"DisplayName", L"Helper Suite"}, {L"InstallLocation", helper}});
  ASSERT_TRUE(WriteStringAt(run64, L"HelperSuite", helper + L"\\helper.exe"));
  File(viewer + L"\\viewer.exe");
  Key(machine64 + L"PhotoViewer6", {{L"DisplayName", L"Photo Viewer 6"}, {L"InstallLocation", viewer}});
  ASSERT_TRUE(WriteStringAt(run64, L"PhotoViewer6", viewer + L"\\viewer.exe"));
  File(appData + L"\\Microsoft\\Crypto\\RSA\\key.dat");

  // Flagged programs whose entries name folders that are not theirs.
  const std::wstring shortVictim = ShortName(victim);
  ASSERT_FALSE(shortVictim.empty());
  struct Hostile {
    const wchar_t* name;
    std::wstring installLocation;
    std::wstring uninstallString;
  };
  const Hostile hostiles[] = {
      {L"Superfish Window Shopper", L"%SystemRoot%\\System32\\..", L"%SystemRoot%\\notepad.exe /uninstall"},
      {L"Search Protect", programFiles + L"/Common Files/System/", L""},
      {L"Optimizer Pro", programFiles + L"\\Windows NT\\Accessories. ", L""},
      {L"Vosteran", L"\\\\?\\" + programFiles + L"\\Internet Explorer", L""},
      {L"Funmoods", programFiles + L"\\Windows Media Player", L""},
      {L"Trovi Search", appData + L"\\Microsoft\\Windows\\..\\Crypto", L""},
      {L"Yontoo", shortVictim, L""},
      {L"Hotbar", L"%ProgramFiles%\\Victim Notes\\bin", L""},
      {L"DealPly", L"", L"C:\\nowhere\\dealply.exe /log=" + victim + L"\\dealply.log"},
      {L"Crossrider", L"C:\\Apps", L""},
      {L"Nation Zoom", L"C:/Apps/Helper Suite/../Helper Suite/", L""},
  };
  for (const Hostile& hostile : hostiles) {
    Key(machine64 + hostile.name, {{L"DisplayName", hostile.name}});
    if (!hostile.installLocation.empty())
      ASSERT_TRUE(WriteStringAt(machine64 + hostile.name, L"InstallLocation", hostile.installLocation));
    if (!hostile.uninstallString.empty())
      ASSERT_TRUE(WriteStringAt(machine64 + hostile.name, L"UninstallString", hostile.uninstallString));
  }

  const Manifest before = TakeManifest();
  RunTavrin(L"/ScanRemove /Quiet /NoRP /Aggressive", 300000);
  const Manifest after = TakeManifest();

  // Every genuine finding went: programs, folders, entries, their service
  // and Run values; the flagged programs lost only their entries.
  const std::wstring removal = LatestRemovalReport();
  for (const wchar_t* name : {L"Wajam", L"BrowseFox", L"RegClean Pro", L"Qvo6", L"Segurazo"})
    EXPECT_NE(removal.find(L"\t" + std::wstring(name) + L": Successfully removed.\r\n"), std::wstring::npos)
        << Narrow(name) << "\n" << Narrow(removal);
  EXPECT_NE(removal.find(L"\tGenieo Companion: Some files were scheduled for removal on reboot.\r\n"),
            std::wstring::npos)
      << Narrow(removal);
  EXPECT_NE(LatestReport(L"TVNrem*.json").find(L"\"restartNeeded\": true"), std::wstring::npos);
  for (const std::wstring& folder : {genieo, segurazo, wajam, browseFox, regClean, qvo6})
    EXPECT_FALSE(FolderExists(folder)) << Narrow(folder);
  EXPECT_FALSE(KeyExists(kServices + std::wstring(L"WajamUpdate")));
  EXPECT_FALSE(KeyExists(run64, L"Wajam"));
  EXPECT_FALSE(KeyExists(user + L"Run", L"BrowseFox"));
  EXPECT_FALSE(KeyExists(machine64 + kGoneProduct));
  EXPECT_FALSE(KeyExists(machine64 + kRebootProduct));
  for (const Hostile& hostile : hostiles) {
    EXPECT_NE(removal.find(L"\t" + std::wstring(hostile.name) + L": Successfully removed.\r\n"), std::wstring::npos)
        << Narrow(hostile.name);
    EXPECT_FALSE(KeyExists(machine64 + hostile.name)) << Narrow(hostile.name);
  }

  // And nothing else changed.
  std::vector<std::wstring> allowed = {genieo, segurazo, wajam, browseFox, regClean, qvo6,
                                       kServices + std::wstring(L"WajamUpdate"),
                                       listedUser + L"Uninstall\\BrowseFox",
                                       listed64 + L"Wajam",
                                       listed64 + L"Qvo6",
                                       listed64 + kGoneProduct,
                                       listed64 + kRebootProduct,
                                       listed32 + L"RegClean Pro_is1",
                                       // What Windows Installer keeps of the product it removed.
                                       L"HKLM\\SOFTWARE\\Classes\\Installer",
                                       L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer",
                                       windows + L"\\Installer",
                                       // The clean machine's own findings of the browser phase:
                                       // Internet Explorer's start pages.
                                       L"HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Main",
                                       L"HKU\\" + console.sid + L"\\Software\\Microsoft\\Internet Explorer\\Main",
                                       // The definitions download goes through WinINet, which
                                       // keeps its cookies and settings.
                                       Folder(CSIDL_COOKIES),
                                       listedUser + L"Internet Settings",
                                       // Wine's own: its service manager and its user settings.
                                       L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\ServiceCurrent",
                                       L"HKU\\" + console.sid + L"\\Software\\Wine"};
  for (const Hostile& hostile : hostiles) allowed.push_back(listed64 + hostile.name);
  // The genuine Run values, one by one: their keys hold the other
  // programs' values too, which must stay.
  const std::wstring goneValues[] = {L"removed: HKLM\\" + std::wstring(kRunPath) + L" => Wajam",
                                     L"removed: " + listedUser + L"Run => BrowseFox"};
  std::vector<std::wstring> changes;
  for (const std::wstring& change : ManifestChanges(before, after, allowed)) {
    bool genuine = false;
    for (const std::wstring& gone : goneValues) genuine = genuine || EqualsNoCase(change, gone);
    if (!genuine) changes.push_back(change);
  }
  EXPECT_TRUE(changes.empty()) << Narrow(ChangesText(changes));
  EXPECT_TRUE(FolderExists(victim + L"\\bin"));
  EXPECT_TRUE(FolderExists(viewer));
}

}  // namespace
}  // namespace tavrin::scenario
