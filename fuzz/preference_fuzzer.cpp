// Feeds arbitrary bytes to the preference walker and the prefs.js line
// reader as a browser file would reach them, runs every query and every
// delete, and checks what the repairs rely on: positions stay inside the
// text, stale nodes are refused, and a delete on a well-formed document
// leaves a well-formed document with exactly one child fewer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

#include "browsers/chromium_extension_state.h"
#include "browsers/firefox_addons.h"
#include "browsers/firefox_pref_line.h"
#include "browsers/preference_document.h"
#include "browsers/preference_elements.h"

namespace {

using tavrin::ElementCursor;
using tavrin::MemberCursor;
using tavrin::PreferenceDocument;
using tavrin::PreferenceKind;
using tavrin::PreferenceNode;

// The failed promise's line goes to the log before the abort, so that a
// finding says what broke without a debugger.
void Fail(int line) {
  std::fprintf(stderr, "preference_fuzzer: check at line %d failed\n", line);
  std::abort();
}
#define Check(condition) \
  do {                   \
    if (!(condition)) Fail(__LINE__); \
  } while (false)

// A strict JSON reader (comments allowed where white space is), used only
// to decide whether a document was well formed before an edit.
class StrictJson {
 public:
  explicit StrictJson(const std::wstring& t) : t_(t) {}
  bool Valid() {
    Blank();
    if (p_ >= t_.size() || (t_[p_] != L'{' && t_[p_] != L'[')) return false;
    if (!Value(0)) return false;
    Blank();
    return ok_ && p_ == t_.size();
  }

 private:
  void Blank() {
    while (p_ < t_.size()) {
      wchar_t c = t_[p_];
      if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
        ++p_;
      } else if (c == L'/' && p_ + 1 < t_.size() && t_[p_ + 1] == L'/') {
        while (p_ < t_.size() && t_[p_] != L'\n') ++p_;
      } else if (c == L'/' && p_ + 1 < t_.size() && t_[p_ + 1] == L'*') {
        int depth = 1;
        p_ += 2;
        while (depth > 0) {
          if (p_ + 1 >= t_.size()) { ok_ = false; p_ = t_.size(); return; }
          if (t_[p_] == L'/' && t_[p_ + 1] == L'*') { ++depth; p_ += 2; }
          else if (t_[p_] == L'*' && t_[p_ + 1] == L'/') { --depth; p_ += 2; }
          else ++p_;
        }
      } else {
        return;
      }
    }
  }
  bool String() {
    if (p_ >= t_.size() || t_[p_] != L'"') return false;
    for (++p_; p_ < t_.size(); ++p_) {
      wchar_t c = t_[p_];
      if (c < 0x20) return false;
      if (c == L'"') { ++p_; return true; }
      if (c == L'\\') {
        if (++p_ >= t_.size()) return false;
        wchar_t e = t_[p_];
        if (e == L'u') {
          for (int k = 0; k < 4; ++k) {
            if (++p_ >= t_.size() || !std::iswxdigit(t_[p_]) || t_[p_] > 0x7F) return false;
          }
        } else if (std::wstring(L"\"\\/bfnrt").find(e) == std::wstring::npos) {
          return false;
        }
      }
    }
    return false;
  }
  bool Digits() {
    size_t s = p_;
    while (p_ < t_.size() && t_[p_] >= L'0' && t_[p_] <= L'9') ++p_;
    return p_ > s;
  }
  bool Number() {
    if (t_[p_] == L'-') ++p_;
    if (p_ < t_.size() && t_[p_] == L'0') ++p_;
    else if (!Digits()) return false;
    if (p_ < t_.size() && t_[p_] == L'.') { ++p_; if (!Digits()) return false; }
    if (p_ < t_.size() && (t_[p_] == L'e' || t_[p_] == L'E')) {
      ++p_;
      if (p_ < t_.size() && (t_[p_] == L'+' || t_[p_] == L'-')) ++p_;
      if (!Digits()) return false;
    }
    return true;
  }
  bool Word(const wchar_t* w) {
    std::wstring s(w);
    if (t_.compare(p_, s.size(), s) != 0) return false;
    p_ += s.size();
    return true;
  }
  bool Value(int depth) {
    if (depth > 200 || p_ >= t_.size()) return false;
    wchar_t c = t_[p_];
    if (c == L'{' || c == L'[') {
      wchar_t close = c == L'{' ? L'}' : L']';
      ++p_;
      Blank();
      if (p_ < t_.size() && t_[p_] == close) { ++p_; return true; }
      for (;;) {
        if (c == L'{') {
          if (!String()) return false;
          Blank();
          if (p_ >= t_.size() || t_[p_] != L':') return false;
          ++p_;
          Blank();
        }
        if (!Value(depth + 1)) return false;
        Blank();
        if (p_ >= t_.size()) return false;
        if (t_[p_] == close) { ++p_; return true; }
        if (t_[p_] != L',') return false;
        ++p_;
        Blank();
      }
    }
    if (c == L'"') return String();
    if (c == L'-' || (c >= L'0' && c <= L'9')) return Number();
    return Word(L"true") || Word(L"false") || Word(L"null");
  }

