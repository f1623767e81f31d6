#pragma once
// The first icon group of a program file, rebuilt as the bytes of a
// standalone .ico file: what the file shows in Explorer survives a
// recompilation, so its digest is one of the facts of a file's identity.
#include <string>

namespace tavrin {

// The .ico image (6-byte header, one 16-byte entry per image with its
// offset, then the images) of the file's first icon group; empty when the
// file has no icon or its resources are inconsistent. The file is loaded as
// data only, never run.
std::string FirstIconImage(const std::wstring& path);

}  // namespace tavrin
