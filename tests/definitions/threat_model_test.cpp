#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definitions/cloud_verdicts.h"
#include "definitions/detection_level.h"
#include "definitions/hash_list_queue.h"
#include "definitions/malware_record.h"
#include "definitions/threat_level.h"

namespace tavrin {
namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

uint64_t LocalTime(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0) {
  SYSTEMTIME st{year, month, 0, day, hour, minute, 0, 0};
  FILETIME ft{};
  SystemTimeToFileTime(&st, &ft);
  return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

TEST(ThreatModel, LevelOfRecordTable) {
  const struct {
    const wchar_t* record;
    int level;
    const wchar_t* text;
  } cases[] = {
      {L"Trojan.Agent.8766.0", 0, L""},
      {L"Trojan.8766.1", 1, L"Low"},
      {L"Trojan.8766.19", 1, L"Low"},
      {L"Trojan.8766.20", 2, L"Medium"},
      {L"Trojan.8766.39", 2, L"Medium"},
      {L"Trojan.8766.40", 3, L"High"},
      {L"Trojan.8766.59", 3, L"High"},
      {L"Trojan.8766.60", 4, L"Very high"},
      {L"Trojan.8766.79", 4, L"Very high"},
      {L"Trojan.8766.80", 5, L"Critical"},
      {L"Trojan.8766.100", 5, L"Critical"},
      {L"trojan.1.250", 5, L"Critical"},  // a score above 100 is still critical, not unlisted
      {L"Trojan.8766.013", 1, L"Low"},
      // Not a record: nothing is listed.
      {L"FP", 0, L""},
      {L"", 0, L""},
      {L".8766.50", 0, L""},        // no name
      {L"Trojan.8766.", 0, L""},
      {L"Trojan.8766.5x", 0, L""},
      {L"Trojan.8766", 0, L""},
      {L"Trojan.-1.50", 0, L""},
      {L"Trojan.1.99999999999999999999999", 0, L""},  // does not fit: no score at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.record));
    const ThreatLevel& level = ThreatLevelOf(c.record);
    EXPECT_EQ(level.level, c.level);
    EXPECT_EQ(std::wstring(level.text), c.text);
  }
}

TEST(ThreatModel, LevelColoursAndNamesFollowTheTable) {
  const struct {
    const wchar_t* text;
    COLORREF textColour;
    COLORREF background;
  } expected[] = {{L"Low", RGB(0, 0, 0), 0x33FFE6},         {L"Medium", RGB(0, 0, 0), 0x33B2FF},
                  {L"High", RGB(0, 0, 0), 0x3383FF},        {L"Very high", RGB(255, 255, 255), 0x3358FF},
                  {L"Critical", RGB(255, 255, 255), 0x3333FF}};
  for (const auto& e : expected) {
    SCOPED_TRACE(Narrow(e.text));
    const ThreatLevel* level = ThreatLevelNamed(e.text);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->textColour, e.textColour);
    EXPECT_EQ(level->background, e.background);
    EXPECT_EQ(&ThreatLevelOfScore(level->lowestScore), level);
  }
  EXPECT_EQ(ThreatLevelNamed(L""), nullptr);
  EXPECT_EQ(ThreatLevelNamed(L"Severe"), nullptr);
}

TEST(ThreatModel, MadeRecordsTable) {
  const uint64_t newYear2024 = LocalTime(2024, 1, 1, 12, 30);  // 8766 days after 1 January 2000
  const struct {
    double score;
    const wchar_t* record;
    int level;
  } cases[] = {
      {0, L"Suspicious.8766.0", 0},
      {10, L"Suspicious.8766.10", 1},
      {11.5, L"Suspicious.8766.11", 1},
      {19.99, L"Suspicious.8766.19", 1},
      {20, L"Riskware.8766.20", 2},
      {49.9, L"Riskware.8766.49", 3},
      {50, L"Malware.8766.50", 3},
      {79.5, L"Malware.8766.79", 4},
      {100, L"Malware.8766.100", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.score);
    const std::wstring record = MakeMalwareRecord(c.score, newYear2024);
    EXPECT_EQ(record, c.record);
    EXPECT_EQ(ThreatLevelOf(record).level, c.level);
  }
}

TEST(ThreatModel, DayNumbersCountWholeLocalDaysFrom2000) {
  EXPECT_EQ(DaysSince2000(LocalTime(2000, 1, 1)), 0u);
  EXPECT_EQ(DaysSince2000(LocalTime(2000, 1, 1, 23, 59)), 0u);
  EXPECT_EQ(DaysSince2000(LocalTime(2000, 1, 2)), 1u);
  EXPECT_EQ(DaysSince2000(LocalTime(2000, 3, 1)), 60u);  // 2000 is a leap year
  EXPECT_EQ(DaysSince2000(LocalTime(1999, 12, 31)), 0u);
  // Classified now: the day number of today, whatever the zone.
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const uint64_t today = DaysSince2000(LocalTime(now.wYear, now.wMonth, now.wDay));
  const std::optional<MalwareRecord> made = ParseMalwareRecord(MakeMalwareRecord(12.0));
  ASSERT_TRUE(made);
  EXPECT_EQ(made->name, L"Suspicious");
  EXPECT_GE(made->days, today);
  EXPECT_LE(made->days, today + 1);  // midnight may pass in between
  EXPECT_EQ(made->score, 12u);
}

TEST(ThreatModel, RecordsKeepDottedNames) {
  const std::optional<MalwareRecord> record = ParseMalwareRecord(L"Win32.Trojan.Agent.8766.100");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->name, L"Win32.Trojan.Agent");
  EXPECT_EQ(record->days, 8766u);
  EXPECT_EQ(record->score, 100u);
}

