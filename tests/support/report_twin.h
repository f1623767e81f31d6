#pragma once
// The JSON twin of a report read back for a test: its bytes checked (no
// byte-order mark, strictly valid UTF-8, one complete document) and its
// text walked with the program's own JSON reader. Header only: the tests
// that use it link the browsers library that holds the reader.
#include <string>
#include <vector>

#include "browsers/preference_document.h"
#include "platform/strings.h"
#include "support/scratch.h"

namespace tavrin::test {

struct ReportTwin {
  PreferenceDocument doc;
  std::string problem;  // empty when the file is sound

  // The string or raw value at the path ("program->version").
  std::wstring Text(const std::wstring& path) const {
    std::wstring out;
    doc.GetString(path, out);
    return out;
  }
  // The string or raw value of a member of an object node; `missing` when
  // there is none.
  std::wstring Member(const PreferenceNode& object, const std::wstring& key,
                      const std::wstring& missing = L"<missing>") const {
    PreferenceNode node;
    std::wstring out;
    if (!doc.GetMember(&object, key, node)) return missing;
    doc.ValueText(node, out);
    return out;
  }
  std::vector<PreferenceNode> Elements(const std::wstring& path) const {
    std::vector<PreferenceNode> out;
    PreferenceNode list;
    if (!doc.FindNode(path, list) || list.kind != PreferenceKind::Array) return out;
    ElementCursor cursor{};
    while (doc.NextElement(cursor, list)) out.push_back(doc.NodeOf(cursor));
    return out;
  }
};

inline ReportTwin ReadReportTwin(const std::wstring& path) {
  ReportTwin twin;
  const std::string bytes = ReadBytes(path);
  const std::wstring text = Utf8ToWide(bytes);
  if (bytes.empty()) twin.problem = "missing or empty";
  else if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) twin.problem = "begins with a byte-order mark";
  // Invalid sequences would decode to U+FFFD and not encode back the same.
  else if (WideToUtf8(text) != bytes) twin.problem = "not valid UTF-8";
  twin.doc.SetText(text);
  PreferenceNode root;
  if (twin.problem.empty() && (!twin.doc.FindNode(L"", root) || root.kind != PreferenceKind::Object ||
                               text.find_last_not_of(L" \r\n") != root.valueEnd))
    twin.problem = "not one JSON object";
  return twin;
}

}  // namespace tavrin::test
