#pragma once
// Cutting the elements of a JSON list that a test picks, one at a time, so
// that the rest of the list stays as the browser wrote it. No platform
// calls: the walk builds natively beside the document it edits.
#include <functional>
#include <string_view>

#include "browsers/preference_document.h"

namespace tavrin {

using ElementTest = std::function<bool(const PreferenceDocument& document, const PreferenceNode& element)>;

// Cuts every element of the list at `arrayPath` that `test` picks and
// returns how many went. A cut gives the document a new state, so the walk
// starts over on the list as it now stands: no element after a cut is
// passed over. Stops at the first cut the document refuses.
int DeleteMatchingElements(PreferenceDocument& document, std::wstring_view arrayPath, const ElementTest& test);

// The element is a string equal to `text` (compared exactly, after the
// string's escapes are resolved).
bool ElementIsString(const PreferenceDocument& document, const PreferenceNode& element, std::wstring_view text);

}  // namespace tavrin
