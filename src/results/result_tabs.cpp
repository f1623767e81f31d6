#include "results/result_tabs.h"

namespace tavrin {

namespace {

constexpr TabInfo kTabs[kTabCount] = {
    {L"Programs", L"Name\nPublisher\nUser name", 3, {-250, 130, 100, 0}, false, L"msiexec.exe"},
    {L"Autostart", L"Name\nUser name\nPath", 3, {200, 100, 500, 0}, true, L""},
    {L"Internet browsers", L"Name\nUser name\nPath/URL", 3, {200, 100, 500, 0}, true, L""},
    {L"Malware", L"Item\nThreat level\nMalware type\nModified in", 4, {420, 80, 110, 120}, true, L""},
};

constexpr GroupInfo kGroups[] = {
    {kGroupRegistryAutostart, kAutostartTab, L"Registry autostart entries"},
    {kGroupStartupFolder, kAutostartTab, L"Startup folder items"},
    {kGroupScheduledTasks, kAutostartTab, L"Scheduled tasks (root folder only)"},
    {kGroupAppInitDlls, kAutostartTab, L"AppInit_DLLs"},
    {kGroupDnsHijackers, kAutostartTab, L"DNS hijackers"},
    {kGroupEdgeUwpStartPages, kBrowsersTab, L"Edge (UWP) Startup and Home Pages"},
    {kGroupEdgeUwpSearchProviders, kBrowsersTab, L"Edge (UWP) Search Providers"},
    {kGroupEdgeUwpShortcuts, kBrowsersTab, L"Edge (UWP) non-standard Shortcuts"},
    {kGroupEdgeUwpExtensions, kBrowsersTab, L"Edge (UWP) extensions"},
    {kGroupEdgeUwpPolicies, kBrowsersTab, L"Edge (UWP) Group Policies"},
    {kGroupEdgeUwpResetOptions, kBrowsersTab, L"Edge (UWP) reset options"},
    {kGroupEdgeStartPages, kBrowsersTab, L"MS Edge's Startup and Home Pages"},
    {kGroupEdgeSearchProviders, kBrowsersTab, L"MS Edge's Search Providers"},
    {kGroupEdgeShortcuts, kBrowsersTab, L"MS Edge's non-standard Shortcuts"},
    {kGroupEdgeExtensions, kBrowsersTab, L"MS Edge's extensions"},
    {kGroupEdgePolicies, kBrowsersTab, L"MS Edge's Group Policies"},
    {kGroupEdgeResetOptions, kBrowsersTab, L"MS Edge's reset options"},
    {kGroupIeStartPages, kBrowsersTab, L"Internet Explorer Home And Search Pages"},
    {kGroupIeSearchProviders, kBrowsersTab, L"Internet Explorer Search Providers"},
    {kGroupIeAddOns, kBrowsersTab, L"Internet Explorer Ad-ons"},
    {kGroupIeShortcuts, kBrowsersTab, L"Internet Explorer's non-standard Shortcuts"},
    {kGroupIePolicies, kBrowsersTab, L"Internet Explorer's Group Policies"},
    {kGroupIeResetOptions, kBrowsersTab, L"Internet Explorer and Shell Reset Options"},
    {kGroupChromeStartPages, kBrowsersTab, L"Chrome's Startup and Home Pages"},
    {kGroupChromeSearchProviders, kBrowsersTab, L"Chrome's Search Providers"},
    {kGroupChromeShortcuts, kBrowsersTab, L"Chrome's non-standard Shortcuts"},
    {kGroupChromeExtensions, kBrowsersTab, L"Chrome Extensions"},
    {kGroupChromePolicies, kBrowsersTab, L"Chrome's Group Policies"},
    {kGroupChromeResetOptions, kBrowsersTab, L"Chrome Reset Options"},
    {kGroupFirefoxStartPages, kBrowsersTab, L"Firefox Startup Pages"},
    {kGroupFirefoxSearchPlugins, kBrowsersTab, L"Firefox Search Plug-ins"},
    {kGroupFirefoxExtensions, kBrowsersTab, L"Firefox Extensions"},
    {kGroupFirefoxShortcuts, kBrowsersTab, L"Firefox non-standard Shortcuts"},
    {kGroupFirefoxResetOptions, kBrowsersTab, L"Firefox Reset Options"},
    {kGroupOtherChromiumStartPages, kBrowsersTab, L"Other Chromium Browsers' Startup and Home Pages"},
    {kGroupOtherChromiumSearchProviders, kBrowsersTab, L"Other Chromium Browsers' Search Providers"},
    {kGroupOtherChromiumShortcuts, kBrowsersTab, L"Other Chromium Browsers' non-standard Shortcuts"},
    {kGroupOtherChromiumExtensions, kBrowsersTab, L"Other Chromium Browsers' Extensions"},
    {kGroupOtherChromiumPolicies, kBrowsersTab, L"Other Chromium Browsers' Group Policies"},
    {kGroupOtherChromiumResetOptions, kBrowsersTab, L"Other Chromium Browsers' Reset Options"},
    {kGroupOtherFirefoxStartPages, kBrowsersTab, L"Other Firefox browsers' Startup Pages"},
    {kGroupOtherFirefoxSearchPlugins, kBrowsersTab, L"Other Firefox browsers' Search Plug-ins"},
    {kGroupOtherFirefoxExtensions, kBrowsersTab, L"Other Firefox browsers' Extensions"},
    {kGroupOtherFirefoxShortcuts, kBrowsersTab, L"Other Firefox browsers' non-standard Shortcuts"},
    {kGroupOtherFirefoxResetOptions, kBrowsersTab, L"Other Firefox browsers' Reset Options"},
    {kGroupInfectedFiles, kMalwareTab, L"Infected file objects"},
    {kGroupInfectedRegistry, kMalwareTab, L"Infected registry entries"},
    {kGroupMalwareFixes, kMalwareTab, L"Malware related fixes"},
};

}  // namespace

const TabInfo* FindTab(int tab) { return (tab >= 0 && tab < kTabCount) ? &kTabs[tab] : nullptr; }

std::span<const GroupInfo> ResultGroups() { return kGroups; }

const GroupInfo* FindGroup(int id) {
  for (const auto& group : kGroups) {
    if (group.id == id) return &group;
  }
  return nullptr;
}

}  // namespace tavrin
