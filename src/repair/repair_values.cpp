#include "repair/repair_values.h"

#include "platform/registry.h"
#include "platform/registry_unlock.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

constexpr wchar_t kSystemPolicies[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

bool DeleteIfPresent(const std::wstring& key, const wchar_t* value) {
  return !KeyExists(key, value) || DeleteForced(key, value);
}

struct BlockedTool {
  const wchar_t* name;
  const wchar_t* policyValue;
};
constexpr BlockedTool kTools[] = {
    {L"TaskMgr", L"DisableTaskMgr"},
    {L"Regedit", L"DisableRegistryTools"},
    {L"Cmd", L"DisableCmd"},
};

}  // namespace

bool SetDword(const std::wstring& key, const wchar_t* value, DWORD data, bool forced) {
  return forced ? WriteDwordForced(key, value, data) : WriteDwordAt(key, value, data);
}

bool SetValueOf(const std::wstring& key, const wchar_t* value, DWORD type, const std::wstring& data, bool forced) {
  if (type == REG_DWORD) return false;
  if (type == REG_MULTI_SZ) {
    // The registry layer takes line-feed text and stores the NUL form.
    if (forced) return WriteValueForced(key, value, type, data.c_str(), 0);
    RegKey open;
    return CreateKey(open, key, value ? value : L"", type, data.c_str(), 0);
  }
  return forced ? WriteStringForced(key, value, data, type) : WriteStringAt(key, value, data, type);
}

bool RemovePolicyValue(RepairContext& context, const std::wstring& valueName) {
  bool done = true;
  const std::wstring sid = InteractiveSid(context);
  if (!sid.empty()) done &= DeleteIfPresent(L"HKU\\" + sid + kSystemPolicies, valueName.c_str());
  done &= DeleteIfPresent(std::wstring(L"HKLM") + kSystemPolicies, valueName.c_str());
  done &= DeleteIfPresent(L"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                          valueName.c_str());
  return done;
}

bool UnblockTools(RepairContext& context, const std::wstring& tool) {
  bool done = true;
  for (const BlockedTool& entry : kTools) {
    if (!tool.empty() && !EqualsNoCase(tool, entry.name)) continue;
    done &= RemovePolicyValue(context, entry.policyValue);
    const std::wstring image = std::wstring(entry.name) + L".exe";
    done &= DeleteIfPresent(L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\" +
                                image,
                            L"Debugger");
    done &= DeleteIfPresent(
        L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\" + image,
        L"Debugger");
  }
  return done;
}

}  // namespace tavrin
