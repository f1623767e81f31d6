#pragma once
// Editing an AppInit_DLLs list without touching the entries that stay.
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// The list without every entry equal (any case) to `entry`. Entries are
// separated as Windows separates them (blanks, commas, and line feeds of
// the REG_MULTI_SZ form); an entry goes with the separator before it, or
// after it for the first, so the others keep theirs. A text of fewer than
// three characters that remains becomes empty. Nothing when no entry is
// equal: "hook" is never cut out of "myhook.dll".
std::optional<std::wstring> RemoveAppInitEntry(std::wstring_view list, std::wstring_view entry);

}  // namespace tavrin
