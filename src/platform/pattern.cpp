#include "platform/pattern.h"

#include <pcre2.h>

namespace tavrin {

namespace {

PCRE2_SPTR16 Units(std::wstring_view text) { return reinterpret_cast<PCRE2_SPTR16>(text.data()); }

struct MatchData {
  explicit MatchData(const pcre2_code_16* code) : data(pcre2_match_data_create_from_pattern_16(code, nullptr)) {}
  ~MatchData() { pcre2_match_data_free_16(data); }
  pcre2_match_data_16* data;
};

}  // namespace

void Pattern::Free::operator()(pcre2_real_code_16* code) const { pcre2_code_free_16(code); }

std::wstring PatternMatch::Group(size_t i) const {
  if (!HasGroup(i)) return {};
  return std::wstring(subject.substr(groups[i].first, groups[i].second));
}

bool Pattern::Compile(std::wstring_view expression, unsigned options) {
  code_.reset();
  // Text comes from files and the registry, where unpaired surrogates occur:
  // such subjects must match safely rather than fail or misbehave.
  uint32_t flags = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
  if (!(options & PatternCaseSensitive)) flags |= PCRE2_CASELESS;
  if (options & PatternMultiline) flags |= PCRE2_MULTILINE;
  if (options & PatternDotAll) flags |= PCRE2_DOTALL;
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code_16* code = pcre2_compile_16(Units(expression), expression.size(), flags, &error, &offset, nullptr);
  if (!code) {
    errorCode_ = error;
    errorOffset_ = offset;
    return false;
  }
  pcre2_jit_compile_16(code, PCRE2_JIT_COMPLETE);  // falls back to the interpreter when it fails
  code_.reset(code, Free{});
  errorCode_ = 0;
  errorOffset_ = 0;
  return true;
}

bool Pattern::Matches(std::wstring_view subject) const {
  PatternMatch m;
  return Match(subject, m);
}

bool Pattern::Match(std::wstring_view subject, PatternMatch& match, size_t start) const {
  match.groups.clear();
  match.subject = subject;
  if (!code_ || start > subject.size()) return false;
  MatchData md(code_.get());
  if (!md.data) return false;
  int rc = pcre2_match_16(code_.get(), Units(subject), subject.size(), start, 0, md.data, nullptr);
  if (rc < 0) return false;
  uint32_t count = pcre2_get_ovector_count_16(md.data);
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer_16(md.data);
  match.groups.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (ov[2 * i] == PCRE2_UNSET || i >= uint32_t(rc == 0 ? count : rc)) {
      match.groups[i] = {std::wstring_view::npos, 0};
    } else {
      match.groups[i] = {ov[2 * i], ov[2 * i + 1] - ov[2 * i]};
    }
  }
  return true;
}

std::vector<PatternMatch> Pattern::MatchAll(std::wstring_view subject) const {
  std::vector<PatternMatch> all;
  size_t start = 0;
  PatternMatch m;
  while (start <= subject.size() && Match(subject, m, start)) {
    all.push_back(m);
    size_t end = m.groups[0].first + m.groups[0].second;
    start = end > m.groups[0].first ? end : end + 1;  // never loop on an empty match
  }
  return all;
}

std::optional<std::wstring> Pattern::ReplaceAll(std::wstring_view subject, std::wstring_view replacement) const {
  if (!code_) return std::nullopt;
  std::wstring out(subject.size() + replacement.size() + 64, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    PCRE2_SIZE length = out.size();
    int rc = pcre2_substitute_16(code_.get(), Units(subject), subject.size(), 0,
                                 PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH, nullptr, nullptr,
                                 Units(replacement), replacement.size(),
                                 reinterpret_cast<PCRE2_UCHAR16*>(out.data()), &length);
    if (rc >= 0) {
      out.resize(length);
      return out;
    }
    if (rc != PCRE2_ERROR_NOMEMORY) return std::nullopt;
    out.assign(length + 1, L'\0');
  }
  return std::nullopt;
}

std::optional<std::wstring> RegexReplace(std::wstring_view subject, std::wstring_view expression,
                                         std::wstring_view replacement, unsigned options) {
  return Pattern(expression, options).ReplaceAll(subject, replacement);
}

}  // namespace tavrin
