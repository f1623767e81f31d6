#include "platform/file_security.h"

#include <windows.h>
#include <aclapi.h>

#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/find_files.h"

namespace tavrin {

namespace {

constexpr SECURITY_INFORMATION kParts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                        DACL_SECURITY_INFORMATION;

UniqueFile OpenOwnEntry(const std::wstring& path, DWORD access) {
  EntryIdentity identity;
  UniqueFile entry = OpenEntryItself(path, access, identity);
  if (identity != EntryIdentity::Own) entry.reset();
  return entry;
}

}  // namespace

bool SaveFileSecurity(const std::wstring& path, SavedFileSecurity& saved) {
  saved.descriptor.clear();
  UniqueFile file = OpenOwnEntry(path, READ_CONTROL);
  if (!file) return false;
  DWORD needed = 0;
  GetKernelObjectSecurity(file.get(), kParts, nullptr, 0, &needed);
  if (needed == 0) return false;
  std::vector<unsigned char> buffer(needed);
  if (!GetKernelObjectSecurity(file.get(), kParts, buffer.data(), needed, &needed)) return false;
  saved.descriptor = std::move(buffer);
  return true;
}

bool RestoreFileSecurity(const std::wstring& path, const SavedFileSecurity& saved) {
  if (saved.descriptor.empty()) return false;
  UniqueFile file = OpenOwnEntry(path, WRITE_DAC | WRITE_OWNER | READ_CONTROL);
  if (!file) return false;
  auto* descriptor = const_cast<unsigned char*>(saved.descriptor.data());
  return SetKernelObjectSecurity(file.get(), kParts, descriptor) != FALSE;
}

bool TakeOverFile(const std::wstring& path) { return TakeOverEntry(path, FileAccessList(false)); }

bool TakeOverEntry(const std::wstring& path, const std::vector<AccessEntry>& entries) {
  std::vector<unsigned char> owner = TrusteeSid(kSidAdministrators);
  std::vector<unsigned char> acl;
  if (owner.empty() || !BuildAccessList(entries, acl)) return false;
  // The owner first, on a handle of its own: a refusing list may grant
  // nothing but the take-over of ownership, and the new owner may then
  // write the list.
  {
    UniqueFile entry = OpenOwnEntry(path, WRITE_OWNER | READ_CONTROL);
    if (!entry || SetSecurityInfo(entry.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner.data(), nullptr,
                                  nullptr, nullptr) != ERROR_SUCCESS)
      return false;
  }
  UniqueFile entry = OpenOwnEntry(path, WRITE_DAC | READ_CONTROL);
  return entry && SetSecurityInfo(entry.get(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  reinterpret_cast<PACL>(acl.data()), nullptr) == ERROR_SUCCESS;
}

bool TakeOverTree(const std::wstring& folder, const std::vector<AccessEntry>& entries) {
  // The folder first, so that a list that refused the listing lets it go.
  bool all = TakeOverEntry(folder, entries);
  if (IdentifyEntry(folder) != EntryIdentity::Own) return false;
  FindFiles list(LongPath(folder) + L"\\*");
  while (list.Next()) {
    const std::wstring entry = LongPath(folder) + L"\\" + list.Name();
    if (list.IsReparsePoint()) continue;
    all = (list.IsFolder() ? TakeOverTree(entry, entries) : TakeOverEntry(entry, entries)) && all;
  }
  return all;
}

}  // namespace tavrin
