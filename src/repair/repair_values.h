#pragma once
// The registry writes and deletes the repair actions share.
#include <windows.h>

#include <string>

#include "platform/service_control.h"
#include "repair/repair_context.h"

namespace tavrin {

// The access a repair gives a key that refuses it before trying once more:
// owner BUILTIN\Administrators, the administrators and the system full
// control, users read, and whatever the parent passes down. Unlike the
// removal's unlock it never opens a key to everybody. With `tree`, the
// keys below get it too. The key must exist.
bool RestoreKeyAccess(const std::wstring& key, bool tree);

// Create the key when needed and write the value; with `forced` a refused
// write restores the key's access (or its parent's when the key is
// missing) and tries once more.
bool SetDword(const std::wstring& key, const wchar_t* value, DWORD data, bool forced);
bool SetValueOf(const std::wstring& key, const wchar_t* value, DWORD type, const std::wstring& data, bool forced);

// Deletes the value (or, without a value name, the key with its tree; a
// root never), restoring the access once when refused. True when it is
// gone, also when it was never there.
bool DeleteForRepair(const std::wstring& key, const wchar_t* value = nullptr);

// Deletes the value from the "System" policies of the interactive user and
// of the machine in both registry views. True when it is gone from all of
// them (also when it was never there).
bool RemovePolicyValue(RepairContext& context, const std::wstring& valueName);

// "TaskMgr", "Regedit" or "Cmd" (empty: all three): removes the policy
// value that disables the tool and the "Debugger" redirection of its
// executable in both registry views. True when nothing is left blocking.
bool UnblockTools(RepairContext& context, const std::wstring& tool = {});

// Stops or starts the service and waits for it (every 22 ms, at most 200
// times), testing Cancel: 1 done, 0 failed or timed out, -1 cancelled.
int ControlNamedService(RepairContext& context, const std::wstring& service, ServiceCommand command);
// Sets the start type (and, unless -1, the delayed automatic start).
bool SetServiceStartType(const std::wstring& service, DWORD startType, int delayed = -1);

}  // namespace tavrin
