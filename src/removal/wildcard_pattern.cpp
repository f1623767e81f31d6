#include "removal/wildcard_pattern.h"

namespace tavrin {

namespace {

bool IsAsciiAlphanumeric(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

}  // namespace

std::wstring WildcardExpression(std::wstring_view text) {
  std::wstring expression;
  expression.reserve(text.size() * 2);
  for (wchar_t c : text) {
    if (c == L'*') {
      expression += L".*";
    } else if (c == L'?') {
      expression += L'.';
    } else if (c < 0x80 && !IsAsciiAlphanumeric(c)) {
      // PCRE2 takes a backslash before any ASCII non-alphanumeric character
      // as that character itself; control characters get a code escape so
      // that no line break or NUL ends up in the expression raw.
      if (c < 0x20 || c == 0x7F) {
        static const wchar_t kHex[] = L"0123456789abcdef";
        expression += L"\\x{";
        expression += kHex[(c >> 4) & 0xF];
        expression += kHex[c & 0xF];
        expression += L'}';
      } else {
        expression += L'\\';
        expression += c;
      }
    } else {
      // Letters, digits and non-ASCII characters are never operators.
      expression += c;
    }
  }
  return expression;
}

std::wstring WildcardPattern(std::wstring_view text) {
  // \A and \z rather than ^ and $: "$" would also match before a final line
  // feed, letting "name\n" pass for "name".
  return L"\\A(?:" + WildcardExpression(text) + L")\\z";
}

size_t LiteralCharacterCount(std::wstring_view text) {
  size_t count = 0;
  for (wchar_t c : text)
    if (c != L'*' && c != L'?') ++count;
  return count;
}

}  // namespace tavrin
