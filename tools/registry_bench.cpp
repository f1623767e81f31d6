// Measures the registry layer on a generated tree beside the system's own
// tools on the same tree: the layer's walk (enumerate every key, read every
// value) against `reg export`, CopyKey against `reg copy /s`, DeleteKeyTree
// against `reg delete`, and the platform's RegCopyTreeW/RegDeleteTreeW.
//
//   registry_bench.exe [top keys = 10] [subkeys per top key = 999]
//
// The defaults give 10,000 keys with three values each (30,000 values).
// Trees left behind by an interrupted run are removed first, so the tool
// can simply be run again.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/unique_handle.h"

using namespace tavrin;

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kParent[] = L"HKCU\\Software";
constexpr wchar_t kPrefix[] = L"TavrinBench-";

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Report(const char* what, size_t keys, double seconds) {
  const double rate = seconds > 0 ? keys / seconds : 0.0;
  std::printf("%-36s %8zu keys %8.2f s %10.0f keys/s\n", what, keys, seconds, rate);
  std::fflush(stdout);
  return rate;
}

// The shortest of the rounds' times.
struct Best {
  double seconds = 0;
  void Add(double s) {
    if (seconds == 0 || s < seconds) seconds = s;
  }
};

void Compare(const char* layer, double layerRate, const char* tool, double toolRate) {
  std::printf("  %s / %s: %.2fx%s\n", layer, tool, toolRate > 0 ? layerRate / toolRate : 0.0,
              layerRate >= toolRate ? "" : "  (slower)");
  std::fflush(stdout);
}

// Every key below `key` is opened through its parent's handle, and every
// value is read with its name in one call, as reg.exe does.
void Walk(const RegKey& key, size_t& keys, size_t& values) {
  ++keys;
  RegValueBuffer buffer;
  std::wstring name;
  for (DWORD i = 0; EnumValueRaw(key, i, name, buffer); ++i) ++values;
  for (DWORD i = 0; EnumSubKey(key, i, name); ++i) {
    RegKey child = OpenSubKey(key, name, kRegRead);
    if (child) Walk(child, keys, values);
  }
}

void Walk(const std::wstring& path, size_t& keys, size_t& values) {
  RegKey key = OpenKey(path, kRegRead);
  if (key) Walk(key, keys, values);
}

// Exit code of reg.exe with these arguments, -1 when it did not start.
int RunReg(const std::wstring& arguments) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(system) + L"\\reg.exe\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &info))
    return -1;
  tavrin::UniqueProcessInformation process;
  process.Adopt(info);
  WaitForSingleObject(process.process.get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.process.get(), &code);
  return int(code);
}

// reg.exe only knows the long root names and no view suffixes.
std::wstring RegToolPath(const std::wstring& path) { return L"HKEY_CURRENT_USER" + path.substr(4); }

