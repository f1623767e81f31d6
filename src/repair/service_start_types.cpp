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

}  // namespace

const std::wstring& StartTypeTableText() {
  // Windows' documented default start configuration of the services the
  // repairs care about: the ones malware disables or turns off to keep
  // itself in place (update, security, firewall, management, restore).
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
      L"[WIN.100]\r\n"
      L"AJRouter.STT=3\r\nAppVClient.STT=4\r\nAudioEndpointBuilder.STT=2\r\nAudiosrv.STT=2\r\nBFE.STT=2\r\n"
      L"BITS.STT=3\r\nCryptSvc.STT=2\r\nDhcp.STT=2\r\nDnscache.STT=2\r\nEventLog.STT=2\r\nMpsSvc.STT=2\r\n"
      L"RpcSs.STT=2\r\nSchedule.STT=2\r\nSpooler.STT=2\r\nVSS.STT=3\r\nWinDefend.STT=2\r\nWinmgmt.STT=2\r\n"
      L"wscsvc.STT=2\r\nwscsvc.DAS=1\r\nwuauserv.STT=3\r\n"
      L"[WIN.110]\r\n"
      L"AJRouter.STT=3\r\nAppVClient.STT=4\r\nAudioEndpointBuilder.STT=2\r\nAudiosrv.STT=2\r\nBFE.STT=2\r\n"
      L"BITS.STT=3\r\nCryptSvc.STT=2\r\nDhcp.STT=2\r\nDnscache.STT=2\r\nEventLog.STT=2\r\nMpsSvc.STT=2\r\n"
      L"RpcSs.STT=2\r\nSchedule.STT=2\r\nSpooler.STT=2\r\nVSS.STT=3\r\nWinDefend.STT=2\r\nWinmgmt.STT=2\r\n"
      L"wscsvc.STT=2\r\nwscsvc.DAS=1\r\nwuauserv.STT=3\r\n";
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
    // Nothing differed from Windows' own configuration: nothing to fix.
    RepairLog(context, L"Reset Windows services result: No hijacked services found.");
    return 1;
  }
  if (repaired == 1)
    RepairLog(context, L"Reset Windows services result: One hijacked service repaired.");
  else
    RepairLog(context, L"Reset Windows services result: ", std::to_wstring(repaired), L" hijacked services repaired.");
  return repaired;
}

}  // namespace tavrin
