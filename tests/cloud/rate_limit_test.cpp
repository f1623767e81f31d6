#include "cloud/rate_limit.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cloud/vt3_client.h"
#include "cloud/vt_report.h"
#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {
namespace {

constexpr int64_t kMinute = 60000;
// 10 December 2026, 10:00 UTC.
constexpr int64_t kMorning = 1796896800000LL;

// Time that passes only when someone waits.
class FakeClock final : public RateClock {
 public:
  explicit FakeClock(int64_t start = kMorning) : now(start) {}
  int64_t NowMs() override { return now; }
  void SleepMs(int64_t ms) override {
    now += ms;
    ++sleeps;
  }
  int64_t now;
  int sleeps = 0;
};

// When each of `count` requests was granted, in milliseconds from the start.
std::vector<int64_t> GrantTimes(RateLimiter& limiter, FakeClock& clock, int count) {
  const int64_t start = clock.now;
  std::vector<int64_t> times;
  for (int i = 0; i < count; ++i) {
    if (limiter.Acquire({}) != RateGrant::Granted) break;
    times.push_back(clock.now - start);
  }
  return times;
}

TEST(RateLimiter, NeverGrantsMoreThanTheLimitInAnySlidingMinute) {
  FakeClock clock;
  RateLimiter limiter(clock, {4, 500});
  EXPECT_EQ(GrantTimes(limiter, clock, 10),
            (std::vector<int64_t>{0, 0, 0, 0, kMinute, kMinute, kMinute, kMinute, 2 * kMinute, 2 * kMinute}));
  // Waits go in short steps, so that a stop is seen at once.
  EXPECT_GE(clock.sleeps, 2 * kMinute / 100);

  // Requests spread out: the window slides with them, it is no fixed minute.
  FakeClock spread;
  RateLimiter sliding(spread, {2, 500});
  ASSERT_EQ(sliding.Acquire({}), RateGrant::Granted);
  spread.now += 40000;
  ASSERT_EQ(sliding.Acquire({}), RateGrant::Granted);
  EXPECT_EQ(GrantTimes(sliding, spread, 2), (std::vector<int64_t>{20000, 60000}));

  // "Too many" from the service: a whole window without requests.
  FakeClock held;
  RateLimiter holding(held, {4, 500});
  ASSERT_EQ(holding.Acquire({}), RateGrant::Granted);
  holding.HoldOff();
  EXPECT_EQ(GrantTimes(holding, held, 1), (std::vector<int64_t>{kMinute}));
}

TEST(RateLimiter, StopsAtTheDailyQuotaUntilTheNextUtcDay) {
  FakeClock clock(kMorning);
  RateLimiter limiter(clock, {100, 5});
  limiter.Restore(RateLimiter::DayOf(kMorning), 3);  // an earlier run's count
  EXPECT_EQ(GrantTimes(limiter, clock, 10).size(), 2u);
  EXPECT_EQ(limiter.Acquire({}), RateGrant::DailyQuota);
  EXPECT_EQ(limiter.UsedToday(), 5);

  // Yesterday's count is no count for today.
  RateLimiter fresh(clock, {100, 5});
  fresh.Restore(RateLimiter::DayOf(kMorning) - 1, 5);
  EXPECT_EQ(GrantTimes(fresh, clock, 10).size(), 5u);

  clock.now += 14 * 3600 * 1000LL;  // past midnight UTC
  EXPECT_EQ(limiter.Acquire({}), RateGrant::Granted);
  EXPECT_EQ(limiter.UsedToday(), 1);
}

TEST(RateLimiter, AStopDuringAWaitEndsItAtOnce) {
  FakeClock clock;
  RateLimiter limiter(clock, {1, 500});
  ASSERT_EQ(limiter.Acquire({}), RateGrant::Granted);
  int waits = 0;
  const int64_t start = clock.now;
  const RateGrant grant = limiter.Acquire([&] { return clock.now - start >= 1000; }, [&] { ++waits; });
  EXPECT_EQ(grant, RateGrant::Stopped);
  EXPECT_LE(clock.now - start, 1000);
  EXPECT_EQ(waits, 1);
  EXPECT_EQ(limiter.UsedToday(), 1);  // the stopped one was never counted
}

// Look-ups against a scripted service: each hash answers with its list of
// statuses in turn (the last one repeats; 404 without a list); every
// request is noted with the fake time it went out at.
class ScriptedLookups : public ::testing::Test {
 protected:
  void SetUp() override { DeleteKeyTree(countKey); }
  void TearDown() override { DeleteKeyTree(countKey); }

  struct Status : ProgressSink {
    void SetProgress(int) override {}
    void SetStatus(const std::wstring& text) override { texts.push_back(text); }
    bool Shown(const std::wstring& text) const {
      for (const std::wstring& t : texts) {
        if (t == text) return true;
      }
      return false;
    }
    std::vector<std::wstring> texts;
  };

