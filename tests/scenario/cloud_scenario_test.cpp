// A machine with a program whose uninstaller the definitions do not know.
// The real program asks the file-report service (the loopback stand-in)
// about it, lists it from the answer and removes it; planted again, a run
// without an API key lists it from the cached answer alone, without asking
// anyone. With a personal key the same verdict comes from the public API's
// stand-in, within the rate limit the settings give.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/settings.h"
#include "cloud/cloud_servers.h"
#include "filetrust/file_hash.h"
#include "platform/file_system.h"
#include "platform/ini_document.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "scenario/scenario_machine.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace tavrin::scenario {
namespace {

constexpr wchar_t kUninstallKey[] =
    L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CloudScenarioSuite";
const std::wstring kDropper = L"C:\\ProgramData\\Cloud Scenario\\uninstall.exe";

void UseFileReports(const std::wstring& address, const std::wstring& key) {
  IniDocument settings(SettingsFilePath(PrepareDataFolder()));
  settings.SetString(L"Settings", L"VirusTotalServer", address);
  settings.SetString(L"Settings", L"VirusTotalApiKey", key);
  ASSERT_TRUE(settings.Save());
}

void Plant() {
  ASSERT_TRUE(CreateFolderTree(L"C:\\ProgramData\\Cloud Scenario"));
  ASSERT_TRUE(test::WriteBytes(kDropper, "MZ a dropper nobody has defined"));
  ASSERT_TRUE(WriteStringAt(kUninstallKey, L"DisplayName", L"Cloud Scenario Suite"));
  ASSERT_TRUE(WriteStringAt(kUninstallKey, L"UninstallString", L"\"" + kDropper + L"\" /remove"));
}

int FileReportRequests(const test::CloudServers& servers) {
  int count = 0;
  for (const test::ReceivedRequest& request : servers.Received())
    count += request.Field("path").rfind("/partners/sysinternals/file-reports", 0) == 0;
  return count;
}

// The stand-ins running and trusted, and definitions that know nothing of
// the dropper.
class CloudScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(servers.running);
    ASSERT_TRUE(authority.Added());
    ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4301\n[Adware]\n203.0.113.66\n[Malware]\n"
                               L"44D88612FEA8A8F36DE82E1278ABB02F = EICAR-Test-File.8766.100\n"),
              L"");
  }
  const test::CloudServers& servers = test::TheCloudServers();
  test::TrustedAuthority authority{test::TheLoopback().AuthorityCertificate()};
};

TEST_F(CloudScenario, AnUnknownFileIsJudgedByTheServiceAndThenByTheCacheAlone) {
  Plant();
  std::wstring hash;
  ASSERT_TRUE(Md5OfFile(kDropper, hash));
  servers.ClearReceived();
  servers.SetAnswers("{\"" + WideToUtf8(hash) + "\": {\"mode\": \"found\", \"positives\": 36, \"total\": 60}}");
  UseFileReports(servers.VirusTotalAddress(), std::wstring(64, L'c'));

  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  std::wstring report = LatestScanReport();
  EXPECT_NE(ReportSection(report, L"->Anti-Malware scan:").find(kDropper), std::wstring::npos) << report;
  EXPECT_FALSE(FileExists(kDropper));
  ASSERT_GE(FileReportRequests(servers), 1);
  bool asked = false;
  for (const test::ReceivedRequest& request : servers.Received()) {
    for (int i = 0; !request.Field("item." + std::to_string(i) + ".hash").empty(); ++i)
      asked = asked || (request.Field("item." + std::to_string(i) + ".hash") == WideToUtf8(hash) &&
                        request.Field("item." + std::to_string(i) + ".image_path") == WideToUtf8(kDropper));
  }
  EXPECT_TRUE(asked);
  EXPECT_TRUE(KeyExists(L"HKLM64\\SOFTWARE\\Halvoret\\VirusTotal reports\\" + hash));

  // Again, with no key: nothing goes out, and the cache still decides.
  Plant();
  servers.ClearReceived();
  UseFileReports(servers.VirusTotalAddress(), L"");
  Sleep(1100);  // a report of its own name (and time)
  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  report = LatestScanReport();
  EXPECT_NE(ReportSection(report, L"->Anti-Malware scan:").find(kDropper), std::wstring::npos) << report;
  EXPECT_FALSE(FileExists(kDropper));
  EXPECT_TRUE(servers.Received().empty());
}

TEST_F(CloudScenario, APersonalKeyGetsItsVerdictFromThePublicApiWithinTheRateLimit) {
  Plant();
  ASSERT_TRUE(test::WriteBytes(kDropper, "MZ a dropper only the public file reports know"));
  std::wstring hash;
  ASSERT_TRUE(Md5OfFile(kDropper, hash));
  servers.ClearReceived();
  // Every file the scan looks up within the stand-in's limit of 120 a minute.
  servers.SetAnswers("{\"" + WideToUtf8(hash) +
                     "\": {\"mode\": \"found\", \"positives\": 40, \"total\": 60}, "
                     "\"v3\": {\"per_minute\": 120, \"window\": 60}}");
  const std::wstring key(64, L'd');
  UseFileReports(servers.VirusTotalAddress(), key);
  {
    IniDocument settings(SettingsFilePath(PrepareDataFolder()));
    settings.SetString(L"Settings", L"VirusTotalKeyType", L"personal");
    settings.SetString(L"Settings", L"VirusTotalRequestsPerMinute", L"120");
    ASSERT_TRUE(settings.Save());
  }

  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  const std::wstring report = LatestScanReport();
  EXPECT_NE(ReportSection(report, L"->Anti-Malware scan:").find(kDropper), std::wstring::npos) << report;
  EXPECT_FALSE(FileExists(kDropper));
  EXPECT_EQ(FileReportRequests(servers), 0);
  int asked = 0, refused = 0, lookups = 0, toTheService = 0;
  for (const test::ReceivedRequest& request : servers.Received()) {
    toTheService += request.Field("server") == "virustotal";
    if (request.Field("path").rfind("/api/v3/files/", 0) != 0) continue;
    ++lookups;
    EXPECT_EQ(request.Field("apikey"), WideToUtf8(key));
    refused += request.Field("answer") == "429";
    asked += request.Field("path") == "/api/v3/files/" + WideToUtf8(hash);
  }
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(refused, 0);
  // Each look-up was counted for the day (and so is each upload after the scan).
  DWORD counted = 0;
  ASSERT_TRUE(ReadDwordAt(L"HKLM64\\SOFTWARE\\Halvoret\\VirusTotal reports", L"PersonalKeyRequests", counted));
  EXPECT_GE(int(counted), lookups);
  EXPECT_LE(int(counted), toTheService);
}

}  // namespace
}  // namespace tavrin::scenario
