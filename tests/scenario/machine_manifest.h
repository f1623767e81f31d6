#pragma once
// A manifest of the whole machine a scenario runs on: every file and folder
// of drive C: and every key and value of HKLM (64-bit view, which holds the
// 32-bit view's keys too) and HKU. Taken before and after the real program
// ran, it shows every change the program made, so a scenario can fail on
// anything outside the findings it planted.
#include <map>
#include <string>
#include <vector>

namespace tavrin::scenario {

// Entry text -> its facts. Entries are "C:\path" for files, folders and
// links (size, attributes, digest of the content; a reparse point is listed
// and never entered), "HKLM\key" or "HKU\key" for keys and
// "HKLM\key => name" for values (type and a digest of the data).
struct Manifest {
  std::map<std::wstring, std::wstring> entries;
};

Manifest TakeManifest();

// Every entry added, removed or changed between the two manifests that lies
// at or below none of `allowed` (paths or keys, compared case-insensitively
// at a component boundary), as one line each ("added: ...", "removed: ...",
// "changed: ... (before -> after)"). The program's own data folder and key,
// the temporary folders and the registry keys Wine itself rewrites are
// always allowed.
std::vector<std::wstring> ManifestChanges(const Manifest& before, const Manifest& after,
                                          const std::vector<std::wstring>& allowed = {});

// The changes as one text for a test failure message.
std::wstring ChangesText(const std::vector<std::wstring>& changes);

}  // namespace tavrin::scenario