TEST(ThreatModel, DetectionLevelsAndTheirNumbers) {
  EXPECT_EQ(Threshold(DetectionLevel::Soft), 14);
  EXPECT_EQ(Threshold(DetectionLevel::Medium), 12);
  EXPECT_EQ(Threshold(DetectionLevel::Aggressive), 10);
  const std::pair<long long, DetectionLevel> numbers[] = {{10, DetectionLevel::Aggressive},
                                                          {14, DetectionLevel::Soft},
                                                          {12, DetectionLevel::Medium},
                                                          {11, DetectionLevel::Medium},
                                                          {0, DetectionLevel::Medium},
                                                          {-14, DetectionLevel::Medium}};
  for (const auto& [number, level] : numbers) EXPECT_EQ(DetectionLevelFromNumber(number), level) << number;
}

TEST(HashList, TagOfEveryRequestKind) {
  const std::pair<unsigned, const wchar_t*> cases[] = {
      {0, L"=(resubmit)"}, {1, L"=(recheck)"}, {2, L"=(remove)"},  {3, L"=(recheck)"},
      {4, L"=(resubmit)"}, {5, L"=(recheck)"}, {6, L"=(remove)"},  {9, L"=(recheck)"},
      {8, L"=(resubmit)"}, {10, L"=R10"},      {12, L"=R12"},      {100, L"=R100"},
  };
  for (const auto& [request, tag] : cases) EXPECT_EQ(HashTag(request), tag) << request;
}

class RecordingSender : public CloudVerdicts {
 public:
  bool GetCachedReport(const std::wstring&, CachedReport&) override { return false; }
  int QueueLookup(const std::wstring&, const std::wstring&, const std::wstring&) override { return 0; }
  int Flush() override { return -5; }
  size_t AddUpload(const std::wstring&) override { return 0; }
  void SendHashList(std::vector<std::wstring> lines) override { batches.push_back(std::move(lines)); }
  std::vector<std::vector<std::wstring>> batches;
};

TEST(HashList, FiftyLinesGoToTheSenderAndTheQueueStartsAgain) {
  HashListQueue queue;
  RecordingSender sender;
  const std::wstring hash = L"44D88612FEA8A8F36DE82E1278ABB02F";
  for (unsigned i = 0; i < kHashListBatch - 1; ++i) QueueHashTag(queue, hash, 10 + i, sender);
  EXPECT_TRUE(sender.batches.empty());
  EXPECT_EQ(HashListSize(queue), kHashListBatch - 1);

  QueueHashTag(queue, hash, 2, sender);
  ASSERT_EQ(sender.batches.size(), 1u);
  ASSERT_EQ(sender.batches[0].size(), kHashListBatch);
  EXPECT_EQ(sender.batches[0].front(), hash + L"=R10");
  EXPECT_EQ(sender.batches[0].back(), hash + L"=(remove)");
  EXPECT_EQ(HashListSize(queue), 0u);

  QueueHashTag(queue, hash, 1, sender);
  EXPECT_EQ(TakeHashList(queue), std::vector<std::wstring>{hash + L"=(recheck)"});
  EXPECT_EQ(HashListSize(queue), 0u);
  EXPECT_EQ(sender.batches.size(), 1u);
}

}  // namespace
}  // namespace tavrin
