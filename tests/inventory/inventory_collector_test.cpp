// The autostart inventory on a machine the test plants entries in: one in
// each kind of place, found with its fields; hostile values; and the facts
// of each distinct file read once.
#include "inventory/inventory_collector.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "inventory/file_facts.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "support/signing_root.h"
#include "support/scratch.h"
#include "support/shortcut_maker.h"

namespace tavrin {
namespace {

using test::WriteBytes;

const std::wstring kPid = std::to_wstring(GetCurrentProcessId());
const std::wstring kTag = L"TavrinTest-" + kPid;
// Class identifiers of the test's own; the last two stand for each other.
constexpr wchar_t kClass[] = L"{7A1E0000-0000-4000-8000-0000000000A1}";
constexpr wchar_t kLoopA[] = L"{7A1E0000-0000-4000-8000-0000000000B1}";
constexpr wchar_t kLoopB[] = L"{7A1E0000-0000-4000-8000-0000000000B2}";

constexpr wchar_t kWinNt[] = L"\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t kCurrent[] = L"\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kLsa[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Lsa";
constexpr wchar_t kWinsock[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters";

std::wstring SystemTasksFolder() {
  wchar_t path[MAX_PATH] = {};
  GetSystemDirectoryW(path, MAX_PATH);
  return std::wstring(path) + L"\\Tasks";
}

std::wstring TaskXml(const std::wstring& command, const std::wstring& arguments) {
  return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
         L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
         L"  <Actions Context=\"Author\">\r\n    <Exec><Command>" +
         command + L"</Command><Arguments>" + arguments +
         L"</Arguments></Exec>\r\n  </Actions>\r\n</Task>\r\n";
}

[[maybe_unused]] ::testing::Environment* const kTrustedRoot =
    ::testing::AddGlobalTestEnvironment(new test::TrustedSigningRoot);

class InventoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(WriteBytes(scratch / L"plain.exe", "MZ plain"));
    ASSERT_TRUE(WriteBytes(scratch / L"lib.dll", "MZ lib"));
    program = CanonicalFilePath(scratch / L"plain.exe");
    library = CanonicalFilePath(scratch / L"lib.dll");
    ASSERT_FALSE(program.empty());
    ASSERT_TRUE(CreateDirectoryW((scratch / L"Startup").c_str(), nullptr));

    InventoryUser user;
    user.name = L"tester";
    user.registryRoot = userRoot;
    user.startupFolder = scratch / L"Startup";
    scope.users.push_back(std::move(user));
    scope.folders = FindSystemFolders();
    scope.cancel = &cancel;
  }
  void TearDown() override {
    for (const auto& undo : undos) undo();
    DeleteKeyTree(L"HKCU\\Software\\" + kTag);
    CoUninitialize();
  }

  // A value written below the machine's places, taken out again at the end.
  void PlantValue(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
    ASSERT_TRUE(WriteStringAt(key, name.c_str(), text));
    undos.push_back([key, name] { DeleteValueAt(key, name.c_str()); });
  }
  // A key of the test's own below a machine place, removed at the end.
  void PlantKey(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    ASSERT_TRUE(WriteStringAt(key, name, text));
    undos.push_back([key] { DeleteKeyTree(key); });
  }
  void PlantClass(const std::wstring& classId, const std::wstring& server) {
    PlantKey(L"HKLM64\\SOFTWARE\\Classes\\CLSID\\" + classId + L"\\InprocServer32", nullptr, server);
    undos.push_back([classId] { DeleteKeyTree(L"HKLM64\\SOFTWARE\\Classes\\CLSID\\" + classId); });
  }

  const InventoryEntry* Find(const std::vector<InventoryEntry>& entries, const std::wstring& category,
                             const std::wstring& name, const std::wstring& command = {}) const {
    for (const InventoryEntry& entry : entries)
      if (entry.category == category && entry.name == name && (command.empty() || entry.command == command))
        return &entry;
    return nullptr;
  }

  test::ScratchFolder scratch;
  const std::wstring userRoot = L"HKCU\\Software\\" + kTag + L"\\user";
  std::wstring program, library;
  CancelFlags cancel;
  InventoryScope scope;
  std::vector<std::function<void()>> undos;
};

TEST_F(InventoryTest, FindsOneEntryOfEveryKindOfPlace) {
  const std::wstring quoted = L"\"" + program + L"\" /min";
  const std::wstring machineRunOnce = L"HKLM64\\SOFTWARE" + std::wstring(kCurrent) + L"\\RunOnce";
  const std::wstring options = L"HKLM\\SOFTWARE" + std::wstring(kWinNt) + L"\\Image File Execution Options\\" +
                               kTag + L".exe";
  const std::wstring silentExit = L"HKLM\\SOFTWARE" + std::wstring(kWinNt) + L"\\SilentProcessExit\\" + kTag + L".exe";
  const std::wstring activeSetup = L"HKLM64\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\" + kTag;
  const std::wstring nameSpace = std::wstring(kWinsock) + L"\\NameSpace_Catalog5\\Catalog_Entries64\\" + kTag;
  const std::wstring protocol = std::wstring(kWinsock) + L"\\Protocol_Catalog9\\Catalog_Entries64\\" + kTag;
  const std::wstring service = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\" + kTag;
  const std::wstring driver = service + L"-driver";
  const std::wstring delayLoad = L"HKLM64\\SOFTWARE" + std::wstring(kCurrent) + L"\\ShellServiceObjectDelayLoad";
  const std::wstring hooks = L"HKLM64\\SOFTWARE" + std::wstring(kCurrent) + L"\\Explorer\\ShellExecuteHooks";
  const std::wstring handlers = L"HKCR\\*\\ShellEx\\ContextMenuHandlers";
  const std::wstring helpers = userRoot + L"\\Software" + kCurrent + L"\\Explorer\\Browser Helper Objects";
  const std::wstring userWinlogon = userRoot + L"\\Software" + kWinNt + L"\\Winlogon";
  const std::wstring userWindows = userRoot + L"\\Software" + kWinNt + L"\\Windows";

  ASSERT_TRUE(WriteStringAt(userRoot + L"\\Software" + kCurrent + L"\\Run", L"TvnRun", quoted));
  PlantValue(machineRunOnce, kTag, program);
  ASSERT_TRUE(test::MakeShortcut(scratch / L"Startup\\plain.lnk", program, L"/startup"));
  ASSERT_TRUE(WriteStringAt(userWinlogon, L"Shell", L"explorer.exe," + program));
  PlantKey(options, L"Debugger", program);
  PlantKey(silentExit, L"MonitorProcess", program + L" /watch");
  PlantKey(activeSetup, L"StubPath", program + L" /install");
  ASSERT_TRUE(WriteStringAt(userWindows, L"AppInit_DLLs", scratch / L"lib"));
  std::wstring packages;
  const bool hadPackages = ReadStringAt(kLsa, L"Notification Packages", packages);
  ASSERT_TRUE(WriteStringAt(kLsa, L"Notification Packages", (packages.empty() ? L"" : packages + L"\n") + library,
                            REG_MULTI_SZ));
  undos.push_back([hadPackages, packages] {
    if (hadPackages) WriteStringAt(kLsa, L"Notification Packages", packages, REG_MULTI_SZ);
    else DeleteValueAt(kLsa, L"Notification Packages");
  });
  PlantKey(nameSpace, L"LibraryPath", library);
  std::string packed(std::string(library.begin(), library.end()) + std::string(400, '\0'));
  {
    RegKey key;
    ASSERT_TRUE(CreateKey(key, protocol));
    ASSERT_TRUE(WriteValue(key, L"PackedCatalogItem", REG_BINARY, packed.data(), DWORD(packed.size())));
    undos.push_back([protocol] { DeleteKeyTree(protocol); });
  }
  ASSERT_TRUE(WriteDwordAt(service, L"Type", SERVICE_WIN32_SHARE_PROCESS));
  PlantKey(service, L"ImagePath", program + L" -k group");
  ASSERT_TRUE(WriteStringAt(service + L"\\Parameters", L"ServiceDll", library, REG_EXPAND_SZ));
  ASSERT_TRUE(WriteDwordAt(driver, L"Type", SERVICE_KERNEL_DRIVER));
  PlantKey(driver, L"ImagePath", L"\\??\\" + program);
  const std::wstring taskFolder = SystemTasksFolder() + L"\\" + kTag;
  ASSERT_TRUE(CreateDirectoryW(taskFolder.c_str(), nullptr));
  undos.push_back([taskFolder] { test::RemoveTreeForTest(taskFolder); });
  ASSERT_TRUE(WriteBytes(taskFolder + L"\\Nightly", test::Utf16Bytes(TaskXml(program, L"/nightly"))));
  PlantClass(kClass, library);
  PlantValue(delayLoad, kTag, kClass);
  PlantValue(hooks, kClass, L"");
  PlantKey(L"HKLM64\\SOFTWARE\\Classes\\*\\ShellEx\\ContextMenuHandlers\\" + kTag, nullptr, kClass);
  ASSERT_TRUE(CreateKey(helpers + L"\\" + kClass));

  const std::vector<InventoryEntry> entries = CollectAutostartInventory(scope);

  struct Case {
    const wchar_t* category;
    std::wstring name, location, user, command, file;
  };
  const std::wstring taskPath = L"\\" + kTag;
  const Case cases[] = {
      {L"Run", L"TvnRun", userRoot + L"\\Software" + kCurrent + L"\\Run", L"tester", quoted, program},
      {L"RunOnce", kTag, machineRunOnce, L"", program, program},
      {L"Startup", L"plain.lnk", scratch / L"Startup", L"tester", program + L" /startup", program},
      {L"Winlogon", L"Shell", userWinlogon, L"tester", program, program},
      {L"Image File Execution Options", kTag + L".exe", options, L"", program, program},
      {L"SilentProcessExit", kTag + L".exe", silentExit, L"", program + L" /watch", program},
      {L"Active Setup", kTag, activeSetup, L"", program + L" /install", program},
      {L"AppInit_DLLs", L"AppInit_DLLs", userWindows, L"tester", scratch / L"lib", library},
      {L"LSA packages", L"Notification Packages", kLsa, L"", library, library},
      {L"Winsock providers", kTag, nameSpace, L"", library, library},
      {L"Winsock providers", kTag, protocol, L"", library, library},
      {L"Services", kTag, service, L"", program + L" -k group", program},
      {L"Services", kTag, service, L"", library, library},
      {L"Drivers", kTag + L"-driver", driver, L"", L"\\??\\" + program, program},
      {L"Scheduled tasks", L"Nightly", taskPath, L"", program + L" /nightly", program},
      {L"ShellServiceObjectDelayLoad", kTag, delayLoad, L"", kClass, library},
      {L"Shell execute hooks", kClass, hooks, L"", kClass, library},
      {L"Context menu handlers", kTag, handlers, L"", kClass, library},
      {L"Browser helper objects", kClass, helpers, L"tester", kClass, library},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.category << L" " << c.location);
    const InventoryEntry* entry = nullptr;
    for (const InventoryEntry& candidate : entries)
      if (candidate.category == c.category && candidate.name == c.name && EqualsNoCase(candidate.location, c.location) &&
          candidate.command == c.command)
        entry = &candidate;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->user, c.user);
    EXPECT_TRUE(EqualsNoCase(entry->file, c.file)) << entry->file;
    EXPECT_TRUE(entry->fileExists);
    EXPECT_EQ(entry->sha256.size(), 64u);
  }

