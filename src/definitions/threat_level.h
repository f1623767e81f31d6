#pragma once
// The threat level of a Malware row, from the score of its record: the text
// of the "Threat level" column and the colours of that cell.
#include <windows.h>

#include <span>
#include <string_view>

namespace tavrin {

struct ThreatLevel {
  int level;              // 0: not listed
  int lowestScore;        // the level starts at this score
  std::wstring_view text;
  COLORREF textColour;
  COLORREF background;
};

// Levels 0 to 5 in order.
std::span<const ThreatLevel> ThreatLevels();

// The level of a score: 0 for 0, then 1 to 5 from 1, 20, 40, 60 and 80.
const ThreatLevel& ThreatLevelOfScore(unsigned long long score);
// The level of a MalwareRecord text; level 0 when it does not parse.
const ThreatLevel& ThreatLevelOf(std::wstring_view record);
// The level whose text a row shows, for a view that colours the cell; null
// for any other text.
const ThreatLevel* ThreatLevelNamed(std::wstring_view text);

}  // namespace tavrin
