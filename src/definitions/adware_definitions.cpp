#include "definitions/adware_definitions.h"

#include "platform/registry.h"

namespace tavrin {

namespace {

std::wstring AdwareKey(const std::wstring& root, const std::wstring& name) { return root + L"\\Adware\\" + name; }

}  // namespace

std::optional<std::wstring> FindAdwareDefinition(const std::wstring& root, const std::wstring& displayName) {
  if (root.empty() || displayName.empty() || displayName.find(L'\\') != std::wstring::npos) return std::nullopt;
  if (KeyExists(AdwareKey(root, displayName + L"$"))) return displayName;
  std::wstring candidate = displayName;
  for (;;) {
    if (KeyExists(AdwareKey(root, candidate))) return candidate;
    // Leading words shorter than three characters ("My", "PC") would match
    // far too much on their own.
    const size_t space = candidate.rfind(L' ');
    if (space == std::wstring::npos || space < 3) return std::nullopt;
    candidate.resize(space);
  }
}

bool DefaultCheckState(const std::wstring& root, const std::wstring& definition) {
  DWORD state = 1;
  if (!ReadDwordAt(AdwareKey(root, definition), L"_check_state_", state)) return true;
  return state != 0;
}

}  // namespace tavrin
