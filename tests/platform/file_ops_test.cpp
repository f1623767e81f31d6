#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_removal.h"
#include "platform/file_security.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/message_pump.h"
#include "platform/processes.h"
#include "platform/unique_handle.h"
#include "support/child_process.h"
#include "support/host_link.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ChildProcess;
using test::FileExists;
using test::HelperPath;
using test::ScratchFolder;
using test::WriteBytes;

constexpr RemovalResult kFailed = RemovalResult::Failed;
constexpr RemovalResult kRemoved = RemovalResult::Removed;
constexpr RemovalResult kScheduled = RemovalResult::Scheduled;

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

void MakeFolder(const std::wstring& path) { ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << path; }

// The restart queue as stored: source, target, source, target, ...
std::vector<std::wstring> PendingRenames() {
  DWORD size = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, RRF_RT_REG_MULTI_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS)
    return {};
  std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, RRF_RT_REG_MULTI_SZ, nullptr, data.data(),
                   &size) != ERROR_SUCCESS)
    return {};
  // Deletions have an empty target, so split on every NUL up to the end.
  std::vector<std::wstring> items;
  const size_t count = size / sizeof(wchar_t);
  size_t start = 0;
  for (size_t i = 0; i < count; ++i) {
    if (data[i] != 0) continue;
    items.emplace_back(data.data() + start, i - start);
    start = i + 1;
  }
  while (!items.empty() && items.back().empty()) items.pop_back();
  return items;
}

// Position of a scheduled deletion of `path` in the queue, or -1.
int ScheduledDeletionIndex(const std::wstring& path) {
  const std::vector<std::wstring> items = PendingRenames();
  for (size_t i = 0; i < items.size(); i += 2) {
    const bool deletion = i + 1 >= items.size() || items[i + 1].empty();
    if (deletion && _wcsicmp(items[i].c_str(), (L"\\??\\" + path).c_str()) == 0) return int(i / 2);
  }
  return -1;
}

// Empties the machine's restart queue for the test and puts the previous
// queue back afterwards, so that neither the test nor a restart run by it
// acts on entries that are not the test's own.
class RestartQueueGuard {
 public:
  RestartQueueGuard() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
      return;
    DWORD size = 0, type = 0;
    if (RegQueryValueExW(key, kPendingRenames, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      saved_.resize(size);
      existed_ = RegQueryValueExW(key, kPendingRenames, nullptr, &type, saved_.data(), &size) == ERROR_SUCCESS;
      type_ = type;
    }
    RegDeleteValueW(key, kPendingRenames);
    RegCloseKey(key);
  }
  ~RestartQueueGuard() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (existed_)
      RegSetValueExW(key, kPendingRenames, 0, type_, saved_.data(), DWORD(saved_.size()));
    else
      RegDeleteValueW(key, kPendingRenames);
    RegCloseKey(key);
  }

 private:
  std::vector<BYTE> saved_;
  DWORD type_ = REG_MULTI_SZ;
  bool existed_ = false;
};

// A child process holding `path` open without delete sharing.
void HoldOpen(ChildProcess& child, const std::wstring& path) {
  ASSERT_TRUE(child.Start(L"\"" + HelperPath() + L"\" hold \"" + path + L"\" 60000"));
  ASSERT_TRUE(test::WaitForFile(path + L".held"));
  DeleteFileW((path + L".held").c_str());
}

TEST(FileRemoval, CombinedResultFailureIsFinalAndScheduledOutweighsRemoved) {
  struct Case {
    RemovalResult total, next, combined;
  } cases[] = {
      {kRemoved, kRemoved, kRemoved},     {kRemoved, kScheduled, kScheduled}, {kScheduled, kRemoved, kScheduled},
      {kScheduled, kScheduled, kScheduled}, {kFailed, kRemoved, kFailed},       {kFailed, kScheduled, kFailed},
      {kRemoved, kFailed, kFailed},       {kScheduled, kFailed, kFailed},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CombineRemoval(c.total, c.next), c.combined) << int(c.total) << " + " << int(c.next);
}

