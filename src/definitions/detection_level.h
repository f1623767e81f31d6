#pragma once
// The user's choice of how readily a file is reported as malware. The number
// of each level is the threat score a file must reach to be listed; only the
// malware file verdicts depend on it.
namespace tavrin {

enum class DetectionLevel : int {
  Aggressive = 10,
  Medium = 12,  // the default
  Soft = 14,
};

constexpr int Threshold(DetectionLevel level) { return static_cast<int>(level); }

// The level a stored or passed number stands for: 10 and 14 name their
// levels, anything else is Medium.
constexpr DetectionLevel DetectionLevelFromNumber(long long number) {
  if (number == Threshold(DetectionLevel::Aggressive)) return DetectionLevel::Aggressive;
  if (number == Threshold(DetectionLevel::Soft)) return DetectionLevel::Soft;
  return DetectionLevel::Medium;
}

}  // namespace tavrin
