#pragma once
// A JSON text built front to back, for the machine-readable twins of the
// reports. Strings come in as the program holds them (UTF-16 units in a
// wide string) and go out as UTF-8: quotes, backslashes and control
// characters escaped, surrogate pairs joined, and a lone surrogate (or any
// value that is no Unicode scalar) written as U+FFFD, so that the output is
// valid UTF-8 whatever the input. No platform code: it builds natively for
// the fuzzer.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class JsonWriter {
 public:
  // Containers; in an object every value is preceded by Key.
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(std::wstring_view name);

  void String(std::wstring_view text);
  void Number(int64_t value);
  void Bool(bool value);
  void Null();

  // Key and value in one call.
  void Member(std::wstring_view name, std::wstring_view text) { Key(name); String(text); }
  void Member(std::wstring_view name, const wchar_t* text) { Key(name); String(text); }
  void Member(std::wstring_view name, int64_t value) { Key(name); Number(value); }
  void Member(std::wstring_view name, int value) { Key(name); Number(value); }
  void Member(std::wstring_view name, bool value) { Key(name); Bool(value); }
  // The member only when the text is not empty.
  void OptionalMember(std::wstring_view name, std::wstring_view text);

  // The text so far; complete once every container is closed.
  const std::string& Text() const { return out_; }
  bool Complete() const { return open_.empty() && !out_.empty(); }

 private:
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void Indent();

  struct Level {
    bool object = false;
    bool empty = true;
  };
  std::string out_;
  std::vector<Level> open_;
  bool afterKey_ = false;
};

// The text as a quoted JSON string in UTF-8, escaped as above.
void AppendJsonString(std::string& out, std::wstring_view text);
// One Unicode scalar value as its UTF-8 bytes.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace tavrin