  int Run(PersonalLookups& lookups, const std::vector<std::wstring>& hashes,
          const std::function<bool()>& stopped = {}) {
    auto fetch = [this](const std::wstring& path) {
      sent.push_back({path, clock.now - kMorning});
      std::vector<unsigned>& statuses = script[path.substr(path.rfind(L'/') + 1)];
      HttpAnswer answer;
      answer.status = statuses.empty() ? 404 : statuses.front();
      // Status 0 stands for no answer at all, 1 for an answer cut short, 2
      // for a 404 that is not the service's (a proxy's or web server's page).
      answer.outcome = answer.status == 0 ? HttpOutcome::NoAnswer
                                          : answer.status == 1 ? HttpOutcome::Cut : HttpOutcome::Answered;
      if (statuses.size() > 1) statuses.erase(statuses.begin());
      if (answer.status == 404)
        answer.body = "{\"error\": {\"code\": \"NotFoundError\", \"message\": \"File not found\"}}";
      if (answer.status == 2) {
        answer.status = 404;
        answer.body = "<html><body><h1>404 Not Found</h1></body></html>";
      }
      if (answer.status == 200)
        answer.body = "{\"data\": {\"id\": \"ab\", \"attributes\": {\"last_analysis_date\": 1796896800, "
                      "\"last_analysis_stats\": {\"malicious\": 30, \"undetected\": 30}}}}";
      return answer;
    };
    auto store = [this](const std::wstring& hash, const std::wstring& json) {
      stored[hash] = json;
      return true;
    };
    return lookups.Run(hashes, fetch, store, stopped, &status);
  }
  PersonalLookups Make(RateLimits limits) {
    PersonalLookups lookups(clock);
    lookups.Configure(limits, countKey, L"https://localhost");
    return lookups;
  }
  static std::vector<std::wstring> Hashes(int count) {
    std::vector<std::wstring> hashes;
    for (int i = 0; i < count; ++i) hashes.push_back(std::wstring(30, L'A') + std::to_wstring(10 + i));
    return hashes;
  }

  const std::wstring countKey = L"HKLM64\\SOFTWARE\\TavrinTest-Quota-" + std::to_wstring(GetCurrentProcessId());
  FakeClock clock;
  Status status;
  std::map<std::wstring, std::vector<unsigned>> script;
  std::vector<std::pair<std::wstring, int64_t>> sent;
  std::map<std::wstring, std::wstring> stored;
};

TEST_F(ScriptedLookups, FourAMinuteWithProgressAndEveryAnswerCached) {
  const std::vector<std::wstring> hashes = Hashes(9);
  for (const std::wstring& hash : hashes) script[hash] = {200};
  script[hashes[7]] = {2};
  script[hashes[8]] = {404};
  PersonalLookups lookups = Make({4, 500});
  EXPECT_EQ(Run(lookups, hashes), 1);

  ASSERT_EQ(sent.size(), 9u);
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].first, L"/api/v3/files/" + hashes[i]);
    EXPECT_EQ(sent[i].second, int64_t(i / 4) * kMinute) << i;
  }
  EXPECT_TRUE(status.Shown(L"Looking up file reports: 1 of 9"));
  EXPECT_TRUE(status.Shown(L"Looking up file reports: 5 of 9 (waiting for the rate limit)"));
  EXPECT_TRUE(status.Shown(L"Looking up file reports: 9 of 9 (waiting for the rate limit)"));
  EXPECT_FALSE(status.Shown(L"Looking up file reports: 4 of 9 (waiting for the rate limit)"));
  // Only the service's own "not found" says the file is unknown.
  ASSERT_EQ(stored.size(), 8u);
  EXPECT_EQ(stored.count(hashes[7]), 0u);
  VtReport report;
  EXPECT_EQ(ParseReport(stored[hashes[0]], 0, report), 1);
  EXPECT_DOUBLE_EQ(report.score, 50);
  EXPECT_EQ(ParseReport(stored[hashes[8]], 0, report), 0);
}

TEST_F(ScriptedLookups, TheDailyQuotaIsCountedAcrossRunsAndStopsTheLookUps) {
  {
    PersonalLookups first = Make({4, 6});
    EXPECT_EQ(Run(first, Hashes(4)), 1);  // each answered "not known"
  }
  EXPECT_EQ(sent.size(), 4u);
  DWORD used = 0;
  ASSERT_TRUE(ReadDwordAt(countKey, kLookupCountValue, used));
  EXPECT_EQ(used, 4u);

  // The next run of the program, the same day.
  sent.clear();
  PersonalLookups second = Make({4, 6});
  Run(second, Hashes(5));
  EXPECT_EQ(sent.size(), 2u);
  EXPECT_TRUE(status.Shown(L"VirusTotal's daily quota of 6 look-ups is used up: no more look-ups today."));
  ASSERT_TRUE(ReadDwordAt(countKey, kLookupCountValue, used));
  EXPECT_EQ(used, 6u);

  // The next UTC day counts afresh.
  sent.clear();
  clock.now += 24 * 3600 * 1000LL;
  PersonalLookups third = Make({4, 6});
  Run(third, Hashes(3));
  EXPECT_EQ(sent.size(), 3u);
}

