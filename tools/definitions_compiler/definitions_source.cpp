#include "definitions_source.h"

#include <algorithm>
#include <set>

#include "platform/find_files.h"
#include "platform/pattern.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/text_file.h"

namespace tavrin::definitions_tool {

namespace {

enum class Section { None, Invalid, Database, Adware, Malware, WhiteList, IeWhiteList };

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

// "name = rest": false without "=".
bool SplitAssignment(const std::wstring& line, std::wstring& name, std::wstring& rest) {
  const size_t equals = line.find(L'=');
  if (equals == std::wstring::npos) return false;
  name = Trim(std::wstring_view(line).substr(0, equals));
  rest = Trim(std::wstring_view(line).substr(equals + 1));
  return true;
}

bool ValidKeyName(const std::wstring& name) {
  return !name.empty() && name.size() <= 255 && name.find(L'\\') == std::wstring::npos;
}

bool ValidRecord(const std::wstring& record) {
  if (EqualsNoCase(record, L"FP")) return true;
  static const Pattern recordPattern(L"^(.+)\\.(\\d+)\\.(\\d+)$");
  PatternMatch match;
  if (!recordPattern.Match(record, match)) return false;
  long long score = 0;
  return ParseDecimal(match.Group(3), score) && score <= 100;
}

}  // namespace

const std::vector<std::wstring>& WhiteListKeys() {
  static const std::vector<std::wstring> keys = {
      L"WhiteList\\Microsoft Edge Extensions", L"WhiteList\\Chrome Extensions", L"WhiteList\\Firefox Extensions",
      L"WhiteList\\OCB Extensions",            L"WhiteList\\OFB Extensions",
  };
  return keys;
}

bool ParseDefinitions(const std::wstring& text, const std::wstring& origin, DefinitionsSource& source,
                      std::vector<std::wstring>& errors) {
  const size_t errorsBefore = errors.size();
  Section section = Section::None;
  WhiteListSection* whiteList = nullptr;
  size_t lineNumber = 0;
  for (const std::wstring& rawLine : Split(text, L"\n")) {
    ++lineNumber;
    const std::wstring line = Trim(rawLine);
    if (line.empty() || line[0] == L'#') continue;
    auto fail = [&](const std::wstring& problem) {
      errors.push_back(origin + L"(" + std::to_wstring(lineNumber) + L"): " + problem);
    };

    if (line[0] == L'[') {
      const std::wstring name = line.back() == L']' ? Trim(std::wstring_view(line).substr(1, line.size() - 2)) : L"";
      section = Section::Invalid;
      if (EqualsNoCase(name, L"Database")) section = Section::Database;
      if (EqualsNoCase(name, L"Adware")) section = Section::Adware;
      if (EqualsNoCase(name, L"Malware")) section = Section::Malware;
      if (EqualsNoCase(name, L"IEWhiteL")) section = Section::IeWhiteList;
      const std::vector<std::wstring>& keys = WhiteListKeys();
      for (size_t i = 0; i < keys.size(); ++i) {
        if (!EqualsNoCase(name, keys[i])) continue;
        section = Section::WhiteList;
        if (source.whiteLists.size() != keys.size()) {
          source.whiteLists.clear();
          for (const std::wstring& key : keys) source.whiteLists.push_back({key, {}});
        }
        whiteList = &source.whiteLists[i];
      }
      if (section == Section::Invalid) fail(L"unknown section " + line);
      continue;
    }

    std::wstring name, rest;
    switch (section) {
      case Section::Invalid:
        break;  // reported at its header
      case Section::None:
        fail(L"a definition before the first section");
        break;
      case Section::Database: {
        long long number = 0;
        if (!SplitAssignment(line, name, rest) || !EqualsNoCase(name, L"Number") || !ParseDecimal(rest, number) ||
            number < 1 || number > 0xFFFFFFFFll) {
          fail(L"expected \"Number = \" and a number from 1 to 4294967295");
        } else {
          source.number = uint32_t(number);
        }
        break;
      }
      case Section::Adware: {
        AdwareDefinition definition;
        name = line;
        const size_t bar = line.rfind(L'|');
        if (bar != std::wstring::npos) {
          name = Trim(std::wstring_view(line).substr(0, bar));
          if (!EqualsNoCase(Trim(std::wstring_view(line).substr(bar + 1)), L"unchecked")) {
            fail(L"the only option after \"|\" is \"unchecked\"");
            break;
          }
          definition.unchecked = true;
        }
        if (!ValidKeyName(name)) {
          fail(L"a program name of 1 to 255 characters without \"\\\"");
          break;
        }
        definition.name = name;
        source.adware.push_back(definition);
        break;
      }
      case Section::Malware: {
        if (!SplitAssignment(line, name, rest)) {
          fail(L"expected \"hash = record\"");
          break;
        }
        if (name.size() < 32 || name.size() > 64 || !std::all_of(name.begin(), name.end(), IsHexDigit)) {
          fail(L"a hash is 32 to 64 hexadecimal digits");
          break;
        }
        if (!ValidRecord(rest)) {
          fail(L"a record is \"Name.days.score\" with a score up to 100, or \"FP\"");
          break;
        }
        source.malware.push_back({ToUpper(name), EqualsNoCase(rest, L"FP") ? std::wstring(L"FP") : rest});
        break;
      }
      case Section::WhiteList:
      case Section::IeWhiteList: {
        if (!SplitAssignment(line, name, rest)) {
          name = line;
          rest.clear();
        }
        if (section == Section::IeWhiteList && !IsGuidKeyName(name)) {
          fail(L"an Internet Explorer add-on is named by its braced GUID");
          break;
        }
        if (name.empty()) {
          fail(L"an empty name");
          break;
        }
        (section == Section::IeWhiteList ? source.ieWhiteList : whiteList->entries).push_back({name, rest});
        break;
      }
    }
  }
  return errors.size() == errorsBefore;
}

bool ReadDefinitionsFolder(const std::wstring& folder, DefinitionsSource& source, std::vector<std::wstring>& errors) {
  std::vector<std::wstring> names;
  FindFiles find(folder + L"\\*.txt");
  while (find.Next()) {
    if (!find.IsFolder()) names.push_back(find.Name());
  }
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return ToLower(a) < ToLower(b);
  });
  if (names.empty()) errors.push_back(folder + L": no *.txt source files");
  bool ok = !names.empty();
  for (const std::wstring& name : names) {
    std::wstring text;
    if (!ReadTextFile(folder + L"\\" + name, text, TextEncoding::Utf8)) {
      errors.push_back(folder + L"\\" + name + L": cannot be read");
      ok = false;
      continue;
    }
    ok = ParseDefinitions(text, name, source, errors) && ok;
  }
  if (source.number == 0) {
    errors.push_back(folder + L": no [Database] Number");
    ok = false;
  }

  // Twice the same name is almost always an editing mistake.
  auto duplicates = [&](const std::wstring& what, const std::vector<std::wstring>& list) {
    std::set<std::wstring> seen;
    for (const std::wstring& name : list) {
      if (!seen.insert(ToLower(name)).second) {
        errors.push_back(what + L": \"" + name + L"\" is listed twice");
        ok = false;
      }
    }
  };
  std::vector<std::wstring> list;
  for (const AdwareDefinition& d : source.adware) list.push_back(d.name);
  duplicates(L"Adware", list);
  list.clear();
  for (const HashDefinition& d : source.malware) list.push_back(d.hash);
  duplicates(L"Malware", list);
  for (const WhiteListSection& section : source.whiteLists) {
    list.clear();
    for (const NamedEntry& e : section.entries) list.push_back(e.name);
    duplicates(section.key, list);
  }
  list.clear();
  for (const NamedEntry& e : source.ieWhiteList) list.push_back(e.name);
  duplicates(L"IEWhiteL", list);
  return ok;
}

}  // namespace tavrin::definitions_tool
