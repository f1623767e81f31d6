#include "support/shortcut_maker.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/com_ptr.h"

namespace tavrin::test {

bool MakeShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& arguments,
                  const std::wstring& workingFolder, const std::wstring& icon, int iconIndex) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  return SUCCEEDED(CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                    link.PutVoid())) &&
         SUCCEEDED(link->SetPath(target.c_str())) && SUCCEEDED(link->SetArguments(arguments.c_str())) &&
         (workingFolder.empty() || SUCCEEDED(link->SetWorkingDirectory(workingFolder.c_str()))) &&
         (icon.empty() || SUCCEEDED(link->SetIconLocation(icon.c_str(), iconIndex))) &&
         SUCCEEDED(link->QueryInterface(__uuidof(IPersistFile), file.PutVoid())) &&
         SUCCEEDED(file->Save(path.c_str(), TRUE));
}

}  // namespace tavrin::test
