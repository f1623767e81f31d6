#include "ui/main_menu.h"

#include <iterator>

#include "ui/ui_ids.h"

namespace tavrin {

namespace {

struct MenuEntry {
  int command;  // 0: a separator
  const wchar_t* text;
};

constexpr MenuEntry kMenu[] = {
    {kCmdNewScan, L"New scan\tAlt+N"},
    {kCmdCustomScan, L"Custom scan\tAlt+F"},
    {kCmdDetectionSettings, L"Malware detection settings\tAlt+M"},
    {kCmdViewScanLog, L"View last scan log\tAlt+S"},
    {kCmdViewCleanupLog, L"View last cleanup log\tAlt+C"},
    {kCmdOpenLogsFolder, L"Open logs folder\tCtrl+L"},
    {kCmdUninstall, L"Uninstall\tCtrl+U"},
    {0, nullptr},
    {kCmdOpenRegistryLocation, L"Open registry location\tCtrl+Enter"},
    {kCmdOpenFileLocation, L"Open file location\tAlt+Enter"},
    {kCmdReportFalsePositive, L"Report false positive\tCtrl+R"},
    {kCmdCheckAll, L"Check all\tCtrl+A"},
    {kCmdCheckNone, L"Check none\tCtrl+N"},
    {0, nullptr},
    {kCmdWhitelistHighlighted, L"Whitelist highlighted item\tCtrl+W"},
    {kCmdWhitelistParentFolder, L"Whitelist parent folder\tAlt+P"},
    {kCmdWhitelistChecked, L"Whitelist checked items\tAlt+W"},
    {kCmdWhitelistCheckedAllTabs, L"Whitelist checked (all tabs)\tAlt+A"},
    {kCmdWhitelistManager, L"Whitelist manager\tCtrl+M"},
    {0, nullptr},
    {kCmdSettings, L"Settings\tCtrl+S"},
};

constexpr ACCEL kAccelerators[] = {
    {FALT | FVIRTKEY, 'N', kCmdNewScan},
    {FALT | FVIRTKEY, 'F', kCmdCustomScan},
    {FALT | FVIRTKEY, 'M', kCmdDetectionSettings},
    {FALT | FVIRTKEY, 'S', kCmdViewScanLog},
    {FALT | FVIRTKEY, 'C', kCmdViewCleanupLog},
    {FCONTROL | FVIRTKEY, 'L', kCmdOpenLogsFolder},
    {FCONTROL | FVIRTKEY, 'U', kCmdUninstall},
    {FCONTROL | FVIRTKEY, VK_RETURN, kCmdOpenRegistryLocation},
    {FALT | FVIRTKEY, VK_RETURN, kCmdOpenFileLocation},
    {FCONTROL | FVIRTKEY, 'R', kCmdReportFalsePositive},
    {FCONTROL | FVIRTKEY, 'A', kCmdCheckAll},
    {FCONTROL | FVIRTKEY, 'N', kCmdCheckNone},
    {FCONTROL | FVIRTKEY, 'W', kCmdWhitelistHighlighted},
    {FALT | FVIRTKEY, 'P', kCmdWhitelistParentFolder},
    {FALT | FVIRTKEY, 'W', kCmdWhitelistChecked},
    {FALT | FVIRTKEY, 'A', kCmdWhitelistCheckedAllTabs},
    {FCONTROL | FVIRTKEY, 'M', kCmdWhitelistManager},
    {FCONTROL | FVIRTKEY, 'S', kCmdSettings},
    {FVIRTKEY, VK_F1, kCmdOnlineHelp},
};

}  // namespace

HMENU CreateMainMenu(const CommandContext& context) {
  HMENU menu = CreatePopupMenu();
  for (const MenuEntry& entry : kMenu) {
    if (!entry.command) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const bool enabled = IsCommandEnabled(entry.command, context);
    AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), UINT_PTR(entry.command), entry.text);
  }
  return menu;
}

HACCEL CreateMainAccelerators() {
  return CreateAcceleratorTableW(const_cast<ACCEL*>(kAccelerators), int(std::size(kAccelerators)));
}

}  // namespace tavrin
