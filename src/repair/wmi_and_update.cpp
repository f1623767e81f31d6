// The repairs of Windows' management, restore and update services: their
// files re-registered, their services set to start, and the result read
// back from the services themselves (a WMI query, System Restore's Enable,
// the update agent), so that the outcome says what really works.
#include <windows.h>
#include <shlobj.h>
// The update agent's class and interface identifiers are defined here.
#include <initguid.h>
#include <wuapi.h>

#include <initializer_list>
#include <vector>

#include "platform/com_ptr.h"
#include "platform/com_scope.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/service_control.h"
#include "platform/shell_folders.h"
#include "platform/wmi_query.h"
#include "repair/repair_actions.h"
#include "repair/repair_console.h"
#include "repair/permissions.h"
#include "repair/repair_values.h"

namespace tavrin {

namespace {

constexpr DWORD kRegistrationSeconds = 5;

// regsvr32 for each DLL that is there, each waited for a few seconds: a
// registration takes well under one, and one that hangs is left to end
// on its own rather than cut off halfway.
bool RegisterDlls(RepairContext& context, const std::wstring& folder, std::initializer_list<const wchar_t*> names) {
  for (const wchar_t* name : names) {
    if (CheckCancel(context)) return false;
    const std::wstring path = folder + L"\\" + name;
    if (!FileExists(path)) continue;
    const DWORD pid = RegisterComDll(path);
    if (!pid) continue;
    UniqueProcess process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid));
    if (process && WaitForTool(context, process.get(), kRegistrationSeconds, false) == kConsoleCancelled)
      return false;
  }
  return true;
}

int RepairWmi(RepairContext& context) {
  ShowRepairStatus(context, L"Repairing the Windows Management Instrumentation (WMI)...");
  if (CheckCancel(context)) return -1;
  // A repository the service cannot open is often only a locked installer
  // key or temporary folder.
  ResetInstallerAccess(context);
  if (context.windowsVersion < 6.2) ResetTempFolderAccess(context);
  if (CheckCancel(context)) return -1;
  const std::wstring wbem = context.systemFolder + L"\\wbem";
  UniqueProcessInformation salvage;
  if (StartSystemTool(context, L"wbem\\winmgmt.exe", L"/salvagerepository", SW_HIDE, salvage) &&
      WaitForTool(context, salvage.process.get(), kConsoleDefaultSeconds) == kConsoleCancelled)
    return -1;
  if (!RegisterDlls(context, wbem,
                    {L"wbemcons.dll", L"wbemcore.dll", L"wbemess.dll", L"wbemsvc.dll", L"wmiprvsd.dll", L"wmisvc.dll",
                     L"wmiutils.dll"}))
    return -1;
  SetServiceStartType(L"Winmgmt", SERVICE_AUTO_START);
  SetServiceStartType(L"wmiApSrv", SERVICE_DEMAND_START);
  if (CheckCancel(context)) return -1;
  const bool works = WmiQueryCount(L"ROOT\\CIMV2", L"SELECT * FROM Win32_OperatingSystem") > 0;
  RepairLog(context, works ? L"Successfully repaired" : L"Failed to repair",
            L" the Windows Management Instrumentation (WMI).");
  return works ? 1 : 0;
}

