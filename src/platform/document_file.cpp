#include "platform/document_file.h"

#include <windows.h>

#include <algorithm>

#include "platform/file_security.h"
#include "platform/file_system.h"
#include "platform/unique_handle.h"

namespace tavrin {

namespace {

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool Fail(const std::wstring& temporary, DWORD error) {
  if (!temporary.empty()) DeleteFileW(temporary.c_str());
  SetLastError(error);
  return false;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  size_t total = 0;
  while (total < bytes.size()) {
    const DWORD chunk = DWORD(std::min<size_t>(bytes.size() - total, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + total, chunk, &written, nullptr) || written == 0) return false;
    total += written;
  }
  return true;
}

}  // namespace

std::wstring DocumentTemporaryPath(const std::wstring& path) { return path + L".tavrin-new"; }

bool ReplaceDocument(const std::wstring& path, std::string_view bytes, unsigned options) {
  if (path.empty()) return Fail({}, ERROR_INVALID_PARAMETER);
  const std::wstring target = LongPath(path);
  WIN32_FILE_ATTRIBUTE_DATA original{};
  const bool exists = GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &original) != FALSE;
  if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND)
    return Fail({}, GetLastError());
  const DWORD attributes = exists ? original.dwFileAttributes : 0;
  // A folder or a link in the document's place is never written through.
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return Fail({}, ERROR_ACCESS_DENIED);
  // Measured under Wine 8: a rename over a read-only file succeeds there,
  // while Windows refuses it; the refusal is made here so both behave alike.
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !(options & DocumentReplaceReadOnly)) return Fail({}, ERROR_ACCESS_DENIED);

  // Read-only is lifted before the security is read: Wine shows a read-only
  // file's access list without write access and would hand that on to the
  // new file. Every failure from here puts it back.
  if (readOnly && !SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
    return Fail({}, GetLastError());
  const std::wstring temporary = LongPath(DocumentTemporaryPath(path));
  bool created = false;
  auto fail = [&](DWORD error) {
    if (readOnly) SetFileAttributesW(target.c_str(), attributes);
    return Fail(created ? temporary : std::wstring(), error);
  };

  SavedFileSecurity security;
  if (exists && (options & DocumentKeepSecurity) && !SaveFileSecurity(target, security))
    return fail(GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED);
  if (!exists) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0) CreateFolderTree(path.substr(0, slash));
  }

  // A leftover of a write that was cut short; deleting it removes a link
  // itself, never its target.
  DeleteFileW(temporary.c_str());
  {
    UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) return fail(GetLastError());
    created = true;
    if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get())) return fail(GetLastError());
    // Set on the handle after the last write, so that closing it does not
    // stamp the time of the write over them; the rename keeps them.
    if (exists && (options & DocumentKeepTimes) &&
        !SetFileTime(file.get(), &original.ftCreationTime, &original.ftLastAccessTime, &original.ftLastWriteTime))
      return fail(GetLastError());
  }
  if (exists && (options & DocumentKeepAttributes)) {
    // Read-only comes last, on the file in place: Windows refuses a rename
    // over a read-only file, and the swap must not depend on more.
    const DWORD kept = attributes & kKeptAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (!SetFileAttributesW(temporary.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL)) return fail(GetLastError());
  }
  // Naming another account as owner needs the restore privilege; without
  // it the access list alone is carried over, which is what decides who
  // may use the file.
  if (!security.descriptor.empty() && !RestoreFileSecurity(temporary, security) &&
      !SetFileSecurityW(temporary.c_str(), DACL_SECURITY_INFORMATION, security.descriptor.data()))
    return fail(GetLastError());

  // ReplaceFileW is not used: without a backup name one of its failures
  // (ERROR_UNABLE_TO_MOVE_REPLACEMENT) leaves the original deleted and the
  // new file under its temporary name, and under Wine 8 it is a plain rename
  // that keeps neither attributes nor times and refuses a read-only original
  // (measured). One rename with write-through has neither fault; what it
  // does not carry over is set on the new file above.
  if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return fail(GetLastError());
  if (readOnly && (options & DocumentKeepAttributes)) SetFileAttributesW(target.c_str(), attributes & kKeptAttributes);
  return true;
}

}  // namespace tavrin
