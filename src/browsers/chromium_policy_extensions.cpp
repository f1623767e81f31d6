#include "browsers/chromium_policy_extensions.h"

#include <windows.h>

#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

bool NamesExtension(const std::wstring& data, const std::wstring& id) {
  const std::wstring entry = Trim(data);
  return !id.empty() && StartsWithNoCase(entry, id) && (entry.size() == id.size() || entry[id.size()] == L';');
}

}  // namespace

std::vector<std::wstring> ForcelistValuesNaming(const std::wstring& policyKey, const std::wstring& id) {
  std::vector<std::wstring> names;
  RegKey list = OpenKey(policyKey + L"\\ExtensionInstallForcelist", kRegRead);
  if (!list) return names;
  std::wstring name, data;
  DWORD type = 0, length = 0;
  for (DWORD index = 0; EnumValue(list, index, name, type, length); ++index)
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && ReadString(list, name.c_str(), data) && NamesExtension(data, id))
      names.push_back(name);
  return names;
}

bool PolicyKeyForcesExtension(const std::wstring& policyKey, const std::wstring& id) {
  if (!ForcelistValuesNaming(policyKey, id).empty()) return true;
  std::wstring settings;
  return !id.empty() && ReadStringAt(policyKey, L"ExtensionSettings", settings) &&
         FindNoCase(settings, id) != std::wstring::npos &&
         (FindNoCase(settings, L"force_installed") != std::wstring::npos ||
          FindNoCase(settings, L"normal_installed") != std::wstring::npos);
}

}  // namespace tavrin
