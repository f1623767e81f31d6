#include "schedule/scheduled_program.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/access_list.h"
#include "platform/document_file.h"
#include "platform/file_system.h"
#include "platform/mapped_file.h"
#include "platform/shell_folders.h"
#include "platform/standard_user_access.h"
#include "platform/strings.h"
#include "results/whitelist.h"

namespace tavrin {

namespace {

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Administrators and the system may change it, users may run it.
std::vector<AccessEntry> ProtectedEntries() {
  const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  return {{kSidAdministrators, GENERIC_ALL, inherit},
          {kSidLocalSystem, GENERIC_ALL, inherit},
          {kSidUsers, GENERIC_READ | GENERIC_EXECUTE, inherit}};
}

}  // namespace

std::wstring ScheduledProgramPath(const std::wstring& ownPath) {
  const std::wstring plain = PlainPath(ownPath);
  if (EndsWithNoCase(plain, L"64.exe")) {
    const std::wstring companion = plain.substr(0, plain.size() - 6) + L".exe";
    if (FileExists(companion)) return companion;
  }
  return plain;
}

bool IsWritableByStandardUsers(const std::wstring& file) {
  const std::wstring folder = FolderOf(file);
  return folder.empty() || StandardUsersMayChange(file, kFileChangeRights) ||
         StandardUsersMayChange(folder, kFolderChangeRights);
}

std::wstring ProtectedProgramPath(const std::wstring& program) {
  const std::wstring programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
  if (programFiles.empty()) return {};
  return programFiles + L"\\Tavrin\\" + NameOf(PlainPath(program));
}

bool CopyProgramTo(const std::wstring& program, const std::wstring& target) {
  const std::wstring folder = FolderOf(target);
  if (folder.empty() || EqualsNoCase(PlainPath(program), target) || !CreateFolderTree(folder)) return false;
  // The folder's protection is set, not inherited: a folder of that name
  // made earlier by someone else must not keep a list that lets users in.
  if (ApplyAccessList(folder, SE_FILE_OBJECT, ProtectedEntries(), kSidAdministrators, ApplyProtected) != ERROR_SUCCESS)
    return false;
  if (!CopyFileW(LongPath(program).c_str(), LongPath(target).c_str(), FALSE)) return false;
  if (ApplyAccessList(target, SE_FILE_OBJECT, ProtectedEntries(), kSidAdministrators, ApplyProtected) !=
          ERROR_SUCCESS ||
      IsWritableByStandardUsers(target) || !CopyBesideWhitelist(program, folder)) {
    DeleteFileW(LongPath(target).c_str());
    return false;
  }
  return true;
}

bool CopyBesideWhitelist(const std::wstring& program, const std::wstring& targetFolder) {
  const std::wstring original = FolderOf(PlainPath(program)) + L"\\" + kBesideWhitelistName;
  const std::wstring copy = PlainPath(targetFolder) + L"\\" + kBesideWhitelistName;
  if (EqualsNoCase(original, copy)) return true;
  if (!FileExists(original)) return !FileExists(copy) || DeleteFileW(LongPath(copy).c_str());
  // Whole or not at all: a whitelist cut short would let the scheduled run
  // remove what the user kept.
  const MappedFile bytes(original);
  if (!bytes && FileSize(original) != 0) return false;
  const std::string_view text(reinterpret_cast<const char*>(bytes.Bytes().data()), bytes.Bytes().size());
  return ReplaceDocument(copy, text, DocumentReplaceReadOnly) &&
         ApplyAccessList(copy, SE_FILE_OBJECT, ProtectedEntries(), kSidAdministrators, ApplyProtected) ==
             ERROR_SUCCESS;
}

void ShareWhitelistWithCopy(WhiteList& whitelist, const std::wstring& program, const std::wstring& copy) {
  const std::wstring plainProgram = PlainPath(program);
  const std::wstring plainCopy = PlainPath(copy);
  const std::wstring beside = FolderOf(plainProgram) + L"\\" + kBesideWhitelistName;
  SetWhitelistSavedHook(whitelist, [plainProgram, plainCopy, beside](const std::wstring& saved) {
    // The data folder's whitelist is the one file both programs read when
    // neither has one beside it; only a beside-file needs passing on. The
    // copy's own scheduled runs, and a user who starts the copy, save to
    // the copy's file itself and CopyBesideWhitelist leaves it.
    if (plainCopy.empty() || !EqualsNoCase(PlainPath(saved), beside) || !FileExists(LongPath(plainCopy))) return;
    // A failure leaves the copy with the whitelist of the last save that
    // reached it; the next save tries again.
    (void)CopyBesideWhitelist(plainProgram, FolderOf(plainCopy));
  });
}

}  // namespace tavrin
