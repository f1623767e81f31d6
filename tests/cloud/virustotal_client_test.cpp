#include "cloud/virustotal_client.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cloud/cloud_servers.h"
#include "cloud/cloud_services.h"
#include "definitions/detection_context.h"
#include "definitions/hash_list_queue.h"
#include "definitions/malware_verdict.h"
#include "filetrust/file_hash.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/unique_handle.h"
#include "results/result_set.h"
#include "results/result_tabs.h"
#include "scan/scan_parts.h"
#include "scan/scan_session.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

const std::wstring kApiKey(64, L'a');

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

// One scan's detection state around a cloud client, as a scan wires it.
struct Scan : test::ScanParts {
  HashListQueue hashList;
  DetectionContext context;

  Scan(DetectionLevel level, CloudVerdicts& cloud) {
    WireScan(L"");
    scan.options.detectionLevel = level;
    scan.hashList = &hashList;
    scan.cloud = &cloud;
    context = DetectionContextOf(scan);
    context.verifyTrust = nullptr;  // the samples are unsigned anyway
  }
  std::set<std::wstring> RowPaths() {
    std::set<std::wstring> paths;
    for (const ScanItem& row : GetRows(TabList(results, kMalwareTab))) paths.insert(row.columns[0]);
    return paths;
  }
};

class VirusTotalLookups : public test::CloudServerTest {
 protected:
  void SetUp() override {
    CloudServerTest::SetUp();
    DeleteKeyTree(cacheParent);
  }
  void TearDown() override { DeleteKeyTree(cacheParent); }

  // A client of the scratch cache, online with a key, offline without.
  void Prepare(CloudServices& cloud, bool online, bool upload = false) {
    VirusTotalSettings settings;
    settings.address = servers.VirusTotalAddress();
    settings.apiKey = online ? kApiKey : L"";
    settings.cacheRoot = cacheRoot;
    settings.upload = upload;
    cloud.virusTotal.Configure(settings);
    cloud.virusTotal.ResetForScan();
    ASSERT_EQ(cloud.virusTotal.Online(), online);
  }

  // A client of the public API with a personal key and these limits.
  void PreparePersonal(CloudServices& cloud, RateLimits limits, bool upload = false) {
    VirusTotalSettings settings;
    settings.address = servers.VirusTotalAddress();
    settings.apiKey = kApiKey;
    settings.cacheRoot = cacheRoot;
    settings.upload = upload;
    settings.personalKey = true;
    settings.limits = limits;
    cloud.virusTotal.Configure(settings);
    cloud.virusTotal.ResetForScan();
    ASSERT_TRUE(cloud.virusTotal.Online());
  }
  int Answered(const std::string& status) {
    int count = 0;
    for (const test::ReceivedRequest& request : servers.Received()) count += request.Field("answer") == status;
    return count;
  }

  // A file of its own content (so of its own hash); returns the path.
  std::wstring Sample(const std::wstring& name, const std::string& prefix = "MZ") {
    const std::wstring path = folder / name;
    EXPECT_TRUE(test::WriteBytes(path, prefix + Narrow(path) + std::to_string(GetTickCount64())));
    return path;
  }
  static std::wstring Hash(const std::wstring& path) {
    std::wstring hash;
    EXPECT_TRUE(Md5OfFile(path, hash));
    return hash;
  }
  bool Cached(const std::wstring& hash) { return KeyExists(cacheRoot + L"\\" + hash); }
  std::vector<std::string> ItemHashes() {
    std::vector<std::string> hashes;
    for (const test::ReceivedRequest& request : servers.Received()) {
      for (int i = 0; !request.Field("item." + std::to_string(i) + ".hash").empty(); ++i)
        hashes.push_back(request.Field("item." + std::to_string(i) + ".hash"));
    }
    return hashes;
  }

  const std::wstring cacheParent = L"HKLM64\\SOFTWARE\\TavrinTest-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring cacheRoot = cacheParent + L"\\VirusTotal reports";
  test::ScratchFolder folder;
};

