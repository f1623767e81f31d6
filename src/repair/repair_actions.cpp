#include "repair/repair_actions.h"

#include "platform/strings.h"

namespace tavrin {

namespace {

struct RepairRow {
  const wchar_t* name;
  int (*action)(RepairContext&);
};

int ResetDns(RepairContext& context) { return ResetNetworkNames(context, kResetDns); }
int ResetHosts(RepairContext& context) { return ResetNetworkNames(context, kResetHosts); }

constexpr RepairRow kRows[] = {
    {L"Empty temporary folders", EmptyTempFolders},
    {L"Run an SFC scan", RunSfcScan},
    {L"Repair Windows with DISM", RunDism},
    {L"Reset the DNS settings", ResetDns},
    {L"Reset the hosts file", ResetHosts},
    {L"Reset IP, Winsock and proxy", ResetIpWinsockProxy},
    {L"Reset and fix the Windows firewall", ResetFirewall},
    {L"Reset the SubSystems registry key", ResetSubSystems},
    {L"Reset Windows services' start types", ResetServiceStartTypes},
    {L"Reset the group policies", ResetGroupPolicies},
    {L"Reset registry and file permissions", ResetPermissions},
    {L"Reset all print jobs", CancelPrintJobs},
    {L"Fix the WMI & the System restore", RepairWmiAndRestore},
    {L"Fix and enable Windows update", RepairWindowsUpdate},
    {L"Fix Applications not responding", RaiseHungAppTimeout},
    {L"Fix the Windows store and Metro apps", ResetStore},
    {L"Fix corrupted user profiles", RepairUserProfiles},
};

}  // namespace

int RunRepairAction(RepairContext& context, const std::wstring& rowName) {
  for (const RepairRow& row : kRows)
    if (rowName == row.name) return row.action(context);
  return 0;
}

}  // namespace tavrin
