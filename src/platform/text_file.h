#pragma once
// The one text-file object behind every text the program reads or writes:
// settings and whitelist documents, reports, definitions number files,
// browser preference files, the hosts file and the repair logs.
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/unique_handle.h"
#include <string_view>

namespace tavrin {

enum class TextEncoding {
  Unspecified,  // ANSI, or UTF-8 without mark for a file opened with CreateFolders
  Ansi,
  Utf8Bom,
  Utf8,
  Utf16Le,
  Utf16Be,
};

// Access and creation (one of the first three) combined with options.
enum TextFileMode : unsigned {
  TextRead = 0x0,          // read only, the file must exist
  TextReadWrite = 0x1,     // read/write keeping the content, positioned at the end
  TextReplace = 0x2,       // read/write replacing the content
  TextExclusive = 0x10,    // no other reader while open
  TextCreateFolders = 0x20,
  TextRawAppend = 0x40,    // position at the end, no mark detection or writing
};

class TextFile {
 public:
  TextFile() = default;
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  bool Open(const std::wstring& path, unsigned mode, TextEncoding encoding = TextEncoding::Unspecified,
            DWORD attributes = FILE_ATTRIBUTE_NORMAL);
  void Close();
  bool IsOpen() const { return bool(handle_); }
  TextEncoding Encoding() const { return encoding_; }

  // Reads from the current position to the end; returns the characters read.
  size_t ReadAll(std::wstring& out);
  // The next non-empty line; false at the end of the file.
  bool ReadLine(std::wstring& out, bool keepBreak = false);
  // Returns the bytes written; an empty text writes nothing.
  size_t Write(std::wstring_view text);

  int64_t Size() const;
  int64_t Position() const;
  bool Seek(int64_t offset, DWORD origin = FILE_BEGIN);

  // Byte-order mark of the first 20 bytes, else a statistical UTF-16 test of
  // those bytes (and of the whole file when asked), else ANSI.
  static TextEncoding DetectEncoding(const std::wstring& path, bool wholeFile);

 private:
  std::wstring Decode(const std::string& bytes) const;
  void FillLineBuffer();

  UniqueFile handle_;
  TextEncoding encoding_ = TextEncoding::Ansi;
  std::wstring lineBuffer_;
  size_t lineOffset_ = 0;
  bool lineBufferFilled_ = false;
};

// The bytes of the text in that encoding (Unspecified as UTF-8), with the
// encoding's byte-order mark first when asked.
std::string EncodeText(std::wstring_view text, TextEncoding encoding, bool withMark);

// Convenience wrappers: a whole file read with mark detection (ANSI when no
// mark), and a whole file replaced in one encoding through ReplaceDocument
// (a temporary file beside it and one rename), keeping its security.
bool ReadTextFile(const std::wstring& path, std::wstring& out, TextEncoding fallback = TextEncoding::Ansi);
bool WriteTextFile(const std::wstring& path, std::wstring_view text, TextEncoding encoding = TextEncoding::Utf16Le);

}  // namespace tavrin