  // Categories come in their fixed order, each as one run.
  std::vector<std::wstring> runs;
  for (const InventoryEntry& entry : entries)
    if (runs.empty() || runs.back() != entry.category) runs.push_back(entry.category);
  for (size_t i = 0; i < runs.size(); ++i)
    for (size_t j = i + 1; j < runs.size(); ++j) EXPECT_NE(runs[i], runs[j]) << runs[i];
}

TEST_F(InventoryTest, HostileValuesAreBoundedAndLoopsEnd) {
  const std::wstring run = userRoot + L"\\Software" + kCurrent + L"\\Run";
  ASSERT_TRUE(WriteStringAt(run, L"Huge", std::wstring(40000, L'a')));
  ASSERT_TRUE(WriteStringAt(run, L"Long", program + std::wstring(5000, L' ') + L"x"));
  ASSERT_TRUE(WriteStringAt(run, L"Lines", L"a\r\nb\0c"));
  RegKey key;
  ASSERT_TRUE(CreateKey(key, run));
  ASSERT_TRUE(WriteValue(key, L"Binary", REG_BINARY, "\x01\x02\x03", 3));
  // Classes that stand for each other behind a helper, and a helper whose
  // own class server names a missing file.
  PlantKey(L"HKLM64\\SOFTWARE\\Classes\\CLSID\\" + std::wstring(kLoopA) + L"\\TreatAs", nullptr, kLoopB);
  PlantKey(L"HKLM64\\SOFTWARE\\Classes\\CLSID\\" + std::wstring(kLoopB) + L"\\TreatAs", nullptr, kLoopA);
  const std::wstring helpers = userRoot + L"\\Software" + kCurrent + L"\\Explorer\\Browser Helper Objects";
  ASSERT_TRUE(CreateKey(helpers + L"\\" + kLoopA));
  // A provider whose path fills the whole item without an end.
  const std::wstring protocol = std::wstring(kWinsock) + L"\\Protocol_Catalog9\\Catalog_Entries64\\" + kTag;
  RegKey item;
  ASSERT_TRUE(CreateKey(item, protocol));
  undos.push_back([protocol] { DeleteKeyTree(protocol); });
  const std::string endless(600, 'C');
  ASSERT_TRUE(WriteValue(item, L"PackedCatalogItem", REG_BINARY, endless.data(), DWORD(endless.size())));
  // A Startup entry that only claims to be a shortcut.
  ASSERT_TRUE(WriteBytes(scratch / L"Startup\\broken.lnk", "not a link"));

  const std::vector<InventoryEntry> entries = CollectAutostartInventory(scope);

  EXPECT_EQ(Find(entries, L"Run", L"Huge"), nullptr);
  EXPECT_EQ(Find(entries, L"Run", L"Binary"), nullptr);
  const InventoryEntry* longOne = Find(entries, L"Run", L"Long");
  ASSERT_NE(longOne, nullptr);
  EXPECT_EQ(longOne->command.size(), kMaxInventoryText);
  EXPECT_TRUE(longOne->file.empty());
  ASSERT_NE(Find(entries, L"Run", L"Lines"), nullptr);
  const InventoryEntry* loop = Find(entries, L"Browser helper objects", kLoopA);
  ASSERT_NE(loop, nullptr);
  EXPECT_TRUE(loop->file.empty());
  EXPECT_FALSE(loop->fileExists);
  for (const InventoryEntry& entry : entries) EXPECT_FALSE(EqualsNoCase(entry.location, protocol));
  // The damaged link is listed as the file it is, not as anything read from it.
  const InventoryEntry* broken = Find(entries, L"Startup", L"broken.lnk");
  ASSERT_NE(broken, nullptr);
  EXPECT_TRUE(EqualsNoCase(broken->file, CanonicalFilePath(scratch / L"Startup\\broken.lnk")));
}

