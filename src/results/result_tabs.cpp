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
    {11, kAutostartTab, L"Registry autostart entries"},
    {12, kAutostartTab, L"Startup folder items"},
    {13, kAutostartTab, L"Scheduled tasks (root folder only)"},
    {14, kAutostartTab, L"AppInit_DLLs"},
    {15, kAutostartTab, L"DNS hijackers"},
    {22, kBrowsersTab, L"Edge (UWP) Startup and Home Pages"},
    {23, kBrowsersTab, L"Edge (UWP) Search Providers"},
    {25, kBrowsersTab, L"Edge (UWP) non-standard Shortcuts"},
    {24, kBrowsersTab, L"Edge (UWP) extensions"},
    {27, kBrowsersTab, L"Edge (UWP) Group Policies"},
    {26, kBrowsersTab, L"Edge (UWP) reset options"},
    {111, kBrowsersTab, L"MS Edge's Startup and Home Pages"},
    {112, kBrowsersTab, L"MS Edge's Search Providers"},
    {114, kBrowsersTab, L"MS Edge's non-standard Shortcuts"},
    {113, kBrowsersTab, L"MS Edge's extensions"},
    {116, kBrowsersTab, L"MS Edge's Group Policies"},
    {115, kBrowsersTab, L"MS Edge's reset options"},
    {31, kBrowsersTab, L"Internet Explorer Home And Search Pages"},
    {32, kBrowsersTab, L"Internet Explorer Search Providers"},
    {33, kBrowsersTab, L"Internet Explorer Ad-ons"},
    {35, kBrowsersTab, L"Internet Explorer's non-standard Shortcuts"},
    {37, kBrowsersTab, L"Internet Explorer's Group Policies"},
    {36, kBrowsersTab, L"Internet Explorer and Shell Reset Options"},
    {42, kBrowsersTab, L"Chrome's Startup and Home Pages"},
    {43, kBrowsersTab, L"Chrome's Search Providers"},
    {45, kBrowsersTab, L"Chrome's non-standard Shortcuts"},
    {44, kBrowsersTab, L"Chrome Extensions"},
    {47, kBrowsersTab, L"Chrome's Group Policies"},
    {46, kBrowsersTab, L"Chrome Reset Options"},
    {51, kBrowsersTab, L"Firefox Startup Pages"},
    {52, kBrowsersTab, L"Firefox Search Plug-ins"},
    {53, kBrowsersTab, L"Firefox Extensions"},
    {55, kBrowsersTab, L"Firefox non-standard Shortcuts"},
    {56, kBrowsersTab, L"Firefox Reset Options"},
    {62, kBrowsersTab, L"Other Chromium Browsers' Startup and Home Pages"},
    {63, kBrowsersTab, L"Other Chromium Browsers' Search Providers"},
    {65, kBrowsersTab, L"Other Chromium Browsers' non-standard Shortcuts"},
    {64, kBrowsersTab, L"Other Chromium Browsers' Extensions"},
    {67, kBrowsersTab, L"Other Chromium Browsers' Group Policies"},
    {66, kBrowsersTab, L"Other Chromium Browsers' Reset Options"},
    {71, kBrowsersTab, L"Other Firefox browsers' Startup Pages"},
    {72, kBrowsersTab, L"Other Firefox browsers' Search Plug-ins"},
    {73, kBrowsersTab, L"Other Firefox browsers' Extensions"},
    {75, kBrowsersTab, L"Other Firefox browsers' non-standard Shortcuts"},
    {76, kBrowsersTab, L"Other Firefox browsers' Reset Options"},
    {81, kMalwareTab, L"Infected file objects"},
    {82, kMalwareTab, L"Infected registry entries"},
    {83, kMalwareTab, L"Malware related fixes"},
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
