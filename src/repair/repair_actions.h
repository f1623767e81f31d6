#pragma once
// The optional system repairs of the Malware tab, each selected by the
// exact name of its row. Every action returns a number: above 0 success,
// 0 failure (also for an action that cannot run on this Windows version),
// below 0 cancelled by the user.
#include <string>

#include "repair/repair_context.h"

namespace tavrin {

// Runs the action the row name selects; 0 for a name that selects none.
int RunRepairAction(RepairContext& context, const std::wstring& rowName);

int EmptyTempFolders(RepairContext& context);
int RunSfcScan(RepairContext& context);
int RunDism(RepairContext& context);
enum NetworkNameParts : unsigned { kResetDns = 0x1, kResetHosts = 0x2 };
int ResetNetworkNames(RepairContext& context, unsigned parts);
int ResetIpWinsockProxy(RepairContext& context);
int ResetFirewall(RepairContext& context);
int ResetSubSystems(RepairContext& context);
int ResetServiceStartTypes(RepairContext& context);
int ResetGroupPolicies(RepairContext& context);
int ResetPermissions(RepairContext& context);
int CancelPrintJobs(RepairContext& context);
int RepairWmiAndRestore(RepairContext& context);
int RepairWindowsUpdate(RepairContext& context);
int RaiseHungAppTimeout(RepairContext& context);
int ResetStore(RepairContext& context);
int RepairUserProfiles(RepairContext& context);

}  // namespace tavrin
