// A machine whose console user has the real hijacked Firefox ESR profile as
// Mozilla Firefox and as Waterfox (a Firefox-based browser below its own
// vendor folder), and the real clean profile as Pale Moon, with a search
// plug-in planted in Firefox's install folder. The real program scans it
// quietly; each block of the report must list the planted hijacks exactly
// and nothing of the clean profile but its reset options.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "browsers/browser_fixtures.h"
#include "platform/file_system.h"
#include "platform/shell_folders.h"
#include "platform/users.h"
#include "platform/text_file.h"
#include "scenario/scenario_machine.h"
#include "support/scratch.h"

namespace tavrin::scenario {
namespace {

constexpr wchar_t kHijacked[] = L"Profiles\\zba2o41x.default-release";
constexpr wchar_t kClean[] = L"Profiles\\aokil2zj.default-esr";
constexpr char kLinuxXpi[] =
    "/tmp/fxA/ff-hijacked-home/.config/mozilla/firefox/Profiles/zba2o41x.default-release/extensions/"
    "searchhelperplus@example-hijack.test.xpi";
constexpr wchar_t kChecked[] = L"\r\n\t\tItem state: Checked\r\n";
constexpr wchar_t kUnchecked[] = L"\r\n\t\tItem state: Unchecked\r\n";

std::string Ascii(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += char(c);
  return out;
}

std::string JsonPath(const std::wstring& path) {
  std::string out;
  for (wchar_t c : path) out += c == L'\\' ? std::string("\\\\") : std::string(1, char(c));
  return out;
}

bool Replace(const std::wstring& file, const std::string& from, const std::string& to) {
  std::string text = test::ReadBytes(file);
  const size_t at = text.find(from);
  if (at == std::string::npos) return false;
  text.replace(at, from.size(), to);
  return test::WriteBytes(file, text);
}

// A copy of a fixture's Firefox data folder whose profile remembers
// `install` as the browser's folder, and for the hijacked one, whose add-on
// lies in the profile's "extensions" folder as on Windows.
bool SeedBrowser(const wchar_t* fixture, const wchar_t* profileName, const std::wstring& data,
                 const std::wstring& install, const std::wstring& executable) {
  const std::wstring profile = data + L"\\" + profileName;
  if (!test::CopyFixtureTree(std::wstring(fixture) + L"\\Mozilla\\Firefox", data) || !CreateFolderTree(install) ||
      !test::WriteBytes(install + L"\\" + executable, "MZ browser") ||
      !Replace(profile + L"\\compatibility.ini", "LastPlatformDir=/usr/lib/firefox-esr",
               "LastPlatformDir=" + Ascii(install)))
    return false;
  if (profileName != kHijacked) return true;
  return Replace(profile + L"\\extensions.json", std::string("\"path\":\"") + kLinuxXpi + "\"",
                 "\"path\":\"" + JsonPath(profile + L"\\extensions\\searchhelperplus@example-hijack.test.xpi") + "\"");
}

TEST(FirefoxScenario, FirefoxAndAFirefoxBasedBrowserListThePlantedHijacks) {
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4251\n"), L"");
  InteractiveUser console;
  const std::wstring user = console.AccountName();
  ASSERT_FALSE(user.empty());
  const std::wstring roaming = ShellFolder(CSIDL_APPDATA);
  const std::wstring programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
  ASSERT_FALSE(roaming.empty());
  ASSERT_FALSE(programFiles.empty());

  const std::wstring firefoxInstall = programFiles + L"\\Mozilla Firefox";
  const std::wstring waterfoxInstall = programFiles + L"\\Waterfox";
  const std::wstring paleMoonInstall = programFiles + L"\\Pale Moon";
  const std::wstring firefox = roaming + L"\\Mozilla\\Firefox\\" + kHijacked;
  const std::wstring waterfox = roaming + L"\\Waterfox\\" + kHijacked;
  const std::wstring paleMoon = roaming + L"\\Moonchild Productions\\Pale Moon\\" + kClean;
  ASSERT_TRUE(SeedBrowser(L"firefox-hijacked", kHijacked, roaming + L"\\Mozilla\\Firefox", firefoxInstall, L"firefox.exe"));
  ASSERT_TRUE(SeedBrowser(L"firefox-hijacked", kHijacked, roaming + L"\\Waterfox", waterfoxInstall, L"Waterfox.exe"));
  ASSERT_TRUE(SeedBrowser(L"firefox-clean", kClean, roaming + L"\\Moonchild Productions\\Pale Moon", paleMoonInstall,
                          L"Pale Moon.exe"));
  const std::wstring plugins = firefoxInstall + L"\\browser\\searchplugins";
  ASSERT_TRUE(CreateFolderTree(plugins));
  ASSERT_TRUE(test::WriteBytes(plugins + L"\\hijack-search.xml",
                               "<SearchPlugin xmlns=\"http://www.mozilla.org/2006/browser/search/\">"
                               "<ShortName>Hijack Search</ShortName></SearchPlugin>"));
  ASSERT_TRUE(test::WriteBytes(plugins + L"\\google.xml", "<SearchPlugin><ShortName>Google</ShortName></SearchPlugin>"));

  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  const std::wstring report = LatestScanReport();
  const size_t firefoxAt = report.find(L"\r\n\r\n->Mozilla Firefox scan:\r\n");
  const size_t othersAt = report.find(L"\r\n\r\n->Other Firefox browsers scan:\r\n");
  ASSERT_NE(firefoxAt, std::wstring::npos) << report;
  EXPECT_LT(report.find(L"->Google Chrome scan:"), firefoxAt);
  EXPECT_LT(firefoxAt, report.find(L"->Other Chromium browsers scan:"));
  EXPECT_LT(report.find(L"->Other Chromium browsers scan:"), othersAt);
  EXPECT_LT(othersAt, report.find(L"->Anti-Malware scan:"));

  const std::wstring who = L"\r\n\t\tUser name: " + user;
  const std::wstring homepage =
      L"\r\n\t\tStartup homepage: http://search.example-hijack.test/home|http://portal.example-hijack.test/welcome";
  auto resets = [&](const std::wstring& browser, const std::wstring& profile, bool hijacked) {
    std::wstring lines = L"\r\n\t\tOption name: Reset " + browser + L" Extensions" + who + L"\r\n\t\tPath: " + profile +
                         (hijacked ? L"\\extensions" : L"\\extensions.json") + kUnchecked + L"\r\n\t\tOption name: Reset " +
                         browser + L" Settings" + who + L"\r\n\t\tPath: " + profile + L"\\prefs.js" + kUnchecked;
    if (hijacked)
      lines += L"\r\n\t\tOption name: Reset " + browser + L" User Preferences" + who + L"\r\n\t\tPath: " + profile +
               L"\\user.js" + kUnchecked;
    return lines;
  };
  EXPECT_EQ(ReportSection(report, L"->Mozilla Firefox scan:"),
            L"->Mozilla Firefox scan:\r\n"
            L"\r\n\tFirefox startup pages:\r\n" + homepage + who + L"\r\n\t\tPath: " + firefox + L"\\prefs.js" + kChecked +
                L"\r\n\tFirefox search plug-ins:\r\n"
                L"\r\n\t\tSearch provider: Example Hijack Search" + who + L"\r\n\t\tPath: " + firefox + L"\\prefs.js" +
                kChecked + L"\r\n\t\tPlugin name: Search Helper Plus" + who + L"\r\n\t\tPath: " + firefox +
                L"\\search.json.mozlz4" + kUnchecked +
                L"\r\n\t\tPlugin name: Hijack Search\r\n\t\tUser name: (All users)\r\n\t\tPath: " + plugins +
                L"\\hijack-search.xml" + kUnchecked +
                L"\r\n\tFirefox extensions:\r\n"
                L"\r\n\t\tExtension name: Search Helper Plus" + who + L"\r\n\t\tPath: " + firefox +
                L"\\extensions\\searchhelperplus@example-hijack.test.xpi" + kChecked +
                L"\r\n\tFirefox shortcuts:\r\n"
                L"\r\n\tFirefox reset options:\r\n" + resets(L"Firefox", firefox, true) + L"\r\n")
      << report;

  const std::wstring waterfoxWho = who + L"\r\n\t\tBrowser: Waterfox";
  EXPECT_EQ(ReportSection(report, L"->Other Firefox browsers scan:"),
            L"->Other Firefox browsers scan:\r\n"
            L"\r\n\tStartup pages:\r\n" + homepage + waterfoxWho + L"\r\n\t\tPath: " + waterfox + L"\\prefs.js" + kChecked +
                L"\r\n\tOther Firefox browsers search plug-ins:\r\n"
                L"\r\n\t\tSearch provider: Example Hijack Search" + waterfoxWho + L"\r\n\t\tPath: " + waterfox +
                L"\\prefs.js" + kChecked + L"\r\n\t\tPlugin name: Search Helper Plus" + waterfoxWho +
                L"\r\n\t\tPath: " + waterfox + L"\\search.json.mozlz4" + kUnchecked +
                L"\r\n\tOther Firefox browsers extensions:\r\n"
                L"\r\n\t\tExtension name: Search Helper Plus" + waterfoxWho + L"\r\n\t\tPath: " + waterfox +
                L"\\extensions\\searchhelperplus@example-hijack.test.xpi" + kChecked +
                L"\r\n\tOther Firefox browsers shortcuts:\r\n"
                L"\r\n\tOther Firefox browsers reset options:\r\n" + resets(L"Moonchild Productions Pale Moon", paleMoon, false) +
                resets(L"Waterfox", waterfox, true) + L"\r\n")
      << report;
}

}  // namespace
}  // namespace tavrin::scenario
