#include "platform/file_system.h"

#include <shlobj.h>

#include <vector>

#include "platform/find_files.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

bool IsDriveRooted(const std::wstring& path) {
  return path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
         path[1] == L':' && path[2] == L'\\';
}

bool HasLongPrefix(const std::wstring& path) {
  return path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0;
}

std::wstring FinalPathOf(HANDLE file) {
  std::vector<wchar_t> buffer(1024);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), DWORD(buffer.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length + 1);
  }
  return {};
}

// The handle's path below its volume ("\x\y", "\server\share\x" for a
// share), for the paths GetFinalPathNameByHandleW refuses (Wine: anything
// beyond the classic length).
std::wstring VolumePathOf(HANDLE file) {
  std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + 65536);
  if (!GetFileInformationByHandleEx(file, FileNameInfo, buffer.data(), DWORD(buffer.size()))) return {};
  const auto* name = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
  return std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
}

// The same part of a long-form path.
std::wstring VolumePathOf(const std::wstring& longPath) {
  if (longPath.rfind(L"\\\\?\\UNC\\", 0) == 0) return longPath.substr(7);
  if (longPath.size() > 6 && longPath.rfind(L"\\\\?\\", 0) == 0 && longPath[5] == L':') return longPath.substr(6);
  return {};
}

// Whether the handle is the entry `longPath` names, and not what some link
// on the way led to.
bool HandleIsAt(HANDLE file, const std::wstring& longPath) {
  const std::wstring expected = LongPathName(longPath);
  const std::wstring final = FinalPathOf(file);
  if (!final.empty()) return EqualsNoCase(final, expected);
  const std::wstring below = VolumePathOf(file), expectedBelow = VolumePathOf(expected);
  return !below.empty() && EqualsNoCase(below, expectedBelow);
}

}  // namespace

bool IsAbsolutePath(const std::wstring& path) { return IsDriveRooted(path) || path.rfind(L"\\\\", 0) == 0; }

std::wstring WithBackslashes(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  std::wstring converted = path;
  for (auto& c : converted)
    if (c == L'/') c = L'\\';
  return converted;
}

std::wstring LongPath(const std::wstring& path) {
  if (HasLongPrefix(path)) return path;
  if (IsDriveRooted(path)) return L"\\\\?\\" + path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

std::wstring PlainPath(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

bool FileExists(const std::wstring& path) {
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool EntryExists(const std::wstring& path) {
  return !path.empty() && GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

UniqueFile CreateFileReplacing(const std::wstring& path, DWORD share) {
  // Failures to create the folders show up when the file itself is created.
  const size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos && slash > 0) CreateFolderTree(path.substr(0, slash));
  auto create = [&] {
    return UniqueFile(
        CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  UniqueFile file = create();
  if (file) return file;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return file;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
  return create();
}

bool SetHiddenAttribute(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return SetFileAttributesW(path.c_str(), (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN) != FALSE;
}

std::wstring OwnExecutablePath() {
  wchar_t path[1025] = {};
  DWORD n = GetModuleFileNameW(nullptr, path, 1024);
  return std::wstring(path, n);
}

std::wstring ProgramFolder() {
  const std::wstring folder = OwnExecutablePath();
  size_t slash = folder.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

UniqueFile OpenEntryItself(const std::wstring& path, DWORD access, EntryIdentity& identity) {
  identity = EntryIdentity::Unknown;
  const std::wstring full = LongPath(WithBackslashes(path));
  UniqueFile file(CreateFileW(full.c_str(), access | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) identity = EntryIdentity::Missing;
    return file;
  }
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
    file.reset();
    return file;
  }
  if (!HandleIsAt(file.get(), full)) {
    identity = EntryIdentity::Foreign;
    file.reset();
    return file;
  }
  identity = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryIdentity::Link : EntryIdentity::Own;
  return file;
}

EntryIdentity IdentifyEntry(const std::wstring& path) {
  EntryIdentity identity;
  OpenEntryItself(path, 0, identity);
  return identity;
}

bool CreateFolderTree(const std::wstring& path, SECURITY_ATTRIBUTES* security) {
  std::wstring full = PlainPath(WithBackslashes(path));
  if (!IsAbsolutePath(full)) return false;
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  // The root part that cannot be created: "C:\" or "\\server\share\".
  size_t rootEnd = 3;
  std::wstring prefix;
  if (IsDriveRooted(full)) {
    prefix = L"\\\\?\\";
  } else {
    size_t server = full.find(L'\\', 2);
    if (server == std::wstring::npos) return false;
    size_t share = full.find(L'\\', server + 1);
    if (share == std::wstring::npos) return false;  // "\\server\share" itself
    rootEnd = share + 1;
  }
  for (size_t at = full.find(L'\\', rootEnd);; at = full.find(L'\\', at + 1)) {
    std::wstring part = prefix + full.substr(0, at);
    if (!CreateDirectoryW(part.c_str(), security)) {
      DWORD error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) return false;
    }
    if (at == std::wstring::npos) break;
  }
  DWORD attributes = GetFileAttributesW((prefix + full).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

unsigned long long FileSize(const std::wstring& path) {
  const std::wstring target = LongPath(path);
  UniqueFile file(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (file && GetFileSizeEx(file.get(), &size)) return static_cast<unsigned long long>(size.QuadPart);
  // A name with wildcards would list something else than the file itself.
  if (path.find_first_of(L"*?") != std::wstring::npos) return 0;
  FindFiles entry(target);
  return entry.Next() ? entry.Size() : 0;
}

unsigned long long FileLastWriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path.empty() || !GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

bool ReadFileTimes(const std::wstring& path, FileTimes& times) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path.empty() || !GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data)) return false;
  times.creation = data.ftCreationTime;
  times.lastAccess = data.ftLastAccessTime;
  times.lastWrite = data.ftLastWriteTime;
  return true;
}

bool WriteFileTimes(const std::wstring& path, const FileTimes& times) {
  UniqueFile file(CreateFileW(LongPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file && SetFileTime(file.get(), &times.creation, &times.lastAccess, &times.lastWrite);
}

std::wstring LongPathName(const std::wstring& path) {
  std::vector<wchar_t> buffer(4096);
  const DWORD length = GetLongPathNameW(path.c_str(), buffer.data(), DWORD(buffer.size()));
  if (length == 0 || length >= buffer.size()) return path;
  return std::wstring(buffer.data(), length);
}

std::wstring CanonicalFilePath(const std::wstring& path) {
  const std::wstring plain = WithBackslashes(path);
  if (!IsAbsolutePath(plain) || plain.rfind(L"\\\\?\\", 0) == 0 || plain.rfind(L"\\\\.\\", 0) == 0) return {};
  DWORD length = GetFullPathNameW(plain.c_str(), 0, nullptr, nullptr);
  if (length == 0) return {};
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(plain.c_str(), length, full.data(), nullptr);
  if (length == 0 || length >= full.size()) return {};
  full.resize(length);
  return LongPathName(full);
}

unsigned long long FreeDiskSpace(const std::wstring& path) {
  ULARGE_INTEGER totalFree{};
  if (!GetDiskFreeSpaceExW(path.c_str(), nullptr, nullptr, &totalFree)) return 0;
  return totalFree.QuadPart;
}

ProgramFiles ProgramFilesFolders() {
  ProgramFiles folders;
  folders.native = ShellFolder(CSIDL_PROGRAM_FILES);
  folders.x86 = ShellFolder(CSIDL_PROGRAM_FILESX86);
  if (folders.x86.empty()) folders.x86 = folders.native + L" (x86)";
  return folders;
}

}  // namespace tavrin