std::string Found(const std::wstring& hash, int positives, int total) {
  std::string entry = "\"";
  entry += WideToUtf8(hash) + "\": {\"mode\": \"found\", \"positives\": " + std::to_string(positives);
  return entry + ", \"total\": " + std::to_string(total) + "}";
}

TEST_F(VirusTotalLookups, UnknownFilesAreJudgedByTheirScoreAtEachLevelAndLaterFromTheCacheAlone) {
  const std::wstring low = Sample(L"eleven-and-a-half.exe");
  const std::wstring high = Sample(L"sixty.exe");
  const std::wstring clean = Sample(L"clean.exe");
  servers.SetAnswers("{" + Found(Hash(low), 23, 200) + ", " + Found(Hash(high), 36, 60) + ", " +
                     Found(Hash(clean), 0, 60) + "}");
  struct Level {
    DetectionLevel level;
    std::set<std::wstring> rows;
  } levels[] = {{DetectionLevel::Soft, {high}}, {DetectionLevel::Medium, {high}},
                {DetectionLevel::Aggressive, {low, high}}};
  for (const Level& level : levels) {
    DeleteKeyTree(cacheParent);
    servers.ClearReceived();
    {
      CloudServices online;
      Prepare(online, true);
      Scan scan(level.level, online);
      for (const std::wstring& file : {low, high, clean}) EXPECT_FALSE(CheckMalwareFile(scan.context, file, L""));
      EXPECT_TRUE(ResolvePendingHashes(scan.context));
      EXPECT_EQ(scan.RowPaths(), level.rows) << Threshold(level.level);
      EXPECT_EQ(ItemHashes().size(), 3u);
      const std::vector<std::wstring> lines = TakeHashList(scan.hashList);
      EXPECT_EQ(std::set<std::wstring>(lines.begin(), lines.end()),
                (std::set<std::wstring>{Hash(low) + L"=(recheck)", Hash(high) + L"=R60"}));
    }
    // Offline, the cached answers decide at once and nothing is sent.
    CloudServices offline;
    Prepare(offline, false);
    Scan scan(level.level, offline);
    for (const std::wstring& file : {low, high, clean}) CheckMalwareFile(scan.context, file, L"");
    EXPECT_EQ(scan.RowPaths(), level.rows) << Threshold(level.level);
    EXPECT_EQ(ItemHashes().size(), 3u);
  }
}

