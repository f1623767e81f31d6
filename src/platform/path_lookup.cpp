#include "platform/path_lookup.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "platform/shell_folders.h"

namespace tavrin {

PathObject ObjectAtPath(const std::wstring& path) {
  if (path.empty()) return PathObject::Missing;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathObject::Missing;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return PathObject::File;
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? PathObject::LinkedFolder : PathObject::Folder;
}

bool ExpandEnvironmentLimited(const std::wstring& text, size_t maxLength, std::wstring& expanded) {
  if (text.find(L'%') == std::wstring::npos) {
    if (text.size() > maxLength) return false;
    expanded = text;
    return true;
  }
  const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  // The count includes the terminator.
  if (needed == 0 || needed - 1 > maxLength) return false;
  std::wstring result(needed, L'\0');
  const DWORD got = ExpandEnvironmentStringsW(text.c_str(), result.data(), needed);
  if (got == 0 || got > needed) return false;
  result.resize(got - 1);
  expanded = std::move(result);
  return true;
}

bool FindOnSearchPath(std::wstring& name) {
  if (name.empty() || name.size() >= MAX_PATH) return false;
  wchar_t buffer[MAX_PATH] = {};
  name.copy(buffer, name.size());
  if (!PathFindOnPathW(buffer, nullptr)) return false;
  name = buffer;
  return true;
}

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments;
  if (commandLine.empty()) return arguments;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &count);
  if (!argv) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(argv[i]);
  LocalFree(argv);
  return arguments;
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return {};
  return ExpandForUser(std::wstring(buffer, length), nullptr);
}

}  // namespace tavrin
