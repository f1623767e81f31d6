#include "browsers/firefox_search_file.h"

#include <windows.h>

#include "browsers/mozlz4_file.h"
#include "platform/document_file.h"
#include "platform/file_system.h"
#include "platform/mapped_file.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

std::wstring CopyToBackup(const std::wstring& path) {
  for (int n = 1; n <= 100; ++n) {
    const std::wstring backup = path + (n == 1 ? std::wstring() : L"." + std::to_wstring(n)) + L".bak";
    if (CopyFileW(path.c_str(), backup.c_str(), TRUE)) return backup;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

}  // namespace

bool LoadFirefoxSearchFile(const std::wstring& path, PreferenceDocument& document) {
  // Larger than any block the cap allows: not read at all.
  if (!FileExists(path) || FileSize(path) > kMaxMozLz4Size + kMaxMozLz4Size / 128 + 64) return false;
  MappedFile file(path);
  if (!file) return false;
  std::string json;
  if (!DecodeMozLz4({reinterpret_cast<const char*>(file.Bytes().data()), file.Bytes().size()}, json)) return false;
  std::wstring text = Utf8ToWide(json);
  if (WideToUtf8(text) != json) return false;
  document.SetText(std::move(text));
  return true;
}

std::wstring SaveFirefoxSearchFile(const std::wstring& path, const PreferenceDocument& document) {
  const std::string json = WideToUtf8(document.Text());
  std::string bytes, check;
  if (!EncodeMozLz4(json, bytes) || !DecodeMozLz4(bytes, check) || check != json) return {};
  const std::wstring backup = CopyToBackup(path);
  if (backup.empty()) return {};
  // The file keeps its security; a read-only or hidden one is replaced
  // too, as the search settings have always been.
  if (ReplaceDocument(path, bytes, DocumentKeepSecurity | DocumentReplaceReadOnly)) return backup;
  // Nothing was written: the copy would only stand for a change not made.
  DeleteFileW(backup.c_str());
  return {};
}

}  // namespace tavrin