TEST(FileRemoval, WildcardRemovesMatchingEntriesAndKeepsTheFolder) {
  ScratchFolder scratch;
  const std::wstring top = scratch / L"top";
  MakeFolder(top);
  ASSERT_TRUE(WriteBytes(top + L"\\a.tmp", "a"));
  ASSERT_TRUE(WriteBytes(top + L"\\b.txt", "b"));
  MakeFolder(top + L"\\cache.tmp");
  ASSERT_TRUE(WriteBytes(top + L"\\cache.tmp\\c.tmp", "c"));
  MakeFolder(top + L"\\keep");
  ASSERT_TRUE(WriteBytes(top + L"\\keep\\d.tmp", "d"));

  static int dispatched;
  dispatched = 0;
  SetMessageDispatcher([] { ++dispatched; });
  EXPECT_EQ(RemoveFileObject(top + L"\\*.tmp", 0), kRemoved);
  SetMessageDispatcher(nullptr);
  EXPECT_EQ(dispatched, 3);  // a.tmp, cache.tmp\c.tmp, cache.tmp
  EXPECT_TRUE(FolderExists(top));
  EXPECT_FALSE(FileExists(top + L"\\a.tmp"));
  EXPECT_FALSE(FileExists(top + L"\\cache.tmp"));
  EXPECT_TRUE(FileExists(top + L"\\b.txt"));
  // A folder that does not match is not entered.
  EXPECT_TRUE(FileExists(top + L"\\keep\\d.tmp"));

  // Nothing left to match is no failure.
  EXPECT_EQ(RemoveFileObject(top + L"\\*.tmp", RemovalTakeOverPermissions), kRemoved);
  EXPECT_TRUE(FileExists(top + L"\\b.txt"));
}

