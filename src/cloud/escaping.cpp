#include "cloud/escaping.h"

#include <cstdio>

#include "platform/json_writer.h"

namespace tavrin {

namespace {

bool IsHigh(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUnicodeEscape(std::wstring& out, unsigned unit) {
  wchar_t buffer[8];
  std::swprintf(buffer, 8, L"\\u%04x", unit);
  out += buffer;
}

}  // namespace

std::wstring JsonEscape(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'"' || c == L'\\') {
      out += L'\\';
      out += c;
    } else if (c < 0x20) {
      switch (c) {
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'\t': out += L"\\t"; break;
        default: AppendUnicodeEscape(out, c);
      }
    } else if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      out += c;
      out += text[++i];
    } else if (IsHigh(c) || IsLow(c)) {
      // Alone it has no UTF-8 form; escaped it reaches the service intact.
      AppendUnicodeEscape(out, c);
    } else {
      out += c;
    }
  }
  return out;
}

std::string PercentEncode(std::wstring_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned code = text[i];
    if (IsHigh(wchar_t(code)) && i + 1 < text.size() && IsLow(text[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unsigned(text[++i]) - 0xDC00);
    } else if (IsHigh(wchar_t(code)) || IsLow(wchar_t(code))) {
      code = 0xFFFD;
    }
    const bool unreserved = (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') ||
                            (code >= '0' && code <= '9') || code == '-' || code == '.' || code == '_' || code == '~';
    if (unreserved) {
      out += char(code);
      continue;
    }
    std::string bytes;
    AppendUtf8(bytes, code);
    for (unsigned char b : bytes) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

std::wstring FormFileName(std::wstring_view name) {
  std::wstring out;
  for (wchar_t c : name) {
    switch (c) {
      case L'"': out += L"%22"; break;
      case L'\r': out += L"%0D"; break;
      case L'\n': out += L"%0A"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace tavrin
