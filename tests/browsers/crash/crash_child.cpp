// Runs the crash round's repair over "<folder>\<n>" for n from 0 up to the
// count. With a kill number K it ends itself hard in the middle of its K-th
// WriteFile call: half of that call's bytes are written, then the process
// is terminated, as a crash or a power cut inside a write would leave it.
// Without one it exits with the number of WriteFile calls the repair made.
#include <windows.h>

#include <string>

#include "browsers/crash/crash_round.h"

// The import slot every WriteFile call of this program goes through.
extern "C" decltype(&WriteFile) __imp_WriteFile;

namespace {

decltype(&WriteFile) realWriteFile = nullptr;
unsigned long writes = 0;
unsigned long killAt = 0;

BOOL WINAPI CountedWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  if (++writes == killAt) {
    DWORD half = 0;
    realWriteFile(file, data, size / 2, &half, overlapped);
    TerminateProcess(GetCurrentProcess(), 0xDEAD);
  }
  return realWriteFile(file, data, size, written, overlapped);
}

bool Hook() {
  DWORD old = 0;
  if (!VirtualProtect(&__imp_WriteFile, sizeof __imp_WriteFile, PAGE_READWRITE, &old)) return false;
  realWriteFile = __imp_WriteFile;
  __imp_WriteFile = &CountedWriteFile;
  VirtualProtect(&__imp_WriteFile, sizeof __imp_WriteFile, old, &old);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 || !Hook()) return 0x10000;
  const std::wstring folder = argv[1];
  const int rounds = _wtoi(argv[2]);
  killAt = wcstoul(argv[3], nullptr, 10);
  for (int n = 0; n < rounds; ++n)
    if (!tavrin::test::RepairCrashRound(folder + L"\\" + std::to_wstring(n))) return 0x10001;
  return int(writes);
}
