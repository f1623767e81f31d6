#include "browsers/preference_document.h"

#include <atomic>
#include <cwctype>
#include <vector>

namespace tavrin {

namespace {

// Identities are unique across every document of the process, so a node
// of one document is refused by another as well as after an edit.
std::atomic<std::uint64_t> nextIdentity{1};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

wchar_t FoldCase(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return wchar_t(c - L'A' + L'a');
  if (c < 0x80) return c;
  return wchar_t(std::towlower(static_cast<std::wint_t>(c)));
}

bool EqualsFolded(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

// The walker over one text. Every position it returns lies inside the
// text; every loop is bounded by the end of the text.
class Walker {
 public:
  explicit Walker(std::wstring_view text) : t_(text) {}

  // First position at or after `p` that is neither white space nor inside
  // a comment; the text's size when there is none. False for a block
  // comment that never closes.
  bool SkipBlank(size_t& p) const {
    while (p < t_.size()) {
      wchar_t c = t_[p];
      if (IsBlank(c)) {
        ++p;
      } else if (c == L'/' && p + 1 < t_.size() && t_[p + 1] == L'/') {
        while (p < t_.size() && t_[p] != L'\n') ++p;
      } else if (c == L'/' && p + 1 < t_.size() && t_[p + 1] == L'*') {
        size_t depth = 1;
        p += 2;
        while (depth > 0) {
          if (p + 1 >= t_.size()) return false;
          if (t_[p] == L'/' && t_[p + 1] == L'*') {
            ++depth;
            p += 2;
          } else if (t_[p] == L'*' && t_[p + 1] == L'/') {
            --depth;
            p += 2;
          } else {
            ++p;
          }
        }
      } else {
        break;
      }
    }
    return true;
  }

  static PreferenceKind KindAt(std::wstring_view t, size_t p) {
    if (p >= t.size()) return PreferenceKind::None;
    wchar_t c = t[p];
    if (c == L'{') return PreferenceKind::Object;
    if (c == L'[') return PreferenceKind::Array;
    if (c == L'"') return PreferenceKind::String;
    if (c == L'+' || c == L'-' || IsDigit(c)) return PreferenceKind::Integer;  // refined by ValueEnd
    if (t.substr(p, 4) == L"true" || t.substr(p, 5) == L"false") return PreferenceKind::Boolean;
    if (t.substr(p, 4) == L"null") return PreferenceKind::Null;
    return PreferenceKind::None;
  }

  // Last character of the value that starts at `p`, and its kind. A
  // container must close with brackets that pair up, outside strings and
  // comments; anything truncated or mismatched fails.
  bool ValueEnd(size_t p, size_t& end, PreferenceKind& kind) const {
    kind = KindAt(t_, p);
    switch (kind) {
      case PreferenceKind::None:
        return false;
      case PreferenceKind::String:
        return StringEnd(p, end);
      case PreferenceKind::Integer:
        return NumberEnd(p, end, kind);
      case PreferenceKind::Boolean:
        end = p + (t_[p] == L't' ? 3 : 4);
        return WordEnds(end + 1);
      case PreferenceKind::Null:
        end = p + 3;
        return WordEnds(end + 1);
      default:
        return ContainerEnd(p, end);
    }
  }

  bool StringEnd(size_t p, size_t& end) const {
    for (size_t i = p + 1; i < t_.size(); ++i) {
      wchar_t c = t_[i];
      if (c == L'\r' || c == L'\n') return false;
      if (c == L'\\') {
        ++i;  // the escaped character, whatever it is
        if (i < t_.size() && (t_[i] == L'\r' || t_[i] == L'\n')) return false;
        continue;
      }
      if (c == L'"') {
        end = i;
        return true;
      }
    }
    return false;
  }

  // Sign, digits and points, then an exponent with its own sign: one value,
  // so that "1e+5" is never taken for a value followed by garbage.
  bool NumberEnd(size_t p, size_t& end, PreferenceKind& kind) const {
    size_t i = p;
    if (t_[i] == L'+' || t_[i] == L'-') ++i;
    size_t digits = 0;
    bool point = false;
    while (i < t_.size() && (IsDigit(t_[i]) || t_[i] == L'.')) {
      if (t_[i] == L'.') point = true; else ++digits;
      ++i;
    }
    if (digits == 0) return false;
    bool exponent = false;
    if (i < t_.size() && (t_[i] == L'e' || t_[i] == L'E')) {
      size_t j = i + 1;
      if (j < t_.size() && (t_[j] == L'+' || t_[j] == L'-')) ++j;
      size_t expDigits = 0;
      while (j < t_.size() && IsDigit(t_[j])) ++j, ++expDigits;
      if (expDigits == 0) return false;
      exponent = true;
      i = j;
    }
    end = i - 1;
    kind = (point || exponent) ? PreferenceKind::Decimal : PreferenceKind::Integer;
    return WordEnds(i);
  }

  // A literal or number must not run on into letters or digits.
  bool WordEnds(size_t next) const {
    if (next > t_.size()) return false;
    if (next == t_.size()) return true;
    wchar_t c = t_[next];
    return !(IsDigit(c) || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c == L'.');
  }

  bool ContainerEnd(size_t p, size_t& end) const {
    std::vector<wchar_t> open;
    size_t i = p;
    while (i < t_.size()) {
      wchar_t c = t_[i];
      if (c == L'"') {
        size_t e;
        if (!StringEnd(i, e)) return false;
        i = e + 1;
        continue;
      }
      if (c == L'/' && i + 1 < t_.size() && (t_[i + 1] == L'/' || t_[i + 1] == L'*')) {
        if (!SkipBlank(i)) return false;
        continue;
      }
      if (c == L'{' || c == L'[') {
        open.push_back(c == L'{' ? L'}' : L']');
      } else if (c == L'}' || c == L']') {
        if (open.empty() || open.back() != c) return false;
        open.pop_back();
        if (open.empty()) {
          end = i;
          return true;
        }
      }
      ++i;
    }
    return false;
  }

  // The member that follows position `from` inside the object whose "{" is
  // at `objectStart`. `first` says whether `from` is right after the "{"
  // or the end of the previous value.
  bool MemberAt(size_t objectStart, size_t from, bool first, MemberCursor& m) const {
    size_t p = from;
    if (!SkipBlank(p) || p >= t_.size()) return false;
    if (!first) {
      if (t_[p] != L',') return false;
      ++p;
      if (!SkipBlank(p) || p >= t_.size()) return false;
    }
    if (t_[p] != L'"') return false;
    size_t keyEnd;
    if (!StringEnd(p, keyEnd)) return false;
    size_t q = keyEnd + 1;
    if (!SkipBlank(q) || q >= t_.size() || t_[q] != L':') return false;
    ++q;
    if (!SkipBlank(q)) return false;
    size_t valueEnd;
    PreferenceKind kind;
    if (!ValueEnd(q, valueEnd, kind)) return false;
    m.kind = kind;
    m.keyStart = p;
    m.valueStart = q;
    m.valueEnd = valueEnd;
    m.parentStart = objectStart;
    return true;
  }

  bool ElementAt(size_t arrayStart, size_t from, bool first, ElementCursor& e) const {
    size_t p = from;
    if (!SkipBlank(p) || p >= t_.size()) return false;
    if (!first) {
      if (t_[p] != L',') return false;
      ++p;
      if (!SkipBlank(p) || p >= t_.size()) return false;
    }
    size_t valueEnd;
    PreferenceKind kind;
    if (!ValueEnd(p, valueEnd, kind)) return false;
    e.kind = kind;
    e.valueStart = p;
    e.valueEnd = valueEnd;
    e.parentStart = arrayStart;
    return true;
  }

  bool Root(PreferenceNode& node) const {
    size_t p = 0;
    if (!SkipBlank(p) || p >= t_.size() || (t_[p] != L'{' && t_[p] != L'[')) return false;
    size_t end;
    PreferenceKind kind;
    if (!ValueEnd(p, end, kind)) return false;
    node.kind = kind;
    node.valueStart = p;
    node.valueEnd = end;
    node.keyStart = 0;
    node.parentStart = 0;
    node.isMember = false;
    node.isRoot = true;
    return true;
  }

  std::wstring_view text() const { return t_; }

 private:
  std::wstring_view t_;
};

}  // namespace

std::wstring UnescapeJsonString(std::wstring_view inner) {
  std::wstring out;
  out.reserve(inner.size());
  for (size_t i = 0; i < inner.size(); ++i) {
    wchar_t c = inner[i];
    if (c != L'\\' || i + 1 >= inner.size()) {
      out.push_back(c);
      continue;
    }
    wchar_t e = inner[++i];
    switch (e) {
      case L'b': out.push_back(L'\b'); break;
      case L'f': out.push_back(L'\f'); break;
      case L'n': out.push_back(L'\n'); break;
      case L'r': out.push_back(L'\r'); break;
      case L't': out.push_back(L'\t'); break;
      case L'u': {
        unsigned value = 0;
        bool hex = i + 4 < inner.size();
        for (size_t k = 1; k <= 4 && hex; ++k) {
          int h = HexValue(inner[i + k]);
          if (h < 0) hex = false; else value = value * 16 + unsigned(h);
        }
        // A UTF-16 unit each; a high and a low surrogate written as two
        // escapes therefore come out as the pair they are.
        if (hex) {
          out.push_back(wchar_t(value));
          i += 4;
        } else {
          out.push_back(L'u');
        }
        break;
      }
      default: out.push_back(e); break;
    }
  }
  return out;
}

PreferenceDocument::PreferenceDocument() : text_(L"{}") { Renew(); }

PreferenceDocument::PreferenceDocument(std::wstring text) : text_(std::move(text)) { Renew(); }

void PreferenceDocument::Renew() { identity_ = nextIdentity.fetch_add(1); }

void PreferenceDocument::SetText(std::wstring text) {
  text_ = std::move(text);
  path_.clear();
  encoding_ = PreferenceEncoding::Utf8;
  savable_ = true;
  read_ = false;
  Renew();
}

void PreferenceDocument::ReplaceText(std::wstring text) {
  text_ = std::move(text);
  Renew();
}

bool PreferenceDocument::Root(PreferenceNode& out) const {
  if (rootIdentity_ != identity_) {
    rootValid_ = Walker(text_).Root(root_);
    root_.document = identity_;
    rootIdentity_ = identity_;
  }
  out = root_;
  return rootValid_;
}

bool PreferenceDocument::GetMember(const PreferenceNode* parent, std::wstring_view key, PreferenceNode& out) const {
  MemberCursor cursor;
  std::wstring name;
  while (NextMember(cursor, parent)) {
    if (!KeyOf(cursor, name)) return false;
    if (EqualsFolded(name, key)) {
      out = NodeOf(cursor);
      return true;
    }
  }
  return false;
}

bool PreferenceDocument::FindNode(std::wstring_view path, PreferenceNode& out) const {
  PreferenceNode node;
  if (!Root(node)) return false;
  size_t from = 0;
  while (!path.empty()) {
    size_t arrow = path.find(L"->", from);
    std::wstring_view step =
        path.substr(from, arrow == std::wstring_view::npos ? std::wstring_view::npos : arrow - from);
    if (node.kind != PreferenceKind::Object) return false;
    PreferenceNode child;
    if (!GetMember(&node, step, child)) return false;
    node = child;
    if (arrow == std::wstring_view::npos) break;
    from = arrow + 2;
  }
  out = node;
  return true;
}

PreferenceKind PreferenceDocument::GetString(std::wstring_view path, std::wstring& out) const {
  PreferenceNode node;
  if (!FindNode(path, node)) return PreferenceKind::None;
  return ValueText(node, out);
}

PreferenceKind PreferenceDocument::GetMemberString(const PreferenceNode* parent, std::wstring_view key,
                                                   std::wstring& out) const {
  PreferenceNode node;
  if (!GetMember(parent, key, node)) return PreferenceKind::None;
  return ValueText(node, out);
}

bool PreferenceDocument::NextMember(MemberCursor& cursor, const PreferenceNode* parent) const {
  Walker w(text_);
  PreferenceNode object;
  if (parent) {
    if (!Owns(parent->document)) return false;
    object = *parent;
  } else if (!Root(object)) {
    return false;
  }
  if (object.kind != PreferenceKind::Object || object.valueEnd >= text_.size()) return false;
  MemberCursor next;
  if (cursor.document == 0) {
    if (!w.MemberAt(object.valueStart, object.valueStart + 1, true, next)) return false;
  } else {
    if (!Owns(cursor.document) || cursor.parentStart != object.valueStart || cursor.valueEnd >= object.valueEnd)
      return false;
    if (!w.MemberAt(object.valueStart, cursor.valueEnd + 1, false, next)) return false;
  }
  // A member must end inside its object; a damaged text could otherwise
  // lead the walk into the next one.
  if (next.valueEnd >= object.valueEnd) return false;
  next.document = identity_;
  cursor = next;
  return true;
}

bool PreferenceDocument::KeyOf(const MemberCursor& cursor, std::wstring& out) const {
  out.clear();
  if (!Owns(cursor.document)) return false;
  Walker w(text_);
  size_t end;
  if (!w.StringEnd(cursor.keyStart, end)) return false;
  out = UnescapeJsonString(std::wstring_view(text_).substr(cursor.keyStart + 1, end - cursor.keyStart - 1));
  return true;
}

bool PreferenceDocument::NextElement(ElementCursor& cursor, const PreferenceNode& parent) const {
  if (!Owns(parent.document) || parent.kind != PreferenceKind::Array || parent.valueEnd >= text_.size()) return false;
  Walker w(text_);
  ElementCursor next;
  if (cursor.document == 0) {
    if (!w.ElementAt(parent.valueStart, parent.valueStart + 1, true, next)) return false;
  } else {
    if (!Owns(cursor.document) || cursor.parentStart != parent.valueStart || cursor.valueEnd >= parent.valueEnd)
      return false;
    if (!w.ElementAt(parent.valueStart, cursor.valueEnd + 1, false, next)) return false;
  }
  if (next.valueEnd >= parent.valueEnd) return false;
  next.document = identity_;
  cursor = next;
  return true;
}

PreferenceKind PreferenceDocument::ValueText(const PreferenceNode& node, std::wstring& out) const {
  out.clear();
  if (!Owns(node.document) || node.kind == PreferenceKind::None || node.valueEnd >= text_.size() ||
      node.valueStart > node.valueEnd)
    return PreferenceKind::None;
  std::wstring_view t(text_);
  if (node.kind == PreferenceKind::String) {
    if (node.valueEnd == node.valueStart) return PreferenceKind::None;
    out = UnescapeJsonString(t.substr(node.valueStart + 1, node.valueEnd - node.valueStart - 1));
  } else {
    out = std::wstring(t.substr(node.valueStart, node.valueEnd - node.valueStart + 1));
  }
  return node.kind;
}

PreferenceKind PreferenceDocument::ValueText(const MemberCursor& cursor, std::wstring& out) const {
  return ValueText(NodeOf(cursor), out);
}

PreferenceKind PreferenceDocument::ValueText(const ElementCursor& cursor, std::wstring& out) const {
  return ValueText(NodeOf(cursor), out);
}

PreferenceNode PreferenceDocument::NodeOf(const MemberCursor& cursor) const {
  PreferenceNode node;
  node.document = cursor.document;
  node.kind = cursor.kind;
  node.keyStart = cursor.keyStart;
  node.valueStart = cursor.valueStart;
  node.valueEnd = cursor.valueEnd;
  node.parentStart = cursor.parentStart;
  node.isMember = true;
  return node;
}

PreferenceNode PreferenceDocument::NodeOf(const ElementCursor& cursor) const {
  PreferenceNode node;
  node.document = cursor.document;
  node.kind = cursor.kind;
  node.valueStart = cursor.valueStart;
  node.valueEnd = cursor.valueEnd;
  node.parentStart = cursor.parentStart;
  return node;
}

bool PreferenceDocument::DeleteMember(const PreferenceNode& node) { return node.isMember && Cut(node, true); }

bool PreferenceDocument::DeleteElement(const PreferenceNode& node) {
  return !node.isMember && !node.isRoot && Cut(node, false);
}

bool PreferenceDocument::DeletePath(std::wstring_view path) {
  PreferenceNode node;
  if (path.empty() || !FindNode(path, node)) return false;
  return DeleteMember(node);
}

// The node is first found again by walking its parent from the start: that
// proves it is a member or element of a well-formed run of siblings and
// gives the end of the previous sibling, so the comma to cut is found by a
// forward walk that knows about comments, never by guessing backwards.
bool PreferenceDocument::Cut(const PreferenceNode& node, bool member) {
  if (!Owns(node.document) || node.parentStart >= text_.size()) return false;
  Walker w(text_);
  PreferenceNode parent;
  parent.document = identity_;
  parent.valueStart = node.parentStart;
  PreferenceKind parentKind;
  if (!w.ValueEnd(node.parentStart, parent.valueEnd, parentKind)) return false;
  parent.kind = parentKind;
  if (parentKind != (member ? PreferenceKind::Object : PreferenceKind::Array)) return false;

  bool found = false;
  bool hasPrevious = false;
  size_t previousEnd = 0;
  size_t start = member ? node.keyStart : node.valueStart;
  if (member) {
    MemberCursor c;
    while (NextMember(c, &parent)) {
      if (c.keyStart == node.keyStart) {
        found = c.valueStart == node.valueStart && c.valueEnd == node.valueEnd;
        break;
      }
      hasPrevious = true;
      previousEnd = c.valueEnd;
    }
  } else {
    ElementCursor c;
    while (NextElement(c, parent)) {
      if (c.valueStart == node.valueStart) {
        found = c.valueEnd == node.valueEnd;
        break;
      }
      hasPrevious = true;
      previousEnd = c.valueEnd;
    }
  }
  if (!found) return false;

  size_t cutStart = start;
  size_t cutEnd = node.valueEnd;  // inclusive
  size_t after = node.valueEnd + 1;
  if (!w.SkipBlank(after) || after >= text_.size()) return false;
  if (hasPrevious) {
    size_t comma = previousEnd + 1;
    if (!w.SkipBlank(comma) || comma >= text_.size() || text_[comma] != L',') return false;
    cutStart = comma;
  } else if (text_[after] == L',') {
    cutEnd = after;
  } else if (text_[after] != (member ? L'}' : L']')) {
    return false;
  }
  size_t tail = cutEnd + 1;
  while (tail < text_.size() && text_[tail] == L' ') ++tail;
  text_.erase(cutStart, tail - cutStart);
  Renew();
  return true;
}

}  // namespace tavrin