TEST_F(VirusTotalLookups, AReportOlderThanTenDaysIsUsedOfflineAndRefreshedOnline) {
  const std::wstring file = Sample(L"known.exe");
  const std::wstring hash = Hash(file);
  servers.SetAnswers("{" + Found(hash, 30, 60) + "}");
  CloudServices cloud;
  Prepare(cloud, true);
  RequestBatch& batch = cloud.virusTotal.FileReports();
  EXPECT_EQ(cloud.virusTotal.QueueLookup(file, batch, L"", hash), 1);
  EXPECT_EQ(cloud.Flush(), 1);
  std::wstring json;
  ASSERT_TRUE(cloud.virusTotal.GetCachedReport(hash, json));
  // Answered, so fresh: a second look-up is not queued.
  EXPECT_EQ(cloud.virusTotal.QueueLookup(file, batch, L"", hash), 2);
  EXPECT_EQ(batch.count, 0);
  // The answered request's time, in seconds since 1601.
  RegValueBuffer stamp;
  ASSERT_TRUE(ReadRawAt(cacheRoot, L"LastRequestTS", stamp));
  ASSERT_EQ(stamp.type, DWORD(REG_QWORD));
  ASSERT_EQ(stamp.length, 8u);
  unsigned long long seconds = 0;
  memcpy(&seconds, stamp.Data(), 8);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const unsigned long long nowSeconds =
      ((static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000000ULL;
  EXPECT_LE(seconds, nowSeconds);
  EXPECT_GE(seconds + 60, nowSeconds);

  const long long today = cloud.virusTotal.Today();
  CloudServices offline;
  Prepare(offline, false);
  offline.virusTotal.SetToday(today + 11);
  CachedReport report;
  EXPECT_TRUE(offline.GetCachedReport(hash, report));
  EXPECT_EQ(report.responseCode, 1);
  EXPECT_DOUBLE_EQ(report.score, 50);

  cloud.virusTotal.SetToday(today + 10);
  EXPECT_TRUE(cloud.virusTotal.GetCachedReport(hash, json));
  cloud.virusTotal.SetToday(today + 11);
  EXPECT_FALSE(cloud.virusTotal.GetCachedReport(hash, json));
  EXPECT_FALSE(KeyExists(cacheRoot + L"\\" + hash, L"Expired"));
  // Expired, so asked again.
  servers.ClearReceived();
  EXPECT_EQ(cloud.virusTotal.QueueLookup(file, batch, L"", hash), 1);
  EXPECT_EQ(cloud.Flush(), 1);
  EXPECT_EQ(ItemHashes(), std::vector<std::string>{Narrow(hash)});
}

TEST_F(VirusTotalLookups, FilesTheServiceDoesNotKnowAreUploadedUnlessTooLarge) {
  const std::wstring small = Sample(L"R&D 'tool' (1).exe");
  const std::wstring notes = Sample(L"notes.txt", "plain text ");
  const std::wstring script = Sample(L"setup.vbs", "' a script ");
  const std::wstring big = folder / L"big.exe";
  {
    UniqueFile file(CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), "MZ", 2, &written, nullptr));
    LARGE_INTEGER size;
    size.QuadPart = 40LL << 20;
    ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
  }
  CloudServices cloud;
  Prepare(cloud, true, true);
  Scan scan(DetectionLevel::Medium, cloud);
  for (const std::wstring& file : {small, notes, script, big}) CheckMalwareFile(scan.context, file, L"");
  EXPECT_TRUE(ResolvePendingHashes(scan.context));
  EXPECT_TRUE(scan.RowPaths().empty());
  // Every file was looked up; the 40 MB one and the text file are not listed.
  const std::vector<std::string> asked = ItemHashes();
  EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()),
            (std::set<std::string>{Narrow(Hash(small)), Narrow(Hash(notes)), Narrow(Hash(script)), Narrow(Hash(big))}));
  EXPECT_EQ(std::set<std::wstring>(cloud.virusTotal.UploadList().begin(), cloud.virusTotal.UploadList().end()),
            (std::set<std::wstring>{small, script}));
  EXPECT_EQ(cloud.virusTotal.AddUpload(big), 0u);

  servers.ClearReceived();
  EXPECT_EQ(cloud.virusTotal.UploadAll(), 2);
  const std::vector<test::ReceivedRequest> uploads = servers.Received();
  ASSERT_EQ(uploads.size(), 2u);
  std::set<std::string> names, hashes;
  for (const test::ReceivedRequest& upload : uploads) {
    EXPECT_EQ(upload.Field("path"), "/vtapi/v2/file/scan");
    EXPECT_EQ(upload.Field("form.parts"), "2");
    EXPECT_EQ(upload.Field("form.apikey"), Narrow(kApiKey));
    names.insert(upload.Field("form.file.filename"));
    hashes.insert(upload.Field("form.file.md5"));
  }
  EXPECT_EQ(names, (std::set<std::string>{"R&D 'tool' (1).exe", "setup.vbs"}));
  EXPECT_EQ(hashes, (std::set<std::string>{Narrow(Hash(small)), Narrow(Hash(script))}));
  // The scan answer is cached: queued for analysis, no verdict yet.
  CachedReport report;
  ASSERT_TRUE(cloud.GetCachedReport(Hash(small), report));
  EXPECT_EQ(report.responseCode, -2);
}

