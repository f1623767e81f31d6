#include "support/scratch.h"

#include <windows.h>

#include "platform/unique_handle.h"

namespace tavrin::test {

ScratchFolder::ScratchFolder() {
  static LONG counter = 0;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"tavrin-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(InterlockedIncrement(&counter));
  RemoveTreeForTest(path_);
  CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTreeForTest(path_); }

void RemoveTreeForTest(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW data;
  if (UniqueFind find(FindFirstFileW((path + L"\\*").c_str(), &data)); find) {
    do {
      std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") RemoveTreeForTest(path + L"\\" + name);
    } while (FindNextFileW(find.get(), &data));
  }
  RemoveDirectoryW(path.c_str());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() || WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
  return ok && written == bytes.size();
}

std::string Utf16Bytes(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) bytes += char(c & 0xFF), bytes += char(c >> 8);
  return bytes;
}

std::string ReadBytes(const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace tavrin::test
