#include "repair/repair_context.h"

#include "filetrust/system_folders.h"
#include "platform/message_pump.h"
#include "platform/windows_version.h"

namespace tavrin {

RepairContext MachineRepairContext() {
  RepairContext context;
  const SystemFolders folders = FindSystemFolders();
  context.windowsVersion = WindowsVersion();
  context.is64Bit = folders.is64Bit;
  context.systemFolder = folders.system;
  context.windowsFolder = folders.windows;
  context.systemDrive = folders.systemDrive;
  return context;
}

void ShowRepairStatus(RepairContext& context, const std::wstring& text) {
  if (context.showStatus) context.showStatus(text);
}

void RepairLog(RepairContext& context, const std::wstring& a, const std::wstring& b, const std::wstring& c,
               const std::wstring& d) {
  const std::wstring text = a + b + c + d;
  if (text.empty()) return;
  if (context.showDetail) context.showDetail(text);
  if (context.log) context.log(text);
}

bool CheckCancel(RepairContext& context) {
  DispatchPendingMessages();
  return context.cancel && context.cancel->Cancelled();
}

std::wstring InteractiveSid(RepairContext& context) {
  return context.interactiveUser ? context.interactiveUser->Sid() : std::wstring();
}

}  // namespace tavrin