TEST_F(VirusTotalLookups, BrokenAnswersStoreNothingAndAnswersForOtherHashesAreIgnored) {
  struct Case {
    const char* mode;
    int result;
  } cases[] = {{"malformed", -5}, {"truncated", 0}, {"error", -5}, {"foreign", 1}};
  for (const Case& c : cases) {
    const std::wstring file = Sample(std::wstring(c.mode, c.mode + strlen(c.mode)) + L".exe");
    const std::wstring hash = Hash(file);
    servers.SetAnswers("{\"" + Narrow(hash) + "\": {\"mode\": \"" + c.mode + "\"}}");
    CloudServices cloud;
    Prepare(cloud, true);
    EXPECT_EQ(cloud.QueueLookup(file, L"", hash), 1);
    EXPECT_EQ(cloud.Flush(), c.result) << c.mode;
    EXPECT_EQ(Cached(hash), c.result == 1) << c.mode;
    EXPECT_FALSE(Cached(L"0123456789ABCDEF0123456789ABCDEF")) << c.mode;
  }
}

TEST_F(VirusTotalLookups, AFullBatchIsReadWholeBeyondSixtyFourKilobytes) {
  std::vector<std::wstring> hashes;
  std::string answers = "{";
  for (int i = 0; i < 25; ++i) {
    const std::wstring file = Sample(L"large" + std::to_wstring(i) + L".exe");
    hashes.push_back(Hash(file));
    answers += (i ? ", \"" : "\"") + Narrow(hashes.back()) + "\": {\"mode\": \"large\", \"positives\": 2}";
  }
  servers.SetAnswers(answers + "}");
  CloudServices cloud;
  Prepare(cloud, true);
  for (int i = 0; i < 25; ++i)
    EXPECT_EQ(cloud.QueueLookup(folder / (L"large" + std::to_wstring(i) + L".exe"), L"", hashes[i]), 1);
  // The 25th item sent the batch.
  EXPECT_EQ(cloud.virusTotal.FileReports().count, 0);
  ASSERT_EQ(servers.Received().size(), 1u);
  for (const std::wstring& hash : hashes) EXPECT_TRUE(Cached(hash)) << Narrow(hash);
  std::wstring json;
  ASSERT_TRUE(cloud.virusTotal.GetCachedReport(hashes[24], json));
  EXPECT_GT(json.size(), 2500u);
}

TEST_F(VirusTotalLookups, AStopDuringASlowAnswerEndsWithinASecond) {
  const std::wstring file = Sample(L"slow.exe");
  const std::wstring hash = Hash(file);
  servers.SetAnswers("{\"" + Narrow(hash) + "\": {\"mode\": \"slow\", \"delay\": 6}}");
  CloudServices cloud;
  Prepare(cloud, true);
  cloud.QueueLookup(file, L"", hash);
  std::chrono::steady_clock::time_point raised;
  std::thread stopper([&] {
    Sleep(400);
    raised = std::chrono::steady_clock::now();
    cloud.virusTotal.stop = true;
  });
  const int result = cloud.Flush();
  const auto ended = std::chrono::steady_clock::now();
  stopper.join();
  EXPECT_EQ(result, -3);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(ended - raised).count(), 1000);
  EXPECT_FALSE(Cached(hash));
}

