#pragma once
// What the repair actions run in: the machine's facts, the interactive
// user, where progress and outcome texts go, the cancel flag, and the data
// folder that receives backups and the platform's repair logs. The actions
// never touch a window: the removal (or a test) supplies the sinks.
#include <functional>
#include <string>

#include "platform/run_control.h"
#include "platform/users.h"

namespace tavrin {

struct RepairContext {
  double windowsVersion = 0;
  bool is64Bit = false;
  std::wstring systemFolder;   // "C:\Windows\system32"
  std::wstring windowsFolder;  // "C:\Windows"
  std::wstring systemDrive;    // "C:"
  std::wstring dataFolder;     // the program's data folder
  InteractiveUser* interactiveUser = nullptr;
  // The progress window's current operation and its detail line; either
  // may be empty.
  std::function<void(const std::wstring&)> showStatus;
  std::function<void(const std::wstring&)> showDetail;
  // The optional repair log: every outcome text is appended to it.
  std::function<void(const std::wstring&)> log;
  // Cancel of the progress window; may be null (nothing cancels).
  CancelFlags* cancel = nullptr;
};

// Fills the machine's facts (version, bitness, folders) for the calling
// process; the sinks, the user and the data folder are the caller's.
RepairContext MachineRepairContext();

// The action's current operation in the progress window.
void ShowRepairStatus(RepairContext& context, const std::wstring& text);
// Joins the texts, shows them as the detail line and appends them to the
// repair log when there is one.
void RepairLog(RepairContext& context, const std::wstring& a, const std::wstring& b = {}, const std::wstring& c = {},
               const std::wstring& d = {});
// Dispatches the thread's pending messages and answers whether Cancel was
// pressed.
bool CheckCancel(RepairContext& context);

// The interactive user's SID; empty when it is not known.
std::wstring InteractiveSid(RepairContext& context);

}  // namespace tavrin
