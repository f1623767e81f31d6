#include "filetrust/identity_text.h"

namespace tavrin {

std::wstring IdentityText(const IdentityFacts& facts) {
  std::wstring text;
  for (const std::wstring& value : facts.versionStrings) {
    if (!value.empty()) text += value + L"\n";
  }
  if (text.size() > 1) text.pop_back();
  // Two or more version strings count as one fact together; one alone does
  // not count.
  int count = text.find(L'\n', 1) != std::wstring::npos ? 1 : 0;

  if (facts.primary.size() >= 32) {
    ++count;
    text = count < 2 && text.empty() ? facts.primary : text + L"\n" + facts.primary;
    if (count > 1) return text;
  }
  // Every further fact replaces what little there is until two facts stand,
  // then it is appended.
  auto add = [&](const std::optional<std::wstring>& digest) {
    if (!digest || digest->empty()) return;
    ++count;
    text = count >= 2 ? text + L"\n" + *digest : *digest;
  };
  add(facts.codeDigest);
  add(facts.iconDigest);
  if (count < 3) add(facts.headDigest);
  return text.size() < 3 ? std::wstring() : text;
}

}  // namespace tavrin
