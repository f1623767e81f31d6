#include "definitions/adware_definitions.h"

#include <windows.h>

#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

std::wstring AdwareKey(const std::wstring& root, const std::wstring& name) { return root + L"\\Adware\\" + name; }

bool IsAscii(const std::wstring& name) {
  for (wchar_t c : name)
    if (c >= 0x80) return false;
  return true;
}

template <typename Exists>
std::optional<std::wstring> MatchDefinition(const std::wstring& displayName, Exists exists) {
  if (displayName.empty() || displayName.find(L'\\') != std::wstring::npos) return std::nullopt;
  if (exists(displayName + L"$")) return displayName;
  std::wstring candidate = displayName;
  for (;;) {
    if (exists(candidate)) return candidate;
    // Leading words shorter than three characters ("My", "PC") would match
    // far too much on their own.
    const size_t space = candidate.rfind(L' ');
    if (space == std::wstring::npos || space < 3) return std::nullopt;
    candidate.resize(space);
  }
}

}  // namespace

std::optional<std::wstring> FindAdwareDefinition(const std::wstring& root, const std::wstring& displayName) {
  if (root.empty()) return std::nullopt;
  return MatchDefinition(displayName, [&](const std::wstring& name) { return KeyExists(AdwareKey(root, name)); });
}

AdwareNames::AdwareNames(const std::wstring& root) : root_(root) {
  if (root.empty()) return;
  RegKey adware = OpenKey(root + L"\\Adware", kRegRead);
  if (!adware) return;
  std::wstring name;
  for (DWORD index = 0; EnumSubKey(adware, index, name); ++index) {
    if (IsAscii(name))
      asciiUpper_.insert(ToUpper(name));
    else
      otherNames_.push_back(name);
    names_.push_back(name);
  }
}

bool AdwareNames::Contains(const std::wstring& name) const {
  if (root_.empty()) return false;
  if (!IsAscii(name)) return KeyExists(AdwareKey(root_, name));
  if (asciiUpper_.count(ToUpper(name))) return true;
  // The registry's own comparison, for the few names beyond ASCII.
  for (const std::wstring& other : otherNames_)
    if (CompareStringOrdinal(name.c_str(), int(name.size()), other.c_str(), int(other.size()), TRUE) == CSTR_EQUAL)
      return true;
  return false;
}

std::optional<std::wstring> FindAdwareDefinition(const AdwareNames& names, const std::wstring& displayName) {
  return MatchDefinition(displayName, [&](const std::wstring& name) { return names.Contains(name); });
}

bool DefaultCheckState(const std::wstring& root, const std::wstring& definition) {
  DWORD state = 1;
  if (!ReadDwordAt(AdwareKey(root, definition), L"_check_state_", state)) return true;
  return state != 0;
}

}  // namespace tavrin
