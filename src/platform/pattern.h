#pragma once
// The program's one regular-expression facility (PCRE2, 16-bit code units).
// Patterns are compiled once, case-insensitively unless asked otherwise, and
// JIT-compiled when the platform allows it. A compiled pattern is read-only
// and may be shared between threads; each match uses its own match data.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct pcre2_real_code_16;

namespace tavrin {

enum PatternOptions : unsigned {
  PatternCaseSensitive = 0x1,
  PatternMultiline = 0x2,
  PatternDotAll = 0x4,
};

struct PatternMatch {
  // Offset and length of the whole match (group 0) and of every capture
  // group; a group that did not take part has offset npos.
  std::vector<std::pair<size_t, size_t>> groups;
  std::wstring_view subject;

  bool HasGroup(size_t i) const { return i < groups.size() && groups[i].first != std::wstring_view::npos; }
  std::wstring Group(size_t i) const;
  size_t Offset(size_t i = 0) const { return i < groups.size() ? groups[i].first : std::wstring_view::npos; }
};

class Pattern {
 public:
  Pattern() = default;
  explicit Pattern(std::wstring_view expression, unsigned options = 0) { Compile(expression, options); }

  // False (and no usable pattern) when the expression does not compile.
  bool Compile(std::wstring_view expression, unsigned options = 0);
  bool IsValid() const { return code_ != nullptr; }
  int ErrorCode() const { return errorCode_; }
  size_t ErrorOffset() const { return errorOffset_; }

  bool Matches(std::wstring_view subject) const;
  // The first match at or after `start`; false when none (or no pattern).
  bool Match(std::wstring_view subject, PatternMatch& match, size_t start = 0) const;
  // Every non-overlapping match, left to right.
  std::vector<PatternMatch> MatchAll(std::wstring_view subject) const;
  // Replaces every match; "$1" and "${1}" refer to capture groups, "$$" is a
  // dollar sign. Nothing when the pattern is invalid or the replacement is
  // malformed.
  std::optional<std::wstring> ReplaceAll(std::wstring_view subject, std::wstring_view replacement) const;

 private:
  struct Free {
    void operator()(pcre2_real_code_16* code) const;
  };
  std::shared_ptr<pcre2_real_code_16> code_;
  int errorCode_ = 0;
  size_t errorOffset_ = 0;
};

// A one-off replacement for a pattern that is not on a hot path.
std::optional<std::wstring> RegexReplace(std::wstring_view subject, std::wstring_view expression,
                                         std::wstring_view replacement, unsigned options = 0);

}  // namespace tavrin
