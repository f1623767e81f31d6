#include "repair/network_repair.h"

#include <windows.h>

#include <vector>

#include "platform/document_file.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/service_control.h"
#include "repair/immunisation.h"
#include "repair/repair_actions.h"
#include "repair/repair_backup.h"
#include "repair/repair_console.h"
#include "repair/repair_values.h"

namespace tavrin {

namespace {

bool WriteHostsFile(const std::wstring& path, const std::string& text) {
  // A read-only or hidden hosts file is replaced as well, and the new one
  // has plain attributes; its security stays, as a rewrite in place kept it.
  return text.size() > 10 && ReplaceDocument(path, text, DocumentKeepSecurity | DocumentReplaceReadOnly);
}

int ResetHostsFile(RepairContext& context) {
  ShowRepairStatus(context, L"Resetting the hosts file...");
  if (CheckCancel(context)) return -1;
  const std::wstring hosts = context.systemFolder + L"\\drivers\\etc\\hosts";
  std::wstring backup;
  if (FileExists(hosts)) {
    backup = BackupFile(context, hosts, L"hosts", L"");
    if (backup.empty()) {
      RepairLog(context, L"Failed to reset the HOSTS file.", L" Its copy could not be saved in ", context.dataFolder,
                L".");
      return 0;
    }
  }
  const std::optional<UserList> lifted = LiftProtection(context, kImmunizedHosts);
  const bool written = WriteHostsFile(hosts, DefaultHostsText());
  if (lifted) ApplyProtection(context, kImmunizedHosts, true, *lifted);
  if (!written) {
    RepairLog(context, L"Failed to reset the HOSTS file.");
    return 0;
  }
  if (backup.empty())
    RepairLog(context, L"Successfully reset the HOSTS file.");
  else
    RepairLog(context, L"Successfully reset the HOSTS file.", L" The previous file was saved as ", backup, L".");
  return 1;
}

int ResetDnsCache(RepairContext& context) {
  ShowRepairStatus(context, L"Resetting the DNS cache...");
  if (CheckCancel(context)) return -1;
  if (ControlNamedService(context, L"dnscache", ServiceCommand::Stop) < 0) return -1;
  const long long flushed = RunConsole(context, L"ipconfig.exe", L"/flushdns", 60);
  if (flushed == kConsoleCancelled) return -1;
  if (ControlNamedService(context, L"dnscache", ServiceCommand::Start) < 0) return -1;
  const std::wstring sid = InteractiveSid(context);
  if (!sid.empty())
    SetDword(L"HKU\\" + sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
             L"GlobalUserOffline", 0, true);
  if (flushed != 0) {
    RepairLog(context, L"Failed to reset the DNS cache.");
    return 0;
  }
  RepairLog(context, L"Successfully reset the DNS cache.");
  return 2;
}

}  // namespace

std::string DefaultHostsText() {
  return "# Copyright (c) 1993-2009 Microsoft Corp.\r\n"
         "#\r\n"
         "# This is a sample HOSTS file used by Microsoft TCP/IP for Windows.\r\n"
         "#\r\n"
         "# This file contains the mappings of IP addresses to host names. Each\r\n"
         "# entry should be kept on an individual line. The IP address should\r\n"
         "# be placed in the first column followed by the corresponding host name.\r\n"
         "# The IP address and the host name should be separated by at least one\r\n"
         "# space.\r\n"
         "#\r\n"
         "# Additionally, comments (such as these) may be inserted on individual\r\n"
         "# lines or following the machine name denoted by a '#' symbol.\r\n"
         "#\r\n"
         "# For example:\r\n"
         "#\r\n"
         "#      102.54.94.97     rhino.acme.com          # source server\r\n"
         "#       38.25.63.10     x.acme.com              # x client host\r\n"
         "\r\n"
         "# localhost name resolution is handled within DNS itself.\r\n"
         "  127.0.0.1       localhost\r\n";
}

int ResetNetworkNames(RepairContext& context, unsigned parts) {
  int result = 0;
  if (parts & kResetHosts) {
    result = ResetHostsFile(context);
    if (result < 0) return result;
  }
  if (parts & kResetDns) result = ResetDnsCache(context);
  return result;
}

int ResetIpWinsockProxy(RepairContext& context) {
  ShowRepairStatus(context, L"Resetting IP, Winsock and Proxy settings...");
  if (CheckCancel(context)) return -1;
  UnblockTools(context);
  struct Step {
    const wchar_t* tool;
    const wchar_t* arguments;
    DWORD seconds;
    bool needed;  // its failure fails the action
  };
  std::vector<Step> steps = {{L"netsh.exe", L"int ip reset resetlog.txt", 10, true},
                             {L"ipconfig.exe", L"/release", 30, false},
                             {L"ipconfig.exe", L"/renew", 30, false},
                             {L"netsh.exe", L"winsock reset catalog", 30, true}};
  if (context.windowsVersion >= 6.0) {
    steps.push_back({L"ipconfig.exe", L"/release6", 30, false});
    steps.push_back({L"ipconfig.exe", L"/renew6", 30, false});
    steps.push_back({L"netsh.exe", L"winhttp reset proxy", 30, true});
  } else {
    steps.push_back({L"proxycfg.exe", L"-d", 30, true});
  }
  bool failed = false;
  for (const Step& step : steps) {
    DWORD exitCode = 1;
    const int ended = RunConsoleTimed(context, step.tool, step.arguments, step.seconds, &exitCode);
    if (ended == -1) return -1;
    // Release and renew fail on adapters without DHCP, which is no fault.
    if (step.needed && (ended != 1 || exitCode != 0)) failed = true;
  }
  if (failed) {
    RepairLog(context, L"Failed to reset IP, Winsock and Proxy settings.");
    return 0;
  }
  RepairLog(context, L"Successfully reset IP, Winsock and Proxy settings.");
  return 1;
}

int ResetFirewall(RepairContext& context) {
  ShowRepairStatus(context, L"Fixing and reset the Windows Firewall...");
  if (CheckCancel(context)) return -1;
  std::vector<std::wstring> policyKeys = {L"HKLM\\SOFTWARE\\Policies\\Microsoft\\WindowsFirewall"};
  if (context.is64Bit) policyKeys.push_back(L"HKLM\\SOFTWARE\\Wow6432Node\\Policies\\Microsoft\\WindowsFirewall");
  std::vector<std::wstring> present;
  for (const std::wstring& key : policyKeys)
    if (KeyExists(key)) present.push_back(key);
  // The reset deletes the policies at its end; when they cannot be saved
  // first, nothing of the firewall is touched at all, so that the user can
  // still go back to the configuration they had.
  std::wstring backup;
  if (!present.empty()) {
    backup = BackupKeys(context, present, L"FirewallPolicies");
    if (backup.empty()) {
      RepairLog(context, L"Failed to repair the Windows Firewall.",
                L" Its policies could not be saved, so nothing was changed.");
      return 0;
    }
  }
  int done = 0;
  InstallInf(context, context.windowsFolder + L"\\inf\\netrass.inf");
  DWORD exitCode = 1;
  int ended = RunConsoleTimed(context, L"netsh.exe", L"firewall reset", 30, &exitCode);
  if (ended == -1) return -1;
  if (ended == 1 && exitCode == 0) ++done;
  std::wstring service = L"SharedAccess";
  if (context.windowsVersion >= 6.0) {
    service = L"MpsSvc";
    exitCode = 1;
    ended = RunConsoleTimed(context, L"netsh.exe", L"advfirewall reset", 30, &exitCode);
    if (ended == -1) return -1;
    if (ended == 1 && exitCode == 0) ++done;
  }
  // Only an installed service gets its start value: a key written here for
  // a service that is not there would be a broken service entry.
  const std::wstring serviceKey = L"HKLM\\SYSTEM\\CurrentControlSet\\services\\" + service;
  if (KeyExists(serviceKey)) {
    if (SetDword(serviceKey, L"Start", SERVICE_AUTO_START, true)) ++done;
    if (SetServiceStartType(service, SERVICE_AUTO_START)) ++done;
    const int started = ControlNamedService(context, service, ServiceCommand::Start);
    if (started < 0) return -1;
    if (started > 0) ++done;
  }
  if (SetDword(L"HKLM\\SOFTWARE\\Microsoft\\Security Center\\Svc", L"FirewallOverride", 0, false)) ++done;
  if (!present.empty()) {
    for (const std::wstring& key : present) DeleteForRepair(key);
    RepairLog(context, L"Removed the Windows Firewall policies, saved as ", backup, L".");
  }
  if (done < 2) {
    RepairLog(context, L"Failed to repair the Windows Firewall.");
    return 0;
  }
  RepairLog(context, L"Successfully repaired the Windows Firewall.");
  return 1;
}

}  // namespace tavrin