TEST_F(VirusTotalLookups, RequestBodiesCarryPathsAndEntriesExactly) {
  const std::wstring odd = folder / L"R&D [x] 100% it's";
  ASSERT_TRUE(CreateDirectoryW(odd.c_str(), nullptr));
  const std::wstring file = Sample(L"R&D [x] 100% it's\\a \x00FC\x4E2D.exe");
  const std::wstring entry = L"\"C:\\Program Files\\x.exe\" /q \"a\\\"";
  const std::wstring location = L"HKU\\S-1-5-21-0-0-0-1000\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  CloudServices cloud;
  Prepare(cloud, true);
  EXPECT_EQ(cloud.QueueLookup(file, location + L" / " + entry, L""), 1);
  cloud.Flush();
  const std::vector<test::ReceivedRequest> received = servers.Received();
  ASSERT_EQ(received.size(), 1u);
  const test::ReceivedRequest& request = received[0];
  EXPECT_EQ(request.Field("path"), "/partners/sysinternals/file-reports?apikey=" + Narrow(kApiKey));
  EXPECT_EQ(request.Field("content-type"), "application/json; charset=utf-8");
  EXPECT_EQ(request.Field("json"), "ok");
  EXPECT_EQ(request.Field("item.0.image_path"), Narrow(file));
  EXPECT_EQ(request.Field("item.0.autostart_location"), Narrow(location));
  EXPECT_EQ(request.Field("item.0.autostart_entry"), Narrow(entry));
  EXPECT_EQ(request.Field("item.0.hash"), Narrow(Hash(file)));
  EXPECT_EQ(request.Field("item.0.creation_datetime").size(), 19u);
  // One item goes with an empty object.
  EXPECT_EQ(request.body.substr(request.body.size() - 4), ",{}]");
  // The work key maps the path to its hash.
  std::wstring mapped;
  EXPECT_TRUE(ReadStringAt(cloud.virusTotal.WorkKeyPath(), file.c_str(), mapped));
  EXPECT_EQ(mapped, Hash(file));
}

TEST_F(VirusTotalLookups, TheOldCacheMovesToItsNewPlace) {
  const std::wstring report = L"{\"response_code\": 1, \"md5\": \"44D88612FEA8A8F36DE82E1278ABB02F\"}";
  const bool hadParent = KeyExists(L"HKLM64\\SOFTWARE\\Tavrin");
  ASSERT_TRUE(WriteStringAt(std::wstring(kOldReportCacheRoot) + L"\\44D88612FEA8A8F36DE82E1278ABB02F", L"", report));
  MigrateReportCache(cacheRoot);
  EXPECT_FALSE(KeyExists(kOldReportCacheRoot));
  EXPECT_EQ(ReadStringAt(cacheRoot + L"\\44D88612FEA8A8F36DE82E1278ABB02F", L""), report);
  if (!hadParent) DeleteKeyTree(L"HKLM64\\SOFTWARE\\Tavrin");
}

TEST_F(VirusTotalLookups, WithoutAKeyNothingIsSent) {
  const std::wstring file = Sample(L"quiet.exe");
  CloudServices cloud;
  Prepare(cloud, false);
  EXPECT_EQ(cloud.QueueLookup(file, L"", L""), 1);
  EXPECT_EQ(cloud.Flush(), -5);
  cloud.virusTotal.AddUpload(file);
  cloud.virusTotal.UploadAll();
  EXPECT_TRUE(servers.Received().empty());
}

// What the public API's stand-in answers, and how fast it lets look-ups through.
std::string PublicApi(const std::string& table, int perMinute, double windowSeconds) {
  return "{" + table + (table.empty() ? "" : ", ") + "\"v3\": {\"per_minute\": " + std::to_string(perMinute) +
         ", \"window\": " + std::to_string(windowSeconds) + "}}";
}

struct StatusTexts : ProgressSink {
  void SetProgress(int) override {}
  void SetStatus(const std::wstring& text) override { texts.push_back(text); }
  std::vector<std::wstring> texts;
};

