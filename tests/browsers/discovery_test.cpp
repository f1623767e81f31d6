#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser_fixtures.h"
#include "browsers/chromium_profiles.h"
#include "browsers/firefox_profiles.h"
#include "browsers/other_browsers.h"
#include "platform/file_system.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::CopyFixtureTree;
using test::WriteBytes;

const UserFolderFragments kFragments = {L"\\AppData\\Local", L"\\AppData\\Roaming", L"\\Desktop",
                                        L"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"};

void Touch(const std::wstring& path, const std::string& bytes = "x") {
  CreateFolderTree(path.substr(0, path.find_last_of(L'\\')));
  ASSERT_TRUE(WriteBytes(path, bytes));
}

std::string Narrow(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) out += char(c);
  return out;
}

std::vector<std::wstring> Names(const std::vector<std::wstring>& paths) {
  std::vector<std::wstring> out;
  for (const std::wstring& p : paths) out.push_back(p.substr(p.find_last_of(L'\\') + 1));
  return out;
}

// Two users' profile folders seeded with the real profiles: Chrome, Edge,
// two other Chromium browsers (one below a vendor folder), Firefox and two
// Firefox-based browsers, plus look-alikes that must not count.
class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    users_ = {{L"S-1-5-21-1-1-1-1001", scratch_ / L"alice", L"alice"},
              {L"S-1-5-18", L"", L"SYSTEM"},
              {L"S-1-5-21-1-1-1-1002", scratch_ / L"bob", L"bob"}};
    const std::wstring aliceLocal = users_[0].profileFolder + kFragments.localAppData;
    const std::wstring aliceRoaming = users_[0].profileFolder + kFragments.roamingAppData;
    const std::wstring bobLocal = users_[2].profileFolder + kFragments.localAppData;
    const std::wstring bobRoaming = users_[2].profileFolder + kFragments.roamingAppData;

    ASSERT_TRUE(CopyFixtureTree(L"chrome-clean\\User Data", aliceLocal + L"\\Google\\Chrome\\User Data"));
    ASSERT_TRUE(CreateFolderTree(aliceLocal + L"\\Google\\Chrome\\User Data\\System Profile"));
    ASSERT_TRUE(CopyFixtureTree(L"chrome-hijacked\\User Data\\Default",
                                aliceLocal + L"\\Google\\Chrome\\User Data\\Profile 12"));
    ASSERT_TRUE(CopyFixtureTree(L"chrome-clean\\User Data", aliceLocal + L"\\Microsoft\\Edge\\User Data"));
    // "Google" and "Microsoft" hold browsers of their own scans, never others.
    ASSERT_TRUE(CreateFolderTree(aliceLocal + L"\\Google\\Chrome\\User Data\\GrShaderCache"));
    ASSERT_TRUE(CreateFolderTree(aliceLocal + L"\\Microsoft\\Edge\\User Data\\GrShaderCache"));
    ASSERT_TRUE(CopyFixtureTree(L"chrome-hijacked\\User Data", aliceLocal + L"\\Vivaldi\\User Data"));
    ASSERT_TRUE(CreateFolderTree(aliceLocal + L"\\Vivaldi\\User Data\\GrShaderCache"));
    Touch(aliceLocal + L"\\Vivaldi\\User Data\\Last Browser",
          test::Utf16Bytes(L"C:\\Users\\alice\\AppData\\Local\\Vivaldi\\Application\\vivaldi.exe").substr(2));
    ASSERT_TRUE(CreateFolderTree(aliceLocal + L"\\NotABrowser\\Cache"));

    ASSERT_TRUE(CopyFixtureTree(L"chrome-clean\\User Data", bobLocal + L"\\BraveSoftware\\Brave-Browser\\User Data"));
    ASSERT_TRUE(CreateFolderTree(bobLocal + L"\\BraveSoftware\\Brave-Browser\\User Data\\CertificateRevocation"));
    ASSERT_TRUE(CreateFolderTree(bobLocal + L"\\BraveSoftware\\Update\\User Data\\Default"));

    // Firefox itself (left to its own scan) for alice.
    ASSERT_TRUE(CopyFixtureTree(L"firefox-hijacked\\Mozilla", aliceRoaming + L"\\Mozilla"));
    // A Firefox-based browser with the four kinds of profile path.
    const std::wstring waterfox = aliceRoaming + L"\\Waterfox";
    ASSERT_TRUE(CopyFixtureTree(L"firefox-clean\\Mozilla\\Firefox\\Profiles", waterfox + L"\\Profiles"));
    const std::wstring inside = users_[0].profileFolder + L"\\Browsers\\wf-absolute";
    ASSERT_TRUE(CreateFolderTree(inside));
    ASSERT_TRUE(CreateFolderTree(users_[0].profileFolder + L"\\escaped"));
    Touch(waterfox + L"\\profiles.ini",
          "[General]\nStartWithLastProfile=1\n\n"
          "[Profile0]\nName=dotdot\nIsRelative=1\nPath=Profiles/../../../escaped\n\n"
          "[Profile1]\nName=elsewhere\nIsRelative=0\nPath=D:\\FF\\p1\n\n"
          "[Profile2]\nName=absolute\nIsRelative=0\nPath=" + Narrow(inside) + "\n\n"
          "[Profile3]\nName=default\nIsRelative=1\nPath=Profiles/aokil2zj.default-esr\nDefault=1\n");
    installFolder_ = scratch_ / L"Program Files\\Waterfox";
    Touch(inside + L"\\compatibility.ini", "[Compatibility]\nLastPlatformDir=" + Narrow(installFolder_) + "\\\n");
    Touch(installFolder_ + L"\\Waterfox.exe");

    // A vendor folder holding a product folder, for bob; its install folder
    // has neither name's executable.
    const std::wstring librewolf = bobRoaming + L"\\Libre\\Wolf";
    ASSERT_TRUE(CopyFixtureTree(L"firefox-clean\\Mozilla\\Firefox", librewolf));
    Touch(librewolf + L"\\Profiles\\aokil2zj.default-esr\\compatibility.ini",
          "[Compatibility]\nLastPlatformDir=C:\\Program Files\\LibreWolf\n");
    // A data folder with Profiles but no profile naming an install folder.
    ASSERT_TRUE(CreateFolderTree(bobRoaming + L"\\Empty\\Profiles"));
    Touch(bobRoaming + L"\\Empty\\profiles.ini", "[Profile0]\nPath=Profiles/none\n");
  }

  test::ScratchFolder scratch_;
  UserList users_;
  std::wstring installFolder_;
};

