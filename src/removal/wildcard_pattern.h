#pragma once
// Wildcard texts ("*" and "?") from definitions and details files turned
// into regular expressions for the program's pattern facility.
#include <string>
#include <string_view>

namespace tavrin {

// The expression without anchors: every character other than "*" and "?"
// stands for itself (ASCII punctuation is escaped, so "|", "(", ")" and the
// like never become operators), "*" is any run of characters and "?" exactly
// one character. Meant for embedding in a larger expression.
std::wstring WildcardExpression(std::wstring_view text);

// The same anchored at both ends, so that it matches whole names only: a
// leftover pattern "Tool*" must never match "MyToolbar". An empty text
// matches only the empty name.
std::wstring WildcardPattern(std::wstring_view text);

// The number of characters of the text that are not wildcards.
size_t LiteralCharacterCount(std::wstring_view text);

}  // namespace tavrin