TEST_F(VirusTotalLookups, APersonalKeyAsksThePublicApiAndCachesItsVerdictsAsReports) {
  struct Case {
    const char* name;
    std::string entry;  // the stand-in's answer table entry
    bool cached;
    int code;
    double score;
  } cases[] = {
      {"found", "{\"mode\": \"found\", \"positives\": 36, \"total\": 60}", true, 1, 60},
      {"notfound", "{\"mode\": \"notfound\"}", true, 0, 0},
      {"proxy404", "{\"mode\": \"proxy404\"}", false, 0, 0},
      {"large", "{\"mode\": \"large\", \"positives\": 6, \"total\": 60}", true, 1, 10},
      {"no-engines", "{\"mode\": \"found\", \"stats\": {\"type-unsupported\": 70, \"timeout\": 2}}", true, -2, 0},
      {"malformed", "{\"mode\": \"malformed\"}", false, 0, 0},
      {"huge", "{\"mode\": \"huge\", \"positives\": 50, \"total\": 60}", false, 0, 0},
      {"error", "{\"mode\": \"error\"}", false, 0, 0},
  };
  std::vector<std::wstring> files, hashes;
  std::string table;
  for (const Case& c : cases) {
    files.push_back(Sample(std::wstring(c.name, c.name + strlen(c.name)) + L".exe"));
    hashes.push_back(Hash(files.back()));
    table += (table.empty() ? "\"" : ", \"") + Narrow(hashes.back()) + "\": " + c.entry;
  }
  servers.SetAnswers(PublicApi(table, 100, 60));
  CloudServices cloud;
  PreparePersonal(cloud, {100, 500});
  StatusTexts status;
  cloud.virusTotal.AttachStatus(&status);
  for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(cloud.QueueLookup(files[i], L"", hashes[i]), 1);
  EXPECT_EQ(cloud.Flush(), 1);

  const std::vector<test::ReceivedRequest> received = servers.Received();
  ASSERT_EQ(received.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(received[i].Field("method"), "GET") << c.name;
    EXPECT_EQ(received[i].Field("path"), "/api/v3/files/" + Narrow(hashes[i])) << c.name;
    EXPECT_EQ(received[i].Field("apikey"), Narrow(kApiKey)) << c.name;
    EXPECT_EQ(Cached(hashes[i]), c.cached) << c.name;
    CachedReport report;
    if (!c.cached || !cloud.GetCachedReport(hashes[i], report)) continue;
    EXPECT_EQ(report.responseCode, c.code) << c.name;
    EXPECT_DOUBLE_EQ(report.score, c.score) << c.name;
  }
  EXPECT_EQ(status.texts.front(), L"Looking up file reports: 1 of 8");
  EXPECT_EQ(status.texts.back(), L"Looking up file reports: 8 of 8");

  // A found report is fresh: the next scan asks nothing about it.
  servers.ClearReceived();
  EXPECT_EQ(cloud.QueueLookup(files[0], L"", hashes[0]), 2);
  EXPECT_EQ(cloud.Flush(), -5);
  EXPECT_TRUE(servers.Received().empty());
}

TEST_F(VirusTotalLookups, APersonalKeyUploadsOnlyWhenTheSettingsSaySoAndKeepsTheKeyInItsHeader) {
  for (const bool upload : {false, true}) {
    servers.ClearReceived();
    DeleteKeyTree(cacheParent);
    const std::wstring unknown = Sample(upload ? L"allowed.exe" : L"kept.exe");
    servers.SetAnswers(PublicApi("", 100, 60));
    CloudServices cloud;
    PreparePersonal(cloud, {100, 500}, upload);
    Scan scan(DetectionLevel::Medium, cloud);
    CheckMalwareFile(scan.context, unknown, L"");
    EXPECT_TRUE(ResolvePendingHashes(scan.context));
    cloud.virusTotal.AddUpload(unknown);
    cloud.virusTotal.UploadAll();

    std::vector<test::ReceivedRequest> posts;
    for (const test::ReceivedRequest& request : servers.Received()) {
      if (request.Field("method") == "GET") {
        EXPECT_EQ(request.Field("path"), "/api/v3/files/" + Narrow(Hash(unknown)));
      } else {
        posts.push_back(request);
      }
    }
    if (!upload) {
      EXPECT_TRUE(posts.empty());
      EXPECT_TRUE(cloud.virusTotal.UploadList().empty());
      continue;
    }
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].Field("path"), "/api/v3/files");
    EXPECT_EQ(posts[0].Field("apikey"), Narrow(kApiKey));
    // The form holds the file alone: no key in a field or the address.
    EXPECT_EQ(posts[0].Field("form.parts"), "1");
    EXPECT_EQ(posts[0].Field("form.apikey"), "");
    EXPECT_EQ(posts[0].Field("form.file.md5"), Narrow(Hash(unknown)));
    EXPECT_EQ(posts[0].body.find(Narrow(kApiKey)), std::string::npos);
    // Kept as waiting for its analysis: no verdict from it yet.
    CachedReport report;
    ASSERT_TRUE(cloud.GetCachedReport(Hash(unknown), report));
    EXPECT_EQ(report.responseCode, -2);
  }
}

