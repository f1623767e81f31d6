#pragma once
// Escaping of the texts the cloud clients put into requests. Paths and
// registry locations come from the machine and may hold any character; none
// of them is ever sent unescaped. No platform calls: built natively too.
#include <string>
#include <string_view>

namespace tavrin {

// The characters of a JSON string value, without the quotes: quote and
// backslash escaped, control characters and unpaired surrogates as \uXXXX.
std::wstring JsonEscape(std::wstring_view text);

// Every character but the unreserved ones (letters, digits, "-._~")
// percent-encoded from its UTF-8 bytes, so that a value can stand in a
// query or a form field ("&", "=", "+" included).
std::string PercentEncode(std::wstring_view text);

// A file name inside a quoted form-data parameter: the quote, CR and LF
// percent-encoded as browsers send them, so that no name can end the
// parameter or the header.
std::wstring FormFileName(std::wstring_view name);

}  // namespace tavrin