bool RepairRestore(RepairContext& context, int& result) {
  ShowRepairStatus(context, L"Repairing and enabling the System Restore...");
  if (CheckCancel(context)) return false;
  for (const wchar_t* winlogon : {L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                                  L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"})
    if (KeyExists(winlogon)) SetDword(winlogon, L"SFCDisable", 0, false);
  const std::wstring restore = L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SystemRestore";
  for (const std::wstring& key : {std::wstring(L"HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows NT\\SystemRestore"),
                                  restore})
    DeleteForRepair(key, L"DisableSR");
  SetDword(restore, L"RPSessionInterval", 1, true);
  SetServiceStartType(L"srservice", SERVICE_AUTO_START);
  SetServiceStartType(L"RpcSs", SERVICE_AUTO_START);
  SetServiceStartType(L"VSS", SERVICE_DEMAND_START);
  if (ControlNamedService(context, context.windowsVersion < 6.0 ? L"srservice" : L"VSS", ServiceCommand::Start) <
      0)
    return false;
  const bool enabled = WmiCallStatic(L"root\\default", L"SystemRestore", L"Enable", L"Drive", L"");
  RepairLog(context, enabled ? L"Successfully repaired and enabled" : L"Failed to repair and enable",
            L" the System Restore.");
  if (enabled) result += 2;
  return true;
}

// The automatic-updates object: each step that succeeds adds one.
int EnableAutomaticUpdates() {
  ComScope com;
  ComPtr<IAutomaticUpdates> updates;
  if (FAILED(CoCreateInstance(CLSID_AutomaticUpdates, nullptr, CLSCTX_ALL, IID_IAutomaticUpdates, updates.PutVoid())))
    return 0;
  int done = SUCCEEDED(updates->EnableService()) ? 1 : 0;
  ComPtr<IAutomaticUpdatesSettings> settings;
  if (SUCCEEDED(updates->get_Settings(settings.Put())) && settings &&
      SUCCEEDED(settings->put_NotificationLevel(aunlScheduledInstallation)) && SUCCEEDED(settings->Save()))
    ++done;
  updates->Resume();
  return done;
}

}  // namespace

int RepairWmiAndRestore(RepairContext& context) {
  // Cancelled before the WMI test nothing is reached; later, the result
  // so far.
  int result = RepairWmi(context);
  if (result < 0) return -1;
  RepairRestore(context, result);
  return result;
}

int RepairWindowsUpdate(RepairContext& context) {
  ShowRepairStatus(context, L"Fixing and enabling Windows Update,\r\nRegistering files...");
  if (CheckCancel(context)) return -1;
  if (ControlNamedService(context, L"bits", ServiceCommand::Stop) < 0) return -1;
  if (ControlNamedService(context, L"wuauserv", ServiceCommand::Stop) < 0) return -1;
  RemoveFileObject(ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Microsoft\\Network\\Downloader\\qmgr*.dat", RemovalKeepTopFolder);
  if (!RegisterDlls(context, context.systemFolder,
                    {L"atl.dll",      L"urlmon.dll",   L"mshtml.dll",   L"browseui.dll", L"shdocvw.dll",
                     L"jscript.dll",  L"vbscript.dll", L"scrrun.dll",   L"msxml.dll",    L"msxml3.dll",
                     L"msxml6.dll",   L"actxprxy.dll", L"softpub.dll",  L"wintrust.dll", L"dssenh.dll",
                     L"rsaenh.dll",   L"gpkcsp.dll",   L"sccbase.dll",  L"slbcsp.dll",   L"cryptdlg.dll",
                     L"oleaut32.dll", L"ole32.dll",    L"shell32.dll",  L"initpki.dll",  L"wuapi.dll",
                     L"wuaueng.dll",  L"wuaueng1.dll", L"wucltui.dll",  L"wups.dll",     L"wups2.dll",
                     L"wuweb.dll",    L"qmgr.dll",     L"qmgrprxy.dll", L"wucltux.dll",  L"muweb.dll",
                     L"wuwebv.dll"}))
    return -1;
  ShowRepairStatus(context, L"Fixing and enabling Windows Update,\r\nRepairing Windows Update...");
  struct Command {
    const wchar_t* tool;
    const wchar_t* arguments;
  };
  std::vector<Command> commands = {{L"netsh.exe", L"winsock reset"}};
  commands.push_back(context.windowsVersion < 6.0 ? Command{L"proxycfg.exe", L"-d"}
                                                  : Command{L"netsh.exe", L"winhttp reset proxy"});
  commands.push_back({L"bitsadmin.exe", L"/reset /allusers"});
  for (const Command& command : commands)
    if (RunConsole(context, command.tool, command.arguments, 60) == kConsoleCancelled) return -1;
  if (ControlNamedService(context, L"bits", ServiceCommand::Start) < 0) return -1;
  const int started = ControlNamedService(context, L"wuauserv", ServiceCommand::Start);
  if (started < 0) return -1;
  int count = started > 0 ? 1 : 0;
  ShowRepairStatus(context, L"Fixing and enabling Windows Update,\r\nEnabling Windows Update...");
  count += EnableAutomaticUpdates();
  if (count < 2) {
    const std::wstring service = L"HKLM\\SYSTEM\\CurrentControlSet\\services\\wuauserv";
    // Only an installed update service gets its values.
    if (KeyExists(service)) {
      if (context.windowsVersion < 6.0) {
        const std::wstring au = L"HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate\\AU";
        count += SetDword(au, L"NoAutoUpdate", 0, true) ? 1 : 0;
        count += SetDword(au, L"AUOptions", 5, true) ? 1 : 0;
      } else {
        count += SetDword(service, L"DelayedAutoStart", 1, true) ? 1 : 0;
        count += SetDword(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update",
                          L"AUOptions", 4, true)
                     ? 1
                     : 0;
      }
      count += SetDword(service, L"Start", SERVICE_AUTO_START, true) ? 1 : 0;
    }
  }
  RepairLog(context, count ? L"Successfully repaired the Windows Update service."
                           : L"Failed to repair the Windows Update service.");
  return count;
}

int CancelPrintJobs(RepairContext& context) {
  ShowRepairStatus(context, L"Cancelling all print jobs, for all printers...");
  if (CheckCancel(context)) return -1;
  const int printers = WmiCallOnEach(L"Root\\CIMV2", L"Select * From Win32_Printer", L"CancelAllJobs");
  if (printers <= 0) {
    RepairLog(context, L"Failed to reset all print jobs. No printers found");
    return 0;
  }
  RepairLog(context, L"Successfully cancelled all print jobs, for all installed printers.");
  return printers;
}

}  // namespace tavrin