  const std::wstring& t_;
  size_t p_ = 0;
  bool ok_ = true;
};

struct Found {
  PreferenceNode node;
  std::vector<int> steps;  // child indexes from the root
  std::wstring path;       // keys joined by "->" while every step is a member
  bool pathComplete = true;
};

bool Walkable(const PreferenceNode& n) { return n.kind == PreferenceKind::Object || n.kind == PreferenceKind::Array; }

// Children of a container node, in order.
std::vector<PreferenceNode> Children(const PreferenceDocument& doc, const PreferenceNode* parent, size_t limit) {
  std::vector<PreferenceNode> out;
  if (!parent || parent->kind == PreferenceKind::Object) {
    MemberCursor c;
    while (out.size() < limit && doc.NextMember(c, parent)) out.push_back(doc.NodeOf(c));
  } else if (parent->kind == PreferenceKind::Array) {
    ElementCursor c;
    while (out.size() < limit && doc.NextElement(c, *parent)) out.push_back(doc.NodeOf(c));
  }
  return out;
}

bool Locate(const PreferenceDocument& doc, const std::vector<int>& steps, PreferenceNode& out) {
  if (!doc.FindNode(L"", out)) return false;
  for (int i : steps) {
    std::vector<PreferenceNode> kids = Children(doc, &out, size_t(i) + 1);
    if (int(kids.size()) <= i) return false;
    out = kids[size_t(i)];
  }
  return true;
}

void Queries(const PreferenceDocument& doc) {
  static const wchar_t* kPaths[] = {
      L"homepage", L"session->startup_urls", L"default_search_provider_data->template_url_data->url",
      L"extensions->settings", L"addons", L"profile->info_cache", L"", L"a->", L"->", L"engines"};
  std::wstring text;
  for (const wchar_t* path : kPaths) {
    PreferenceKind kind = doc.GetString(path, text);
    PreferenceNode node;
    Check((kind != PreferenceKind::None) == doc.FindNode(path, node) || node.kind == PreferenceKind::String);
  }
}

void ExerciseDocument(const std::wstring& text) {
  PreferenceDocument doc(text);
  const size_t size = doc.Text().size();
  Queries(doc);
  const std::vector<tavrin::FirefoxAddon> addons = tavrin::ReadFirefoxAddons(doc);
  Check(addons.size() <= tavrin::kMaxFirefoxAddons);
  for (const tavrin::FirefoxAddon& addon : addons) tavrin::IsBuiltInFirefoxAddon(addon);
  // The state of every extension a Chromium file lists, as the scan reads it.
  PreferenceNode settings;
  if (doc.FindNode(L"extensions->settings", settings) && settings.kind == PreferenceKind::Object) {
    MemberCursor member{};
    while (doc.NextMember(member, &settings)) {
      const tavrin::ChromiumExtensionState state = tavrin::ReadChromiumExtensionState(doc, doc.NodeOf(member));
      Check(state.location >= 0 && !tavrin::ExtensionStateText(state).empty());
      Check(state.active == (tavrin::ExtensionStateText(state) == L"Enabled"));
      tavrin::InstallLocationText(state.location);
    }
  }

  std::vector<Found> all;
  PreferenceNode root;
  if (doc.FindNode(L"", root)) {
    Check(root.valueEnd < size);
    all.push_back({root, {}, L"", true});
  }
  std::wstring value, key;
  for (size_t i = 0; i < all.size() && all.size() < 3000; ++i) {
    if (!Walkable(all[i].node)) continue;
    std::vector<PreferenceNode> kids = Children(doc, &all[i].node, 3000);
    for (size_t k = 0; k < kids.size(); ++k) {
      const PreferenceNode& n = kids[k];
      Check(n.valueStart <= n.valueEnd && n.valueEnd < all[i].node.valueEnd && n.valueStart > all[i].node.valueStart);
      Check(doc.ValueText(n, value) == n.kind);
      Found f{n, all[i].steps, all[i].path, all[i].pathComplete && n.isMember};
      f.steps.push_back(int(k));
      if (n.isMember) {
        MemberCursor c{n.document, n.kind, n.keyStart, n.valueStart, n.valueEnd, n.parentStart};
        Check(doc.KeyOf(c, key));
        if (key.find(L"->") != std::wstring::npos) f.pathComplete = false;
        f.path = (i == 0 ? L"" : f.path + L"->") + key;
        // A path names the first member of each key (any case); only paths
        // whose every step is that first member must lead back here.
        if (all.size() < 300) {
          PreferenceNode again;
          Check(doc.GetMember(&all[i].node, key, again));
          Check(again.keyStart <= n.keyStart);
          if (again.keyStart != n.keyStart) f.pathComplete = false;
        } else {
          f.pathComplete = false;
        }
      }
      all.push_back(f);
    }
  }
  for (size_t i = 1; i < all.size() && i < 300; ++i) {
    PreferenceNode again;
    if (all[i].pathComplete && !all[i].path.empty()) {
      Check(doc.FindNode(all[i].path, again));
      Check(again.keyStart == all[i].node.keyStart);
    }
  }

  const bool wellFormed = StrictJson(doc.Text()).Valid();
  const size_t stride = all.size() / 48 + 1;
  for (size_t i = 1; i < all.size(); i += stride) {
    PreferenceDocument copy(doc.Text());
    PreferenceNode node;
    Check(Locate(copy, all[i].steps, node));
    std::vector<int> parentSteps(all[i].steps.begin(), all[i].steps.end() - 1);
    PreferenceNode parent;
    Check(Locate(copy, parentSteps, parent));
    const size_t before = Children(copy, &parent, 100000).size();
    const bool cut = node.isMember ? copy.DeleteMember(node) : copy.DeleteElement(node);
    if (!cut) {
      Check(copy.Text() == doc.Text());
      continue;
    }
    // Only one stretch went: what stays is the original's head and tail.
    const std::wstring& after = copy.Text();
    Check(after.size() < size);
    size_t head = 0;
    while (head < after.size() && after[head] == doc.Text()[head]) ++head;
    Check(doc.Text().compare(head + (size - after.size()), std::wstring::npos, after, head, std::wstring::npos) == 0);
    // The old node belongs to a text that no longer exists.
    Check(copy.ValueText(node, value) == PreferenceKind::None);
    Check(!copy.DeleteMember(node) && !copy.DeleteElement(node));
    if (wellFormed) {
      Check(StrictJson(after).Valid());
      PreferenceNode parentAfter;
      Check(Locate(copy, parentSteps, parentAfter));
      Check(Children(copy, &parentAfter, 100000).size() + 1 == before);
    }
  }
  if (all.size() > 1 && all[1].pathComplete) {
    PreferenceDocument copy(doc.Text());
    copy.DeletePath(all[1].path);
  }
}

