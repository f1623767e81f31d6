#include "platform/json_writer.h"

#include <type_traits>

namespace tavrin {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHigh(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

void AppendJsonString(std::string& out, std::wstring_view text) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    // Units are read as unsigned values whatever the width of wchar_t.
    char32_t c = char32_t(std::make_unsigned_t<wchar_t>(text[i]));
    if (IsHigh(c) && i + 1 < text.size() && IsLow(char32_t(std::make_unsigned_t<wchar_t>(text[i + 1])))) {
      const char32_t low = char32_t(std::make_unsigned_t<wchar_t>(text[++i]));
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    } else if (IsHigh(c) || IsLow(c) || c > 0x10FFFF) {
      c = kReplacement;
    }
    switch (c) {
      case U'"': out += "\\\""; break;
      case U'\\': out += "\\\\"; break;
      case U'\b': out += "\\b"; break;
      case U'\f': out += "\\f"; break;
      case U'\n': out += "\\n"; break;
      case U'\r': out += "\\r"; break;
      case U'\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          AppendUtf8(out, c);
        }
    }
  }
  out += '"';
}

void JsonWriter::Indent() {
  out_ += '\n';
  out_.append(open_.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (open_.empty()) return;
  if (!open_.back().empty) out_ += ',';
  open_.back().empty = false;
  Indent();
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ += bracket;
  open_.push_back({bracket == '{', true});
}

void JsonWriter::Close(char bracket) {
  if (open_.empty()) return;
  const bool empty = open_.back().empty;
  open_.pop_back();
  if (!empty) Indent();
  out_ += bracket;
  if (open_.empty()) out_ += '\n';
}

void JsonWriter::BeginObject() { Open('{'); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray() { Open('['); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(std::wstring_view name) {
  BeforeValue();
  AppendJsonString(out_, name);
  out_ += ": ";
  afterKey_ = true;
}

void JsonWriter::String(std::wstring_view text) {
  BeforeValue();
  AppendJsonString(out_, text);
}

void JsonWriter::Number(int64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  out_ += "null";
}

void JsonWriter::OptionalMember(std::wstring_view name, std::wstring_view text) {
  if (!text.empty()) Member(name, text);
}

}  // namespace tavrin
