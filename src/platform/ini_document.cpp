#include "platform/ini_document.h"

#include <unordered_map>

#include "platform/strings.h"
#include "platform/text_file.h"

namespace tavrin {

namespace {

// Line breaks inside a key or value would split the entry into foreign lines
// (or a new section) on the next load.
std::wstring OneLine(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  return out;
}

}  // namespace

IniDocument::~IniDocument() {
  if (autoSave_ && !path_.empty()) Save();
}

bool IniDocument::IsSectionHeader(std::wstring_view line, std::wstring* name) {
  // Equivalent of the header pattern "^\[(.+)\].*" with its greedy capture,
  // without running the pattern engine for every line.
  if (line.size() < 3 || line[0] != L'[') return false;
  size_t close = line.rfind(L']');
  if (close == std::wstring_view::npos || close < 2) return false;
  if (name) name->assign(line.substr(1, close - 1));
  return true;
}

bool IniDocument::SplitEntry(std::wstring_view line, std::wstring& key, std::wstring& value) {
  if (line.empty() || line[0] == L';') return false;
  size_t eq = line.find(L'=');
  if (eq == std::wstring_view::npos || eq == 0) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

bool IniDocument::Load(const std::wstring& path, bool saveFirst) {
  if ((saveFirst || autoSave_) && !path_.empty()) Save();
  lines_.clear();
  path_ = path;
  std::wstring text;
  if (!ReadTextFile(path, text)) return false;
  // Split at "\n" and drop one "\r" before it: the same lines as splitting
  // at "\r\n" for Windows files and at "\n" for files written elsewhere, and
  // no line that swallows another when both kinds are mixed.
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    size_t pieceEnd = (end > start && text[end - 1] == L'\r') ? end - 1 : end;
    if (pieceEnd > start && text[start] != L'\r') {
      std::wstring line = Trim(std::wstring_view(text).substr(start, pieceEnd - start));
      if (!line.empty()) lines_.push_back(std::move(line));
    }
    start = end + 1;
  }
  return true;
}

bool IniDocument::Save(const std::wstring& path) {
  if (!path.empty()) path_ = path;
  if (path_.empty()) return false;
  std::wstring text;
  size_t total = 0;
  for (const auto& line : lines_) total += line.size() + 2;
  text.reserve(total);
  for (const auto& line : lines_) {
    text += line;
    text += L"\r\n";
  }
  return WriteTextFile(path_, text, TextEncoding::Utf16Le);
}

void IniDocument::Clear() {
  lines_.clear();
  path_.clear();
}

bool IniDocument::NextSection(size_t from, size_t& header, size_t& end, std::wstring& name) const {
  for (size_t i = from; i < lines_.size(); ++i) {
    if (!IsSectionHeader(lines_[i], &name)) continue;
    header = i;
    end = i + 1;
    while (end < lines_.size() && !IsSectionHeader(lines_[end])) ++end;
    return true;
  }
  return false;
}

bool IniDocument::FindSection(std::wstring_view name, size_t& header, size_t& end) const {
  if (name.empty()) return false;
  std::wstring built = L"[" + std::wstring(name) + L"]";
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::wstring& line = lines_[i];
    if (line.size() < 3 || line[0] != L'[' || !StartsWithNoCase(line, built)) continue;
    header = i;
    end = i + 1;
    while (end < lines_.size() && !IsSectionHeader(lines_[end])) ++end;
    return true;
  }
  return false;
}

size_t IniDocument::FindKeyIn(size_t header, size_t end, std::wstring_view key) const {
  for (size_t i = header + 1; i < end; ++i) {
    const std::wstring& line = lines_[i];
    if (line.size() <= key.size() || !StartsWithNoCase(line, key)) continue;
    size_t j = key.size();
    while (j < line.size() && (line[j] == L' ' || line[j] == L'\t')) ++j;
    if (j < line.size() && line[j] == L'=') return i;
  }
  return std::wstring::npos;
}

size_t IniDocument::FindKey(std::wstring_view section, std::wstring_view key) const {
  size_t header = 0, end = 0;
  if (section.empty() || key.empty() || !FindSection(section, header, end)) return std::wstring::npos;
  return FindKeyIn(header, end, key);
}

bool IniDocument::NextEntry(size_t& line, size_t end, std::wstring& key, std::wstring& value) const {
  for (size_t i = line + 1; i < end && i < lines_.size(); ++i) {
    if (SplitEntry(lines_[i], key, value)) {
      line = i;
      return true;
    }
  }
  return false;
}

std::optional<std::wstring> IniDocument::GetString(std::wstring_view section, std::wstring_view key) const {
  size_t at = FindKey(section, key);
  if (at == std::wstring::npos) return std::nullopt;
  const std::wstring& line = lines_[at];
  size_t i = line.find(L'=') + 1;
  while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
  return line.substr(i);
}