void ExercisePrefs(const std::wstring& text) {
  std::vector<std::wstring> names = {L"browser.startup.homepage", L"browser.search.defaultenginename",
                                     L"\"browser.startup.homepage", L"ab", L"\"\""};
  size_t at = 0;
  while (names.size() < 64 && (at = text.find(L"user_pref(\"", at)) != std::wstring::npos) {
    size_t end = text.find(L'"', at + 11);
    if (end == std::wstring::npos) break;
    names.push_back(text.substr(at + 11, end - at - 11));
    at = end;
  }
  for (const std::wstring& name : names) {
    tavrin::FirefoxPrefLine line;
    if (!tavrin::FindFirefoxPrefLine(text, name, line)) continue;
    Check(name.size() >= 3);
    Check(line.start + line.length <= text.size());
    Check(text.compare(line.start, 10, L"user_pref(") == 0);
    Check(line.start == 0 || text[line.start - 1] == L'\n');
    std::wstring without = tavrin::WithoutFirefoxPrefLine(text, line);
    Check(without.size() + line.length == text.size());
    Check(without.compare(0, line.start, text, 0, line.start) == 0);
  }
  tavrin::SearchPluginName(text);
  tavrin::UnescapeJsonString(text);
}

}  // namespace

// The repairs' element walk on every list of the root: all strings equal
// to the first one go, none of them stays, and a well-formed document
// stays well formed.
void ExerciseElements(const std::wstring& text) {
  PreferenceDocument doc(text);
  const bool wellFormed = StrictJson(text).Valid();
  std::vector<std::wstring> lists;
  MemberCursor member{};
  std::wstring key;
  while (doc.NextMember(member, nullptr) && lists.size() < 4)
    if (member.kind == PreferenceKind::Array && doc.KeyOf(member, key) && !key.empty() &&
        key.find(L"->") == std::wstring::npos)
      lists.push_back(key);
  for (const std::wstring& list : lists) {
    PreferenceNode node;
    if (!doc.FindNode(list, node) || node.kind != PreferenceKind::Array) continue;
    ElementCursor cursor{};
    std::wstring first;
    if (!doc.NextElement(cursor, node) || doc.ValueText(cursor, first) != PreferenceKind::String) continue;
    auto same = [&](const PreferenceDocument& d, const PreferenceNode& e) { return tavrin::ElementIsString(d, e, first); };
    const int cut = tavrin::DeleteMatchingElements(doc, list, same);
    Check(cut >= 0);
    if (!wellFormed) continue;
    Check(StrictJson(doc.Text()).Valid());
    Check(cut >= 1);
    if (doc.FindNode(list, node)) {
      ElementCursor after{};
      while (doc.NextElement(after, node)) Check(!same(doc, doc.NodeOf(after)));
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // Bytes as Latin-1 characters, and pairs as UTF-16 units: the two ways a
  // browser file reaches the walker after decoding.
  std::wstring narrow(data, data + size);
  ExerciseDocument(narrow);
  ExercisePrefs(narrow);
  ExerciseElements(narrow);
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    std::wstring wide;
    for (size_t i = 2; i + 1 < size; i += 2) wide.push_back(wchar_t(data[i] | (data[i + 1] << 8)));
    ExerciseDocument(wide);
  }
  return 0;
}
