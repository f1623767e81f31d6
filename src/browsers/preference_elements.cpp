#include "browsers/preference_elements.h"

#include <string>

namespace tavrin {

int DeleteMatchingElements(PreferenceDocument& document, std::wstring_view arrayPath, const ElementTest& test) {
  int cut = 0;
  for (;;) {
    PreferenceNode list;
    if (!document.FindNode(arrayPath, list) || list.kind != PreferenceKind::Array) return cut;
    ElementCursor cursor{};
    bool picked = false;
    while (document.NextElement(cursor, list)) {
      const PreferenceNode element = document.NodeOf(cursor);
      if (!test(document, element)) continue;
      if (!document.DeleteElement(element)) return cut;
      ++cut;
      picked = true;
      break;
    }
    if (!picked) return cut;
  }
}

bool ElementIsString(const PreferenceDocument& document, const PreferenceNode& element, std::wstring_view text) {
  std::wstring value;
  return element.kind == PreferenceKind::String && document.ValueText(element, value) == PreferenceKind::String &&
         value == text;
}

}  // namespace tavrin