TEST(FileRemoval, ReadOnlyAndSystemEntriesAndWholeTrees) {
  ScratchFolder scratch;
  const std::wstring file = scratch / L"readonly.txt";
  ASSERT_TRUE(WriteBytes(file, "x"));
  ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_FALSE(DeleteFileW(file.c_str()));
  EXPECT_EQ(RemoveFileObject(file, 0), kRemoved);
  EXPECT_FALSE(FileExists(file));

  const std::wstring tree = scratch / L"tree";
  MakeFolder(tree);
  MakeFolder(tree + L"\\sub");
  MakeFolder(tree + L"\\sub\\deeper");
  ASSERT_TRUE(WriteBytes(tree + L"\\sub\\deeper\\system.dat", "s"));
  ASSERT_TRUE(WriteBytes(tree + L"\\sub\\ro.txt", "r"));
  ASSERT_TRUE(SetFileAttributesW((tree + L"\\sub\\deeper\\system.dat").c_str(),
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW((tree + L"\\sub\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  // A trailing separator names the same folder; slashes are separators.
  std::wstring slashed = tree + L"/";
  for (auto& c : slashed)
    if (c == L'\\') c = L'/';
  EXPECT_EQ(RemoveFileObject(slashed, 0), kRemoved);
  EXPECT_FALSE(FileExists(tree));

  // Already gone counts as removed, also below a folder that is gone.
  EXPECT_EQ(RemoveFileObject(scratch / L"never-there.txt", RemovalScheduleAtRestart), kRemoved);
  EXPECT_EQ(RemoveFile(scratch / L"no-folder\\x.txt", RemovalScheduleAtRestart), kRemoved);
  EXPECT_EQ(RemoveFolderEntry(scratch / L"no-folder", RemovalScheduleAtRestart), kRemoved);
}

TEST(FileRemoval, FileInUseIsScheduledWithTheFlagAndFailsWithout) {
  RestartQueueGuard queue;
  ScratchFolder scratch;
  const std::wstring file = scratch / L"in-use.dat";
  {
    ChildProcess holder;
    HoldOpen(holder, file);
    ASSERT_FALSE(DeleteFileW(file.c_str()));
    ASSERT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));

    EXPECT_EQ(RemoveFileObject(file, 0), kFailed);
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(ScheduledDeletionIndex(file), -1);

    // Wine accepts new file permissions without keeping them, so only the
    // outcome of the permission step can be seen here.
    EXPECT_EQ(RemoveFile(file, RemovalTakeOverPermissions), kFailed);
    EXPECT_TRUE(FileExists(file));

    EXPECT_EQ(RemoveFileObject(file, RemovalScheduleAtRestart), kScheduled);
    EXPECT_TRUE(FileExists(file));
    EXPECT_GE(ScheduledDeletionIndex(file), 0);
  }

  // The restart carries the queue out.
  ASSERT_EQ(RunProgram(L"wineboot.exe -r", L"", SW_HIDE, true), 0);
  EXPECT_FALSE(FileExists(file));
  EXPECT_EQ(ScheduledDeletionIndex(file), -1);
}

TEST(FileRemoval, TreeWithAnEntryInUseIsScheduledOrFailedAsAWhole) {
  RestartQueueGuard queue;
  ScratchFolder scratch;
  const std::wstring tree = scratch / L"tree";
  MakeFolder(tree);
  MakeFolder(tree + L"\\sub");
  const std::wstring locked = tree + L"\\sub\\locked.dat";
  ChildProcess holder;
  HoldOpen(holder, locked);
  ASSERT_TRUE(WriteBytes(tree + L"\\a.txt", "a"));
  ASSERT_TRUE(WriteBytes(tree + L"\\sub\\b.txt", "b"));

  // Everything else goes; the one failure decides the result.
  EXPECT_EQ(RemoveFileObject(tree, 0), kFailed);
  EXPECT_FALSE(FileExists(tree + L"\\a.txt"));
  EXPECT_FALSE(FileExists(tree + L"\\sub\\b.txt"));
  EXPECT_TRUE(FileExists(locked));
  EXPECT_EQ(PendingRenames().size(), 0u);

  ASSERT_TRUE(WriteBytes(tree + L"\\c.txt", "c"));
  EXPECT_EQ(RemoveFileObject(tree, RemovalScheduleAtRestart), kScheduled);
  EXPECT_FALSE(FileExists(tree + L"\\c.txt"));
  // The file is queued before the folders that hold it.
  const int file = ScheduledDeletionIndex(locked);
  const int sub = ScheduledDeletionIndex(tree + L"\\sub");
  const int top = ScheduledDeletionIndex(tree);
  EXPECT_GE(file, 0);
  EXPECT_GT(sub, file);
  EXPECT_GT(top, sub);
}

TEST(FileRemoval, RelativePathsAreNeverResolvedAgainstTheCurrentFolder) {
  ScratchFolder scratch;
  MakeFolder(scratch / L"sub");
  ASSERT_TRUE(WriteBytes(scratch / L"victim.txt", "v"));
  ASSERT_TRUE(WriteBytes(scratch / L"sub\\victim.txt", "v"));
  ASSERT_TRUE(WriteBytes(scratch / L"sub\\x.tmp", "v"));
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.Path().c_str()));
  ASSERT_EQ(scratch.Path()[1], L':');
  const std::wstring rootRelative = scratch.Path().substr(2) + L"\\victim.txt";  // "\users\...\victim.txt"
  const std::wstring driveRelative = scratch.Path().substr(0, 2) + L"victim.txt";  // "C:victim.txt"

  const std::wstring paths[] = {L"victim.txt", L"sub\\victim.txt", L"sub\\*.tmp", L"sub", L"sub\\",
                                L".\\victim.txt", L"..\\" + scratch.Path().substr(scratch.Path().rfind(L'\\') + 1) + L"\\victim.txt",
                                rootRelative, driveRelative, L""};
  for (const auto& path : paths) {
    const unsigned flags = RemovalScheduleAtRestart | RemovalTakeOverPermissions;
    EXPECT_EQ(RemoveFileObject(path, flags), kFailed) << path;
    EXPECT_EQ(RemoveFile(path, flags), kFailed) << path;
    EXPECT_EQ(RemoveFolderEntry(path, flags), kFailed) << path;
    EXPECT_EQ(RemoveTree(path, L"*", flags), kFailed) << path;
  }
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(FileExists(scratch / L"victim.txt"));
  EXPECT_TRUE(FileExists(scratch / L"sub\\victim.txt"));
  EXPECT_TRUE(FileExists(scratch / L"sub\\x.tmp"));
}

TEST(FileRemoval, DotComponentsResolveInPlainPathsOnly) {
  ScratchFolder scratch;
  MakeFolder(scratch / L"sub");
  ASSERT_TRUE(WriteBytes(scratch / L"plain.txt", "p"));
  ASSERT_TRUE(WriteBytes(scratch / L"long.txt", "l"));
  EXPECT_EQ(RemoveFileObject(scratch / L"sub\\..\\plain.txt", 0), kRemoved);
  EXPECT_FALSE(FileExists(scratch / L"plain.txt"));
  // The long form is taken literally by the platform, so ".." there is
  // refused rather than guessed.
  EXPECT_EQ(RemoveFileObject(L"\\\\?\\" + scratch.Path() + L"\\sub\\..\\long.txt", 0), kFailed);
  EXPECT_TRUE(FileExists(scratch / L"long.txt"));
}

