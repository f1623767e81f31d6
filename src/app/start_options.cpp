#include "app/start_options.h"

#include <shellapi.h>

#include "platform/strings.h"

namespace tavrin {

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments;
  // An empty command line would make the platform return the program path.
  if (Trim(commandLine).empty()) return arguments;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW((L"tavrin.exe " + commandLine).c_str(), &count);
  if (!argv) return arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
  LocalFree(argv);
  return arguments;
}

StartOptions ParseStartOptions(const std::vector<std::wstring>& arguments, int showCommand) {
  StartOptions o;
  o.showCommand = showCommand;
  bool quiet = false;
  for (const auto& argument : arguments) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) continue;
    const std::wstring_view name = std::wstring_view(argument).substr(1);
    auto is = [&](const wchar_t* s) { return EqualsNoCase(name, s); };
    if (is(L"Update")) break;
    if (is(L"Scan")) {
      o.scanAtStart = true;
    } else if (is(L"ScanRemove")) {
      o.scanAtStart = true;
      o.removeAfterScan = true;
    } else if (is(L"NoMalware")) {
      o.noMalware = true;
    } else if (is(L"CUOnly")) {
      o.currentUserOnly = true;
    } else if (is(L"NoRP")) {
      o.noRestorePoint = true;
    } else if (is(L"AutoReboot")) {
      o.autoReboot = true;
    } else if (is(L"Quiet")) {
      quiet = true;
    } else if (is(L"Soft")) {
      o.detectionLevel = DetectionLevel::Soft;
    } else if (is(L"Aggressive")) {
      o.detectionLevel = DetectionLevel::Aggressive;
    } else if (is(L"NewInstance")) {
      o.newInstance = true;
    } else if (is(L"DelTemp")) {
      o.deleteOldExecutable = true;
    }
    // "/NoUpdate" is accepted and has no effect, like any unknown argument.
  }
  if (o.scanAtStart && !o.detectionLevel) o.detectionLevel = DetectionLevel::Medium;
  if (quiet) o.showCommand = SW_HIDE;
  if (!o.removeAfterScan) o.showCommand = SW_SHOWNORMAL;
  return o;
}

}  // namespace tavrin
