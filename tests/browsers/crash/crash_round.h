#pragma once
// One browser repair over a folder of copies of the real profile files,
// shared by the crash test and the child program it ends at random moments.
#include <functional>
#include <string>
#include <vector>

namespace tavrin::test {

// The documents of a round, by file name.
const std::vector<std::wstring>& CrashDocuments();

// The repair of one round's folder: every edit the browser repairs make to
// these files, one write after another. `afterWrite` is called after each
// write. False when an edit did not apply.
bool RepairCrashRound(const std::wstring& folder, const std::function<void()>& afterWrite = {});

}  // namespace tavrin::test