TEST_F(InventoryTest, CancelledCollectionStopsEarly) {
  ASSERT_TRUE(WriteStringAt(userRoot + L"\\Software" + kCurrent + L"\\Run", L"TvnRun", program));
  cancel.user = true;
  EXPECT_TRUE(CollectAutostartInventory(scope).empty());
}

// Each distinct file is read once, whatever case its path is written in;
// its facts reach every entry that names it.
TEST(FileFactsTest, EachDistinctFileIsJudgedOnce) {
  test::ScratchFolder scratch;
  ASSERT_TRUE(WriteBytes(scratch / L"abc.exe", "abc"));
  const std::wstring abc = CanonicalFilePath(scratch / L"abc.exe");
  const std::wstring signedFile = test::SignedFixture(L"ca_signed.exe");
  ASSERT_TRUE(test::TrustedSigningRoot::Added()) << "run through ctest: the signing fixture makes signing\\root.der";

  // A file above the hashing limit, made sparse by its length alone.
  const std::wstring large = scratch / L"large.exe";
  {
    HANDLE file = CreateFileW(large.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size{};
    size.QuadPart = LONGLONG(kLargestHashedFile) + 1;
    EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
  }

  std::vector<InventoryEntry> entries(6);
  entries[0].file = abc;
  entries[1].file = ToUpper(abc);
  entries[2].file = scratch / L"missing.exe";
  entries[3].file = L"relative.exe";
  entries[4].file = signedFile;
  entries[5].file = large;
  EXPECT_EQ(FillFileFacts(entries, nullptr), 5u);

  constexpr wchar_t kAbcSha256[] = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  for (int k : {0, 1}) {
    EXPECT_TRUE(entries[k].fileExists);
    EXPECT_EQ(entries[k].sha256, kAbcSha256);
    EXPECT_TRUE(entries[k].signer.empty());
  }
  for (int k : {2, 3}) {
    EXPECT_FALSE(entries[k].fileExists);
    EXPECT_TRUE(entries[k].sha256.empty());
  }
  EXPECT_TRUE(entries[4].fileExists);
  EXPECT_NE(entries[4].signer.find(L"Tavrin Test Signer"), std::wstring::npos) << entries[4].signer;
  EXPECT_EQ(entries[4].sha256.size(), 64u);
  EXPECT_TRUE(entries[5].fileExists);
  EXPECT_TRUE(entries[5].sha256.empty());
}

}  // namespace
}  // namespace tavrin
