#include "repair/repair_values.h"

#include <optional>
#include <vector>

#include "platform/access_list.h"
#include "platform/registry.h"
#include "platform/registry_unlock.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

constexpr wchar_t kSystemPolicies[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

// The key itself when it exists, else its nearest existing parent below
// the root; empty when there is none.
std::wstring ExistingKeyOrParent(const std::wstring& key) {
  std::wstring at = key;
  while (!KeyExists(at)) {
    std::wstring parent, last;
    if (!SplitLastComponent(at, parent, last)) return {};
    at = parent;
  }
  const RegPathParts parts = ParseRegPath(at);
  return parts && !parts.subkey.empty() ? at : std::wstring();
}

bool WriteOnce(const std::wstring& key, const wchar_t* value, DWORD type, const void* data) {
  RegKey open;
  return CreateKey(open, key, value ? value : L"", type, data, 0);
}

bool WriteWithRetry(const std::wstring& key, const wchar_t* value, DWORD type, const void* data, bool forced) {
  if (WriteOnce(key, value, type, data)) return true;
  if (!forced) return false;
  const std::wstring target = ExistingKeyOrParent(key);
  return !target.empty() && RestoreKeyAccess(target, false) && WriteOnce(key, value, type, data);
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

bool RestoreKeyAccess(const std::wstring& key, bool tree) {
  const RegPathParts parts = ParseRegPath(key);
  if (!parts || parts.subkey.empty()) return false;
  const std::optional<std::wstring> name = SecurityObjectName(key);
  if (!name) return false;
  const std::vector<AccessEntry> entries = {{kSidAdministrators, GENERIC_ALL, CONTAINER_INHERIT_ACE},
                                            {kSidLocalSystem, GENERIC_ALL, CONTAINER_INHERIT_ACE},
                                            {kSidUsers, GENERIC_READ, CONTAINER_INHERIT_ACE}};
  return ApplyAccessList(*name, SE_REGISTRY_KEY, entries, kSidAdministrators, tree ? unsigned(ApplyTree) : 0u) ==
         ERROR_SUCCESS;
}

bool SetDword(const std::wstring& key, const wchar_t* value, DWORD data, bool forced) {
  return WriteWithRetry(key, value, REG_DWORD, &data, forced);
}

bool SetValueOf(const std::wstring& key, const wchar_t* value, DWORD type, const std::wstring& data, bool forced) {
  if (type == REG_DWORD) return false;
  // REG_MULTI_SZ goes in its line-feed form; the registry layer stores NULs.
  return WriteWithRetry(key, value, type, data.c_str(), forced);
}

bool DeleteForRepair(const std::wstring& key, const wchar_t* value) {
  if (!KeyExists(key, value)) return true;
  auto remove = [&key, value] { return value ? DeleteValueAt(key, value) : DeleteKeyTree(key); };
  if (remove()) return true;
  return RestoreKeyAccess(key, value == nullptr) && remove();
}

bool RemovePolicyValue(RepairContext& context, const std::wstring& valueName) {
  bool done = true;
  const std::wstring sid = InteractiveSid(context);
  if (!sid.empty()) done &= DeleteForRepair(L"HKU\\" + sid + kSystemPolicies, valueName.c_str());
  done &= DeleteForRepair(std::wstring(L"HKLM") + kSystemPolicies, valueName.c_str());
  done &= DeleteForRepair(L"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                          valueName.c_str());
  return done;
}

bool UnblockTools(RepairContext& context, const std::wstring& tool) {
  bool done = true;
  for (const BlockedTool& entry : kTools) {
    if (!tool.empty() && !EqualsNoCase(tool, entry.name)) continue;
    done &= RemovePolicyValue(context, entry.policyValue);
    const std::wstring image = std::wstring(entry.name) + L".exe";
    done &= DeleteForRepair(L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\" +
                                image,
                            L"Debugger");
    done &= DeleteForRepair(
        L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\" + image,
        L"Debugger");
  }
  return done;
}

int ControlNamedService(RepairContext& context, const std::wstring& service, ServiceCommand command) {
  return ControlServiceAndWait(service, command, [&context] { return CheckCancel(context); });
}

bool SetServiceStartType(const std::wstring& service, DWORD startType, int delayed) {
  return ChangeServiceStart(service, startType, delayed);
}

}  // namespace tavrin
