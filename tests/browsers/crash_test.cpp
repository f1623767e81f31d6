// A browser repair ended hard in the middle of any one of its writes
// leaves each document either as it was or as a finished repair wrote it
// (or at a stage between two of its writes), never cut short.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "browser_fixtures.h"
#include "browsers/crash/crash_round.h"
#include "platform/document_file.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/unique_handle.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ReadBytes;
using test::WriteBytes;

constexpr int kRounds = 2;

// The real files a round starts from.
std::map<std::wstring, std::string> Originals() {
  const std::wstring ff = std::wstring(L"firefox-hijacked\\Mozilla\\Firefox\\") + test::kFirefoxHijackedProfile;
  std::map<std::wstring, std::string> files{
      {L"Preferences", ReadBytes(test::BrowserFixture(L"chrome-hijacked\\User Data\\Default\\Preferences"))},
      {L"prefs.js", ReadBytes(test::BrowserFixture(ff + L"\\prefs.js"))},
      {L"extensions.json", ReadBytes(test::BrowserFixture(ff + L"\\extensions.json"))},
      {L"search.json.mozlz4", ReadBytes(test::BrowserFixture(ff + L"\\search.json.mozlz4"))},
      {L"WhiteList.ini", test::Utf16Bytes(L"[Files]\r\nC:\\Tools\\keep.exe=1\r\n")},
  };
  return files;
}

bool Seed(const std::wstring& folder, const std::map<std::wstring, std::string>& files) {
  if (!CreateFolderTree(folder)) return false;
  for (const auto& [name, bytes] : files)
    if (!WriteBytes(folder + L"\\" + name, bytes)) return false;
  return true;
}

struct Stages {
  std::map<std::wstring, std::vector<std::string>> allowed;  // each document's states, first to last
};

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    originals = Originals();
    for (const auto& [name, bytes] : originals) ASSERT_GT(bytes.size(), 20u) << name.c_str();
    // The reference run, in this process: every state each document passes
    // through between the writes.
    const std::wstring reference = scratch / L"reference";
    ASSERT_TRUE(Seed(reference, originals));
    auto snapshot = [&] {
      for (const std::wstring& name : test::CrashDocuments()) {
        std::vector<std::string>& states = stages[name];
        const std::string now = ReadBytes(reference + L"\\" + name);
        if (states.empty() || states.back() != now) states.push_back(now);
      }
    };
    snapshot();
    ASSERT_TRUE(test::RepairCrashRound(reference, snapshot));
    for (const std::wstring& name : test::CrashDocuments())
      ASSERT_GE(stages[name].size(), 2u) << "no repair of " << std::string(name.begin(), name.end());
  }

  // Runs the child over fresh rounds, ended in its `killAt`-th write (or
  // never, at 0); its exit code.
  DWORD RunChild(const std::wstring& folder, unsigned long killAt) {
    for (int n = 0; n < kRounds; ++n) EXPECT_TRUE(Seed(folder + L"\\" + std::to_wstring(n), originals));
    test::ChildProcess child;
    EXPECT_TRUE(child.Start(L"\"" + test::TestBuildPath(L"browser_crash_child.exe") + L"\" \"" + folder + L"\" " +
                            std::to_wstring(kRounds) + L" " + std::to_wstring(killAt)));
    return child.Wait(120000);
  }

  // Each document of each round in one of its states; counts first and
  // last states. Beside the documents only a search file's backup or a
  // write's own temporary file may be there.
  void Check(const std::wstring& folder, int& untouched, int& repaired, int& between) {
    for (int n = 0; n < kRounds; ++n) {
      const std::wstring round = folder + L"\\" + std::to_wstring(n);
      for (const std::wstring& name : test::CrashDocuments()) {
        const std::vector<std::string>& states = stages[name];
        const auto at = std::find(states.begin(), states.end(), ReadBytes(round + L"\\" + name));
        ASSERT_NE(at, states.end()) << "round " << n << ": " << std::string(name.begin(), name.end())
                                    << " is cut short or mixed";
        if (at == states.begin()) ++untouched;
        else if (at + 1 == states.end()) ++repaired;
        else ++between;
      }
      FindFiles find(round + L"\\*");
      std::set<std::wstring> names(test::CrashDocuments().begin(), test::CrashDocuments().end());
      while (find.Next()) {
        const std::wstring name = find.Name();
        const bool document = names.count(name) > 0;
        const bool temporary = std::any_of(names.begin(), names.end(), [&](const std::wstring& d) {
          return name == DocumentTemporaryPath(d);
        });
        EXPECT_TRUE(document || temporary || name == L"search.json.mozlz4.bak")
            << "round " << n << ": " << std::string(name.begin(), name.end());
      }
    }
  }

  test::ScratchFolder scratch;
  std::map<std::wstring, std::string> originals;
  std::map<std::wstring, std::vector<std::string>> stages;
};

TEST_F(CrashTest, EveryDocumentIsAsItWasOrFullyWrittenWhereverTheRepairIsEnded) {
  int untouched = 0, repaired = 0, between = 0;
  const DWORD writes = RunChild(scratch / L"whole", 0);
  ASSERT_GT(writes, DWORD(kRounds * test::CrashDocuments().size()));
  ASSERT_LT(writes, 0x10000u);
  Check(scratch / L"whole", untouched, repaired, between);
  ASSERT_EQ(repaired, kRounds * int(test::CrashDocuments().size()));

  // Ended in each of its writes in turn.
  int killedUntouched = 0, killedRepaired = 0, killedBetween = 0;
  for (unsigned long killAt = 1; killAt <= writes; ++killAt) {
    const std::wstring folder = scratch / (L"kill" + std::to_wstring(killAt));
    ASSERT_EQ(RunChild(folder, killAt), 0xDEADu) << killAt;
    Check(folder, killedUntouched, killedRepaired, killedBetween);
    test::RemoveTreeForTest(folder);
  }
  EXPECT_GT(killedUntouched, 0);
  EXPECT_GT(killedRepaired, 0);
  EXPECT_GT(killedBetween, 0);
  std::printf("%lu writes; after the kills: %d documents untouched, %d between writes, %d repaired\n", writes,
              killedUntouched, killedBetween, killedRepaired);
}

}  // namespace
}  // namespace tavrin
