// Whether a folder an uninstall entry names is the program's own, tried
// with the folder texts that careless and hostile installers write.
#include "scan/program_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "filetrust/system_folders.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/users.h"
#include "scan/folder_guard.h"
#include "scan/known_folders.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

const char* VerdictName(FolderVerdict verdict) {
  switch (verdict) {
    case FolderVerdict::Accepted: return "Accepted";
    case FolderVerdict::NoCanonicalForm: return "NoCanonicalForm";
    case FolderVerdict::WindowsOwned: return "WindowsOwned";
    case FolderVerdict::Protected: return "Protected";
    case FolderVerdict::OtherProgram: return "OtherProgram";
    case FolderVerdict::ServiceImage: return "ServiceImage";
    case FolderVerdict::RunEntry: return "RunEntry";
    case FolderVerdict::NotTied: return "NotTied";
  }
  return "?";
}

std::wstring ShortName(const std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

class ProgramFolderJudgement : public ::testing::Test {
 protected:
  void SetUp() override {
    // Below the system drive's root: the temporary folders lie inside the
    // Windows folder under Wine, which no program's folder may.
    for (const wchar_t* folder : {L"\\Gamma Coupons Suite\\svc", L"\\Victim App\\bin", L"\\Service Host",
                                  L"\\Apps\\Tool", L"\\Apps\\Toolbar", L"\\Unrelated Stuff", L"\\Gamma Savings",
                                  L"\\A Rather Long Program Folder"})
      ASSERT_TRUE(CreateFolderTree(base + folder)) << Narrow(base + folder);
    ASSERT_TRUE(test::WriteBytes(base + L"\\Unrelated Stuff\\unins000.exe", "MZ uninstaller"));
    ASSERT_TRUE(test::WriteBytes(base + L"\\Gamma Coupons Suite\\unins000.exe", "MZ uninstaller"));
    auto owner = [&](const std::wstring& key, std::vector<std::wstring> names, const std::wstring& folder) {
      return FolderOwner{key, std::move(names), ToLower(base + folder)};
    };
    facts.programs = {owner(L"HKLM64\\Uninstall\\Victim", {L"Victim App"}, L"\\Victim App\\bin"),
                      // The program judged below, as the facts list it too.
                      owner(kKey, {L"Gamma Coupons"}, L"\\Gamma Coupons Suite"),
                      // Its second registration, for the user.
                      owner(L"HKU\\S-1-5-21-1\\Uninstall\\Gamma", {L"Gamma Coupons"}, L"\\Gamma Coupons Suite")};
    facts.services = {owner(L"Services\\VictimSvc", {L"VictimSvc", L"Victim Helper Service"}, L"\\Service Host"),
                      owner(L"Services\\GammaSvc", {L"GammaSvc", L""}, L"\\Gamma Coupons Suite\\svc")};
    facts.runEntries = {owner(L"Run\\Helper", {L"Helper"}, L"\\Apps\\Toolbar"),
                        owner(L"Run\\GammaTray", {L"Gamma Coupons tray"}, L"\\Gamma Coupons Suite")};
  }
  void TearDown() override { test::RemoveTreeForTest(base); }

  const std::wstring base = L"C:\\TavrinJudge-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring kKey = L"HKLM64\\Uninstall\\Gamma";
  const KnownFolders known = ResolveKnownFolders(nullptr, L"");
  const FolderGuard guard = BuildFolderGuard(known, {});
  ProgramFolderFacts facts;
};

TEST_F(ProgramFolderJudgement, OnlyTheProgramsOwnFolderIsAccepted) {
  const std::wstring windows = FindMachineFolders().windows;
  const ProgramFiles programFiles = ProgramFilesFolders();
  const std::wstring gamma = base + L"\\Gamma Coupons Suite";
  struct Case {
    std::wstring text;
    std::wstring displayName;
    FolderVerdict verdict;
    std::wstring folder;  // the canonical form; empty: not checked
    std::wstring publisher = L"";
    std::wstring uninstaller = L"";
  };
  const Case cases[] = {
      // Its own service and Run entry run from it and go with it; its
      // second registration shares it.
      {gamma, L"Gamma Coupons", FolderVerdict::Accepted, gamma},
      // Spelled the ways installers and hijackers spell it.
      {L"\"" + gamma + L"\\\"", L"Gamma Coupons", FolderVerdict::Accepted, gamma},
      {L"C:/" + base.substr(3) + L"/Gamma Coupons Suite/", L"Gamma Coupons", FolderVerdict::Accepted, gamma},
      {gamma + L". .", L"Gamma Coupons", FolderVerdict::Accepted, gamma},
      {L"\\\\?\\" + gamma, L"Gamma Coupons", FolderVerdict::Accepted, gamma},
      {base + L"\\Apps\\..\\Gamma Coupons Suite\\.", L"Gamma Coupons", FolderVerdict::Accepted, gamma},
      {gamma + L"\\svc", L"Gamma Coupons", FolderVerdict::NotTied, gamma + L"\\svc"},
      // Climbing out of a folder of its own into Windows' or another's.
      {gamma + L"\\..\\..\\Windows", L"Gamma Coupons", FolderVerdict::WindowsOwned, L""},
      {gamma + L"\\..\\Victim App\\bin", L"Gamma Coupons", FolderVerdict::OtherProgram, base + L"\\Victim App\\bin"},
      {gamma + L"\\...", L"Gamma Coupons", FolderVerdict::NoCanonicalForm, L""},
      // Windows' own folders, however written.
      {windows, L"Windows", FolderVerdict::WindowsOwned, L""},
      {windows + L"\\System32", L"System32 Helper", FolderVerdict::WindowsOwned, L""},
      {windows + L". ", L"Windows", FolderVerdict::WindowsOwned, L""},
      {L"\\\\?\\" + windows + L"\\System32", L"System32", FolderVerdict::WindowsOwned, L""},
      {L"%SystemRoot%\\Fonts", L"Fonts", FolderVerdict::WindowsOwned, L""},
      {programFiles.native + L"\\Common Files", L"Common", FolderVerdict::WindowsOwned, L""},
      {L"%ProgramFiles%\\Common Files\\Gamma", L"Gamma", FolderVerdict::WindowsOwned, L""},
      {L"%CommonProgramFiles%", L"Common Files", FolderVerdict::WindowsOwned, L""},
      {programFiles.native + L"\\Microsoft Office", L"Microsoft Office Toolbar", FolderVerdict::WindowsOwned, L""},
      {programFiles.x86 + L"\\Microsoft Office\\root", L"root", FolderVerdict::WindowsOwned, L""},
      {programFiles.native + L"\\Windows NT\\Accessories", L"Accessories", FolderVerdict::WindowsOwned, L""},
      {programFiles.x86 + L"\\Windows Mail", L"Windows Mail", FolderVerdict::WindowsOwned, L""},
      {programFiles.native + L"\\Windows Defender", L"Windows Defender", FolderVerdict::WindowsOwned, L""},
      {programFiles.native + L"\\WindowsApps\\Deals", L"Deals", FolderVerdict::WindowsOwned, L""},
      {programFiles.x86 + L"\\Internet Explorer", L"Internet Explorer", FolderVerdict::WindowsOwned, L""},
      {known.commonAppData + L"\\Microsoft\\Deals", L"Deals", FolderVerdict::WindowsOwned, L""},
      {known.user.localAppData + L"\\Packages\\Deals", L"Deals", FolderVerdict::WindowsOwned, L""},
      // Folders the machine and its users cannot do without.
      {L"%ProgramFiles%", L"Program Files", FolderVerdict::Protected, L""},
      {programFiles.x86, L"Program Files", FolderVerdict::Protected, L""},
      {known.user.appData, L"Roaming", FolderVerdict::Protected, L""},
      {known.profile, L"Gamma", FolderVerdict::Protected, L""},
      {L"C:\\", L"Gamma", FolderVerdict::NoCanonicalForm, L""},
      {L"\\\\?\\UNC\\server\\share\\Gamma", L"Gamma", FolderVerdict::NoCanonicalForm, L""},
      {L"Gamma Coupons Suite", L"Gamma Coupons", FolderVerdict::NoCanonicalForm, L""},
      // Another registered program's folder and its parents, whatever the
      // entry calls itself; the parent even under the other's own name.
      {base + L"\\Victim App\\bin", L"Victim App Toolbar", FolderVerdict::OtherProgram, L""},
      {base + L"\\Victim App", L"Victim App", FolderVerdict::OtherProgram, base + L"\\Victim App"},
      {base + L"\\Victim App.  \\bin", L"Coupon Bar", FolderVerdict::OtherProgram, base + L"\\Victim App\\bin"},
      {ShortName(base + L"\\Victim App"), L"Victim App", FolderVerdict::OtherProgram, base + L"\\Victim App"},
      {base, L"TavrinJudge", FolderVerdict::OtherProgram, base},
      // A service's or a Run entry's folder that is not the program's.
      {base + L"\\Service Host", L"Service Host", FolderVerdict::ServiceImage, L""},
      {base + L"\\Apps\\Toolbar", L"Toolbar Deals", FolderVerdict::RunEntry, L""},
      {base + L"\\Apps", L"Apps", FolderVerdict::RunEntry, L""},
      // A neighbour that only shares the beginning of its name is not the
      // folder of the Run entry next door, nor tied to a longer name.
      {base + L"\\Apps\\Tool", L"Tool", FolderVerdict::Accepted, base + L"\\Apps\\Tool"},
      {base + L"\\Apps\\Tool", L"Toolbar", FolderVerdict::NotTied, L""},
      // Tied by the publisher, by holding the uninstaller, or not at all.
      {base + L"\\Gamma Savings", L"Coupon Finder", FolderVerdict::Accepted, L"", L"Gamma Savings"},
      {base + L"\\Unrelated Stuff", L"Gamma Coupons", FolderVerdict::NotTied, L""},
      {base + L"\\Unrelated Stuff", L"Gamma Coupons", FolderVerdict::Accepted, L"", L"",
       base + L"\\Unrelated Stuff\\unins000.exe"},
      {ShortName(base + L"\\A Rather Long Program Folder"), L"A Rather Long", FolderVerdict::Accepted,
       base + L"\\A Rather Long Program Folder"},
  };
  for (const Case& test : cases) {
    UninstallEntry entry;
    entry.key = kKey;
    entry.displayName = test.displayName;
    entry.publisher = test.publisher;
    entry.uninstaller = test.uninstaller;
    const FolderJudgement judged = JudgeProgramFolder(test.text, entry, guard, facts);
    EXPECT_STREQ(VerdictName(judged.verdict), VerdictName(test.verdict))
        << Narrow(test.text) << " for " << Narrow(test.displayName) << " (" << Narrow(judged.folder) << ")";
    if (!test.folder.empty()) {
      EXPECT_TRUE(EqualsNoCase(judged.folder, test.folder)) << Narrow(judged.folder);
    }
  }
}

// The uninstall string names its folder only through the file it runs.
TEST_F(ProgramFolderJudgement, TheUninstallStringsFolderIsTheUninstallersOwn) {
  const SystemFolders folders = FindSystemFolders();
  const std::wstring gamma = base + L"\\Gamma Coupons Suite";
  const std::wstring logged = L" /log=" + base + L"\\Victim App\\bin\\x.log";
  EXPECT_TRUE(EqualsNoCase(ResolvedUninstaller(L"\"" + gamma + L"\\unins000.exe\"" + logged, folders),
                           gamma + L"\\unins000.exe"));
  EXPECT_EQ(ResolvedUninstaller(base + L"\\Missing\\unins000.exe" + logged, folders), L"");
  EXPECT_EQ(ResolvedUninstaller(L"rundll32.exe " + base + L"\\Victim App\\bin\\x.dll,Remove", folders), L"");

  FolderListings listings;
  UninstallEntry entry;
  entry.key = kKey;
  entry.displayName = L"Gamma Coupons";
  entry.uninstallString = L"\"" + base + L"\\Missing\\u.exe\"" + logged;
  entry.uninstaller = ResolvedUninstaller(entry.uninstallString, folders);
  EXPECT_EQ(ProgramFolderOf(entry, {}, guard, facts, listings), L"");
  entry.uninstallString = L"\"" + ShortName(gamma) + L"\\unins000.exe\"" + logged;
  entry.uninstaller = ResolvedUninstaller(entry.uninstallString, folders);
  EXPECT_TRUE(EqualsNoCase(ProgramFolderOf(entry, {}, guard, facts, listings), gamma));
  // A hostile InstallLocation gives way to the uninstaller's folder, never
  // the other way round.
  entry.installLocation = base + L"\\Victim App";
  EXPECT_TRUE(EqualsNoCase(ProgramFolderOf(entry, {}, guard, facts, listings), gamma));
}

// The facts come from the machine: uninstall entries (their location and
// their uninstaller's folder, never a path in an argument) and Run values.
TEST_F(ProgramFolderJudgement, TheFactsAreGatheredFromTheEntries) {
  const std::wstring root = L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-facts";
  const std::wstring uninstall = root + L"\\Uninstall";
  const std::wstring run = root + L"\\Run";
  ASSERT_TRUE(WriteStringAt(uninstall + L"\\Victim", L"DisplayName", L"Victim App"));
  ASSERT_TRUE(WriteStringAt(uninstall + L"\\Victim", L"InstallLocation", L"\"" + base + L"\\Victim App\\\""));
  ASSERT_TRUE(WriteStringAt(uninstall + L"\\Gamma", L"DisplayName", L"Gamma Coupons"));
  ASSERT_TRUE(WriteStringAt(uninstall + L"\\Gamma", L"UninstallString",
                            base + L"\\Gamma Coupons Suite\\unins000.exe /log=" + base + L"\\Service Host\\x.log"));
  ASSERT_TRUE(WriteStringAt(run, L"Helper", L"\"" + base + L"\\Unrelated Stuff\\unins000.exe\" /tray"));
  const ProgramFolderFacts gathered = GatherProgramFolderFacts({uninstall}, {run}, FindSystemFolders());
  DeleteKeyTree(root);

  std::vector<std::wstring> programFolders;
  for (const FolderOwner& owner : gathered.programs) programFolders.push_back(owner.key + L" " + owner.folder);
  std::sort(programFolders.begin(), programFolders.end());
  EXPECT_EQ(programFolders, (std::vector<std::wstring>{uninstall + L"\\Gamma " + ToLower(base + L"\\Gamma Coupons Suite"),
                                                       uninstall + L"\\Victim " + ToLower(base + L"\\Victim App")}));
  ASSERT_EQ(gathered.runEntries.size(), 1u);
  EXPECT_EQ(gathered.runEntries[0].folder, ToLower(base + L"\\Unrelated Stuff"));
  EXPECT_EQ(gathered.runEntries[0].names, std::vector<std::wstring>{L"Helper"});
  // Wine's own services run from the System folder.
  bool systemService = false;
  for (const FolderOwner& service : gathered.services)
    systemService = systemService || IsWindowsOwnedFolder(guard, service.folder);
  EXPECT_TRUE(systemService);
}

}  // namespace
}  // namespace tavrin
