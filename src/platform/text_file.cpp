#include "platform/text_file.h"

#include <shlobj.h>

#include <algorithm>

#include "platform/document_file.h"

namespace tavrin {

namespace {

bool HasMark(TextEncoding e) {
  return e == TextEncoding::Utf8Bom || e == TextEncoding::Utf16Le || e == TextEncoding::Utf16Be;
}

std::string MarkBytes(TextEncoding e) {
  switch (e) {
    case TextEncoding::Utf8Bom: return "\xEF\xBB\xBF";
    case TextEncoding::Utf16Le: return "\xFF\xFE";
    case TextEncoding::Utf16Be: return "\xFE\xFF";
    default: return {};
  }
}

// Encoding named by a byte-order mark at the start of the bytes, and the
// mark's length; Unspecified when there is none.
TextEncoding MarkOf(const unsigned char* b, size_t n, size_t& markLength) {
  markLength = 0;
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    markLength = 3;
    return TextEncoding::Utf8Bom;
  }
  if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    markLength = 2;
    return TextEncoding::Utf16Le;
  }
  if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    markLength = 2;
    return TextEncoding::Utf16Be;
  }
  return TextEncoding::Unspecified;
}

bool LooksLikeUtf16(const void* data, size_t n) {
  if (n < 2) return false;
  int flags = IS_TEXT_UNICODE_STATISTICS | IS_TEXT_UNICODE_ASCII16;
  return IsTextUnicode(data, int(std::min<size_t>(n, 0x7FFFFFFF)), &flags) != FALSE;
}

void CreateFolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash <= 2) return;
  std::wstring folder = path.substr(0, slash);
  // SHCreateDirectoryExW does not take the "\\?\" form.
  if (folder.rfind(L"\\\\?\\", 0) == 0 && folder.rfind(L"\\\\?\\UNC\\", 0) != 0) folder.erase(0, 4);
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
}

}  // namespace

TextFile::~TextFile() { Close(); }

void TextFile::Close() {
  handle_.reset();
  lineBuffer_.clear();
  lineOffset_ = 0;
  lineBufferFilled_ = false;
}

bool TextFile::Open(const std::wstring& path, unsigned mode, TextEncoding encoding, DWORD attributes) {
  Close();
  if (path.empty()) return false;
  if (encoding == TextEncoding::Unspecified)
    encoding = (mode & TextCreateFolders) ? TextEncoding::Utf8 : TextEncoding::Ansi;
  encoding_ = encoding;

  const unsigned access = mode & 0x3;
  if ((mode & TextCreateFolders) && access != TextRead) CreateFolderOf(path);

  DWORD desired = access == TextRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  DWORD share = (mode & TextExclusive) ? 0 : FILE_SHARE_READ;
  DWORD disposition = access == TextRead ? OPEN_EXISTING : access == TextReadWrite ? OPEN_ALWAYS : CREATE_ALWAYS;
  handle_.reset(CreateFileW(path.c_str(), desired, share, nullptr, disposition, attributes, nullptr));
  if (!handle_) return false;

  if (mode & TextRawAppend) {
    Seek(0, FILE_END);
    return true;
  }
  const int64_t size = Size();
  if (size == 0) {
    if (access != TextRead && HasMark(encoding_)) {
      std::string mark = MarkBytes(encoding_);
      DWORD written = 0;
      if (!WriteFile(handle_.get(), mark.data(), DWORD(mark.size()), &written, nullptr) || written != mark.size()) {
        Close();
        return false;
      }
    }
    return true;
  }
  unsigned char head[3] = {};
  DWORD got = 0;
  ReadFile(handle_.get(), head, sizeof head, &got, nullptr);
  size_t markLength = 0;
  TextEncoding found = MarkOf(head, got, markLength);
  if (found != TextEncoding::Unspecified) encoding_ = found;
  Seek(int64_t(markLength), FILE_BEGIN);
  if (access == TextReadWrite) Seek(0, FILE_END);
  return true;
}

int64_t TextFile::Size() const {
  LARGE_INTEGER size{};
  if (!handle_ || !GetFileSizeEx(handle_.get(), &size)) return 0;
  return size.QuadPart;
}

int64_t TextFile::Position() const {
  LARGE_INTEGER zero{}, pos{};
  if (!handle_ || !SetFilePointerEx(handle_.get(), zero, &pos, FILE_CURRENT)) return 0;
  return pos.QuadPart;
}

bool TextFile::Seek(int64_t offset, DWORD origin) {
  if (!handle_) return false;
  LARGE_INTEGER to{};
  to.QuadPart = offset;
  lineBuffer_.clear();
  lineOffset_ = 0;
  lineBufferFilled_ = false;
  return SetFilePointerEx(handle_.get(), to, nullptr, origin) != FALSE;
}

std::wstring TextFile::Decode(const std::string& bytes) const {
  switch (encoding_) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
      std::wstring out(bytes.size() / 2, L'\0');  // a trailing odd byte is dropped
      for (size_t i = 0; i < out.size(); ++i) {
        unsigned char a = bytes[2 * i], b = bytes[2 * i + 1];
        out[i] = encoding_ == TextEncoding::Utf16Le ? wchar_t(a | (b << 8)) : wchar_t((a << 8) | b);
      }
      return out;
    }
    default: {
      if (bytes.empty()) return {};
      UINT codePage = (encoding_ == TextEncoding::Utf8 || encoding_ == TextEncoding::Utf8Bom) ? CP_UTF8 : CP_ACP;
      int n = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
      std::wstring out(size_t(n > 0 ? n : 0), L'\0');
      if (n > 0) MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), out.data(), n);
      return out;
    }
  }
}

