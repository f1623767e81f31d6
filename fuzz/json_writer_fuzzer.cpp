// Feeds arbitrary text to the JSON writer as keys and strings, then checks
// what a collecting script relies on: the output is strictly valid UTF-8,
// the project's JSON reader walks it as a whole document, and every key and
// string reads back as written, with only unpaired surrogates (and values
// beyond Unicode) turned into U+FFFD.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "browsers/preference_document.h"
#include "platform/json_writer.h"

namespace {

void Fail(int line) {
  std::fprintf(stderr, "json_writer_fuzzer: check at line %d failed\n", line);
  std::abort();
}
#define Check(condition) \
  do {                   \
    if (!(condition)) Fail(__LINE__); \
  } while (false)

// Strict UTF-8 to UTF-16 units: false on overlong forms, surrogates, values
// beyond U+10FFFF and cut sequences.
bool DecodeUtf8(const std::string& bytes, std::wstring& out) {
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= bytes.size()) return false;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(bytes[i + size_t(k)]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c >= 0x10000) {
      out.push_back(wchar_t(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(wchar_t(c));
    }
    i += size_t(extra) + 1;
  }
  return true;
}

// What a text reads back as: UTF-16 units with pairs kept and every other
// surrogate or non-scalar value replaced.
std::wstring Expected(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t c = char32_t(text[i]);
    const bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < text.size() && char32_t(text[i + 1]) >= 0xDC00 && char32_t(text[i + 1]) <= 0xDFFF) {
      out.push_back(text[i]);
      out.push_back(text[++i]);
    } else if (high || low || c > 0x10FFFF) {
      out.push_back(wchar_t(0xFFFD));
    } else if (c >= 0x10000) {
      out.push_back(wchar_t(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(wchar_t(c));
    }
  }
  return out;
}

// Pieces of the text at every unit 0x0001, so that one input gives several
// keys and strings.
std::vector<std::wstring> Pieces(const std::wstring& text) {
  std::vector<std::wstring> pieces(1);
  for (wchar_t c : text) {
    if (c == 1 && pieces.size() < 32) pieces.emplace_back();
    else pieces.back().push_back(c);
  }
  return pieces;
}

void Exercise(const std::wstring& text) {
  const std::vector<std::wstring> pieces = Pieces(text);
  tavrin::JsonWriter json;
  json.BeginObject();
  for (size_t i = 0; i + 1 < pieces.size(); i += 2) json.Member(pieces[i], pieces[i + 1]);
  json.Key(L"list");
  json.BeginArray();
  for (const std::wstring& piece : pieces) json.String(piece);
  json.BeginObject();
  json.EndObject();
  json.Number(-9223372036854775807LL - 1);
  json.Bool(true);
  json.Null();
  json.EndArray();
  json.EndObject();
  Check(json.Complete());

  std::wstring decoded;
  Check(DecodeUtf8(json.Text(), decoded));
  tavrin::PreferenceDocument doc(decoded);
  tavrin::PreferenceNode root;
  Check(doc.FindNode(L"", root) && root.kind == tavrin::PreferenceKind::Object);
  tavrin::MemberCursor member{};
  std::wstring key, value;
  for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
    Check(doc.NextMember(member, nullptr));
    Check(doc.KeyOf(member, key) && key == Expected(pieces[i]));
    Check(doc.ValueText(member, value) == tavrin::PreferenceKind::String && value == Expected(pieces[i + 1]));
  }
  Check(doc.NextMember(member, nullptr) && doc.KeyOf(member, key) && key == L"list");
  const tavrin::PreferenceNode list = doc.NodeOf(member);
  Check(list.kind == tavrin::PreferenceKind::Array);
  tavrin::ElementCursor element{};
  for (const std::wstring& piece : pieces) {
    Check(doc.NextElement(element, list));
    Check(doc.ValueText(element, value) == tavrin::PreferenceKind::String && value == Expected(piece));
  }
  for (tavrin::PreferenceKind kind : {tavrin::PreferenceKind::Object, tavrin::PreferenceKind::Integer,
                                      tavrin::PreferenceKind::Boolean, tavrin::PreferenceKind::Null}) {
    Check(doc.NextElement(element, list) && element.kind == kind);
  }
  Check(!doc.NextElement(element, list));
  Check(!doc.NextMember(member, nullptr));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // Pairs of bytes as UTF-16 units, as the program holds its texts; and
  // groups of four as wide values of any size, which the writer must also
  // refuse to pass on when they are no Unicode scalar.
  std::wstring units;
  for (size_t i = 0; i + 1 < size; i += 2) units.push_back(wchar_t(data[i] | (data[i + 1] << 8)));
  Exercise(units);
  if (sizeof(wchar_t) == 4) {
    std::wstring wide;
    for (size_t i = 0; i + 3 < size; i += 4)
      wide.push_back(wchar_t(std::uint32_t(data[i]) | std::uint32_t(data[i + 1]) << 8 |
                             std::uint32_t(data[i + 2]) << 16 | std::uint32_t(data[i + 3]) << 24));
    Exercise(wide);
  }
  return 0;
}
