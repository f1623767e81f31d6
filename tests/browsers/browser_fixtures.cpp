#include "browser_fixtures.h"

#include <windows.h>

#include "platform/file_system.h"
#include "platform/find_files.h"

namespace tavrin::test {

namespace {
std::wstring HostPath(const char* linuxPath) {
  std::wstring path = L"Z:";
  for (const char* c = linuxPath; *c; ++c) path += *c == '/' ? L'\\' : wchar_t(*c);
  return path;
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
  if (!CreateFolderTree(to)) return false;
  FindFiles find(from + L"\\*");
  while (find.Next()) {
    std::wstring source = from + L"\\" + find.Name(), target = to + L"\\" + find.Name();
    if (find.IsFolder() ? !CopyTree(source, target) : !CopyFileW(source.c_str(), target.c_str(), FALSE)) return false;
  }
  return true;
}
}  // namespace

std::wstring BrowserFixture(const std::wstring& relative) {
  std::wstring path = HostPath(TAVRIN_BROWSER_FIXTURES) + L"\\" + relative;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

std::wstring BrowserEditsFolder() { return HostPath(TAVRIN_BROWSER_EDITS); }

bool CopyFixtureTree(const std::wstring& relative, const std::wstring& to) { return CopyTree(BrowserFixture(relative), to); }

}  // namespace tavrin::test