TEST_F(VirusTotalLookups, APersonalKeyKeepsTheRateLimitAndWaitsOutTooManyRequests) {
  // The stand-in lets two through in each second. A client that knows the
  // limit (and a little more of a window) is never refused; one that
  // believes in more is refused and still gets every verdict.
  struct Case {
    RateLimits limits;
    bool refusals;
  } cases[] = {{{2, 500, 1250}, false}, {{10, 500, 1000}, true}};
  for (const Case& c : cases) {
    servers.ClearReceived();
    std::vector<std::wstring> files, hashes;
    std::string table;
    for (int i = 0; i < 5; ++i) {
      files.push_back(Sample(L"paced" + std::to_wstring(i) + L".exe"));
      hashes.push_back(Hash(files.back()));
      table += (i ? ", " : "") + Found(hashes.back(), 12, 60);
    }
    servers.SetAnswers(PublicApi(table, 2, 1));
    CloudServices cloud;
    PreparePersonal(cloud, c.limits);
    for (size_t i = 0; i < files.size(); ++i) cloud.QueueLookup(files[i], L"", hashes[i]);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(cloud.Flush(), 1);
    const auto took = std::chrono::steady_clock::now() - started;
    for (const std::wstring& hash : hashes) {
      CachedReport report;
      ASSERT_TRUE(cloud.GetCachedReport(hash, report)) << c.limits.perMinute;
      EXPECT_DOUBLE_EQ(report.score, 20);
    }
    EXPECT_EQ(Answered("429") > 0, c.refusals) << c.limits.perMinute;
    // Five look-ups at two a second take two windows at least.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 1900) << c.limits.perMinute;
  }
}

TEST_F(VirusTotalLookups, APersonalKeyTheServiceRefusesEndsTheLookUpsOfTheRun) {
  std::vector<std::wstring> files;
  for (int i = 0; i < 3; ++i) files.push_back(Sample(L"refused" + std::to_wstring(i) + L".exe"));
  servers.SetAnswers("{\"v3\": {\"key\": \"" + std::string(64, 'b') + "\", \"per_minute\": 100}}");
  CloudServices cloud;
  PreparePersonal(cloud, {100, 500});
  StatusTexts status;
  cloud.virusTotal.AttachStatus(&status);
  for (const std::wstring& file : files) cloud.QueueLookup(file, L"", Hash(file));
  EXPECT_EQ(cloud.Flush(), -5);
  EXPECT_EQ(servers.Received().size(), 1u);
  EXPECT_EQ(Answered("401"), 1);
  EXPECT_EQ(status.texts.back(), L"VirusTotal did not accept the API key: no more look-ups in this run.");
  for (const std::wstring& file : files) EXPECT_FALSE(Cached(Hash(file)));

  // The next scan of the same run sends nothing, uploads included.
  cloud.virusTotal.ResetForScan();
  cloud.QueueLookup(files[0], L"", Hash(files[0]));
  EXPECT_EQ(cloud.Flush(), -5);
  cloud.virusTotal.AddUpload(files[1]);
  cloud.virusTotal.UploadAll();
  EXPECT_EQ(servers.Received().size(), 1u);
}

}  // namespace
}  // namespace tavrin
