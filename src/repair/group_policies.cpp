// The reset of the local group policies: the policy folders and keys go
// (saved first), then the values Windows itself installs are written back.
#include <windows.h>

#include <vector>

#include "platform/file_removal.h"
#include "platform/registry.h"
#include "repair/immunisation.h"
#include "repair/repair_actions.h"
#include "repair/repair_backup.h"
#include "repair/repair_values.h"

namespace tavrin {

namespace {

struct PolicyDword {
  const wchar_t* key;  // below the user's root or a machine path
  const wchar_t* value;
  DWORD data;
};

constexpr wchar_t kMachinePolicies[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies";

// Per user, below "HKU\" + SID.
constexpr PolicyDword kUserDefaults[] = {
    {L"\\Software\\Policies\\Microsoft\\Internet Explorer\\Main", L"DisableFirstRunCustomize", 1},
    {L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies", L"Allow Programmatic Cut_Copy_Paste", 0},
    {L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\ActiveDesktop", L"NoChangingWallpaper", 0},
    {L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", L"NoDriveTypeAutoRun", 145},
    {L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", L"NoViewContextMenu", 0},
};

constexpr PolicyDword kMachineDefaults[] = {
    {L"\\NonEnum", L"{BDEADF00-C265-11D0-BCED-00A0C90AB50F}", 1},
    {L"\\NonEnum", L"{6DFD7C5C-2451-11d3-A299-00C04F8EF6AF}", 32},
    {L"\\NonEnum", L"{0DF44EAA-FF21-4412-828E-260A8728E7F1}", 32},
    {L"\\System", L"dontdisplaylastusername", 0},
    {L"\\System", L"shutdownwithoutlogon", 1},
    {L"\\System", L"undockwithoutlogon", 1},
    {L"\\System", L"EnableVirtualization", 1},
    {L"\\System", L"EnableInstallerDetection", 1},
    {L"\\System", L"EnableSecureUIAPaths", 1},
    {L"\\System", L"ValidateAdminCodeSignatures", 0},
    {L"\\System", L"EnableUIADesktopToggle", 0},
    {L"\\System", L"EnableCursorSuppression", 1},
    {L"\\System", L"ConsentPromptBehaviorUser", 3},
    {L"\\System", L"FilterAdministratorToken", 0},
    {L"\\System", L"PromptOnSecureDesktop", 1},
    {L"\\System", L"ConsentPromptBehaviorAdmin", 5},
    {L"\\System", L"EnableLUA", 1},
    {L"\\System", L"scforceoption", 0},
    {L"\\System\\UIPI\\Clipboard\\ExceptionFormats", L"CF_UNICODETEXT", 13},
    {L"\\System\\UIPI\\Clipboard\\ExceptionFormats", L"CF_DIBV5", 17},
    {L"\\System\\UIPI\\Clipboard\\ExceptionFormats", L"CF_PALETTE", 9},
    {L"\\System\\UIPI\\Clipboard\\ExceptionFormats", L"CF_BITMAP", 2},
    {L"\\System\\UIPI\\Clipboard\\ExceptionFormats", L"CF_TEXT", 1},
    {L"\\System\\UIPI\\Clipboard\\ExceptionFormats", L"CF_DIB", 8},
    {L"\\System\\UIPI\\Clipboard\\ExceptionFormats", L"CF_OEMTEXT", 7},
    {L"\\ActiveDesktop", L"NoComponents", 1},
    {L"\\ActiveDesktop", L"NoAddingComponents", 1},
    {L"\\Explorer", L"ForceActiveDesktopOn", 0},
    {L"\\Explorer", L"NoActiveDesktopChanges", 1},
    {L"\\Explorer", L"NoActiveDesktop", 1},
    {L"\\Explorer", L"NoRecentDocsHistory", 0},
};

// The keys the reset deletes.
std::vector<std::wstring> PolicyKeys(RepairContext& context, const std::wstring& sid) {
  std::vector<std::wstring> keys;
  if (!sid.empty()) keys.push_back(L"HKU\\" + sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies");
  keys.push_back(kMachinePolicies);
  keys.push_back(L"HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows NT");
  keys.push_back(L"HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows");
  if (context.is64Bit) {
    keys.push_back(L"HKLM\\SOFTWARE\\Wow6432Node\\Policies\\Microsoft\\Windows NT");
    keys.push_back(L"HKLM\\SOFTWARE\\Wow6432Node\\Policies\\Microsoft\\Windows");
  }
  return keys;
}

}  // namespace

int ResetGroupPolicies(RepairContext& context) {
  ShowRepairStatus(context, L"Resetting the Group Policies...");
  if (CheckCancel(context)) return -1;
  const std::wstring sid = InteractiveSid(context);
  std::vector<std::wstring> present;
  for (const std::wstring& key : PolicyKeys(context, sid))
    if (KeyExists(key)) present.push_back(key);
  std::wstring backup;
  if (!present.empty()) {
    backup = BackupKeys(context, present, L"Policies");
    if (backup.empty()) {
      RepairLog(context, L"Failed to reset the local Group Policy.", L" The policies could not be saved in ",
                context.dataFolder, L".");
      return 0;
    }
  }
  const std::optional<UserList> lifted = LiftProtection(context, kImmunizedPolicies);
  bool done = true;
  const std::wstring groupPolicy = context.systemFolder + L"\\GroupPolicy";
  for (const wchar_t* part : {L"\\User", L"\\Machine", L"\\Adm\\conf.adm", L"\\Adm\\inetres.adm",
                              L"\\Adm\\system.adm", L"\\Adm\\wmplayer.adm", L"\\Adm\\wuau.adm"})
    done &= RemoveFileObject(groupPolicy + part, 0) != RemovalResult::Failed;
  for (const std::wstring& key : present) done &= DeleteForRepair(key);

  if (!sid.empty())
    for (const PolicyDword& entry : kUserDefaults) done &= SetDword(L"HKU\\" + sid + entry.key, entry.value, entry.data, true);
  for (const PolicyDword& entry : kMachineDefaults)
    done &= SetDword(std::wstring(kMachinePolicies) + entry.key, entry.value, entry.data, true);
  const std::wstring system = std::wstring(kMachinePolicies) + L"\\System";
  done &= SetValueOf(system, L"legalnoticecaption", REG_SZ, L"", true);
  done &= SetValueOf(system, L"legalnoticetext", REG_SZ, L"", true);
  done &= SetDword(L"HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\Installer", L"EnableAdminTSRemote", 1, true);
  done &= SetValueOf(L"HKLM64\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"Shell", REG_SZ,
                     L"Explorer.exe", true);
  if (context.is64Bit)
    done &= SetValueOf(L"HKLM32\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"Shell", REG_SZ,
                       L"Explorer.exe", true);
  const std::wstring svchost = L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Svchost";
  done &= SetValueOf(svchost, L"GPSvcGroup", REG_MULTI_SZ, L"GPSvc", true);
  done &= SetDword(svchost + L"\\GPSvcGroup", L"AuthenticationCapabilities", 12320, true);
  done &= SetDword(svchost + L"\\GPSvcGroup", L"CoInitializeSecurityParam", 1, true);
  if (lifted) ApplyProtection(context, kImmunizedPolicies, true, *lifted);
  if (!done) {
    RepairLog(context, L"Failed to reset the local Group Policy.");
    return 0;
  }
  if (backup.empty())
    RepairLog(context, L"Successfully reset the local Group Policy.");
  else
    RepairLog(context, L"Successfully reset the local Group Policy.", L" The previous policies were saved as ", backup,
              L".");
  return 1;
}

}  // namespace tavrin