TEST_F(DiscoveryTest, FindsExactlyTheSeededChromiumBrowsers) {
  std::vector<OtherChromiumBrowser> found;
  DiscoverOtherChromiumBrowsers(users_, kFragments, found);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].displayName, L"Vivaldi");
  EXPECT_EQ(found[0].policyKeyName, L"Vivaldi");
  EXPECT_EQ(found[0].userIndex, 0);
  EXPECT_EQ(found[0].userDataFolder, users_[0].profileFolder + L"\\AppData\\Local\\Vivaldi\\User Data");
  EXPECT_EQ(found[0].executablePath, L"C:\\Users\\alice\\AppData\\Local\\Vivaldi\\Application\\vivaldi.exe");
  EXPECT_EQ(found[1].displayName, L"BraveSoftware Brave-Browser");
  EXPECT_EQ(found[1].policyKeyName, L"BraveSoftware\\Brave-Browser");
  EXPECT_EQ(found[1].userIndex, 2);
  EXPECT_EQ(found[1].executablePath, L"");

  EXPECT_EQ(Names(ChromiumProfileFolders(found[0].userDataFolder, false)), (std::vector<std::wstring>{L"Default"}));
  std::vector<std::wstring> chrome =
      Names(ChromiumProfileFolders(users_[0].profileFolder + L"\\AppData\\Local\\Google\\Chrome\\User Data", false));
  std::sort(chrome.begin(), chrome.end());
  EXPECT_EQ(chrome, (std::vector<std::wstring>{L"Default", L"Profile 1", L"Profile 12"}));
  EXPECT_EQ(ChromiumProfileFolders(users_[0].profileFolder + L"\\AppData\\Local\\Microsoft\\Edge\\User Data", false).size(), 2u);
}

