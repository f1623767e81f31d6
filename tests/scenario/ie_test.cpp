// A machine (reporting Windows 10) whose console user and both machine
// views carry Internet Explorer hijacks: start pages, a search scope,
// browser helper objects whose files are unsigned, validly signed by the
// test authority, and validly signed by a signer named like a software
// company (tests/filetrust/signing_fixtures), and a start-page policy; the
// console user also has an Edge (UWP) extension and the machine Edge's
// settings file. The real program scans it quietly; the two blocks of the
// report must list exactly that, beside what Wine itself sets.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/text_file.h"
#include "platform/users.h"
#include "scenario/scenario_machine.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace tavrin::scenario {
namespace {

constexpr wchar_t kChecked[] = L"\r\n\t\tItem state: Checked\r\n";
constexpr wchar_t kUnchecked[] = L"\r\n\t\tItem state: Un-checked\r\n";
constexpr wchar_t kUnsigned[] = L"{11111111-2222-3333-4444-555555555555}";
constexpr wchar_t kTestSigned[] = L"{22222222-2222-3333-4444-555555555555}";
constexpr wchar_t kCompanySigned[] = L"{33333333-2222-3333-4444-555555555555}";

// The signed samples made for the scan tests.
std::wstring Signed(const char* name) {
  std::wstring path = L"Z:";
  for (char c : std::string(TAVRIN_SIGNING_DIR) + "/" + name) path += c == '/' ? L'\\' : wchar_t(c);
  return path;
}

void RegisterHelper(const std::wstring& software, const std::wstring& clsid, const std::wstring& name,
                    const std::wstring& file) {
  ASSERT_TRUE(WriteStringAt(software + L"\\Classes\\CLSID\\" + clsid, L"", name));
  ASSERT_TRUE(WriteStringAt(software + L"\\Classes\\CLSID\\" + clsid + L"\\InprocServer32", L"", file));
  ASSERT_TRUE(CreateKey(software + L"\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\" + clsid));
}

TEST(IeScenario, InternetExplorerAndEdgeUwpListThePlantedHijacks) {
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4252\n"), L"");
  // Trusted in the machine store, where the scanning program finds it.
  test::TrustedAuthority root(test::ReadBytes(Signed("root.der")));
  ASSERT_TRUE(root.Added());
  InteractiveUser console;
  const std::wstring user = console.AccountName();
  ASSERT_FALSE(user.empty());
  const std::wstring windows = ShellFolder(CSIDL_WINDOWS);
  ASSERT_FALSE(windows.empty());

  ASSERT_TRUE(WriteStringAt(L"HKCU\\Software\\Microsoft\\Internet Explorer\\Main", L"Start Page",
                            L"http://portal.example-hijack.test/"));
  const std::wstring scope = L"HKLM32\\SOFTWARE\\Microsoft\\Internet Explorer\\SearchScopes\\{A0000000-0000-0000-0000-000000000001}";
  ASSERT_TRUE(WriteStringAt(scope, L"DisplayName", L"Hijack Search"));
  ASSERT_TRUE(WriteStringAt(scope, L"URL", L"http://search.example-hijack.test/?q={searchTerms}"));
  const std::wstring helper = ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Hijack\\helper.dll";
  ASSERT_TRUE(CreateFolderTree(ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Hijack"));
  ASSERT_TRUE(test::WriteBytes(helper, "MZ unsigned helper"));
  RegisterHelper(L"HKCU\\Software", kUnsigned, L"Hijack Helper", helper);
  RegisterHelper(L"HKLM64\\SOFTWARE", kTestSigned, L"Test Signed Helper", Signed("ca_signed.exe"));
  RegisterHelper(L"HKLM64\\SOFTWARE", kCompanySigned, L"Company Helper", Signed("company_signed.exe"));
  const std::wstring policy = L"HKLM64\\SOFTWARE\\Policies\\Microsoft\\Internet Explorer";
  ASSERT_TRUE(WriteDwordAt(policy + L"\\Control Panel", L"HomePage", 1));
  ASSERT_TRUE(WriteStringAt(policy + L"\\Main", L"Start Page", L"http://policy.example-hijack.test/"));

  const std::wstring edge =
      L"HKCU\\Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppContainer\\Storage\\"
      L"microsoft.microsoftedge_8wekyb3d8bbwe\\MicrosoftEdge\\Extensions";
  ASSERT_TRUE(CreateKey(edge + L"\\Publisher_Coupons_abc123"));
  const std::wstring systemApp = windows + L"\\SystemApps\\Microsoft.MicrosoftEdge_8wekyb3d8bbwe";
  ASSERT_TRUE(CreateFolderTree(systemApp));
  ASSERT_TRUE(test::WriteBytes(systemApp + L"\\Settings.xbf", "xbf"));

  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  const std::wstring report = LatestScanReport();
  const size_t uwpAt = report.find(L"\r\n\r\n->Microsoft Edge (UWP) scan:\r\n");
  const size_t ieAt = report.find(L"\r\n\r\n->Internet Explorer scan:\r\n");
  ASSERT_NE(uwpAt, std::wstring::npos) << report;
  EXPECT_LT(report.find(L"->Autostart scan:"), uwpAt);
  EXPECT_LT(uwpAt, report.find(L"->Microsoft Edge scan:"));
  EXPECT_LT(report.find(L"->Microsoft Edge scan:"), ieAt);
  EXPECT_LT(ieAt, report.find(L"->Google Chrome scan:"));

  // This machine has no Firefox at all: both Firefox phases say so.
  EXPECT_EQ(ReportSection(report, L"->Mozilla Firefox scan:"),
            L"->Mozilla Firefox scan:\r\n\r\n\tFirefox startup pages:\r\n\r\n\tNo Firefox profiles have been found:\r\n\r\n");
  EXPECT_EQ(ReportSection(report, L"->Other Firefox browsers scan:"),
            L"->Other Firefox browsers scan:\r\n\r\n\tNo other Firefox based browser profiles have been found:\r\n\r\n");

  const std::wstring who = L"\r\n\t\tUser name: " + user;
  const std::wstring all = L"\r\n\t\tUser name: (All users)";
  EXPECT_EQ(ReportSection(report, L"->Microsoft Edge (UWP) scan:"),
            L"->Microsoft Edge (UWP) scan:\r\n\r\n\tMicrosoft Edge extensions:\r\n"
            L"\r\n\t\tExtension name: Coupons" + who + L"\r\n\t\tFull extension name: Publisher_Coupons_abc123" +
                kUnchecked + L"\r\n\tMicrosoft Edge (UWP) reset options:\r\n"
                L"\r\n\t\tReset option: Reset Edge extensions" + who +
                L"\r\n\t\tInfo: This option allows you to remove all MS Edge's extensions at once, for this user" +
                kUnchecked + L"\r\n\t\tReset option: Reset Edge's Settings" + all +
                L"\r\n\t\tInfo: Check this item if you want to reset Microsoft Edge's main settings" + kUnchecked +
                L"\r\n")
      << report;
  EXPECT_EQ(ReportSection(report, L"->Internet Explorer scan:"),
            L"->Internet Explorer scan:\r\n"
            L"\r\n\tInternet Explorer home and search pages:\r\n"
            L"\r\n\t\tName: Start Page" + who + L"\r\n\t\tURL: http://portal.example-hijack.test/" + kChecked +
                // Wine's own default page.
                L"\r\n\t\tName: Default_Page_URL" + all + L"\r\n\t\tURL: https://www.winehq.org" + kChecked +
                L"\r\n\tInternet Explorer search providers:\r\n"
                L"\r\n\t\tName: Hijack Search" + all + L"\r\n\t\tURL: http://search.example-hijack.test/?q={searchTerms}" +
                kChecked +
                L"\r\n\tInternet Explorer ad-ons:\r\n"
                L"\r\n\t\tName: Hijack Helper" + who + L"\r\n\t\tFile: " + helper + kChecked +
                L"\r\n\t\tName: Test Signed Helper" + all + L"\r\n\t\tFile: " + Signed("ca_signed.exe") + kChecked +
                L"\r\n\tInternet Explorer shortcuts:\r\n"
                L"\r\n\tInternet Explorer's Group Policies:\r\n"
                L"\r\n\t\tName: Start Page" + all + L"\r\n\t\tURL: http://policy.example-hijack.test/" + kChecked +
                L"\r\n\tInternet Explorer and Shell reset options:\r\n"
                L"\r\n\t\tOption name: Reset Internet Explorer Policies" + all +
                L"\r\n\t\tInfo: This option is listed because a possibly hijacked policy was found for this user." +
                kUnchecked + L"\r\n")
      << report;
}

}  // namespace
}  // namespace tavrin::scenario
