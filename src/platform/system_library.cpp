#include "platform/system_library.h"

namespace tavrin {

bool LimitDllSearchToSystemFolder() { return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE; }

HMODULE LoadSystemLibrary(const std::wstring& name) {
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos)
    return nullptr;
  const std::wstring path = std::wstring(system, length) + L"\\" + name;
  // The DLL's own imports are looked for beside it, in the System folder.
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace tavrin
