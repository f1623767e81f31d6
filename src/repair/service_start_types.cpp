#include "repair/service_start_types.h"

#include <windows.h>
#include <sfc.h>

#include <cmath>

#include "filetrust/command_target.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/ini_document.h"
#include "platform/registry.h"
#include "platform/service_control.h"
#include "platform/text_file.h"
#include "repair/repair_actions.h"
#include "repair/repair_values.h"

namespace tavrin {

namespace {

constexpr wchar_t kServicesKey[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\";

// The image file of a service: its DLL for shared services, else its
// program; empty when it names none.
std::wstring ServiceImage(const std::wstring& name) {
  const std::wstring key = kServicesKey + name;
  for (const std::wstring& where : {key, key + L"\\Parameters"}) {
    const std::optional<std::wstring> dll = ReadStringAt(where, L"ServiceDll");
    if (dll && !dll->empty()) return *dll;
  }
  return ReadStringAt(key, L"ImagePath").value_or(L"");
}

// Windows 10 and 11: the start types Microsoft publishes per service in
// "Security guidelines for disabling system services in Windows
// Server" (learn.microsoft.com; Windows Server 2016 with Desktop
// Experience), with the client edition's default where it differs.
// Services whose default changed between releases are left out:
// resetting them would change a machine that is as Windows made it.
// So are those whose default differs between the client, the server
// and a domain member (Netlogon, W32Time, WinRM, RemoteRegistry,
// WSearch, SysMain): setting a domain member's Netlogon or a
// server's WinRM to manual would cut the machine off.
constexpr wchar_t kWindows10Services[] =
    L"AJRouter.STT=3\r\nALG.STT=3\r\nAppIDSvc.STT=3\r\nAppinfo.STT=3\r\nAppMgmt.STT=3\r\n"
    L"AppReadiness.STT=3\r\nAppVClient.STT=4\r\nAppXSvc.STT=3\r\nAudioEndpointBuilder.STT=2\r\n"
    L"Audiosrv.STT=2\r\nAxInstSV.STT=3\r\nBFE.STT=2\r\nBITS.STT=3\r\nBrokerInfrastructure.STT=2\r\n"
    L"bthserv.STT=3\r\nCertPropSvc.STT=3\r\nCOMSysApp.STT=3\r\nCoreMessagingRegistrar.STT=2\r\n"
    L"CryptSvc.STT=2\r\nDcomLaunch.STT=2\r\nDeviceInstall.STT=3\r\nDhcp.STT=2\r\nDnscache.STT=2\r\n"
    L"dot3svc.STT=3\r\nDPS.STT=2\r\nDsmSvc.STT=3\r\nEaphost.STT=3\r\nEFS.STT=3\r\nEventLog.STT=2\r\n"
    L"EventSystem.STT=2\r\nfdPHost.STT=3\r\nFDResPub.STT=3\r\nFontCache.STT=2\r\nhidserv.STT=3\r\n"
    L"iphlpsvc.STT=2\r\nKeyIso.STT=3\r\nKtmRm.STT=3\r\nLanmanServer.STT=2\r\n"
    L"LanmanWorkstation.STT=2\r\nlltdsvc.STT=3\r\nlmhosts.STT=3\r\nLSM.STT=2\r\nMpsSvc.STT=2\r\n"
    L"MSDTC.STT=3\r\nMSiSCSI.STT=3\r\nmsiserver.STT=3\r\nNcaSvc.STT=3\r\nNcbService.STT=3\r\n"
    L"Netman.STT=3\r\nnetprofm.STT=3\r\nNetTcpPortSharing.STT=4\r\nNlaSvc.STT=2\r\n"
    L"nsi.STT=2\r\nPcaSvc.STT=2\r\nPerfHost.STT=3\r\npla.STT=3\r\nPlugPlay.STT=3\r\n"
    L"PolicyAgent.STT=3\r\nPower.STT=2\r\nProfSvc.STT=2\r\nQWAVE.STT=3\r\nRasAuto.STT=3\r\n"
    L"RasMan.STT=3\r\nRemoteAccess.STT=4\r\nRpcEptMapper.STT=2\r\n"
    L"RpcLocator.STT=3\r\nRpcSs.STT=2\r\nSamSs.STT=2\r\nSchedule.STT=2\r\nseclogon.STT=3\r\n"
    L"SENS.STT=2\r\nSensrSvc.STT=3\r\nSessionEnv.STT=3\r\nSharedAccess.STT=3\r\n"
    L"ShellHWDetection.STT=2\r\nSpooler.STT=2\r\nsppsvc.STT=2\r\nsppsvc.DAS=1\r\nSSDPSRV.STT=3\r\n"
    L"SstpSvc.STT=3\r\nstisvc.STT=3\r\nswprv.STT=3\r\nSystemEventsBroker.STT=2\r\n"
    L"TapiSrv.STT=3\r\nTermService.STT=3\r\nThemes.STT=2\r\nTrkWks.STT=2\r\n"
    L"TrustedInstaller.STT=3\r\ntzautoupdate.STT=4\r\nUevAgentService.STT=4\r\nupnphost.STT=3\r\n"
    L"UserManager.STT=2\r\nVaultSvc.STT=3\r\nvds.STT=3\r\nVSS.STT=3\r\n"
    L"wbengine.STT=3\r\nWbioSrvc.STT=3\r\nWcmsvc.STT=2\r\nWdiServiceHost.STT=3\r\n"
    L"WdiSystemHost.STT=3\r\nWecsvc.STT=3\r\nWerSvc.STT=3\r\nWiaRpc.STT=3\r\nWinDefend.STT=2\r\n"
    L"WinHttpAutoProxySvc.STT=3\r\nWinmgmt.STT=2\r\nwmiApSrv.STT=3\r\n"
    L"WPDBusEnum.STT=3\r\nWpnService.STT=2\r\nwscsvc.STT=2\r\nwscsvc.DAS=1\r\n"
    L"wuauserv.STT=3\r\nwudfsvc.STT=3\r\n";

}  // namespace

const std::wstring& StartTypeTableText() {
  // Windows' documented default start configuration. Windows XP to 8.1:
  // the services malware disables or turns off to keep itself in place
  // (update, security, firewall, management, restore), as Microsoft's
  // service references for those releases give their defaults.
  static const std::wstring text =
      L"[WIN.51]\r\n"
      L"BITS.STT=3\r\nCryptSvc.STT=2\r\nDhcp.STT=2\r\nDnscache.STT=2\r\nEventLog.STT=2\r\nRpcSs.STT=2\r\n"
      L"Schedule.STT=2\r\nSharedAccess.STT=2\r\nSpooler.STT=2\r\nsrservice.STT=2\r\nVSS.STT=3\r\n"
      L"winmgmt.STT=2\r\nwscsvc.STT=2\r\nwuauserv.STT=2\r\n"
      L"[WIN.60]\r\n"
      L"BFE.STT=2\r\nBITS.STT=2\r\nBITS.DAS=1\r\nCryptSvc.STT=2\r\nDhcp.STT=2\r\nDnscache.STT=2\r\n"
      L"EventLog.STT=2\r\nMpsSvc.STT=2\r\nRpcSs.STT=2\r\nSchedule.STT=2\r\nSpooler.STT=2\r\nVSS.STT=3\r\n"
      L"WinDefend.STT=2\r\nWinmgmt.STT=2\r\nwscsvc.STT=2\r\nwscsvc.DAS=1\r\nwuauserv.STT=2\r\nwuauserv.DAS=1\r\n"
      L"[WIN.61]\r\n"
      L"BFE.STT=2\r\nBITS.STT=2\r\nBITS.DAS=1\r\nCryptSvc.STT=2\r\nDhcp.STT=2\r\nDnscache.STT=2\r\n"
      L"EventLog.STT=2\r\nMpsSvc.STT=2\r\nRpcSs.STT=2\r\nSchedule.STT=2\r\nSpooler.STT=2\r\nVSS.STT=3\r\n"
      L"WinDefend.STT=2\r\nWinmgmt.STT=2\r\nwscsvc.STT=2\r\nwscsvc.DAS=1\r\nwuauserv.STT=2\r\nwuauserv.DAS=1\r\n"
      L"[WIN.63]\r\n"
      L"BFE.STT=2\r\nBITS.STT=2\r\nBITS.DAS=1\r\nCryptSvc.STT=2\r\nDhcp.STT=2\r\nDnscache.STT=2\r\n"
      L"EventLog.STT=2\r\nMpsSvc.STT=2\r\nRpcSs.STT=2\r\nSchedule.STT=2\r\nSpooler.STT=2\r\nVSS.STT=3\r\n"
      L"WinDefend.STT=2\r\nWinmgmt.STT=2\r\nwscsvc.STT=2\r\nwscsvc.DAS=1\r\nwuauserv.STT=3\r\n"
      L"[WIN.100]\r\n" + std::wstring(kWindows10Services) +
      // Windows 11: the same published configuration.
      L"[WIN.110]\r\n" + kWindows10Services;
  return text;
}

std::wstring StartTypeSection(double windowsVersion) {
  return L"WIN." + std::to_wstring(static_cast<long long>(std::lround(windowsVersion * 10)));
}

int ResetStartTypesWith(RepairContext& context, const std::wstring& tablePath,
                        const std::function<bool(const std::wstring& imageFile)>& isWindowsFile, int* failed) {
  IniDocument table(tablePath);
  const std::wstring section = StartTypeSection(context.windowsVersion);
  int repaired = 0;
  for (const std::wstring& name : InstalledServiceNames()) {
    if (CheckCancel(context)) return -1;
    const long long start = table.GetInt(section, name + L".STT", 6);
    const long long delayed = table.GetInt(section, name + L".DAS", -1);
    if (start >= 6 && delayed == -1) continue;
    const std::wstring image = ServiceImage(name);
    if (image.empty() || !isWindowsFile(image)) continue;
    const std::wstring key = kServicesKey + name;
    DWORD current = 0;
    if (!ReadDwordAt(key, L"Start", current)) continue;
    DWORD currentDelayedValue = 0;
    const long long currentDelayed = ReadDwordAt(key, L"DelayedAutostart", currentDelayedValue)
                                         ? (long long)currentDelayedValue
                                         : -1;
    const bool startDiffers = start < 6 && start != (long long)current;
    const bool delayedDiffers = delayed != -1 && delayed != currentDelayed;
    if (!startDiffers && !delayedDiffers) continue;
    const DWORD wantedStart = start < 6 ? DWORD(start) : current;
    if (SetServiceStartType(name, wantedStart, delayedDiffers ? int(delayed) : -1))
      ++repaired;
    else if (failed)
      ++*failed;
  }
  return repaired;
}

int ResetServiceStartTypes(RepairContext& context) {
  ShowRepairStatus(context, L"Resetting Windows protected services...");
  if (CheckCancel(context)) return -1;
  const std::wstring tablePath = context.dataFolder + L"\\svcstates.ini";
  const std::wstring& text = StartTypeTableText();
  // The byte-order mark and two bytes a character.
  const unsigned long long size = 2 * (text.size() + 1);
  if (!FileExists(tablePath) || FileSize(tablePath) != size) WriteTextFile(tablePath, text, TextEncoding::Utf16Le);
  const SystemFolders folders{context.systemDrive, context.windowsFolder, context.systemFolder, context.is64Bit};
  int failed = 0;
  const int repaired = ResetStartTypesWith(
      context, tablePath,
      [&folders](const std::wstring& image) {
        std::wstring file = image;
        return ResolveCommandTargetInPlace(file, folders) && SfcIsFileProtected(nullptr, file.c_str());
      },
      &failed);
  RemoveFile(tablePath, 0);
  if (repaired < 0) return -1;
  if (failed > 0) {
    RepairLog(context, L"Reset Windows services result: ", std::to_wstring(failed),
              L" hijacked services could not be repaired.");
    return 0;
  }
  if (repaired == 0) {
    // The result is the count, so the removal report reads this as failed.
    RepairLog(context, L"Reset Windows services result: No hijacked services found.");
    return 0;
  }
  if (repaired == 1)
    RepairLog(context, L"Reset Windows services result: One hijacked service repaired.");
  else
    RepairLog(context, L"Reset Windows services result: ", std::to_wstring(repaired), L" hijacked services repaired.");
  return repaired;
}

}  // namespace tavrin
