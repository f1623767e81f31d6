#pragma once
// Temporary folders and raw file bytes for tests.
#include <string>

namespace tavrin::test {

// A fresh folder under the temporary folder, removed with its content when
// the object goes out of scope.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The text as a UTF-16LE file's bytes, byte-order mark first.
std::string Utf16Bytes(const std::wstring& text);
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
void RemoveTreeForTest(const std::wstring& path);

}  // namespace tavrin::test