size_t TextFile::ReadAll(std::wstring& out) {
  out.clear();
  if (!handle_) return 0;
  const int64_t remaining = Size() - Position();
  if (remaining <= 0 || remaining > 0x7FFFFFFF) return 0;
  std::string bytes(size_t(remaining), '\0');
  size_t total = 0;
  while (total < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(handle_.get(), bytes.data() + total, DWORD(bytes.size() - total), &got, nullptr) || got == 0) break;
    total += got;
  }
  bytes.resize(total);
  out = Decode(bytes);
  return out.size();
}

void TextFile::FillLineBuffer() {
  ReadAll(lineBuffer_);
  lineOffset_ = 0;
  lineBufferFilled_ = true;
}

bool TextFile::ReadLine(std::wstring& out, bool keepBreak) {
  out.clear();
  if (!handle_) return false;
  if (!lineBufferFilled_) FillLineBuffer();
  const std::wstring& b = lineBuffer_;
  for (;;) {
    // Runs of line breaks between lines are consumed; each call returns one
    // non-empty line.
    while (lineOffset_ < b.size() && (b[lineOffset_] == L'\r' || b[lineOffset_] == L'\n')) ++lineOffset_;
    if (lineOffset_ >= b.size()) return false;
    size_t end = b.find_first_of(L"\r\n", lineOffset_);
    if (end == std::wstring::npos) end = b.size();
    out.assign(b, lineOffset_, end - lineOffset_);
    size_t next = end;
    if (next < b.size() && b[next] == L'\r') ++next;
    if (next < b.size() && b[next] == L'\n') ++next;
    if (keepBreak) out.append(b, end, next - end);
    lineOffset_ = next;
    return true;
  }
}

std::string EncodeText(std::wstring_view text, TextEncoding encoding, bool withMark) {
  std::string bytes = withMark ? MarkBytes(encoding) : std::string();
  const size_t at = bytes.size();
  switch (encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
      bytes.resize(at + text.size() * 2);
      for (size_t i = 0; i < text.size(); ++i) {
        unsigned lo = text[i] & 0xFF, hi = (text[i] >> 8) & 0xFF;
        bytes[at + 2 * i] = char(encoding == TextEncoding::Utf16Le ? lo : hi);
        bytes[at + 2 * i + 1] = char(encoding == TextEncoding::Utf16Le ? hi : lo);
      }
      break;
    default: {
      if (text.empty()) break;
      UINT codePage = (encoding == TextEncoding::Ansi) ? CP_ACP : CP_UTF8;
      int n = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
      if (n <= 0) break;
      bytes.resize(at + size_t(n));
      WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), bytes.data() + at, n, nullptr, nullptr);
    }
  }
  return bytes;
}

size_t TextFile::Write(std::wstring_view text) {
  if (!handle_ || text.empty()) return 0;
  const std::string bytes = EncodeText(text, encoding_, false);
  size_t total = 0;
  while (total < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(handle_.get(), bytes.data() + total, DWORD(bytes.size() - total), &written, nullptr) || written == 0) break;
    total += written;
  }
  return total;
}

TextEncoding TextFile::DetectEncoding(const std::wstring& path, bool wholeFile) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return TextEncoding::Ansi;
  const HANDLE h = file.get();
  unsigned char head[20] = {};
  DWORD got = 0;
  ReadFile(h, head, sizeof head, &got, nullptr);
  size_t markLength = 0;
  TextEncoding found = MarkOf(head, got, markLength);
  if (found == TextEncoding::Unspecified) {
    if (LooksLikeUtf16(head, got)) {
      found = TextEncoding::Utf16Le;
    } else if (wholeFile) {
      LARGE_INTEGER size{};
      if (GetFileSizeEx(h, &size) && size.QuadPart > 0 && size.QuadPart < 0x7FFFFFFF) {
        std::string bytes(size_t(size.QuadPart), '\0');
        LARGE_INTEGER zero{};
        SetFilePointerEx(h, zero, nullptr, FILE_BEGIN);
        DWORD all = 0;
        if (ReadFile(h, bytes.data(), DWORD(bytes.size()), &all, nullptr) && LooksLikeUtf16(bytes.data(), all))
          found = TextEncoding::Utf16Le;
      }
    }
  }
  return found == TextEncoding::Unspecified ? TextEncoding::Ansi : found;
}

bool ReadTextFile(const std::wstring& path, std::wstring& out, TextEncoding fallback) {
  out.clear();
  TextFile file;
  if (!file.Open(path, TextRead, fallback)) return false;
  file.ReadAll(out);
  return true;
}

bool WriteTextFile(const std::wstring& path, std::wstring_view text, TextEncoding encoding) {
  if (encoding == TextEncoding::Unspecified) encoding = TextEncoding::Utf8;
  const std::string bytes = EncodeText(text, encoding, true);
  if (!text.empty() && bytes.size() == MarkBytes(encoding).size()) return false;  // not representable
  // The file keeps its own security, as a rewrite in place did.
  return ReplaceDocument(path, bytes, DocumentKeepSecurity);
}

}  // namespace tavrin
