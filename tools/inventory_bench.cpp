// Times the autostart inventory on the machine as it is (a quiet prefix),
// then on the same machine seeded the way a crowded Windows looks: 400
// services (300 sharing one host program with a DLL each, 100 with their
// own program), 300 Run values, 100 debugger redirections and 50 tasks.
// The collection (reading and resolving) and the file facts (signer and
// SHA-256 of each distinct file) are timed apart. Meant for a throw-away
// prefix:
//
//   tests/scenario/fresh_prefix "$PWD/build/cross/scenario-machines" build/cross/tools/inventory_bench.exe
//
// The seeded keys and files are removed at the end.
#include <windows.h>
#include <objbase.h>
#include <wincrypt.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "filetrust/file_hash.h"
#include "filetrust/file_trust.h"
#include "inventory/file_facts.h"
#include "inventory/inventory_collector.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/path_lookup.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/unique_handle.h"
#include "platform/user_environment.h"
#include "platform/users.h"

using namespace tavrin;

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  UniqueFile file = CreateFileReplacing(path);
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
}

InventoryScope MachineScope(InteractiveUser& console) {
  InventoryScope scope;
  scope.folders = FindSystemFolders();
  scope.commonStartup = ShellFolder(CSIDL_COMMON_STARTUP);
  for (const UserProfile& profile : PrepareScanUsers(console, true)) {
    InventoryUser user;
    user.name = profile.accountName;
    user.registryRoot = profile.RegistryRoot();
    user.startupFolder = UserFolder(profile.sid, L"Startup", profile.profileFolder);
    user.environment = UserEnvironmentOf(profile);
    scope.users.push_back(std::move(user));
  }
  return scope;
}

void Measure(const char* machine, const InventoryScope& scope) {
  auto start = Clock::now();
  std::vector<InventoryEntry> entries = CollectAutostartEntries(scope);
  const double collect = Seconds(start);
  start = Clock::now();
  const size_t files = FillFileFacts(entries, nullptr);
  const double facts = Seconds(start);
  std::printf("%-8s %6zu entries %8.3f s collecting   %5zu distinct files %8.3f s signer+SHA-256   %8.3f s in all\n",
              machine, entries.size(), collect, files, facts, collect + facts);

  // The two halves of the file facts, on one thread, over the same files.
  std::vector<std::wstring> distinct;
  for (const InventoryEntry& entry : entries)
    if (entry.fileExists && std::find(distinct.begin(), distinct.end(), entry.file) == distinct.end())
      distinct.push_back(entry.file);
  start = Clock::now();
  for (const std::wstring& file : distinct) {
    std::wstring publisher;
    VerifySignerTrust(file, publisher);
  }
  const double trust = Seconds(start);
  start = Clock::now();
  for (const std::wstring& file : distinct) {
    std::wstring hex;
    DigestOfFile(file, CALG_SHA_256, hex, HexLowercase);
  }
  std::printf("         one thread: %8.3f s VerifySignerTrust   %8.3f s SHA-256 (%zu files)\n", trust, Seconds(start),
              distinct.size());
  std::fflush(stdout);
}

}  // namespace

int wmain() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  InteractiveUser console;
  const InventoryScope scope = MachineScope(console);
  Measure("quiet", scope);

  const std::wstring programs = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\InventoryBench";
  const std::wstring tasks = ShellFolder(CSIDL_SYSTEM) + L"\\Tasks\\InventoryBench";
  CreateFolderTree(programs);
  CreateFolderTree(tasks);
  const std::wstring services = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\InventoryBench ";
  const std::wstring run = L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::wstring options = L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\"
                               L"InventoryBench ";
  const std::string body(256 * 1024, 'p');  // a program of a typical size
  for (int i = 0; i < 400; ++i) {
    const std::wstring n = std::to_wstring(i);
    const std::wstring key = services + n;
    if (i < 300) {
      WriteDwordAt(key, L"Type", SERVICE_WIN32_SHARE_PROCESS);
      WriteStringAt(key, L"ImagePath", L"%SystemRoot%\\system32\\svchost.exe -k netsvcs", REG_EXPAND_SZ);
      WriteFileBytes(programs + L"\\svc" + n + L".dll", "MZ" + body + std::to_string(i));
      WriteStringAt(key + L"\\Parameters", L"ServiceDll", programs + L"\\svc" + n + L".dll", REG_EXPAND_SZ);
    } else {
      WriteDwordAt(key, L"Type", SERVICE_WIN32_OWN_PROCESS);
      WriteFileBytes(programs + L"\\service" + n + L".exe", "MZ" + body + std::to_string(i));
      WriteStringAt(key, L"ImagePath", L"\"" + programs + L"\\service" + n + L".exe\" /run", REG_EXPAND_SZ);
    }
  }
  for (int i = 0; i < 300; ++i) {
    const std::wstring n = std::to_wstring(i);
    // A third of them start the same program.
    const std::wstring program = programs + L"\\tool" + std::to_wstring(i % 200) + L".exe";
    if (i < 200) WriteFileBytes(program, "MZ" + body + std::to_string(i));
    WriteStringAt(run, (L"InventoryBench " + n).c_str(), L"\"" + program + L"\" /tray");
  }
  for (int i = 0; i < 100; ++i)
    WriteStringAt(options + std::to_wstring(i) + L".exe", L"Debugger", programs + L"\\tool" + std::to_wstring(i) + L".exe");
  for (int i = 0; i < 50; ++i) {
    const std::wstring xml = L"<?xml version=\"1.0\"?><Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
                             L"<Actions><Exec><Command>" + programs + L"\\tool" + std::to_wstring(i) +
                             L".exe</Command><Arguments>/task</Arguments></Exec></Actions></Task>";
    WriteFileBytes(tasks + L"\\Task " + std::to_wstring(i), std::string(xml.begin(), xml.end()));
  }

  Measure("seeded", scope);

  for (int i = 0; i < 400; ++i) DeleteKeyTree(services + std::to_wstring(i));
  for (int i = 0; i < 300; ++i) DeleteValueAt(run, (L"InventoryBench " + std::to_wstring(i)).c_str());
  for (int i = 0; i < 100; ++i) DeleteKeyTree(options + std::to_wstring(i) + L".exe");
  for (const std::wstring& folder : {programs, tasks}) RemoveFileObject(folder, 0);
  CoUninitialize();
  return 0;
}
