// A machine whose console user has the real hijacked Chromium profile as
// Google Chrome, as Microsoft Edge and as a third Chromium browser below a
// vendor folder. The real program scans it quietly; each browser's block of
// the report must list the planted hijacks exactly, in the phase order. The
// third browser keeps its profile in a folder of an unusual name that only
// its "Local State" names; the removal repairs it there too.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "browsers/browser_fixtures.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "platform/users.h"
#include "scenario/scenario_machine.h"
#include "support/scratch.h"

namespace tavrin::scenario {
namespace {

using test::kPlantedExtensionId;

TEST(ChromiumScenario, EachChromiumBrowserListsThePlantedHijacks) {
  std::wstring definitions;
  ASSERT_TRUE(ReadTextFile(ProjectFile("data/definitions/browsers.txt"), definitions));
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4250\n" + definitions), L"");
  InteractiveUser console;
  const std::wstring user = console.AccountName();
  ASSERT_FALSE(user.empty());
  const std::wstring local = ShellFolder(CSIDL_LOCAL_APPDATA);
  ASSERT_FALSE(local.empty());

  const std::wstring chrome = local + L"\\Google\\Chrome\\User Data";
  const std::wstring edge = local + L"\\Microsoft\\Edge\\User Data";
  const std::wstring other = local + L"\\Vendor\\Browser\\User Data";
  ASSERT_TRUE(test::SeedHijackedChromiumProfile(chrome));
  ASSERT_TRUE(test::SeedHijackedChromiumProfile(edge));
  ASSERT_TRUE(test::SeedHijackedChromiumProfile(other));
  ASSERT_TRUE(CreateFolderTree(other + L"\\GrShaderCache"));
  const std::wstring work = other + L"\\Work Profile 7x";
  ASSERT_TRUE(MoveFileW((other + L"\\Default").c_str(), work.c_str()));
  std::string localState = test::ReadBytes(other + L"\\Local State");
  const std::string listed = "\"info_cache\":{\"Default\":";
  const size_t at = localState.find(listed);
  ASSERT_NE(at, std::string::npos);
  localState.replace(at, listed.size(), "\"info_cache\":{\"Work Profile 7x\":");
  ASSERT_TRUE(test::WriteBytes(other + L"\\Local State", localState));
  ASSERT_TRUE(CreateFolderTree(local + L"\\Google\\Chrome\\Application"));
  ASSERT_TRUE(test::WriteBytes(local + L"\\Google\\Chrome\\Application\\chrome.exe", "MZ chrome"));
  ASSERT_TRUE(WriteStringAt(L"HKCU\\Software\\Policies\\Google\\Chrome", L"HomepageLocation",
                            L"http://search.example-hijack.test/policy"));

  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  const std::wstring report = LatestScanReport();
  const size_t edgeAt = report.find(L"\r\n\r\n->Microsoft Edge scan:\r\n");
  const size_t chromeAt = report.find(L"\r\n\r\n->Google Chrome scan:\r\n");
  const size_t otherAt = report.find(L"\r\n\r\n->Other Chromium browsers scan:\r\n");
  ASSERT_NE(edgeAt, std::wstring::npos) << report;
  EXPECT_LT(report.find(L"->Autostart scan:"), edgeAt);
  EXPECT_LT(edgeAt, chromeAt);
  EXPECT_LT(chromeAt, otherAt);
  EXPECT_LT(otherAt, report.find(L"->Anti-Malware scan:"));

  struct Browser {
    const wchar_t* title;
    std::wstring userData;
    const wchar_t* profile;
    const wchar_t* pages;
    const wchar_t* homeLabel;
    const wchar_t* startupLabel;
    const wchar_t* extensions;
    const wchar_t* extensionLabel;
    std::wstring browserLine;
  } const browsers[] = {
      {L"->Microsoft Edge scan:", edge, L"Default", L"MS Edge's startup and home pages", L"Homepage: ", L"Startup page: ",
       L"MS Edge extensions", L"Extension found: ", L""},
      {L"->Google Chrome scan:", chrome, L"Default", L"Chrome's startup and home pages", L"Homepage: ", L"Startup page: ",
       L"Chrome extensions", L"Extension found: ", L""},
      {L"->Other Chromium browsers scan:", other, L"Work Profile 7x", L"Other Chromium browsers startup and home pages", L"Homepage: ",
       L"Startup page : ", L"Other Chromium browsers extensions", L"Extension found : ",
       L"\r\n\t\tBrowser: Vendor Browser"},
  };
  for (const Browser& b : browsers) {
    SCOPED_TRACE(std::string(b.title, b.title + wcslen(b.title)));
    const std::wstring section = ReportSection(report, b.title);
    const std::wstring prefs = b.userData + L"\\" + b.profile + L"\\Preferences";
    const std::wstring who = L"\r\n\t\tUser name: " + user + b.browserLine;
    const std::wstring info = L"\r\n\t\tInfo: " + prefs + L"\r\n\t\tItem state: Checked\r\n";
    EXPECT_EQ(Subsection(section, b.pages),
              L"\r\n\t" + std::wstring(b.pages) + L":\r\n" + L"\r\n\t\t" + b.homeLabel +
                  L"http://search.example-hijack.test/home" + who + info + L"\r\n\t\t" + b.startupLabel +
                  L"http://search.example-hijack.test/start" + who + info + L"\r\n\t\t" + b.startupLabel +
                  L"http://portal.example-hijack.test/welcome" + who + info)
        << section;
    EXPECT_EQ(Subsection(section, b.extensions),
              L"\r\n\t" + std::wstring(b.extensions) + L":\r\n\r\n\t\t" + b.extensionLabel + L"Search Helper Plus (" +
                  kPlantedExtensionId + L")" + who + L"\r\n\t\tPath: " + b.userData + L"\\" + b.profile + L"\\Extensions\\" + kPlantedExtensionId +
                  L"\\1.4.2_0\r\n\t\tItem state: Checked\r\n")
        << section;
  }
  // The removal repaired the profile of the unusual name as well.
  EXPECT_EQ(test::ReadBytes(work + L"\\Preferences").find("http://search.example-hijack.test/home"), std::string::npos);
  const std::wstring policies = Subsection(ReportSection(report, L"->Google Chrome scan:"), L"Chrome's Group Policies");
  EXPECT_EQ(policies, L"\r\n\tChrome's Group Policies:\r\n\r\n\t\tChrome's Default Homepage policy: "
                      L"http://search.example-hijack.test/policy\r\n\t\tUser name: " + user +
                          L"\r\n\t\tItem state: Checked\r\n");
}

}  // namespace
}  // namespace tavrin::scenario
