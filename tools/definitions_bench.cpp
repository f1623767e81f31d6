// Definitions at the size of a real database: builds a hive from a
// generated source of 10,000 adware names and 100,000 malware hashes,
// mounts and unmounts it, and probes it the way a hash look-up does.
//
//   scripts/wine build/cross/tools/definitions_bench.exe
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "definitions/definitions_db.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "platform/file_system.h"
#include "platform/registry.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::wstring Hex(std::mt19937_64& random) {
  static const wchar_t digits[] = L"0123456789ABCDEF";
  std::wstring hash(32, L'0');
  for (auto& c : hash) c = digits[random() % 16];
  return hash;
}

}  // namespace

int wmain() {
  std::mt19937_64 random(1961);
  definitions_tool::DefinitionsSource source;
  source.number = 1961;
  for (int i = 0; i < 10000; ++i) source.adware.push_back({L"Generated Adware " + std::to_wstring(i), i % 10 == 0});
  std::vector<std::wstring> hashes;
  for (int i = 0; i < 100000; ++i) {
    hashes.push_back(Hex(random));
    source.malware.push_back({hashes.back(), L"Generated.Malware" + std::to_wstring(i % 97) + L".30.80"});
  }

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"tavrin-definitions-bench";
  CreateFolderTree(folder);
  const std::wstring hive = folder + L"\\TVNdb2.dat";
  DeleteFileW(hive.c_str());

  std::wstring error;
  auto start = Clock::now();
  if (!definitions_tool::BuildDefinitionsHive(source, definitions_tool::DefaultScratchKey(), hive, error)) {
    fwprintf(stderr, L"build failed: %ls\n", error.c_str());
    return 1;
  }
  const double build = Seconds(start);
  std::printf("build: %.2f s, hive %.1f MiB\n", build, double(FileSize(hive)) / (1024.0 * 1024.0));

  DefinitionsDb db;
  db.hivePath = hive;
  start = Clock::now();
  const int rounds = 20;
  for (int i = 0; i < rounds; ++i) {
    if (!MountDefinitions(db, L"TVN DB bench") || !UnmountDefinitions(db)) {
      std::printf("mount or unmount failed\n");
      return 1;
    }
  }
  std::printf("mount + unmount: %.1f ms each (%d rounds)\n", Seconds(start) * 1000 / rounds, rounds);

  if (!MountDefinitions(db, L"TVN DB bench")) return 1;
  const std::wstring root = db.RootPath();
  // Half of the probes hit, half miss (a fresh random hash).
  start = Clock::now();
  int hits = 0;
  for (int i = 0; i < 100000; ++i) {
    const std::wstring h = i % 2 ? hashes[size_t(i) % hashes.size()] : Hex(random);
    const std::wstring key = root + L"\\Malware\\" + h.substr(0, 2) + L"\\" + h.substr(2, 2) + L"\\" + h.substr(4, 2);
    if (KeyExists(key, h.substr(6).c_str())) ++hits;
  }
  const double probes = Seconds(start);
  UnmountDefinitions(db);
  std::printf("100000 hash probes: %.2f s (%.1f us each), %d hits\n", probes, probes * 1e6 / 100000, hits);
  DeleteFileW(hive.c_str());
  RemoveDirectoryW(folder.c_str());
  return 0;
}
