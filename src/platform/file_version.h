#pragma once
// Version resources of executables.
#include <string>

namespace tavrin {

// The "FileVersion" string of the file's version resource (the first
// language listed), or the fixed file version as "a.b.c.d" when there is no
// such string; empty when the file has no version resource.
std::wstring FileVersionText(const std::wstring& path);

}  // namespace tavrin
