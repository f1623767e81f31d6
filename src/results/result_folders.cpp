#include "results/result_folders.h"

#include <windows.h>

namespace tavrin {

namespace {

// The "\\?\" form lifts the length limit but makes every path absolute, so
// the walk up to the root below must stop at the drive or share.
bool IsRootLike(const std::wstring& path) {
  std::wstring rest = path;
  if (rest.rfind(L"\\\\?\\", 0) == 0) rest.erase(0, 4);
  if (rest.size() <= 3 && rest.size() >= 2 && rest[1] == L':') return true;
  return rest.empty() || rest == L"\\" ||
         (rest.rfind(L"\\\\", 0) == 0 && rest.find(L'\\', 2) == std::wstring::npos);
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateTree(const std::wstring& path) {
  if (IsFolder(path)) return true;
  size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos && slash > 0) {
    std::wstring parent = path.substr(0, slash);
    if (!IsRootLike(parent) && !CreateTree(parent)) return false;
  }
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool RemoveEntry(const std::wstring& path, DWORD attributes) {
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN))
    SetFileAttributesW(path.c_str(), attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM |
                                                   FILE_ATTRIBUTE_HIDDEN));
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != FALSE;
  bool emptied = true;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!RemoveEntry(path + L"\\" + name, data.dwFileAttributes)) emptied = false;
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
  }
  return RemoveDirectoryW(path.c_str()) != FALSE && emptied;
}

}  // namespace

bool CreateResultFolder(const std::wstring& path, bool hidden) {
  if (path.empty()) return false;
  if (IsFolder(path)) return true;
  if (!CreateTree(path)) return false;
  if (hidden) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
  return true;
}

bool RemoveResultFolder(const std::wstring& path) {
  // A path without a backslash is relative to whatever the current folder
  // happens to be: never remove that.
  if (path.find(L'\\') == std::wstring::npos || IsRootLike(path)) return false;
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  return RemoveEntry(path, attributes);
}

bool ResultFileExists(const std::wstring& path) {
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ProgramFolder() {
  std::wstring path(1024, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace tavrin