void RemoveLeftovers() {
  RegKey parent = OpenKey(kParent, kRegRead);
  std::vector<std::wstring> stale;
  for (const std::wstring& name : SubKeyNames(parent)) {
    if (StartsWithNoCase(name, kPrefix)) stale.push_back(name);
  }
  parent.Close();
  for (const std::wstring& name : stale) {
    std::printf("removing a tree left by an earlier run: %ls\n", name.c_str());
    DeleteKeyTree(std::wstring(kParent) + L"\\" + name);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const size_t top = argc > 1 ? std::wcstoul(argv[1], nullptr, 10) : 10;
  const size_t perTop = argc > 2 ? std::wcstoul(argv[2], nullptr, 10) : 999;
  const size_t rounds = argc > 3 ? std::max<size_t>(1, std::wcstoul(argv[3], nullptr, 10)) : 3;
  RemoveLeftovers();
  const std::wstring base = std::wstring(kParent) + L"\\" + kPrefix + std::to_wstring(GetCurrentProcessId());
  const std::wstring source = base + L"\\Source";
  const size_t total = top + top * perTop;

  auto start = Clock::now();
  const BYTE blob[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  for (size_t t = 0; t < top; ++t) {
    const std::wstring topPath = source + L"\\Top" + std::to_wstring(t);
    for (size_t s = 0; s <= perTop; ++s) {
      const std::wstring path = s == 0 ? topPath : topPath + L"\\Key" + std::to_wstring(s);
      RegKey key = OpenKey(path, kRegCreateOrOpen);
      WriteString(key, L"DisplayName", L"Generated entry " + std::to_wstring(s));
      WriteDword(key, L"Number", DWORD(s));
      WriteValue(key, L"Blob", REG_BINARY, blob, sizeof blob);
    }
  }
  Report("generate (OpenKey + 3 writes)", total, Seconds(start));

  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring exportFile = std::wstring(temp) + kPrefix + std::to_wstring(GetCurrentProcessId()) + L".reg";

  // The generated keys lie below Source, which the walk counts as well.
  size_t keys = 0, values = 0, copyKeys = 0, copyValues = 0;
  int copied = 0, regExport = 0, regCopy = 0, regDelete = 0;
  bool deleted = true;
  LONG treeCopy = ERROR_SUCCESS, treeDelete = ERROR_SUCCESS;
  Best walk, exported, copy, remove, toolCopy, toolDelete, apiCopy, apiDelete;
  for (size_t round = 0; round < rounds; ++round) {
    keys = values = 0;
    start = Clock::now();
    Walk(source, keys, values);
    walk.Add(Seconds(start));

    start = Clock::now();
    regExport |= RunReg(L"export \"" + RegToolPath(source) + L"\" \"" + exportFile + L"\" /y");
    exported.Add(Seconds(start));
    DeleteFileW(exportFile.c_str());

    start = Clock::now();
    const int result = CopyKey(source, base + L"\\Copy");
    copy.Add(Seconds(start));
    if (round == 0 || result < copied) copied = result;
    if (round == 0) {
      // Untimed: a fast copy that leaves keys out would be no result.
      Walk(base + L"\\Copy", copyKeys, copyValues);
    }
    start = Clock::now();
    deleted = DeleteKeyTree(base + L"\\Copy") && deleted;
    remove.Add(Seconds(start));

    start = Clock::now();
    regCopy |= RunReg(L"copy \"" + RegToolPath(source) + L"\" \"" + RegToolPath(base) + L"\\RegCopy\" /s /f");
    toolCopy.Add(Seconds(start));
    start = Clock::now();
    regDelete |= RunReg(L"delete \"" + RegToolPath(base) + L"\\RegCopy\" /f");
    toolDelete.Add(Seconds(start));

    {
      RegKey from = OpenKey(source, kRegRead);
      RegKey to = OpenKey(base + L"\\TreeCopy", kRegCreateOrOpen);
      start = Clock::now();
      LONG status = RegCopyTreeW(from, nullptr, to);
      apiCopy.Add(Seconds(start));
      if (status != ERROR_SUCCESS) treeCopy = status;
    }
    {
      RegKey parent = OpenKey(base, kRegAll);
      start = Clock::now();
      LONG status = RegDeleteTreeW(parent, L"TreeCopy");
      apiDelete.Add(Seconds(start));
      if (status != ERROR_SUCCESS) treeDelete = status;
    }
  }

  std::printf("best of %zu rounds:\n", rounds);
  const double walkRate = Report("walk (enumerate, read every value)", keys, walk.seconds);
  std::printf("%-36s %8zu values %6.2f s %10.0f values/s\n", "", values, walk.seconds,
              walk.seconds > 0 ? values / walk.seconds : 0.0);
  const double exportRate = Report("reg.exe export", keys, exported.seconds);
  const double copyRate = Report("CopyKey", keys, copy.seconds);
  const double regCopyRate = Report("reg.exe copy /s", keys, toolCopy.seconds);
  const double deleteRate = Report("DeleteKeyTree", keys, remove.seconds);
  const double regDeleteRate = Report("reg.exe delete", keys, toolDelete.seconds);
  Report("RegCopyTreeW", keys, apiCopy.seconds);
  Report("RegDeleteTreeW", keys, apiDelete.seconds);
  Compare("walk", walkRate, "reg export", exportRate);
  Compare("CopyKey", copyRate, "reg copy", regCopyRate);
  Compare("DeleteKeyTree", deleteRate, "reg delete", regDeleteRate);
  if (treeCopy != ERROR_SUCCESS) std::printf("RegCopyTreeW failed: %ld\n", treeCopy);
  if (treeDelete != ERROR_SUCCESS) std::printf("RegDeleteTreeW failed: %ld\n", treeDelete);

  DeleteKeyTree(base);
  const bool walkedAll = keys == total + 1 && values == 3 * total;
  const bool copiedAll = copyKeys == keys && copyValues == values;
  std::printf("walked %zu of %zu keys, copied %zu keys and %zu values, copy result %d, delete %s, reg export exit %d, reg copy exit %d, "
              "reg delete exit %d, left behind: %s\n",
              keys, total + 1, copyKeys, copyValues, copied, deleted ? "ok" : "failed", regExport, regCopy, regDelete,
              KeyExists(base) ? "yes" : "no");
  return walkedAll && copiedAll && copied > 0 && deleted && regExport == 0 && regCopy == 0 && regDelete == 0 && !KeyExists(base)
             ? 0
             : 1;
}