TEST(FileRemoval, VolumeAndShareRootsAreNeverTouched) {
  // A drive letter that names nothing, so that no root is at risk: the
  // single-object steps refuse a root outright, where the platform would
  // report the missing object as already gone.
  wchar_t letter = 0;
  const DWORD drives = GetLogicalDrives();
  for (wchar_t c = L'Q'; c <= L'Y' && !letter; ++c)
    if (!(drives & (1u << (c - L'A')))) letter = c;
  ASSERT_NE(letter, 0);
  const std::wstring drive = std::wstring(1, letter) + L":";
  const std::wstring roots[] = {drive + L"\\", L"\\\\?\\" + drive + L"\\", L"\\\\.\\" + drive, drive + L"\\x\\..",
                                L"\\\\nosuchserver\\share\\", L"\\\\?\\UNC\\nosuchserver\\share"};
  for (const auto& root : roots) {
    EXPECT_EQ(RemoveFolderEntry(root, RemovalTakeOverPermissions), kFailed) << root;
    EXPECT_EQ(RemoveFile(root, 0), kFailed) << root;
    EXPECT_EQ(RemoveTree(root, L"*", 0), kFailed) << root;
    EXPECT_EQ(RemoveFileObject(root, 0), kRemoved) << root;
  }
  // Namespaces other than drives and shares are not worked in.
  EXPECT_EQ(RemoveFileObject(L"\\\\?\\GLOBALROOT\\Device\\Nothing\\x", 0), kFailed);
}

TEST(FileSystem, FolderFactsLongPathsAndSizes) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteBytes(scratch / L"five.bin", "12345"));
  EXPECT_TRUE(FolderExists(scratch.Path()));
  EXPECT_FALSE(FolderExists(scratch / L"five.bin"));
  EXPECT_FALSE(FolderExists(scratch / L"missing"));

  // Beyond the classic 260-character limit.
  std::wstring deep = scratch / L"deep";
  while (deep.size() < 400) deep += L"\\component-" + std::to_wstring(deep.size());
  EXPECT_TRUE(CreateFolderTree(deep));
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(CreateFolderTree(deep + L"\\"));
  ASSERT_TRUE(WriteBytes(L"\\\\?\\" + deep + L"\\f.txt", "abc"));
  EXPECT_EQ(FileSize(deep + L"\\f.txt"), 3u);
  EXPECT_EQ(RemoveFileObject(scratch / L"deep", 0), kRemoved);
  EXPECT_FALSE(FileExists(scratch / L"deep"));
  EXPECT_FALSE(CreateFolderTree(L"relative\\folder"));
  EXPECT_FALSE(CreateFolderTree(scratch / L"five.bin\\below"));

  // Held without any sharing, the size still comes back.
  {
    UniqueFile exclusive(CreateFileW((scratch / L"five.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(exclusive);
    EXPECT_EQ(FileSize(scratch / L"five.bin"), 5u);
  }
  EXPECT_EQ(FileSize(scratch / L"missing.bin"), 0u);

  EXPECT_GT(FreeDiskSpace(scratch.Path()), 0u);
  EXPECT_EQ(FreeDiskSpace(L"\\\\?\\" + scratch.Path() + L"\\missing\\"), 0u);

  const ProgramFiles programFiles = ProgramFilesFolders();
  EXPECT_TRUE(FolderExists(programFiles.native));
  EXPECT_EQ(programFiles.x86, programFiles.native + L" (x86)");
}

TEST(FileSystem, FindFilesSkipsDotEntriesAndReportsWhyNothingCame) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteBytes(scratch / L"a.log", ""));
  ASSERT_TRUE(WriteBytes(scratch / L"b.txt", ""));
  MakeFolder(scratch / L"c.log");
  std::vector<std::wstring> names;
  int folders = 0;
  FindFiles all(scratch / L"*");
  EXPECT_EQ(all.Status(), DWORD(ERROR_SUCCESS));
  while (all.Next()) {
    names.push_back(all.Name());
    folders += all.IsFolder();
  }
  EXPECT_EQ(names.size(), 3u);
  EXPECT_EQ(folders, 1);
  EXPECT_FALSE(all.Next());

  FindFiles logs(scratch / L"*.log");
  int count = 0;
  while (logs.Next()) ++count;
  EXPECT_EQ(count, 2);

  FindFiles none(scratch / L"*.none");
  EXPECT_FALSE(none.Next());
  EXPECT_EQ(none.Status(), DWORD(ERROR_FILE_NOT_FOUND));
  FindFiles missing(scratch / L"missing\\*");
  EXPECT_FALSE(missing.Next());
  EXPECT_EQ(missing.Status(), DWORD(ERROR_PATH_NOT_FOUND));
}

