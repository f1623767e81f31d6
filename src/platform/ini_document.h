#pragma once
// The line-preserving INI document behind the settings, whitelist and
// details files. Comments, foreign lines and the order of entries survive a
// load and save; only blank lines and surrounding white space are dropped.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(const std::wstring& path) { Load(path); }
  ~IniDocument();
  IniDocument(const IniDocument&) = delete;
  IniDocument& operator=(const IniDocument&) = delete;

  // Saves first when asked or when marked for auto-save. False when the file
  // cannot be read; the document is then empty but keeps the path.
  bool Load(const std::wstring& path, bool saveFirst = false);
  void MarkAutoSave() { autoSave_ = true; }
  bool IsAutoSave() const { return autoSave_; }
  // Writes UTF-16LE with a byte-order mark; an empty path uses the remembered one.
  bool Save(const std::wstring& path = {});
  void Clear();

  const std::wstring& Path() const { return path_; }
  const std::vector<std::wstring>& Lines() const { return lines_; }

  std::optional<std::wstring> GetString(std::wstring_view section, std::wstring_view key) const;
  std::wstring GetString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback) const;
  // The default also when the value is not a decimal number.
  long long GetInt(std::wstring_view section, std::wstring_view key, long long fallback) const;

  // Returns the 1-based line written, 0 for an empty section or key.
  size_t SetString(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  size_t SetInt(std::wstring_view section, std::wstring_view key, long long value);
  // 1 removed, 2 section or key missing, 0 empty arguments.
  int DeleteKey(std::wstring_view section, std::wstring_view key);
  // SetString for many keys of one section, walking the document once
  // instead of once per key; the lines come out as the calls one by one
  // would leave them. Returns how many entries were written.
  size_t SetStrings(std::wstring_view section, const std::vector<std::pair<std::wstring, std::wstring>>& entries);
  // Appends a header and its entries at the end without looking for a
  // section of that name: for writers that know the section is new, which
  // would otherwise pay a walk over the whole document for every entry.
  // Entries with an empty key are skipped. Returns the 1-based header line,
  // 0 for an empty section name.
  size_t AppendSection(std::wstring_view section,
                       const std::vector<std::pair<std::wstring, std::wstring>>& entries);

  // Section enumeration: the next header line at or after `from`; `end` is
  // the line after its last line and `name` the text between the brackets.
  bool NextSection(size_t from, size_t& header, size_t& end, std::wstring& name) const;
  // The section of that name: header line and end. False when missing.
  bool FindSection(std::wstring_view name, size_t& header, size_t& end) const;
  // Entry enumeration: the next entry line after `line` and before `end`,
  // split into its trimmed key and value; `line` moves to it.
  bool NextEntry(size_t& line, size_t end, std::wstring& key, std::wstring& value) const;
  // Line index of the first entry of the key within the section, or npos.
  size_t FindKey(std::wstring_view section, std::wstring_view key) const;

  // A line matching "^\[(.+)\].*": its name is the text up to the last "]".
  static bool IsSectionHeader(std::wstring_view line, std::wstring* name = nullptr);
  // Splits an entry line (not a comment, "=" after the first character).
  static bool SplitEntry(std::wstring_view line, std::wstring& key, std::wstring& value);

 private:
  size_t FindKeyIn(size_t header, size_t end, std::wstring_view key) const;

  std::wstring path_;
  std::vector<std::wstring> lines_;
  bool autoSave_ = false;
};

}  // namespace tavrin