// The real "Local State" of the clean profiles, with names put first into
// its "info_cache" that try to lead out of the "User Data" folder, name
// the same folder twice, or name nothing.
TEST_F(DiscoveryTest, LocalStateAddsOnlyFoldersDirectlyInsideTheUserDataFolder) {
  const std::wstring local = users_[0].profileFolder + kFragments.localAppData;
  const std::wstring userData = local + L"\\Tester\\User Data";
  ASSERT_TRUE(CopyFixtureTree(L"chrome-clean\\User Data", userData));
  const std::wstring work = userData + L"\\Work Profile 7x";
  for (const std::wstring& folder : {work, local + L"\\Tester\\escaped", userData + L"\\Profile 1\\inner",
                                     userData + L"\\Five", users_[0].profileFolder + L"\\Windows"})
    ASSERT_TRUE(CreateFolderTree(folder));
  Touch(userData + L"\\Notes", "a file, not a folder");
  // The short alias the file system gives the unusual folder, when it has one.
  wchar_t shortName[MAX_PATH] = {};
  std::string alias;
  if (GetShortPathNameW(work.c_str(), shortName, MAX_PATH) > 0) {
    const std::wstring last = Names({shortName})[0];
    if (last != L"Work Profile 7x") alias = "\"" + Narrow(last) + "\":{},";
  }
  const std::string drive = Narrow(users_[0].profileFolder.substr(0, 2));
  const std::string hostile =
      "\"..\\\\escaped\":{},\"../escaped\":{},\"..\":{},\".\":{},\"\":{},"
      "\"" + drive + "\\\\\":{},\"" + drive + "\":{},\"Profile 1\\\\inner\":{},\"Profile 1/inner\":{},"
      "\"\\\\\\\\?\\\\" + drive + "\\\\\":{},\"Work Profile 7x.\":{},\"Work Profile 7x \":{},"
      "\"Work*\":{},\"Work\\u0001\":{},\"Missing\":{},\"Notes\":{},\"Work Profile 7x::$DATA\":{}," +
      alias + "\"Work Profile 7x\":{},\"WORK PROFILE 7X\":{},\"default\":{},\"Five\":5,";
  std::string text = test::ReadBytes(test::BrowserFixture(L"chrome-clean\\User Data\\Local State"));
  const size_t cache = text.find("\"info_cache\":{");
  ASSERT_NE(cache, std::string::npos);
  text.insert(cache + 14, hostile);
  Touch(userData + L"\\Local State", text);

  EXPECT_EQ(Names(ListedChromiumProfileFolders(userData)),
            (std::vector<std::wstring>{L"Work Profile 7x", L"Default", L"Profile 1"}));
  std::vector<std::wstring> all = Names(ChromiumProfileFolders(userData, false));
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<std::wstring>{L"Default", L"Profile 1", L"Work Profile 7x"}));
  EXPECT_TRUE(IsChromiumProfileFolder(work, false));
  EXPECT_TRUE(IsChromiumProfileFolder(userData + L"\\WORK PROFILE 7X", false));
  EXPECT_FALSE(IsChromiumProfileFolder(userData + L"\\Missing", false));
  EXPECT_FALSE(IsChromiumProfileFolder(local + L"\\Tester\\escaped", false));

  // Opera's folder keeps its own rule; a missing or damaged file adds nothing.
  EXPECT_TRUE(ChromiumProfileFolders(userData, true).empty());
  for (const std::string& damaged : {std::string("{\"profile\":{\"info_cache\":[\"Work Profile 7x\"]}}"),
                                     std::string("{\"profile\":{\"info_cache\":{\"Work Profile 7x\""), std::string()}) {
    Touch(userData + L"\\Local State", damaged);
    EXPECT_EQ(Names(ListedChromiumProfileFolders(userData)), std::vector<std::wstring>{}) << damaged;
  }
}

TEST_F(DiscoveryTest, FindsExactlyTheSeededFirefoxBrowsers) {
  std::vector<OtherFirefoxBrowser> found;
  DiscoverOtherFirefoxBrowsers(users_, kFragments, found);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].displayName, L"Waterfox");
  EXPECT_EQ(found[0].userIndex, 0);
  EXPECT_EQ(found[0].installFolder, installFolder_);
  EXPECT_EQ(found[0].executableName, L"Waterfox.exe");
  EXPECT_EQ(found[1].displayName, L"Libre Wolf");
  EXPECT_EQ(found[1].userIndex, 2);
  EXPECT_EQ(found[1].installFolder, L"C:\\Program Files\\LibreWolf");
  EXPECT_EQ(found[1].executableName, L"firefox.exe");
}

