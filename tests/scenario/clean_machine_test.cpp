// A machine with nothing to find: a quiet scan and removal with every
// definition of the project changes nothing outside the program's own data.
// The manifest that the safety scenarios rely on is itself tried first: a
// change it cannot see would let every one of them pass.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/text_file.h"
#include "scenario/machine_manifest.h"
#include "scenario/scenario_machine.h"
#include "support/scratch.h"

namespace tavrin::scenario {
namespace {

TEST(CleanMachine, TheManifestSeesEveryKindOfChangeAndAllowsOnlyWholeComponents) {
  const std::wstring folder = L"C:\\ManifestProbe";
  const std::wstring key = L"HKLM64\\SOFTWARE\\ManifestProbe";
  ASSERT_TRUE(CreateFolderTree(folder + L"\\Tool\\sub"));
  ASSERT_TRUE(CreateFolderTree(folder + L"\\Toolbar"));
  ASSERT_TRUE(test::WriteBytes(folder + L"\\Tool\\a.exe", "MZ a"));
  ASSERT_TRUE(test::WriteBytes(folder + L"\\Toolbar\\b.exe", "MZ b"));
  ASSERT_TRUE(test::WriteBytes(folder + L"\\kept.txt", "same size"));
  ASSERT_TRUE(WriteStringAt(key + L"\\Sub", L"Value", L"before"));
  ASSERT_TRUE(WriteStringAt(key, L"Gone", L"x"));
  const ULONGLONG start = GetTickCount64();
  const Manifest before = TakeManifest();
  std::printf("manifest of %zu entries in %llu ms\n", before.entries.size(), GetTickCount64() - start);
  ASSERT_GT(before.entries.size(), 1000u);

  ASSERT_TRUE(test::WriteBytes(folder + L"\\kept.txt", "same SIZE"));  // content only
  ASSERT_TRUE(SetFileAttributesW((folder + L"\\Toolbar\\b.exe").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(DeleteFileW((folder + L"\\Tool\\a.exe").c_str()));
  ASSERT_TRUE(WriteStringAt(key + L"\\Sub", L"Value", L"after!"));
  ASSERT_TRUE(DeleteValueAt(key, L"Gone"));
  ASSERT_TRUE(WriteStringAt(key + L"\\New", L"", L"x"));
  const Manifest after = TakeManifest();

  const std::wstring probeKey = L"HKLM\\SOFTWARE\\ManifestProbe";
  const std::vector<std::wstring> expected = {
      L"removed: C:\\ManifestProbe\\Tool\\a.exe",
      L"changed: C:\\ManifestProbe\\Toolbar\\b.exe",
      L"changed: C:\\ManifestProbe\\kept.txt",
      L"removed: " + probeKey + L" => Gone",
      L"added: " + probeKey + L"\\New",
      L"added: " + probeKey + L"\\New => ",
      L"changed: " + probeKey + L"\\Sub => Value",
  };
  const std::vector<std::wstring> changes = ManifestChanges(before, after);
  for (const std::wstring& line : expected) {
    bool seen = false;
    for (const std::wstring& change : changes)
      seen = seen || (change.size() >= line.size() &&
                      CompareStringOrdinal(change.c_str(), int(line.size()), line.c_str(), int(line.size()), TRUE) ==
                          CSTR_EQUAL);
    EXPECT_TRUE(seen) << line << "\nin\n" << ChangesText(changes);
  }
  // An allowed folder covers what lies in it, not a neighbour that only
  // shares its name's beginning.
  const std::vector<std::wstring> outside =
      ManifestChanges(before, after, {L"c:\\manifestprobe\\tool", L"c:\\manifestprobe\\kept.txt", probeKey});
  ASSERT_EQ(outside.size(), 1u) << ChangesText(outside);
  EXPECT_EQ(outside[0].rfind(L"changed: C:\\ManifestProbe\\Toolbar\\b.exe (", 0), 0u) << outside[0];
  SetFileAttributesW((folder + L"\\Toolbar\\b.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
  test::RemoveTreeForTest(folder);
  (void)DeleteKeyTree(key);
}

TEST(CleanMachine, AQuietScanAndRemoveChangesNothingOutsideItsOwnData) {
  std::wstring definitions, text;
  for (const char* file : {"data/definitions/adware.txt", "data/definitions/browsers.txt",
                           "data/definitions/malware.txt"}) {
    if (ReadTextFile(ProjectFile(file), text)) definitions += text + L"\n";
  }
  ASSERT_FALSE(definitions.empty());
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4260\n" + definitions), L"");
  // A first run settles what any first start writes (settings, the
  // program's key, the firewall entry); the second must change nothing.
  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP /Aggressive"), 0u);
  const Manifest before = TakeManifest();
  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP /Aggressive"), 0u);
  const Manifest after = TakeManifest();
  const std::vector<std::wstring> changes = ManifestChanges(before, after);
  EXPECT_TRUE(changes.empty()) << ChangesText(changes);
}

}  // namespace
}  // namespace tavrin::scenario
