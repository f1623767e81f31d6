#include "platform/zip_archive.h"

#include <windows.h>

#include <minizip/unzip.h>
#include <minizip/zip.h>
// iowin32.h still spells its prototypes with zlib's old OF() macro.
#ifndef OF
#define OF(args) args
#endif
#include <minizip/iowin32.h>

#include <algorithm>

#include "platform/file_system.h"

namespace tavrin {

namespace {

constexpr int kCaseInsensitive = 2;

bool WriteEntry(unzFile archive, const std::wstring& destination) {
  if (unzOpenCurrentFile(archive) != UNZ_OK) return false;
  UniqueFile file = CreateFileReplacing(destination);
  if (!file) {
    unzCloseCurrentFile(archive);
    return false;
  }
  std::vector<char> buffer(65536);
  bool ok = true;
  for (;;) {
    const int got = unzReadCurrentFile(archive, buffer.data(), unsigned(buffer.size()));
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    DWORD written = 0;
    if (!WriteFile(file.get(), buffer.data(), DWORD(got), &written, nullptr) || written != DWORD(got)) {
      ok = false;
      break;
    }
  }
  // Reports a checksum mismatch once the whole entry has been read.
  if (unzCloseCurrentFile(archive) != UNZ_OK) ok = false;
  file.reset();
  if (!ok) DeleteFileW(destination.c_str());
  return ok;
}

bool CopyFileIntoZip(zipFile zip, const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::vector<char> buffer(1 << 20);
  bool ok = true;
  DWORD got = 0;
  while (ok && (ok = ReadFile(file.get(), buffer.data(), DWORD(buffer.size()), &got, nullptr) != FALSE) && got > 0) {
    ok = zipWriteInFileInZip(zip, buffer.data(), got) == ZIP_OK;
  }
  return ok;
}

}  // namespace

bool ExtractZipEntry(const std::wstring& archive, const std::string& name, const std::wstring& destination) {
  zlib_filefunc64_def io;
  fill_win32_filefunc64W(&io);
  unzFile zip = unzOpen2_64(archive.c_str(), &io);
  if (!zip) return false;
  std::string slashed = name;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  bool ok = (unzLocateFile(zip, name.c_str(), kCaseInsensitive) == UNZ_OK ||
             unzLocateFile(zip, slashed.c_str(), kCaseInsensitive) == UNZ_OK) &&
            WriteEntry(zip, destination);
  unzClose(zip);
  return ok;
}

bool WriteZipArchive(const std::wstring& archive, const std::vector<ZipEntry>& entries) {
  zlib_filefunc64_def io;
  fill_win32_filefunc64W(&io);
  zipFile zip = zipOpen2_64(archive.c_str(), APPEND_STATUS_CREATE, nullptr, &io);
  if (!zip) return false;
  bool ok = true;
  SYSTEMTIME now;
  GetLocalTime(&now);
  for (const ZipEntry& entry : entries) {
    zip_fileinfo info = {};
    info.tmz_date.tm_year = now.wYear;
    info.tmz_date.tm_mon = now.wMonth - 1;
    info.tmz_date.tm_mday = now.wDay;
    info.tmz_date.tm_hour = now.wHour;
    info.tmz_date.tm_min = now.wMinute;
    info.tmz_date.tm_sec = now.wSecond;
    const bool large = entry.bytes.size() >= 0xFFFFFFFFu || FileSize(entry.sourceFile) >= 0xFFFFFFFFu;
    if (zipOpenNewFileInZip64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_DEFAULT_COMPRESSION, large ? 1 : 0) != ZIP_OK) {
      ok = false;
      break;
    }
    if (entry.sourceFile.empty()) {
      size_t offset = 0;
      while (ok && offset < entry.bytes.size()) {
        const unsigned piece = unsigned(std::min<size_t>(entry.bytes.size() - offset, 1u << 20));
        ok = zipWriteInFileInZip(zip, entry.bytes.data() + offset, piece) == ZIP_OK;
        offset += piece;
      }
    } else {
      ok = CopyFileIntoZip(zip, entry.sourceFile);
    }
    if (zipCloseFileInZip(zip) != ZIP_OK) ok = false;
    if (!ok) break;
  }
  if (zipClose(zip, nullptr) != ZIP_OK) ok = false;
  if (!ok) DeleteFileW(archive.c_str());
  return ok;
}

}  // namespace tavrin
