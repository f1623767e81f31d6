// Measures the registry layer on a generated tree: walking it (enumerate
// every key, read every value), CopyKey and DeleteKeyTree, beside reg.exe
// copy/delete and the platform's RegCopyTreeW/RegDeleteTreeW on the same tree.
//
//   registry_benchmark.exe [top keys = 100] [subkeys per top key = 999]
//
// The defaults give 100,000 keys with three values each (300,000 values).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/registry.h"

using namespace tavrin;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(const char* what, size_t keys, double seconds) {
  std::printf("%-34s %8zu keys %8.2f s %10.0f keys/s\n", what, keys, seconds, seconds > 0 ? keys / seconds : 0.0);
  std::fflush(stdout);
}

void Walk(const std::wstring& path, size_t& keys, size_t& values) {
  RegKey key = OpenKey(path, kRegRead);
  if (!key) return;
  ++keys;
  RegValueBuffer buffer;
  std::wstring name;
  DWORD type = 0, length = 0;
  for (DWORD i = 0; EnumValue(key, i, name, type, length); ++i) {
    if (ReadRaw(key, name.c_str(), buffer)) ++values;
  }
  for (DWORD i = 0; EnumSubKey(key, i, name); ++i) Walk(path + L"\\" + name, keys, values);
}

int RunReg(const std::wstring& arguments) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(system) + L"\\reg.exe\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process))
    return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return int(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const size_t top = argc > 1 ? std::wcstoul(argv[1], nullptr, 10) : 100;
  const size_t perTop = argc > 2 ? std::wcstoul(argv[2], nullptr, 10) : 999;
  const std::wstring base = L"HKCU\\Software\\TavrinBench-" + std::to_wstring(GetCurrentProcessId());
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

  size_t keys = 0, values = 0;
  start = Clock::now();
  Walk(source, keys, values);
  const double walk = Seconds(start);
  Report("walk (enumerate, read every value)", keys, walk);
  std::printf("%-34s %8zu values %6.2f s %10.0f values/s\n", "", values, walk, walk > 0 ? values / walk : 0.0);

  start = Clock::now();
  int copied = CopyKey(source, base + L"\\Copy");
  Report("CopyKey", total, Seconds(start));
  start = Clock::now();
  bool deleted = DeleteKeyTree(base + L"\\Copy");
  Report("DeleteKeyTree", total, Seconds(start));

  start = Clock::now();
  int regCopy = RunReg(L"copy \"" + source + L"\" \"" + base + L"\\RegCopy\" /s /f");
  Report("reg.exe copy /s", total, Seconds(start));
  start = Clock::now();
  int regDelete = RunReg(L"delete \"" + base + L"\\RegCopy\" /f");
  Report("reg.exe delete", total, Seconds(start));

  {
    RegKey from = OpenKey(source, kRegRead);
    RegKey to = OpenKey(base + L"\\TreeCopy", kRegCreateOrOpen);
    start = Clock::now();
    LONG status = RegCopyTreeW(from, nullptr, to);
    Report("RegCopyTreeW", total, Seconds(start));
    if (status != ERROR_SUCCESS) std::printf("RegCopyTreeW failed: %ld\n", status);
  }
  {
    RegKey parent = OpenKey(base, kRegAll);
    start = Clock::now();
    LONG status = RegDeleteTreeW(parent, L"TreeCopy");
    Report("RegDeleteTreeW", total, Seconds(start));
    if (status != ERROR_SUCCESS) std::printf("RegDeleteTreeW failed: %ld\n", status);
  }

  DeleteKeyTree(base);
  std::printf("copy result %d, delete %s, reg copy exit %d, reg delete exit %d, left behind: %s\n", copied,
              deleted ? "ok" : "failed", regCopy, regDelete, KeyExists(base) ? "yes" : "no");
  return copied > 0 && deleted && !KeyExists(base) ? 0 : 1;
}
