#include "removal/app_init_list.h"

#include <vector>

#include "platform/strings.h"

namespace tavrin {

namespace {

bool IsSeparator(wchar_t c) { return c == L' ' || c == L',' || c == L'\n' || c == L'\t' || c == L'\r'; }

struct Piece {
  std::wstring_view separator;  // before the entry
  std::wstring_view entry;
};

}  // namespace

std::optional<std::wstring> RemoveAppInitEntry(std::wstring_view list, std::wstring_view entry) {
  if (entry.empty()) return std::nullopt;
  std::vector<Piece> pieces;
  std::wstring_view trailing;
  size_t at = 0;
  while (at < list.size()) {
    const size_t separatorStart = at;
    while (at < list.size() && IsSeparator(list[at])) ++at;
    const size_t entryStart = at;
    while (at < list.size() && !IsSeparator(list[at])) ++at;
    if (entryStart == at) {
      trailing = list.substr(separatorStart);
      break;
    }
    pieces.push_back({list.substr(separatorStart, entryStart - separatorStart), list.substr(entryStart, at - entryStart)});
  }

  std::wstring result;
  bool found = false, first = true;
  std::wstring_view leading = pieces.empty() ? std::wstring_view() : pieces.front().separator;
  for (const Piece& piece : pieces) {
    if (EqualsNoCase(piece.entry, entry)) {
      found = true;
      continue;
    }
    result += first ? leading : piece.separator;
    result += piece.entry;
    first = false;
  }
  if (!found) return std::nullopt;
  if (!first) result += trailing;
  if (result.size() < 3) result.clear();
  return result;
}

}  // namespace tavrin
