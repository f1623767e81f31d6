#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <random>
#include <thread>

#include "definitions/definitions_db.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "platform/hives.h"
#include "platform/registry.h"
#include "platform/zip_archive.h"
#include "support/child_process.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using definitions_tool::BuildDefinitionsHive;
using definitions_tool::DefinitionsSource;
using definitions_tool::ParseDefinitions;
using test::FileExists;
using test::ReadBytes;
using test::TheLoopback;
using test::WriteBytes;

std::wstring Pid() { return std::to_wstring(GetCurrentProcessId()); }

bool Hidden(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

// A hive whose one adware key names it, so that two hives differ.
std::string BuildHive(const std::wstring& marker, const std::wstring& folder) {
  DefinitionsSource source;
  std::vector<std::wstring> errors;
  EXPECT_TRUE(ParseDefinitions(L"[Database]\nNumber = 1\n[Adware]\n" + marker + L"\n", L"test", source, errors));
  std::wstring error;
  const std::wstring file = folder + L"\\" + marker + L".dat";
  EXPECT_TRUE(BuildDefinitionsHive(source, L"HKCU\\Software\\TavrinTest-" + Pid() + L"-build", file, error))
      << std::string(error.begin(), error.end());
  return ReadBytes(file);
}

enum class Hive { None, Old, New };
enum class Archive { None, New, WithoutEntry, Truncated };

class DefinitionsUpdate : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    build_ = new test::ScratchFolder;
    oldHive_ = BuildHive(L"Old Hive", build_->Path());
    newHive_ = BuildHive(L"New Hive", build_->Path());
    WriteZipArchive(build_->Path() + L"\\new.zip", {{"TVNdb2.dat", newHive_, {}}});
    WriteZipArchive(build_->Path() + L"\\other.zip", {{"Other.dat", newHive_, {}}});
    newZip_ = ReadBytes(build_->Path() + L"\\new.zip");
    otherZip_ = ReadBytes(build_->Path() + L"\\other.zip");
  }
  static void TearDownTestSuite() { delete build_; }

  void SetUp() override {
    ASSERT_TRUE(TheLoopback().running) << "the loopback server is not running (TAVRIN_LOOPBACK)";
    ASSERT_FALSE(oldHive_.empty());
    ASSERT_FALSE(newHive_.empty());
    served_ = L"/update-" + Pid();
  }
  void TearDown() override { test::RemoveTreeForTest(TheLoopback().root + served_); }

  // Puts a version file and an archive on the server for one case; returns
  // the case's URL path, to which "/tavrin/..." is appended.
  std::wstring Serve(const std::wstring& name, const char* version, Archive archive) {
    const std::wstring casePath = served_ + L"/" + name;
    const std::wstring folder = TheLoopback().root + served_ + L"\\" + name + L"\\tavrin";
    CreateDirectoryW((TheLoopback().root + served_).c_str(), nullptr);
    CreateDirectoryW((TheLoopback().root + served_ + L"\\" + name).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    if (version) WriteBytes(folder + L"\\dbver2.txt", version);
    if (archive == Archive::New) WriteBytes(folder + L"\\TVNdb2.zip", newZip_);
    if (archive == Archive::WithoutEntry) WriteBytes(folder + L"\\TVNdb2.zip", otherZip_);
    if (archive == Archive::Truncated) WriteBytes(folder + L"\\TVNdb2.zip", newZip_.substr(0, newZip_.size() / 2));
    return casePath;
  }

  // The data folder as an earlier run left it.
  static void Seed(const test::ScratchFolder& data, const char* number, Hive hive) {
    if (number) {
      WriteBytes(data / L"TVNdb.txt", number);
      SetFileAttributesW((data / L"TVNdb.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    if (hive == Hive::Old) {
      WriteBytes(data / L"TVNdb2.dat", oldHive_);
      SetFileAttributesW((data / L"TVNdb2.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    WriteBytes(data / L"TVNdb.dat", "hive of an earlier release");
  }

  static Hive HiveIn(const test::ScratchFolder& data) {
    if (!FileExists(data / L"TVNdb2.dat")) return Hive::None;
    const std::string bytes = ReadBytes(data / L"TVNdb2.dat");
    if (bytes == oldHive_) return Hive::Old;
    if (bytes == newHive_) return Hive::New;
    ADD_FAILURE() << "the hive in place is neither the old nor the new one";
    return Hive::None;
  }

  static test::ScratchFolder* build_;
  static std::string oldHive_, newHive_, newZip_, otherZip_;
  std::wstring served_;
};

test::ScratchFolder* DefinitionsUpdate::build_ = nullptr;
std::string DefinitionsUpdate::oldHive_, DefinitionsUpdate::newHive_, DefinitionsUpdate::newZip_,
    DefinitionsUpdate::otherZip_;

TEST_F(DefinitionsUpdate, AgainstTheLoopbackServer) {
  const struct Case {
    const wchar_t* name;
    const char* localNumber;  // TVNdb.txt, nullptr when missing
    Hive localHive;
    const char* remote;  // dbver2.txt on the server, nullptr when missing
    Archive archive;
    bool serverDown;
    // What the run leaves.
    DefinitionsState state;
    uint32_t number;
    Hive hive;
    bool archiveFetched;
  } cases[] = {
      {L"equal", "2000", Hive::Old, "2000", Archive::New, false, DefinitionsState::Ready, 2000, Hive::Old, false},
      {L"above", "2000", Hive::Old, "2001\r\n", Archive::New, false, DefinitionsState::Ready, 2001, Hive::New, true},
      {L"below", "2000", Hive::Old, "1999", Archive::New, false, DefinitionsState::Ready, 2000, Hive::Old, false},
      // Below 1961 a hive in place is kept even over a lower local number...
      {L"1960-hive", nullptr, Hive::Old, "1960", Archive::New, false, DefinitionsState::Ready, 0, Hive::Old, false},
      // ... but without one the archive is fetched and its number taken.
      {L"1960-none", nullptr, Hive::None, "1960", Archive::New, false, DefinitionsState::Ready, 1960, Hive::New, true},
      {L"no-number-file", nullptr, Hive::Old, nullptr, Archive::New, false, DefinitionsState::Ready, 0, Hive::Old,
       false},
      {L"garbage-version", "2000", Hive::Old, "<html>2001</html>", Archive::New, false, DefinitionsState::Ready, 2000,
       Hive::Old, false},
      {L"down-hive", "2000", Hive::Old, "2001", Archive::New, true, DefinitionsState::Ready, 2000, Hive::Old, false},
      {L"down-none", nullptr, Hive::None, "2001", Archive::New, true, DefinitionsState::Idle, 0, Hive::None, false},
      // A broken archive leaves the hive in place and its number.
      {L"no-entry", "2000", Hive::Old, "2001", Archive::WithoutEntry, false, DefinitionsState::Ready, 2000, Hive::Old,
       true},
      {L"truncated", "2000", Hive::Old, "2001", Archive::Truncated, false, DefinitionsState::Ready, 2000, Hive::Old,
       true},
      {L"truncated-none", nullptr, Hive::None, "2001", Archive::Truncated, false, DefinitionsState::Idle, 0,
       Hive::None, true},
  };
  const std::wstring down = L"http://127.0.0.1:" + std::to_wstring(test::ClosedPort());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
    test::ScratchFolder data;
    Seed(data, c.localNumber, c.localHive);
    const std::wstring casePath = Serve(c.name, c.remote, c.archive);
    const std::wstring base = c.serverDown ? down : TheLoopback().HttpUrl(casePath);

    // The program's data folder comes in the long form.
    const std::wstring folder = L"\\\\?\\" + data.Path();
    DefinitionsDb db;
    CancelFlags cancel;
    EXPECT_EQ(UpdateDefinitions(db, folder, base, cancel), c.state);
    EXPECT_EQ(db.state.load(), c.state);
    EXPECT_EQ(db.hivePath, folder + L"\\TVNdb2.dat");
    EXPECT_EQ(HiveIn(data), c.hive);
    const std::string archivePath = std::string(casePath.begin(), casePath.end()) + "/tavrin/TVNdb2.zip";
    EXPECT_EQ(TheLoopback().RequestCount(archivePath), c.archiveFetched ? 1 : 0);
    EXPECT_FALSE(FileExists(data / L"TVNdb.dat"));
    EXPECT_FALSE(FileExists(data / L"TVNdb2.zip"));
    EXPECT_FALSE(FileExists(data / L"TVNdb2.dat.new"));
    if (c.state == DefinitionsState::Ready) {
      EXPECT_EQ(db.number.load(), c.number);
      EXPECT_EQ(ReadBytes(data / L"TVNdb.txt"), std::to_string(c.number));
      EXPECT_TRUE(Hidden(data / L"TVNdb.txt"));
      EXPECT_TRUE(Hidden(data / L"TVNdb2.dat"));
    } else {
      EXPECT_FALSE(FileExists(data / L"TVNdb.txt"));
    }
  }
}

// Run in a child process by the test below, before the test authority is
// trusted: a process caches the trusted roots when it first checks a
// certificate, so the refusal cannot be seen in the process that trusts.
TEST_F(DefinitionsUpdate, DISABLED_HttpsRefusedWithoutTrust) {
  const std::wstring casePath = Serve(L"https-untrusted", "2001", Archive::New);
  test::ScratchFolder data;
  DefinitionsDb db;
  CancelFlags cancel;
  EXPECT_EQ(UpdateDefinitions(db, data.Path(), TheLoopback().HttpsUrl(casePath), cancel), DefinitionsState::Idle);
  EXPECT_EQ(HiveIn(data), Hive::None);
  EXPECT_EQ(TheLoopback().RequestCount(std::string(casePath.begin(), casePath.end()) + "/tavrin/TVNdb2.zip"), 0);
}

TEST_F(DefinitionsUpdate, OverHttpsWithATrustedAuthorityOnly) {
  {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    test::ScratchFolder results;
    test::ChildProcess child;
    ASSERT_TRUE(child.Start(L"\"" + std::wstring(self) +
                            L"\" --gtest_also_run_disabled_tests --gtest_filter=*DISABLED_HttpsRefusedWithoutTrust "
                            L"--gtest_output=json:" + (results / L"child.json")));
    EXPECT_EQ(child.Wait(60000), 0u);
    const std::string report = ReadBytes(results / L"child.json");
    EXPECT_NE(report.find("\"tests\": 1,"), std::string::npos) << report;
    EXPECT_NE(report.find("\"failures\": 0,"), std::string::npos) << report;
  }

  test::TrustedAuthority authority(TheLoopback().AuthorityCertificate());
  ASSERT_TRUE(authority.Added());
  const std::wstring casePath = Serve(L"https", "2001", Archive::New);
  const std::string archivePath = std::string(casePath.begin(), casePath.end()) + "/tavrin/TVNdb2.zip";
  test::ScratchFolder data;
  Seed(data, "2000", Hive::Old);
  DefinitionsDb db;
  CancelFlags cancel;
  EXPECT_EQ(UpdateDefinitions(db, data.Path(), TheLoopback().HttpsUrl(casePath), cancel), DefinitionsState::Ready);
  EXPECT_EQ(db.number.load(), 2001u);
  EXPECT_EQ(HiveIn(data), Hive::New);
  const std::vector<std::string> requests = TheLoopback().Requests();
  EXPECT_NE(std::find(requests.begin(), requests.end(), "https GET " + archivePath), requests.end());

  // Trust in the authority does not stretch to a name the certificate does
  // not carry.
  test::ScratchFolder byAddress;
  const std::wstring address = L"https://127.0.0.1:" + std::to_wstring(TheLoopback().httpsPort) + casePath;
  EXPECT_EQ(UpdateDefinitions(db, byAddress.Path(), address, cancel), DefinitionsState::Idle);
  EXPECT_EQ(HiveIn(byAddress), Hive::None);
}

TEST_F(DefinitionsUpdate, CancellationLeavesTheUpdateIdle) {
  // Raised before the version file is asked for: nothing is touched.
  {
    test::ScratchFolder data;
    Seed(data, "2000", Hive::Old);
    const std::wstring casePath = Serve(L"cancel-early", "2001", Archive::New);
    DefinitionsDb db;
    CancelFlags cancel;
    cancel.user = true;
    EXPECT_EQ(UpdateDefinitions(db, data.Path(), TheLoopback().HttpUrl(casePath), cancel), DefinitionsState::Idle);
    EXPECT_EQ(db.state.load(), DefinitionsState::Idle);
    EXPECT_EQ(ReadBytes(data / L"TVNdb.txt"), "2000");
    EXPECT_EQ(HiveIn(data), Hive::Old);
    EXPECT_EQ(TheLoopback().RequestCount(std::string(casePath.begin(), casePath.end()) + "/tavrin/dbver2.txt"), 0);
  }

  // Raised while the archive trickles in (a megabyte at 16 KiB per 50 ms):
  // the download stops, the old hive stays, the number file goes.
  test::ScratchFolder data;
  Seed(data, "2000", Hive::Old);
  const std::wstring casePath = Serve(L"cancel-archive", "2001", Archive::None);
  std::mt19937 generator(11);
  std::string slowArchive(1 << 20, '\0');
  for (char& c : slowArchive) c = char(generator());
  WriteBytes(TheLoopback().root + served_ + L"\\cancel-archive\\tavrin\\TVNdb2.zip", slowArchive);

  DefinitionsDb db;
  CancelFlags cancel;
  std::atomic<bool> done{false};
  bool sawArchive = false;
  std::thread user([&] {
    // The user presses Stop once the archive has started to arrive.
    while (!done && !FileExists(data / L"TVNdb2.zip")) Sleep(5);
    sawArchive = !done;
    cancel.user = true;
  });
  const ULONGLONG start = GetTickCount64();
  const DefinitionsState state =
      UpdateDefinitions(db, data.Path(), TheLoopback().HttpUrl(L"/-slow" + casePath), cancel);
  done = true;
  user.join();
  EXPECT_TRUE(sawArchive);
  EXPECT_LT(GetTickCount64() - start, 2500u);  // the whole archive would take over three seconds
  EXPECT_EQ(state, DefinitionsState::Idle);
  EXPECT_EQ(db.state.load(), DefinitionsState::Idle);
  EXPECT_EQ(HiveIn(data), Hive::Old);
  EXPECT_FALSE(FileExists(data / L"TVNdb.txt"));
  EXPECT_FALSE(FileExists(data / L"TVNdb2.zip"));
}

class DefinitionsMount : public ::testing::Test {
 protected:
  void SetUp() override {
    hive_ = folder_ / L"TVNdb2.dat";
    DefinitionsSource source;
    std::vector<std::wstring> errors;
    ASSERT_TRUE(ParseDefinitions(L"[Database]\nNumber = 1\n[Adware]\nMounted Marker\n", L"test", source, errors));
    std::wstring error;
    ASSERT_TRUE(BuildDefinitionsHive(source, L"HKCU\\Software\\TavrinTest-" + Pid() + L"-mount", hive_, error));
    CopyFileW(hive_.c_str(), (folder_ / L"stale.dat").c_str(), FALSE);
    CopyFileW(hive_.c_str(), (folder_ / L"other.dat").c_str(), FALSE);
  }
  void TearDown() override {
    for (const std::wstring& name : {L"TVN DB 1" + Pid(), L"TVN DB 2" + Pid(), L"Tavrin DB 3" + Pid(),
                                     L"TavrinTest-" + Pid() + L"-unrelated"}) {
      UnloadHive(HiveRoot::Machine, name);
      // Wine leaves an empty key behind where a load failed.
      DeleteKeyTree(L"HKLM\\" + name);
    }
  }
  test::ScratchFolder folder_;
  std::wstring hive_;
};

TEST_F(DefinitionsMount, StaleHivesAreUnloadedAndTheSecondLoadSucceeds) {
  // Windows refuses a second load of a file in use; Wine mounts one file
  // twice, so the stale mount here takes the very name the scan asks for.
  const std::wstring name = L"TVN DB 1" + Pid();
  ASSERT_TRUE(LoadHive(HiveRoot::Machine, name, folder_ / L"stale.dat"));
  ASSERT_TRUE(LoadHive(HiveRoot::Machine, L"Tavrin DB 3" + Pid(), folder_ / L"stale.dat"));
  ASSERT_TRUE(LoadHive(HiveRoot::Machine, L"TavrinTest-" + Pid() + L"-unrelated", folder_ / L"other.dat"));

  DefinitionsDb db;
  db.hivePath = hive_;
  ASSERT_TRUE(MountDefinitions(db, L"HKLM\\" + name));
  EXPECT_EQ(db.RootPath(), L"HKLM\\" + name);
  EXPECT_TRUE(KeyExists(db.RootPath() + L"\\Adware\\Mounted Marker"));
  EXPECT_FALSE(KeyExists(L"HKLM\\Tavrin DB 3" + Pid()));
  EXPECT_TRUE(KeyExists(L"HKLM\\TavrinTest-" + Pid() + L"-unrelated\\Adware"));
  EXPECT_TRUE(FileExists(hive_));

  EXPECT_TRUE(UnmountDefinitions(db));
  EXPECT_TRUE(db.RootPath().empty());
  EXPECT_FALSE(KeyExists(L"HKLM\\" + name));
}

TEST_F(DefinitionsMount, AFileThatIsNotAHiveIsDeleted) {
  ASSERT_TRUE(WriteBytes(hive_, "PK\x03\x04 not a hive at all"));
  DefinitionsDb db;
  db.hivePath = hive_;
  EXPECT_FALSE(MountDefinitions(db, L"TVN DB 2" + Pid()));
  EXPECT_TRUE(db.RootPath().empty());
  EXPECT_FALSE(FileExists(hive_));
}

TEST(DefinitionsSettings, ServerAddressFromTheSettingsFile) {
  const struct {
    const wchar_t* stored;  // nullptr: no key
    const wchar_t* address;
  } cases[] = {
      {nullptr, kDefaultDefinitionsServer},
      {L"  ", kDefaultDefinitionsServer},
      {L"http://127.0.0.1:8080/", L"http://127.0.0.1:8080"},
      {L"https://localhost:4443/mirror", L"https://localhost:4443/mirror"},
  };
  for (const auto& c : cases) {
    IniDocument settings;
    if (c.stored) settings.SetString(L"Settings", L"DefinitionsServer", c.stored);
    EXPECT_EQ(DefinitionsServer(settings), c.address);
  }
  EXPECT_TRUE(std::wstring(kDefaultDefinitionsServer).rfind(L"https://", 0) == 0);
}

TEST(DefinitionsNumbers, LeadingDigitsOnly) {
  const struct {
    const wchar_t* text;
    uint32_t number;
  } cases[] = {
      {L"", 0}, {L"2024", 2024}, {L"2024\r\n", 2024}, {L"123", 123}, {L" 2024", 0},
      {L"19x61", 19}, {L"4294967295", 4294967295u}, {L"4294967296", 0}, {L"99999999999999999999", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.number) << std::wstring(c.text).size();
}

}  // namespace
}  // namespace tavrin
