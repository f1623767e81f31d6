#include "mounted_definitions.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "definitions_builder.h"
#include "definitions_source.h"

namespace tavrin::test {

namespace {

std::wstring UniqueSuffix() {
  static std::atomic<int> next{0};
  return std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(next++);
}

}  // namespace

MountedDefinitions::MountedDefinitions(const std::wstring& text) {
  using namespace definitions_tool;
  DefinitionsSource source;
  std::vector<std::wstring> errors;
  if (!ParseDefinitions(L"[Database]\nNumber = 2000\n" + text, L"test", source, errors)) {
    error = errors.empty() ? L"does not parse" : errors.front();
    return;
  }
  const std::wstring suffix = UniqueSuffix();
  db_.hivePath = folder_ / L"TVNdb2.dat";
  if (!BuildDefinitionsHive(source, L"HKCU\\Software\\TavrinTest-" + suffix + L"-rules", db_.hivePath, error)) return;
  if (!MountDefinitions(db_, L"TVN DB rules-" + suffix)) error = L"the hive does not mount";
}

MountedDefinitions::~MountedDefinitions() {
  if (!db_.RootPath().empty()) UnmountDefinitions(db_);
}

}  // namespace tavrin::test