// Host links planted beside outside targets that a removal must never
// reach: a folder with files (one read-only, one hidden) and a read-only
// file. Everything the targets are made of is recorded to be compared.
class LinkedTargets : public ::testing::Test {
 protected:
  struct Snapshot {
    std::string bytes;
    DWORD attributes = 0;
    int mode = -1;
    bool operator==(const Snapshot&) const = default;
  };

  void SetUp() override {
    outsideFolder = scratch / L"outside";
    outsideFile = scratch / L"precious.txt";
    MakeFolder(outsideFolder);
    ASSERT_TRUE(WriteBytes(outsideFolder + L"\\a.txt", "first"));
    ASSERT_TRUE(WriteBytes(outsideFolder + L"\\ro.txt", "read-only"));
    ASSERT_TRUE(WriteBytes(outsideFolder + L"\\hidden.txt", "hidden"));
    ASSERT_TRUE(WriteBytes(outsideFile, "precious"));
    ASSERT_TRUE(SetFileAttributesW((outsideFolder + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((outsideFolder + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(outsideFile.c_str(), FILE_ATTRIBUTE_READONLY));
    before = Record();
  }

  void TearDown() override {
    EXPECT_TRUE(test::RemoveHostLinks(scratch.Path()));
    for (const auto& [path, snapshot] : Record())
      if (snapshot.attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }

  std::vector<std::pair<std::wstring, Snapshot>> Record() const {
    std::vector<std::pair<std::wstring, Snapshot>> all;
    for (const std::wstring& path : {outsideFolder, outsideFolder + L"\\a.txt", outsideFolder + L"\\ro.txt",
                                     outsideFolder + L"\\hidden.txt", outsideFile}) {
      Snapshot snapshot;
      snapshot.attributes = GetFileAttributesW(path.c_str());
      if (!(snapshot.attributes & FILE_ATTRIBUTE_DIRECTORY)) snapshot.bytes = test::ReadBytes(path);
      snapshot.mode = test::HostMode(path);
      all.emplace_back(path, snapshot);
    }
    return all;
  }

  void ExpectTargetsUntouched() const {
    const auto after = Record();
    for (size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(before[i].second.bytes, after[i].second.bytes) << before[i].first;
      EXPECT_EQ(before[i].second.attributes, after[i].second.attributes) << before[i].first;
      EXPECT_EQ(before[i].second.mode, after[i].second.mode) << before[i].first;
    }
  }

  void Link(const std::wstring& target, const std::wstring& link) {
    ASSERT_TRUE(test::MakeHostLink(target, link)) << link;
  }

  ScratchFolder scratch;
  RestartQueueGuard queue;
  std::wstring outsideFolder, outsideFile;
  std::vector<std::pair<std::wstring, Snapshot>> before;
};

TEST_F(LinkedTargets, IdentityTellsTheEntryFromWhatALinkLeadsTo) {
  const std::wstring plainFolder = scratch / L"plain";
  MakeFolder(plainFolder);
  ASSERT_TRUE(WriteBytes(plainFolder + L"\\file.txt", "x"));
  Link(outsideFolder, scratch / L"folder-link");
  Link(outsideFile, scratch / L"file-link.txt");
  const struct {
    std::wstring path;
    EntryIdentity identity;
  } kCases[] = {
      {plainFolder, EntryIdentity::Own},
      {plainFolder + L"\\file.txt", EntryIdentity::Own},
      {LongPath(plainFolder + L"\\file.txt"), EntryIdentity::Own},
      {plainFolder + L"\\missing.txt", EntryIdentity::Missing},
      // Wine opens the target whatever the flags: the final path gives it away.
      {scratch / L"folder-link", EntryIdentity::Foreign},
      {scratch / L"file-link.txt", EntryIdentity::Foreign},
      {scratch / L"folder-link\\a.txt", EntryIdentity::Foreign},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.identity, IdentifyEntry(c.path)) << c.path;
}

TEST_F(LinkedTargets, FolderHoldingLinksLosesItsOwnFilesAndNothingBehindTheLinks) {
  const std::wstring victim = scratch / L"victim";
  MakeFolder(victim);
  MakeFolder(victim + L"\\sub");
  ASSERT_TRUE(WriteBytes(victim + L"\\own.txt", "own"));
  ASSERT_TRUE(WriteBytes(victim + L"\\sub\\own.dll", "own"));
  ASSERT_TRUE(SetFileAttributesW((victim + L"\\own.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  Link(outsideFolder, victim + L"\\folder-link");
  Link(outsideFile, victim + L"\\file-link.txt");
  Link(outsideFolder, victim + L"\\sub\\deep-link");

  // Every escalation on: attributes, permissions, the restart.
  EXPECT_EQ(kFailed, RemoveFileObject(victim, RemovalScheduleAtRestart | RemovalTakeOverPermissions));
  ExpectTargetsUntouched();
  EXPECT_FALSE(FileExists(victim + L"\\own.txt"));
  EXPECT_FALSE(FileExists(victim + L"\\sub\\own.dll"));
  // Wine cannot delete a link without its target, so the links stay.
  EXPECT_TRUE(test::IsHostLink(victim + L"\\folder-link"));
  EXPECT_TRUE(test::IsHostLink(victim + L"\\file-link.txt"));
  EXPECT_TRUE(test::IsHostLink(victim + L"\\sub\\deep-link"));
  for (const std::wstring& link : {victim + L"\\folder-link", victim + L"\\file-link.txt"})
    EXPECT_EQ(-1, ScheduledDeletionIndex(LongPath(link))) << link;

  // The same through a wildcard set and the single-entry steps.
  EXPECT_EQ(kFailed, RemoveFileObject(victim + L"\\*.txt", RemovalTakeOverPermissions));
  EXPECT_EQ(kFailed, RemoveFile(victim + L"\\file-link.txt", RemovalTakeOverPermissions));
  EXPECT_EQ(kFailed, RemoveFolderEntry(victim + L"\\folder-link", RemovalTakeOverPermissions));
  EXPECT_EQ(kFailed, RemoveTree(victim + L"\\folder-link", L"*", RemovalTakeOverPermissions));
  ExpectTargetsUntouched();
}

TEST_F(LinkedTargets, AFindingThatIsALinkOrLiesBehindOneIsLeftAndFails) {
  Link(outsideFile, scratch / L"finding.exe");
  Link(outsideFolder, scratch / L"Program");
  const unsigned all = RemovalScheduleAtRestart | RemovalTakeOverPermissions;
  for (const std::wstring& finding : {scratch / L"finding.exe", scratch / L"Program", scratch / L"Program\\a.txt",
                                      scratch / L"Program\\ro.txt", scratch / L"Program\\*"}) {
    EXPECT_EQ(kFailed, RemoveFileObject(finding, all)) << finding;
    EXPECT_EQ(-1, ScheduledDeletionIndex(LongPath(finding))) << finding;
  }
  EXPECT_TRUE(test::IsHostLink(scratch / L"finding.exe"));
  EXPECT_TRUE(test::IsHostLink(scratch / L"Program"));
  ExpectTargetsUntouched();
}

TEST_F(LinkedTargets, SecurityIsNeverTakenOverOrPutBackThroughALink) {
  Link(outsideFile, scratch / L"prefs.js");
  Link(outsideFolder, scratch / L"profile");
  SavedFileSecurity saved;
  EXPECT_FALSE(SaveFileSecurity(scratch / L"prefs.js", saved));
  ASSERT_TRUE(SaveFileSecurity(outsideFile, saved));
  EXPECT_FALSE(RestoreFileSecurity(scratch / L"prefs.js", saved));
  EXPECT_FALSE(TakeOverFile(scratch / L"prefs.js"));
  EXPECT_FALSE(TakeOverEntry(scratch / L"profile", FileAccessList(true)));
  EXPECT_FALSE(TakeOverTree(scratch / L"profile", FileAccessList(true)));
  ExpectTargetsUntouched();
  // A plain file is still taken over: the guard is not a blanket refusal.
  ASSERT_TRUE(WriteBytes(scratch / L"own.txt", "own"));
  EXPECT_TRUE(TakeOverFile(scratch / L"own.txt"));
}

}  // namespace
}  // namespace tavrin
