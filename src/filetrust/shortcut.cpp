#include "filetrust/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "platform/com_ptr.h"
#include "platform/com_scope.h"

namespace tavrin {

namespace {

// Arguments and paths beyond the classic limit exist in real links; the
// shell cuts what does not fit, so the buffers are the largest it stores.
constexpr int kTextCapacity = 32768;

bool LoadLink(const std::wstring& path, DWORD mode, ComPtr<IShellLinkW>& link, ComPtr<IPersistFile>& file) {
  if (path.empty()) return false;
  if (FAILED(CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                              link.PutVoid())))
    return false;
  if (FAILED(link->QueryInterface(__uuidof(IPersistFile), file.PutVoid()))) return false;
  return SUCCEEDED(file->Load(path.c_str(), mode));
}

}  // namespace

bool ReadShortcut(const std::wstring& path, Shortcut& shortcut) {
  ComScope com;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (!LoadLink(path, STGM_READ, link, file)) return false;
  std::vector<wchar_t> buffer(kTextCapacity);
  Shortcut read;
  // S_FALSE (no file system target) leaves the buffer empty.
  if (SUCCEEDED(link->GetPath(buffer.data(), kTextCapacity, nullptr, 0))) read.target = buffer.data();
  buffer[0] = L'\0';
  if (SUCCEEDED(link->GetArguments(buffer.data(), kTextCapacity))) read.arguments = buffer.data();
  buffer[0] = L'\0';
  if (SUCCEEDED(link->GetWorkingDirectory(buffer.data(), kTextCapacity))) read.workingFolder = buffer.data();
  buffer[0] = L'\0';
  int iconIndex = 0;
  if (SUCCEEDED(link->GetIconLocation(buffer.data(), kTextCapacity, &iconIndex))) {
    read.iconPath = buffer.data();
    read.iconIndex = iconIndex;
  }
  shortcut = std::move(read);
  return true;
}

bool SetShortcutArguments(const std::wstring& path, const std::wstring& arguments) {
  ComScope com;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (!LoadLink(path, STGM_READWRITE, link, file)) return false;
  if (FAILED(link->SetArguments(arguments.c_str()))) return false;
  return SUCCEEDED(file->Save(nullptr, TRUE));
}

}  // namespace tavrin
