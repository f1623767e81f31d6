#include "browsers/browser_folder_guard.h"

#include <windows.h>

#include <vector>

#include "platform/strings.h"

namespace tavrin {

namespace {

std::wstring WithoutTrailingBackslash(std::wstring s) {
  while (s.size() > 3 && s.back() == L'\\') s.pop_back();
  return s;
}

bool IsCanonicalDrivePath(const std::wstring& path) {
  if (path.size() < 4 || !((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) ||
      path[1] != L':' || path[2] != L'\\')
    return false;
  size_t start = 3;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring_view step(path.data() + start, end - start);
    if (step.empty() || step == L"." || step == L".." || step.back() == L'.' || step.back() == L' ') return false;
    for (wchar_t c : step)
      if (c < 0x20 || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
          c == L'|')
        return false;
    start = end + 1;
  }
  // The platform's own normalisation must agree (short names, devices).
  wchar_t full[4096];
  DWORD n = GetFullPathNameW(path.c_str(), 4096, full, nullptr);
  return n > 0 && n < 4096 && EqualsNoCase(std::wstring_view(full, n), path);
}

bool InsideWithoutLinks(const std::wstring& path, const std::wstring& base) {
  std::wstring root = WithoutTrailingBackslash(base);
  if (root.empty() || path.size() <= root.size() + 1 || !StartsWithNoCase(path, root) || path[root.size()] != L'\\')
    return false;
  size_t at = root.size() + 1;
  while (at <= path.size()) {
    size_t end = path.find(L'\\', at);
    if (end == std::wstring::npos) end = path.size();
    DWORD attributes = GetFileAttributesW(path.substr(0, end).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // the rest does not exist yet
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    at = end + 1;
  }
  return true;
}

}  // namespace

bool IsSafeBrowserFolder(const std::wstring& path, const std::wstring& dataFolder, const std::wstring& ownerProfile) {
  if (!IsCanonicalDrivePath(path)) return false;
  return (!dataFolder.empty() && InsideWithoutLinks(path, dataFolder)) ||
         (!ownerProfile.empty() && InsideWithoutLinks(path, ownerProfile));
}

}  // namespace tavrin