TEST_F(ScriptedLookups, TwoQuickRunsShareThePerMinuteLimit) {
  const std::vector<std::wstring> hashes = Hashes(6);
  {
    PersonalLookups first = Make({4, 500});
    Run(first, {hashes[0], hashes[1], hashes[2]});
  }
  // The program runs again ten seconds later: one request is left in the
  // minute the first run began.
  clock.now += 10000;
  sent.clear();
  PersonalLookups second = Make({4, 500});
  Run(second, {hashes[3], hashes[4], hashes[5]});
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].second, 10000);
  EXPECT_EQ(sent[1].second, kMinute);
  EXPECT_EQ(sent[2].second, kMinute);

  // Kept times of another day, or written by something else, hold nothing up.
  ASSERT_TRUE(WriteStringAt(countKey, kLookupRecentValue, L"12,x"));
  clock.now += 10 * kMinute;
  sent.clear();
  PersonalLookups third = Make({1, 500});
  Run(third, {hashes[0]});
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].second, 11 * kMinute);
}

TEST_F(ScriptedLookups, RefusedKeysTooManyRequestsAndStops) {
  const std::vector<std::wstring> hashes = Hashes(3);
  {
    // 429 twice: asked again a whole window later each time, then answered.
    script[hashes[0]] = {429, 429, 200};
    PersonalLookups lookups = Make({4, 500});
    EXPECT_EQ(Run(lookups, {hashes[0]}), 1);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].second, kMinute);
    EXPECT_EQ(sent[2].second, 2 * kMinute);
    EXPECT_EQ(stored.count(hashes[0]), 1u);
  }
  {
    // 429 for ever: never a verdict; the run ends after the retries.
    sent.clear();
    stored.clear();
    script[hashes[0]] = {429};
    PersonalLookups lookups = Make({4, 500});
    EXPECT_EQ(Run(lookups, hashes), -5);
    EXPECT_EQ(sent.size(), size_t(kTooManyRetries + 1));
    EXPECT_TRUE(stored.empty());
    EXPECT_FALSE(lookups.KeyRefused());
  }
  for (unsigned refusal : {401u, 403u}) {
    // A wrong key: nothing more is sent in this run.
    sent.clear();
    stored.clear();
    script[hashes[0]] = {200};
    script[hashes[1]] = {refusal};
    PersonalLookups lookups = Make({100, 500});
    EXPECT_EQ(Run(lookups, hashes), 1);
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_TRUE(lookups.KeyRefused());
    EXPECT_TRUE(status.Shown(L"VirusTotal did not accept the API key: no more look-ups in this run."));
    EXPECT_EQ(Run(lookups, hashes), -5);
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_EQ(lookups.AcquireSlot({}), RateGrant::Stopped);
  }
  {
    // Answers that are no verdict store nothing; the next hash is still asked.
    sent.clear();
    stored.clear();
    script[hashes[0]] = {500};
    script[hashes[1]] = {1};
    script[hashes[2]] = {200};
    PersonalLookups lookups = Make({100, 500});
    EXPECT_EQ(Run(lookups, hashes), 1);
    EXPECT_EQ(sent.size(), 3u);
    EXPECT_EQ(stored.size(), 1u);
  }
  {
    // A service that cannot be reached is not asked about every other hash.
    sent.clear();
    script[hashes[0]] = {0};
    PersonalLookups lookups = Make({100, 500});
    EXPECT_EQ(Run(lookups, hashes), 0);
    EXPECT_EQ(sent.size(), 1u);
  }
  {
    // A scan stopped while the look-ups wait for the rate limit ends at once
    // (a minute after the requests above, which would count too).
    clock.now += kMinute;
    sent.clear();
    for (const std::wstring& hash : hashes) script[hash] = {200};
    PersonalLookups lookups = Make({1, 500});
    const int64_t start = clock.now;
    EXPECT_EQ(Run(lookups, hashes, [&] { return clock.now - start >= 5000; }), -3);
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_LE(clock.now - start, 5000);
  }
  // Hashes that are no hexadecimal text are never put into a request path,
  // and a hash is asked once however many files have it.
  sent.clear();
  PersonalLookups lookups = Make({100, 500});
  Run(lookups, {L"../../users/me", L"ABC?x=1", L"", hashes[0], ToLower(hashes[0]), hashes[0]});
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].first, L"/api/v3/files/" + hashes[0]);
}

}  // namespace
}  // namespace tavrin
