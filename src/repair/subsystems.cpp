#include "repair/subsystems.h"

#include "platform/registry.h"
#include "repair/immunisation.h"
#include "repair/repair_actions.h"
#include "repair/repair_backup.h"
#include "repair/repair_values.h"

namespace tavrin {

namespace {

constexpr wchar_t kSubSystemsKey[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems";

}  // namespace

std::wstring SubSystemsWindowsCommand(double windowsVersion, bool is64Bit) {
  const std::wstring section = is64Bit                 ? L"1024,20480,768"
                               : windowsVersion < 6.0  ? L"1024,3072,512"
                                                       : L"1024,12288,512";
  if (windowsVersion < 6.1)
    return L"%SystemRoot%\\system32\\csrss.exe  ObjectDirectory=\\Windows SharedSection=" + section +
           L" Windows=On SubSystemType=Windows ServerDll=basesrv,1 ServerDll=winsrv:UserServerDllInitialization,3 "
           L"ServerDll=winsrv:ConServerDllInitialization,2 ProfileControl=Off MaxRequestThreads=16";
  std::wstring command = L"%SystemRoot%\\system32\\csrss.exe ObjectDirectory=\\Windows SharedSection=" + section +
                         L" Windows=On SubSystemType=Windows ServerDll=basesrv,1 "
                         L"ServerDll=winsrv:UserServerDllInitialization,3";
  if (windowsVersion < 6.15)
    command += L" ServerDll=winsrv:ConServerDllInitialization,2 ServerDll=sxssrv,4 ProfileControl=Off "
               L"MaxRequestThreads=16";
  else
    command += L" ServerDll=sxssrv,4 ProfileControl=Off MaxRequestThreads=16";
  return command;
}

std::vector<SubSystemsValue> SubSystemsDefaults(double windowsVersion, bool is64Bit) {
  std::vector<SubSystemsValue> values = {
      {L"Debug", REG_EXPAND_SZ, L""},
      {L"Posix", REG_EXPAND_SZ, L"%SystemRoot%\\system32\\psxss.exe"},
      {L"Optional", REG_MULTI_SZ, L"Posix"},
      {L"Required", REG_MULTI_SZ, L"Debug\nWindows"},
  };
  if (windowsVersion < 6.0) {
    values.push_back({L"Kmode", REG_EXPAND_SZ, L"%SystemRoot%\\system32\\win32k.sys"});
  } else {
    values.push_back({L"", REG_SZ, L"mnmsrvc"});
    values.push_back({L"Kmode", REG_EXPAND_SZ, L"\\SystemRoot\\System32\\win32k.sys"});
  }
  // The shared section's text is part of "Windows" on every version.
  values.push_back({L"Windows", REG_EXPAND_SZ, SubSystemsWindowsCommand(windowsVersion, is64Bit)});
  return values;
}

int ResetSubSystems(RepairContext& context) {
  if (context.windowsVersion > 11.0) return 0;
  ShowRepairStatus(context, L"Repairing the SubSystems registry key...");
  if (CheckCancel(context)) return -1;
  if (!KeyExists(kSubSystemsKey)) {
    RepairLog(context, L"Failed to repair the \"SubSystems\" registry key.");
    return 0;
  }
  const std::wstring backup = BackupKeys(context, {kSubSystemsKey}, L"SubSystems");
  if (backup.empty()) {
    RepairLog(context, L"Failed to repair the \"SubSystems\" registry key.", L" It could not be saved in ",
              context.dataFolder, L".");
    return 0;
  }
  const std::optional<UserList> lifted = LiftProtection(context, kImmunizedSubSystems);
  int written = 0;
  RegKey key = OpenKey(kSubSystemsKey, KEY_SET_VALUE);
  if (!key && RestoreKeyAccess(kSubSystemsKey, false)) key = OpenKey(kSubSystemsKey, KEY_SET_VALUE);
  if (key) {
    for (const SubSystemsValue& value : SubSystemsDefaults(context.windowsVersion, context.is64Bit))
      written += WriteValue(key, value.name, value.type, value.data.c_str(), 0) ? 1 : 0;
    if (context.windowsVersion < 6.0) written += WriteDword(key, L"CsrSrvSharedSectionBase", 0x7F6F0000) ? 1 : 0;
  }
  key.Close();
  if (lifted) ApplyProtection(context, kImmunizedSubSystems, true, *lifted);
  if (written == 0) {
    RepairLog(context, L"Failed to repair the \"SubSystems\" registry key.");
    return 0;
  }
  RepairLog(context, L"Successfully repaired the \"SubSystems\" registry key.", L" The previous values were saved as ",
            backup, L".");
  return 1;
}

}  // namespace tavrin