TEST_F(DiscoveryTest, ProfilePathsOnlyLeadInsideTheBrowserOrTheUser) {
  const std::wstring ini = users_[0].profileFolder + L"\\AppData\\Roaming\\Waterfox\\profiles.ini";
  struct Case {
    int index;
    FirefoxProfileRead result;
    std::wstring path;
  } cases[] = {
      {0, FirefoxProfileRead::Refused, L""},
      {1, FirefoxProfileRead::Refused, L""},
      {2, FirefoxProfileRead::Found, users_[0].profileFolder + L"\\Browsers\\wf-absolute"},
      {3, FirefoxProfileRead::Found,
       users_[0].profileFolder + L"\\AppData\\Roaming\\Waterfox\\Profiles\\aokil2zj.default-esr"},
      {4, FirefoxProfileRead::End, L""},
  };
  for (const Case& c : cases) {
    std::wstring path;
    EXPECT_EQ(ReadFirefoxProfilePath(ini, c.index, path, users_[0].profileFolder), c.result) << c.index;
    EXPECT_EQ(path, c.path) << c.index;
  }
  // Another user's folder is not this user's, even when it exists.
  std::wstring path;
  EXPECT_EQ(ReadFirefoxProfilePath(ini, 2, path, users_[2].profileFolder), FirefoxProfileRead::Refused);

  // The default of IsRelative follows the path's form; a gap ends the list.
  const std::wstring data = scratch_ / L"ff";
  Touch(data + L"\\profiles.ini",
        "[Profile0]\nPath=Profiles/abc.default\n\n[Profile2]\nPath=Profiles/later\n");
  EXPECT_EQ(FirefoxProfileFolders(data + L"\\profiles.ini", {}),
            (std::vector<std::wstring>{data + L"\\Profiles\\abc.default"}));
  Touch(data + L"\\profiles.ini", "[Profile0]\nPath=" + Narrow(data) + "\\Profiles\\x\n");
  EXPECT_EQ(FirefoxProfileFolders(data + L"\\profiles.ini", {}), (std::vector<std::wstring>{data + L"\\Profiles\\x"}));
  Touch(data + L"\\profiles.ini", "[Profile0]\nPath=Profiles\\.\\x\n[Profile1]\nPath=Profiles/x./\n");
  EXPECT_TRUE(FirefoxProfileFolders(data + L"\\profiles.ini", {}).empty());
}

TEST_F(DiscoveryTest, ExecutablesAreFoundInTheirOrder) {
  const std::wstring profile = users_[0].profileFolder;
  std::wstring path;
  // Nothing installed for this user (and none in this prefix's program files).
  const bool machineChrome = FileExists(ProgramFilesFolders().native + L"\\Google\\Chrome\\Application\\chrome.exe") ||
                             FileExists(ProgramFilesFolders().x86 + L"\\Google\\Chrome\\Application\\chrome.exe");
  if (!machineChrome) {
    EXPECT_FALSE(LocateChromiumExecutable(profile, kFragments.localAppData, false, path));
    EXPECT_EQ(path, L"");
  }
  const std::wstring perUser = profile + L"\\AppData\\Local\\Google\\Chrome\\Application\\chrome.exe";
  Touch(perUser);
  EXPECT_TRUE(LocateChromiumExecutable(profile, kFragments.localAppData, false, path));
  EXPECT_EQ(path, perUser);
  // "Last Browser" wins when it names a file that exists, in either encoding.
  const std::wstring elsewhere = scratch_ / L"Portable\\chrome.exe";
  Touch(elsewhere);
  const std::wstring lastBrowser = profile + L"\\AppData\\Local\\Google\\Chrome\\User Data\\Last Browser";
  for (const std::string& bytes : {test::Utf16Bytes(elsewhere).substr(2), Narrow(elsewhere) + "\r\n"}) {
    Touch(lastBrowser, bytes);
    EXPECT_TRUE(LocateChromiumExecutable(profile, kFragments.localAppData, false, path));
    EXPECT_EQ(path, elsewhere);
  }
  Touch(lastBrowser, Narrow(scratch_ / L"gone.exe"));
  EXPECT_TRUE(LocateChromiumExecutable(profile, kFragments.localAppData, false, path));
  EXPECT_EQ(path, perUser);

  // Firefox: the install folder a profile remembers.
  const std::wstring ffProfile = profile + L"\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\zba2o41x.default-release";
  const std::wstring install = scratch_ / L"Mozilla Firefox";
  Touch(install + L"\\firefox.exe");
  Touch(ffProfile + L"\\compatibility.ini", "[Compatibility]\nLastPlatformDir=" + Narrow(install) + "\n");
  EXPECT_TRUE(LocateFirefoxExecutable(profile, kFragments.roamingAppData, path));
  EXPECT_EQ(path, install + L"\\firefox.exe");
}

}  // namespace
}  // namespace tavrin