std::wstring IniDocument::GetString(std::wstring_view section, std::wstring_view key,
                                    std::wstring_view fallback) const {
  auto value = GetString(section, key);
  return value ? *value : std::wstring(fallback);
}

long long IniDocument::GetInt(std::wstring_view section, std::wstring_view key, long long fallback) const {
  auto value = GetString(section, key);
  long long number = 0;
  if (!value || !ParseDecimal(Trim(*value), number)) return fallback;
  return number;
}

size_t IniDocument::SetString(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  std::wstring cleanSection = Trim(OneLine(section)), cleanKey = Trim(OneLine(key));
  if (cleanSection.empty() || cleanKey.empty()) return 0;
  std::wstring line = Trim(cleanKey + L"=" + OneLine(value));
  size_t header = 0, end = 0;
  if (!FindSection(cleanSection, header, end)) {
    lines_.push_back(L"[" + cleanSection + L"]");
    lines_.push_back(std::move(line));
    return lines_.size();
  }
  size_t at = FindKeyIn(header, end, cleanKey);
  if (at != std::wstring::npos) {
    lines_[at] = std::move(line);
    return at + 1;
  }
  lines_.insert(lines_.begin() + std::ptrdiff_t(end), std::move(line));
  return end + 1;
}

size_t IniDocument::SetInt(std::wstring_view section, std::wstring_view key, long long value) {
  return SetString(section, key, std::to_wstring(value));
}

int IniDocument::DeleteKey(std::wstring_view section, std::wstring_view key) {
  if (section.empty() || key.empty()) return 0;
  size_t at = FindKey(section, key);
  if (at == std::wstring::npos) return 2;
  lines_.erase(lines_.begin() + std::ptrdiff_t(at));
  return 1;
}

size_t IniDocument::SetStrings(std::wstring_view section,
                               const std::vector<std::pair<std::wstring, std::wstring>>& entries) {
  std::wstring cleanSection = Trim(OneLine(section));
  if (cleanSection.empty()) return 0;
  bool plainKeys = true;
  for (const auto& entry : entries) {
    if (entry.first.find(L'=') != std::wstring::npos) plainKeys = false;
  }
  size_t header = 0, end = 0;
  if (!plainKeys || !FindSection(cleanSection, header, end)) {
    // A key with "=" matches lines of other keys; and a missing section is
    // created by the first entry: both are rare enough to go one by one.
    size_t written = 0;
    for (const auto& [key, value] : entries) written += SetString(cleanSection, key, value) != 0;
    return written;
  }
  // A line belongs to key K when its text before the first "=" is K followed
  // only by blanks; the first such line of the section is the one replaced.
  auto lineKey = [](const std::wstring& line) {
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) return std::wstring();
    size_t keyEnd = eq;
    while (keyEnd > 0 && (line[keyEnd - 1] == L' ' || line[keyEnd - 1] == L'\t')) --keyEnd;
    return ToLower(std::wstring_view(line).substr(0, keyEnd));
  };
  std::unordered_map<std::wstring, size_t> existing;
  for (size_t i = header + 1; i < end; ++i) {
    std::wstring key = lineKey(lines_[i]);
    if (!key.empty()) existing.emplace(std::move(key), i);
  }
  std::vector<std::wstring> added;
  std::unordered_map<std::wstring, size_t> addedAt;
  size_t written = 0;
  for (const auto& [key, value] : entries) {
    std::wstring cleanKey = Trim(OneLine(key));
    if (cleanKey.empty()) continue;
    std::wstring line = Trim(cleanKey + L"=" + OneLine(value));
    std::wstring lower = ToLower(cleanKey);
    ++written;
    if (auto found = existing.find(lower); found != existing.end()) {
      lines_[found->second] = std::move(line);
    } else if (auto again = addedAt.find(lower); again != addedAt.end()) {
      added[again->second] = std::move(line);
    } else {
      addedAt.emplace(std::move(lower), added.size());
      added.push_back(std::move(line));
    }
  }
  lines_.insert(lines_.begin() + std::ptrdiff_t(end), std::make_move_iterator(added.begin()),
                std::make_move_iterator(added.end()));
  return written;
}

size_t IniDocument::AppendSection(std::wstring_view section,
                                  const std::vector<std::pair<std::wstring, std::wstring>>& entries) {
  std::wstring cleanSection = Trim(OneLine(section));
  if (cleanSection.empty()) return 0;
  lines_.push_back(L"[" + cleanSection + L"]");
  const size_t header = lines_.size();
  for (const auto& [key, value] : entries) {
    std::wstring cleanKey = Trim(OneLine(key));
    if (!cleanKey.empty()) lines_.push_back(Trim(cleanKey + L"=" + OneLine(value)));
  }
  return header;
}

}  // namespace tavrin
