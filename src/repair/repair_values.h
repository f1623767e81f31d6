#pragma once
// The registry writes and deletes the repair actions share.
#include <windows.h>

#include <string>

#include "repair/repair_context.h"

namespace tavrin {

// Create the key when needed and write the value; with `forced` through
// the unlock-and-retry write.
bool SetDword(const std::wstring& key, const wchar_t* value, DWORD data, bool forced);
bool SetValueOf(const std::wstring& key, const wchar_t* value, DWORD type, const std::wstring& data, bool forced);

// Deletes the value from the "System" policies of the interactive user and
// of the machine in both registry views. True when it is gone from all of
// them (also when it was never there).
bool RemovePolicyValue(RepairContext& context, const std::wstring& valueName);

// "TaskMgr", "Regedit" or "Cmd" (empty: all three): removes the policy
// value that disables the tool and the "Debugger" redirection of its
// executable in both registry views. True when nothing is left blocking.
bool UnblockTools(RepairContext& context, const std::wstring& tool = {});

}  // namespace tavrin
