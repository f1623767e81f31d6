#pragma once
// Shell links (".lnk" files) read through the shell's own link object, so
// that every link format the shell writes is understood: what the scans
// need to turn a shortcut into the file it starts, and the one change the
// browser repair makes to a hijacked shortcut.
//
// The calls work on any thread: COM is initialised for their duration when
// the thread has not done it.
#include <string>

namespace tavrin {

struct Shortcut {
  std::wstring target;  // environment references expanded, as the shell gives it
  std::wstring arguments;
  std::wstring workingFolder;
  std::wstring iconPath;
  int iconIndex = 0;
};

// False when the file is not a shell link the shell can load. A link to a
// shell object without a file system path loads with an empty target.
bool ReadShortcut(const std::wstring& path, Shortcut& shortcut);

// Replaces the link's arguments and saves it in place.
bool SetShortcutArguments(const std::wstring& path, const std::wstring& arguments);

}  // namespace tavrin
