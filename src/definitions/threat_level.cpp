#include "definitions/threat_level.h"

#include "definitions/malware_record.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

constexpr ThreatLevel kLevels[] = {
    {0, 0, L"", kBlack, kWhite},
    {1, 1, L"Low", kBlack, 0x33FFE6},
    {2, 20, L"Medium", kBlack, 0x33B2FF},
    {3, 40, L"High", kBlack, 0x3383FF},
    {4, 60, L"Very high", kWhite, 0x3358FF},
    {5, 80, L"Critical", kWhite, 0x3333FF},
};

}  // namespace

std::span<const ThreatLevel> ThreatLevels() { return kLevels; }

const ThreatLevel& ThreatLevelOfScore(unsigned long long score) {
  const ThreatLevel* found = &kLevels[0];
  for (const ThreatLevel& level : kLevels) {
    if (score >= static_cast<unsigned long long>(level.lowestScore)) found = &level;
  }
  return *found;
}

const ThreatLevel& ThreatLevelOf(std::wstring_view record) {
  const std::optional<MalwareRecord> parsed = ParseMalwareRecord(record);
  return ThreatLevelOfScore(parsed ? parsed->score : 0);
}

const ThreatLevel* ThreatLevelNamed(std::wstring_view text) {
  if (text.empty()) return nullptr;
  for (const ThreatLevel& level : kLevels) {
    if (EqualsNoCase(level.text, text)) return &level;
  }
  return nullptr;
}

}  // namespace tavrin
