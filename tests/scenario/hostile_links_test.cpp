// A machine whose findings hold links, and whose links stand in place of
// findings, all leading to precious files and folders outside: a quiet
// scan-and-remove takes the genuine findings, leaves every link (Wine
// cannot delete one without its target) and says so, and changes nothing
// behind them.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/path_lookup.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/users.h"
#include "scenario/machine_manifest.h"
#include "scenario/scenario_machine.h"
#include "support/host_link.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"

namespace tavrin::scenario {
namespace {

constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";
constexpr wchar_t kRun[] = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUninstall[] = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kPrecious[] = L"C:\\Precious";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Everything a precious file or folder is made of that a removal could
// change.
struct Snapshot {
  std::wstring path;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  std::string bytes;
  int mode = -1;
};

std::vector<Snapshot> TakeSnapshots(const std::vector<std::wstring>& paths) {
  std::vector<Snapshot> all;
  for (const std::wstring& path : paths) {
    Snapshot snapshot{path, GetFileAttributesW(path.c_str())};
    if (!(snapshot.attributes & FILE_ATTRIBUTE_DIRECTORY)) snapshot.bytes = test::ReadBytes(path);
    snapshot.mode = test::HostMode(path);
    all.push_back(std::move(snapshot));
  }
  return all;
}

void Seed(const std::wstring& path, const std::string& bytes) {
  ASSERT_TRUE(CreateFolderTree(path.substr(0, path.rfind(L'\\')))) << Narrow(path);
  ASSERT_TRUE(test::WriteBytes(path, bytes)) << Narrow(path);
}

void Link(const std::wstring& target, const std::wstring& link) {
  ASSERT_TRUE(CreateFolderTree(link.substr(0, link.rfind(L'\\')))) << Narrow(link);
  ASSERT_TRUE(test::MakeHostLink(target, link)) << Narrow(link);
}

bool Has(const std::wstring& report, const std::wstring& line) { return report.find(line) != std::wstring::npos; }

TEST(HostileLinks, GenuineFindingsGoAndNothingBehindALinkChanges) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4244\n[Adware]\nLambda Links\n[Malware]\n"
                             L"44D88612FEA8A8F36DE82E1278ABB02F = EICAR-Test-File.8766.100\n"),
            L"");
  InteractiveUser console;
  const std::wstring user = console.AccountName();
  ASSERT_FALSE(user.empty());
  const std::wstring programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
  const std::wstring appData = ShellFolder(CSIDL_APPDATA);
  const std::wstring windows = ShellFolder(CSIDL_WINDOWS);
  const std::wstring userStartup = ShellFolder(CSIDL_STARTUP);
  const std::wstring commonStartup = ShellFolder(CSIDL_COMMON_STARTUP);
  ASSERT_FALSE(programFiles.empty() || appData.empty() || userStartup.empty() || commonStartup.empty());

  // The precious things outside every finding: a folder with files (one
  // read-only, one hidden), a settings file, and two files that look like
  // malware to a scan that follows a link to them.
  const std::wstring shared = std::wstring(kPrecious) + L"\\Shared";
  const std::wstring helperFolder = std::wstring(kPrecious) + L"\\Helper";
  const std::wstring roaming = std::wstring(kPrecious) + L"\\Roaming";
  const std::wstring settings = std::wstring(kPrecious) + L"\\settings.ini";
  const std::wstring keptSample = std::wstring(kPrecious) + L"\\sample-startup.com";
  const std::wstring keptRunSample = std::wstring(kPrecious) + L"\\sample-run.com";
  Seed(shared + L"\\document.txt", "precious document");
  Seed(shared + L"\\readonly.txt", "read-only");
  Seed(shared + L"\\hidden.txt", "hidden");
  Seed(helperFolder + L"\\helper.exe", "MZ helper of another program");
  Seed(roaming + L"\\state.dat", "another program's state");
  Seed(settings, "[Settings]\r\nKeep=1\r\n");
  Seed(keptSample, kEicar);
  Seed(keptRunSample, kEicar);
  ASSERT_TRUE(SetFileAttributesW((shared + L"\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW((shared + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
  const std::vector<std::wstring> precious = {
      kPrecious, shared, shared + L"\\document.txt", shared + L"\\readonly.txt", shared + L"\\hidden.txt",
      helperFolder, helperFolder + L"\\helper.exe", roaming, roaming + L"\\state.dat", settings, keptSample,
      keptRunSample};

  // The adware program: its own files, and links inside its folder to the
  // shared folder and the settings file, one of them a level down.
  const std::wstring program = programFiles + L"\\Lambda Links";
  Seed(program + L"\\uninstall.exe", "MZ uninstall");
  Seed(program + L"\\toolbar.dll", "MZ toolbar");
  Seed(program + L"\\cache\\index.dat", "cache");
  Link(shared, program + L"\\shared");
  Link(settings, program + L"\\config.ini");
  Link(shared, program + L"\\cache\\deep");
  ASSERT_TRUE(WriteStringAt(kUninstall + std::wstring(L"LambdaLinks"), L"DisplayName", L"Lambda Links Toolbar"));
  ASSERT_TRUE(WriteStringAt(kUninstall + std::wstring(L"LambdaLinks"), L"InstallLocation", program));
  ASSERT_TRUE(WriteStringAt(kUninstall + std::wstring(L"LambdaLinks"), L"UninstallString",
                            L"\"" + program + L"\\uninstall.exe\" /S"));
  // Its leftover folder in the roaming data is a link to another program's.
  Link(roaming, appData + L"\\Lambda Links");
  // A second program of the family whose folder is a link to another
  // program's folder.
  const std::wstring helperLink = programFiles + L"\\Lambda Links Helper";
  Link(helperFolder, helperLink);
  ASSERT_TRUE(WriteStringAt(kUninstall + std::wstring(L"LambdaHelper"), L"DisplayName", L"Lambda Links Helper"));
  ASSERT_TRUE(WriteStringAt(kUninstall + std::wstring(L"LambdaHelper"), L"InstallLocation", helperLink));
  ASSERT_TRUE(WriteStringAt(kUninstall + std::wstring(L"LambdaHelper"), L"UninstallString",
                            L"\"" + helperLink + L"\\helper.exe\" /S"));

  // Startup items: a genuine shortcut into the Windows temporary folder,
  // and a link that a scan following it judges to be malware.
  const std::wstring inject = windows + L"\\temp\\inject.dll";
  Seed(inject, "MZ inject");
  ASSERT_TRUE(CreateFolderTree(commonStartup));
  ASSERT_TRUE(test::MakeShortcut(commonStartup + L"\\Injector.lnk", inject));
  const std::wstring startupLink = userStartup + L"\\Linked Updater.com";
  Link(keptSample, startupLink);

  // Run values: a genuine malware file, the same written in the long
  // form, and one whose file is a link to a precious sample.
  const std::wstring hostile = L"C:\\ProgramData\\Hostile";
  Seed(hostile + L"\\plain.com", kEicar);
  Seed(hostile + L"\\long.com", kEicar);
  const std::wstring runLink = hostile + L"\\runner.com";
  Link(keptRunSample, runLink);
  ASSERT_TRUE(WriteStringAt(L"HKLM32" + std::wstring(kRun), L"Plain", hostile + L"\\plain.com"));
  ASSERT_TRUE(WriteStringAt(L"HKLM32" + std::wstring(kRun), L"LongForm", L"\\\\?\\" + hostile + L"\\long.com"));
  ASSERT_TRUE(WriteStringAt(L"HKCU" + std::wstring(kRun), L"Runner", L"\"" + runLink + L"\" /background"));

  // No browser row waits for a repair (see the removal scenario).
  ASSERT_TRUE(WriteStringAt(L"HKCU\\Software\\Microsoft\\Internet Explorer\\Main", L"Start Page", L"about:blank"));
  ASSERT_TRUE(
      WriteStringAt(L"HKLM64\\SOFTWARE\\Microsoft\\Internet Explorer\\Main", L"Default_Page_URL", L"about:blank"));

  const std::vector<Snapshot> before = TakeSnapshots(precious);
  const Manifest machineBefore = TakeManifest();
  ASSERT_NE(RunTavrin(L"/ScanRemove /Quiet /NoRP /Aggressive"), ~0u);
  const Manifest machineAfter = TakeManifest();
  const std::vector<Snapshot> after = TakeSnapshots(precious);
  const std::wstring report = LatestRemovalReport();
  ASSERT_FALSE(report.empty());

  // Nothing changed on the whole machine but the genuine findings: the
  // program's own files and entries, the Startup shortcut, the two malware
  // files and the Run keys that named them (values are allowed by key).
  const std::vector<std::wstring> findings = {
      program,
      L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LambdaLinks",
      L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LambdaHelper",
      commonStartup + L"\\Injector.lnk",
      hostile + L"\\plain.com",
      hostile + L"\\long.com",
      L"HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
      L"HKU\\" + console.Sid() + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
  };
  // What the definitions download through WinINet and Wine's own services
  // leave on any run, with or without findings.
  std::vector<std::wstring> allowed = {
      ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Microsoft\\Windows\\INetCookies",
      L"HKLM\\System\\CurrentControlSet\\Control\\ServiceCurrent",
      L"HKU\\" + console.Sid() + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
      L"HKU\\" + console.Sid() + L"\\Software\\Wine\\Temporary System Parameters",
  };
  allowed.insert(allowed.end(), findings.begin(), findings.end());
  const std::vector<std::wstring> changes = ManifestChanges(machineBefore, machineAfter, allowed);
  EXPECT_TRUE(changes.empty()) << Narrow(ChangesText(changes));

  // Nothing behind a link changed: bytes, attributes, host mode.
  for (size_t i = 0; i < precious.size(); ++i) {
    EXPECT_NE(after[i].attributes, INVALID_FILE_ATTRIBUTES) << Narrow(precious[i]);
    EXPECT_EQ(after[i].attributes, before[i].attributes) << Narrow(precious[i]);
    EXPECT_EQ(after[i].bytes, before[i].bytes) << Narrow(precious[i]);
    EXPECT_EQ(after[i].mode, before[i].mode) << Narrow(precious[i]);
  }
  // Every link is still there, as a link.
  for (const std::wstring& link : {program + L"\\shared", program + L"\\config.ini", program + L"\\cache\\deep",
                                   appData + L"\\Lambda Links", helperLink, startupLink, runLink})
    EXPECT_TRUE(test::IsHostLink(link)) << Narrow(link);

  // The genuine findings went.
  EXPECT_FALSE(FileExists(program + L"\\uninstall.exe"));
  EXPECT_FALSE(FileExists(program + L"\\toolbar.dll"));
  EXPECT_FALSE(FileExists(program + L"\\cache\\index.dat"));
  EXPECT_FALSE(FileExists(commonStartup + L"\\Injector.lnk"));
  EXPECT_FALSE(FileExists(hostile + L"\\plain.com"));
  EXPECT_FALSE(FileExists(hostile + L"\\long.com"));
  EXPECT_TRUE(Has(report, L"\tSuccessfully removed Startup folder item \"Injector.lnk\" for (All users).\r\n"))
      << Narrow(report);
  EXPECT_TRUE(Has(report, L"\tSuccessfully removed infected file: " + hostile + L"\\plain.com.\r\n")) << Narrow(report);
  // The long form was judged on its plain path.
  EXPECT_TRUE(Has(report, L"\tSuccessfully removed infected file: " + hostile + L"\\long.com.\r\n")) << Narrow(report);

  // Each link's own line says it failed, and nothing claims otherwise.
  EXPECT_TRUE(Has(report, L"\tFailed to remove Startup folder item \"Linked Updater.com\" for " + user + L".\r\n"))
      << Narrow(report);
  EXPECT_TRUE(Has(report, L"\tFailed to remove infected file: " + startupLink + L".\r\n")) << Narrow(report);
  EXPECT_TRUE(Has(report, L"\tFailed to remove infected file: " + runLink + L".\r\n")) << Narrow(report);
  EXPECT_FALSE(Has(report, L"Successfully removed Startup folder item \"Linked Updater.com\"")) << Narrow(report);
  // The program whose folder keeps links is not reported gone.
  EXPECT_FALSE(Has(report, L"Lambda Links Toolbar: Successfully removed.")) << Narrow(report);
  EXPECT_FALSE(Has(report, L"Lambda Links Toolbar: Some files were scheduled")) << Narrow(report);
  CoUninitialize();
}

}  // namespace
}  // namespace tavrin::scenario
