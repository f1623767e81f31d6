#include "platform/shell_folders.h"

#include <shlobj.h>
#include <userenv.h>

#include <vector>

namespace tavrin {

std::wstring ShellFolder(int csidl, HANDLE userToken) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, userToken, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

std::wstring ExpandForUser(const std::wstring& text, HANDLE userToken) {
  std::vector<wchar_t> expanded(32768);
  bool ok = userToken ? ExpandEnvironmentStringsForUserW(userToken, text.c_str(), expanded.data(), DWORD(expanded.size()))
                      : ExpandEnvironmentStringsW(text.c_str(), expanded.data(), DWORD(expanded.size())) != 0;
  if (!ok) return {};
  std::wstring result = expanded.data();
  std::vector<wchar_t> longForm(32768);
  DWORD n = GetLongPathNameW(result.c_str(), longForm.data(), DWORD(longForm.size()));
  if (n > 0 && n < longForm.size()) result.assign(longForm.data(), n);
  return result;
}

}  // namespace tavrin
