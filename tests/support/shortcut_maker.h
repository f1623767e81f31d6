#pragma once
// Shortcut files for tests, written through the shell's own link object as
// Windows writes them.
#include <string>

namespace tavrin::test {

// A link at `path` to `target` with `arguments`; the working folder and the
// icon only when given. The calling thread must have COM set up.
bool MakeShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& arguments = {},
                  const std::wstring& workingFolder = {}, const std::wstring& icon = {}, int iconIndex = 0);

}  // namespace tavrin::test
