#include "platform/file_removal.h"

#include <windows.h>
#include <shlobj.h>

#include <cwctype>
#include <string_view>

#include "platform/file_security.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/message_pump.h"

namespace tavrin {

namespace {

constexpr DWORD kProtectiveAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;

enum class PathKind { Refused, Root, Object };

// Length of the part of a long-form path that names a volume or a share:
// "\\?\C:" or "\\?\UNC\server\share". 0 for namespaces the primitives do
// not work in (volume names, devices).
size_t RootLength(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    size_t server = path.find(L'\\', 8);
    if (server == std::wstring::npos) return path.size();
    size_t share = path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path.size() : share;
  }
  if (path.size() >= 6 && (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) &&
      iswalpha(path[4]) && path[5] == L':' && (path.size() == 6 || path[6] == L'\\'))
    return 6;
  return 0;
}

bool HasDotComponent(const std::wstring& path) {
  size_t start = 0;
  for (;;) {
    size_t end = path.find(L'\\', start);
    std::wstring_view part(path.data() + start, (end == std::wstring::npos ? path.size() : end) - start);
    if (part == L"." || part == L"..") return true;
    if (end == std::wstring::npos) return false;
    start = end + 1;
  }
}

// Turns a caller's path into the long form the primitives work on. Paths
// that would be resolved against the current folder or drive are refused;
// "." and ".." are resolved as the platform resolves them for plain paths,
// and refused inside long-form paths, where they would not be.
PathKind PreparePath(const std::wstring& original, std::wstring& full) {
  const std::wstring path = WithBackslashes(original);
  if (!IsAbsolutePath(path)) return PathKind::Refused;
  std::wstring resolved = path;
  if (path.rfind(L"\\\\?\\", 0) != 0 && path.rfind(L"\\\\.\\", 0) != 0) {
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return PathKind::Refused;
    resolved.assign(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, resolved.data(), nullptr);
    if (length == 0 || length >= resolved.size()) return PathKind::Refused;
    resolved.resize(length);
  } else if (HasDotComponent(path.substr(4))) {
    return PathKind::Refused;
  }
  while (!resolved.empty() && resolved.back() == L'\\') resolved.pop_back();
  if (resolved.size() == 2 && resolved[1] == L':') return PathKind::Root;  // "C:\x\.." and the like
  full = LongPath(resolved);
  size_t root = RootLength(full);
  if (root == 0) return PathKind::Refused;
  return full.size() <= root ? PathKind::Root : PathKind::Object;
}

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

enum class Step { Done, Refused, Failed };

// Each step opens the entry anew and proves the handle is the entry itself,
// so that nothing a link leads to is ever changed, also when a link took
// the entry's place between two steps.
Step DeleteItself(const std::wstring& path) {
  EntryIdentity identity;
  UniqueFile entry = OpenEntryItself(path, DELETE, identity);
  if (identity == EntryIdentity::Missing) return Step::Done;
  if (identity == EntryIdentity::Foreign) return Step::Refused;
  if (!entry) return Step::Failed;
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (SetFileInformationByHandle(entry.get(), FileDispositionInfo, &disposition, sizeof disposition))
    return Step::Done;
  return IsGone(GetLastError()) ? Step::Done : Step::Failed;
}

bool ClearProtectiveAttributes(const std::wstring& path) {
  EntryIdentity identity;
  UniqueFile entry = OpenEntryItself(path, FILE_WRITE_ATTRIBUTES, identity);
  FILE_BASIC_INFO basic{};
  if (identity != EntryIdentity::Own ||
      !GetFileInformationByHandleEx(entry.get(), FileBasicInfo, &basic, sizeof basic) ||
      !(basic.FileAttributes & kProtectiveAttributes))
    return false;
  basic.FileAttributes &= ~kProtectiveAttributes;
  // Zero would mean "leave the attributes as they are".
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  // Zero times are left as they are.
  basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
  basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
  return SetFileInformationByHandle(entry.get(), FileBasicInfo, &basic, sizeof basic) != FALSE;
}

// One file or one folder entry (an empty folder, or a link) with the
// fallbacks in order; `path` is in the long form.
RemovalResult RemoveEntry(const std::wstring& path, unsigned flags, bool folder) {
  switch (IdentifyEntry(path)) {
    case EntryIdentity::Missing: return RemovalResult::Removed;
    // The platform follows this link whatever the flags say (Wine): deleting
    // it would delete what it leads to.
    case EntryIdentity::Foreign: return RemovalResult::Failed;
    // A link goes as a link or stays: clearing attributes, taking it over or
    // scheduling it by name could each land on its target.
    case EntryIdentity::Link: return DeleteItself(path) == Step::Done ? RemovalResult::Removed : RemovalResult::Failed;
    case EntryIdentity::Own:
    case EntryIdentity::Unknown: break;
  }
  auto remove = [&] { return DeleteItself(path); };
  Step step = remove();
  if (step != Step::Failed) return step == Step::Done ? RemovalResult::Removed : RemovalResult::Failed;
  if (ClearProtectiveAttributes(path)) {
    step = remove();
    if (step != Step::Failed) return step == Step::Done ? RemovalResult::Removed : RemovalResult::Failed;
  }
  if (flags & RemovalTakeOverPermissions) {
    if (folder)
      TakeOverTree(path, FileAccessList(true));
    else
      TakeOverEntry(path, FileAccessList(false));
    // The attributes may only have become writable now.
    ClearProtectiveAttributes(path);
    step = remove();
    if (step != Step::Failed) return step == Step::Done ? RemovalResult::Removed : RemovalResult::Failed;
  }
  // The restart deletes by name: only what is still the entry itself.
  if ((flags & RemovalScheduleAtRestart) && IdentifyEntry(path) == EntryIdentity::Own &&
      MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
    return RemovalResult::Scheduled;
  return RemovalResult::Failed;
}

bool IsNothingToList(DWORD status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND || status == ERROR_NO_MORE_FILES;
}

RemovalResult RemoveTreeAt(const std::wstring& folder, const std::wstring& pattern, unsigned flags) {
  // Listing a folder reached through a link would walk the link's target.
  switch (IdentifyEntry(folder)) {
    case EntryIdentity::Missing: return RemovalResult::Removed;
    case EntryIdentity::Own: break;
    case EntryIdentity::Link:
      return (flags & RemovalKeepTopFolder) ? RemovalResult::Failed : RemoveEntry(folder, flags, true);
    default: return RemovalResult::Failed;
  }
  RemovalResult total = RemovalResult::Removed;
  auto walk = [&](FindFiles& list) {
    while (list.Next()) {
      const std::wstring entry = folder + L"\\" + list.Name();
      RemovalResult result;
      if (!list.IsFolder())
        result = RemoveEntry(entry, flags, false);
      else if (list.IsReparsePoint())
        result = RemoveEntry(entry, flags, true);
      else
        result = RemoveTreeAt(entry, pattern, flags & ~RemovalKeepTopFolder);
      total = CombineRemoval(total, result);
      DispatchPendingMessages();
    }
  };
  {
    FindFiles list(folder + L"\\" + pattern);
    if (list.Status() == ERROR_SUCCESS) {
      walk(list);
    } else if ((flags & RemovalTakeOverPermissions) && !IsNothingToList(list.Status())) {
      // Only a refused listing calls for new permissions: a folder where
      // nothing matches keeps its own.
      TakeOverTree(folder, FileAccessList(true));
      FindFiles again(folder + L"\\" + pattern);
      walk(again);
    }
  }
  // A folder whose content stays (a link that could not go alone, a file
  // refused) cannot go either, also not at the next start: taking it over
  // or scheduling it would change what stays for nothing.
  if (!(flags & RemovalKeepTopFolder) && total != RemovalResult::Failed)
    total = CombineRemoval(total, RemoveEntry(folder, flags, true));
  return total;
}

void NotifyShell(LONG event, const std::wstring& path) {
  SHChangeNotify(event, SHCNF_PATHW, PlainPath(path).c_str(), nullptr);
}

}  // namespace

RemovalResult CombineRemoval(RemovalResult total, RemovalResult next) {
  if (total == RemovalResult::Failed || next == RemovalResult::Failed) return RemovalResult::Failed;
  if (total == RemovalResult::Scheduled || next == RemovalResult::Scheduled) return RemovalResult::Scheduled;
  return RemovalResult::Removed;
}

std::vector<AccessEntry> FileAccessList(bool inheritable) {
  const DWORD inheritance = inheritable ? (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) : 0;
  return {
      {kSidEveryone, GENERIC_ALL, inheritance},
      {kSidLocalSystem, GENERIC_ALL, inheritance},
      {kSidAdministrators, GENERIC_ALL, inheritance},
  };
}

RemovalResult RemoveFileObject(const std::wstring& path, unsigned flags) {
  std::wstring trimmed = WithBackslashes(path);
  if (!IsAbsolutePath(trimmed)) return RemovalResult::Failed;
  while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
  if (trimmed.find(L'\\') == std::wstring::npos) return RemovalResult::Removed;

  std::wstring full;
  switch (PreparePath(trimmed, full)) {
    case PathKind::Refused: return RemovalResult::Failed;
    case PathKind::Root: return RemovalResult::Removed;  // a volume or share is never touched
    case PathKind::Object: break;
  }

  const size_t slash = full.rfind(L'\\');
  const std::wstring last = full.substr(slash + 1);
  if (last.find_first_of(L"*?") != std::wstring::npos) {
    const std::wstring folder = full.substr(0, slash);
    RemovalResult result = RemoveTreeAt(folder, last, flags | RemovalKeepTopFolder);
    if (result == RemovalResult::Removed) NotifyShell(SHCNE_UPDATEDIR, folder);
    return result;
  }

  const DWORD attributes = GetFileAttributesW(full.c_str());
  const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  RemovalResult result;
  if (!folder)
    result = RemoveEntry(full, flags, false);
  else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    result = RemoveEntry(full, flags, true);
  else
    result = RemoveTreeAt(full, L"*", flags);
  if (result == RemovalResult::Removed) NotifyShell(folder ? SHCNE_RMDIR : SHCNE_DELETE, full);
  return result;
}

RemovalResult RemoveFile(const std::wstring& path, unsigned flags) {
  std::wstring full;
  if (PreparePath(path, full) != PathKind::Object) return RemovalResult::Failed;
  return RemoveEntry(full, flags, false);
}

RemovalResult RemoveFolderEntry(const std::wstring& path, unsigned flags) {
  std::wstring full;
  if (PreparePath(path, full) != PathKind::Object) return RemovalResult::Failed;
  return RemoveEntry(full, flags, true);
}

RemovalResult RemoveTree(const std::wstring& folder, const std::wstring& pattern, unsigned flags) {
  std::wstring full;
  if (PreparePath(folder, full) != PathKind::Object) return RemovalResult::Failed;
  if (pattern.empty() || pattern.find(L'\\') != std::wstring::npos) return RemovalResult::Failed;
  return RemoveTreeAt(full, pattern, flags);
}

}  // namespace tavrin
