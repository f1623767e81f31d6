#pragma once
// A browser's JSON preference file ("Preferences", "Secure Preferences",
// "master_preferences", "extensions.json") kept as the text the browser
// wrote. Queries walk the text; an edit cuts one stretch out of it, so that
// the browser gets back its own file with only the hijack missing. Nothing
// here touches the platform: the walker also builds natively for the fuzzer.
// Load and Save live with the other file operations (preference_file.cpp).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

enum class PreferenceKind : int {
  None = 0,
  Object = 1,
  Array = 2,
  String = 3,
  Integer = 4,
  Decimal = 5,
  Boolean = 6,
  Null = 7,
};

// How the file was stored; Save writes it back the same way.
enum class PreferenceEncoding {
  Utf8,     // no byte-order mark, as Chromium and Firefox write
  Utf8Bom,
  Utf16Le,
  Utf16Be,
  Ansi,
};

// How Load decodes a file without a byte-order mark.
enum class PreferenceReadMode {
  Utf8,  // every browser file
  Ansi,  // "master_preferences", read in the text layer's default mode
};

// A reference into one state of one document's text. `document` is the
// document's identity at the time the node was made; any edit or load gives
// the document a new identity, so an old node is refused even when the
// text buffer happens to stay where it was.
struct PreferenceNode {
  std::uint64_t document = 0;
  PreferenceKind kind = PreferenceKind::None;
  size_t keyStart = 0;     // opening quote of the member's key (members only)
  size_t valueStart = 0;   // first character of the value
  size_t valueEnd = 0;     // last character of the value
  size_t parentStart = 0;  // opening bracket of the object or array holding it
  bool isMember = false;
  bool isRoot = false;
};

// Iteration state; a zeroed cursor stands before the first member.
struct MemberCursor {
  std::uint64_t document = 0;
  PreferenceKind kind = PreferenceKind::None;
  size_t keyStart = 0;
  size_t valueStart = 0;
  size_t valueEnd = 0;
  size_t parentStart = 0;
};

struct ElementCursor {
  std::uint64_t document = 0;
  PreferenceKind kind = PreferenceKind::None;
  size_t valueStart = 0;
  size_t valueEnd = 0;
  size_t parentStart = 0;
};

class PreferenceDocument {
 public:
  PreferenceDocument();
  explicit PreferenceDocument(std::wstring text);

  // Reads the whole file through the text layer. A file that cannot be
  // read, is too large to be a browser's, or whose bytes would not come
  // back unchanged from its text, loads as "{}" and cannot be saved: a
  // repair then never writes a file it did not understand byte for byte.
  bool Load(const std::wstring& path, PreferenceReadMode mode = PreferenceReadMode::Utf8);
  // Writes the text in the encoding it was read in (UTF-8 without a mark
  // for a document that was not loaded) to `path`, or to the loaded path
  // when `path` is empty. Load checked that the text encodes back to the
  // bytes it read, so an unchanged document is written byte for byte.
  // The write goes through ReplaceDocument (a file beside it and one
  // rename) and keeps the file's security and attributes, and with
  // `keepTimes` its three times; a read-only file is not written.
  bool Save(const std::wstring& path = {}, bool keepTimes = false);

  const std::wstring& Text() const { return text_; }
  const std::wstring& Path() const { return path_; }
  std::uint64_t Identity() const { return identity_; }
  PreferenceEncoding Encoding() const { return encoding_; }
  bool CanSave() const { return savable_; }
  // True when Load found and read the file.
  bool WasRead() const { return read_; }
  // Replaces the text as if it had been read; the document is then savable
  // in UTF-8 to an explicit path.
  void SetText(std::wstring text);
  // The whole text replaced by an edit made outside the walker (a prefs.js
  // line); path and encoding stay, old nodes become invalid.
  void ReplaceText(std::wstring text);

  // A path is keys joined by "->"; each step is compared without regard to
  // case after the key's escapes are resolved. An empty path is the root.
  bool FindNode(std::wstring_view path, PreferenceNode& out) const;
  // A direct member of `parent` (an object node), or of the root for null.
  bool GetMember(const PreferenceNode* parent, std::wstring_view key, PreferenceNode& out) const;
  // The value text of the node at `path` (see ValueText); None on failure.
  PreferenceKind GetString(std::wstring_view path, std::wstring& out) const;
  PreferenceKind GetMemberString(const PreferenceNode* parent, std::wstring_view key, std::wstring& out) const;

  // Advance to the next member of `parent` (the root for null) or element
  // of `parent`; false after the last one or at damaged text.
  bool NextMember(MemberCursor& cursor, const PreferenceNode* parent) const;
  bool KeyOf(const MemberCursor& cursor, std::wstring& out) const;
  bool NextElement(ElementCursor& cursor, const PreferenceNode& parent) const;

  // Strings come back between their quotes with escapes resolved ("\uXXXX"
  // as that UTF-16 unit, so surrogate pairs come back whole); every other
  // kind as the raw text from its first to its last character.
  PreferenceKind ValueText(const PreferenceNode& node, std::wstring& out) const;
  PreferenceKind ValueText(const MemberCursor& cursor, std::wstring& out) const;
  PreferenceKind ValueText(const ElementCursor& cursor, std::wstring& out) const;
  PreferenceNode NodeOf(const MemberCursor& cursor) const;
  PreferenceNode NodeOf(const ElementCursor& cursor) const;

  // Cut the member (from its key) or element with one neighbouring comma;
  // the rest of the text keeps its bytes. False, with the text untouched,
  // for a stale node or one that is not where its parent says.
  bool DeleteMember(const PreferenceNode& node);
  bool DeleteElement(const PreferenceNode& node);
  bool DeletePath(std::wstring_view path);

  // The largest file Load accepts (characters); Chromium's largest
  // preference files are a few megabytes.
  static constexpr size_t kMaxText = 64u << 20;

 private:
  bool Owns(std::uint64_t identity) const { return identity == identity_; }
  // The root walked once per state of the text: every root-level query
  // would otherwise walk the whole document again.
  bool Root(PreferenceNode& out) const;
  bool Cut(const PreferenceNode& node, bool member);
  void Renew();

  std::wstring text_;
  std::wstring path_;
  std::uint64_t identity_ = 0;
  PreferenceEncoding encoding_ = PreferenceEncoding::Utf8;
  bool savable_ = true;
  bool read_ = false;
  mutable std::uint64_t rootIdentity_ = 0;
  mutable bool rootValid_ = false;
  mutable PreferenceNode root_;
};

// Escape resolution shared with the fuzzer: the characters between a
// string's quotes (exclusive) decoded.
std::wstring UnescapeJsonString(std::wstring_view inner);

}  // namespace tavrin
