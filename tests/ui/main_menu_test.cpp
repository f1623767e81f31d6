#include "ui/main_menu.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "results/result_tabs.h"
#include "ui/ui_ids.h"

namespace tavrin {
namespace {

std::wstring ItemText(HMENU menu, int position) {
  wchar_t text[128] = {};
  GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
  return text;
}

TEST(MainMenu, EntriesSeparatorsAndTheirStates) {
  CommandContext context{WindowPhase::Results, kMalwareTab, true, 82};
  HMENU menu = CreateMainMenu(context);
  ASSERT_EQ(GetMenuItemCount(menu), 21);
  std::vector<int> separators;
  for (int i = 0; i < 21; ++i) {
    if (GetMenuItemID(menu, i) == 0) separators.push_back(i);
  }
  EXPECT_EQ(ItemText(menu, 6), L"Uninstall\tCtrl+U");
  EXPECT_EQ(ItemText(menu, 12), L"Check none\tCtrl+N");
  EXPECT_EQ(ItemText(menu, 18), L"Whitelist manager\tCtrl+M");
  EXPECT_EQ(separators, (std::vector<int>{7, 13, 19}));

  auto grayed = [&](int command) { return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) != 0; };
  EXPECT_FALSE(grayed(kCmdOpenRegistryLocation));
  EXPECT_FALSE(grayed(kCmdWhitelistHighlighted));
  EXPECT_TRUE(grayed(kCmdWhitelistParentFolder));  // an infected registry entry, not a file
  EXPECT_FALSE(grayed(kCmdCustomScan));
  EXPECT_FALSE(grayed(kCmdSettings));
  DestroyMenu(menu);
}

// Each entry's shown shortcut, typed on the keyboard, reaches its command.
class CommandRecorder {
 public:
  CommandRecorder() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      if (m == WM_COMMAND) last = LOWORD(wp);
      return DefWindowProcW(w, m, wp, lp);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TavrinTestCommandRecorder";
    RegisterClassW(&wc);
    window = CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                           nullptr);
  }
  ~CommandRecorder() { DestroyWindow(window); }
  HWND window;
  static inline int last = 0;
};

int Typed(HWND window, HACCEL accelerators, const std::wstring& shortcut) {
  BYTE keys[256] = {};
  std::wstring key = shortcut;
  bool alt = false;
  for (const auto& [prefix, vk] : {std::pair<std::wstring, int>{L"Ctrl+", VK_CONTROL}, {L"Alt+", VK_MENU}}) {
    if (key.rfind(prefix, 0) == 0) {
      keys[vk] = 0x80;
      alt = alt || vk == VK_MENU;
      key = key.substr(prefix.size());
    }
  }
  SetKeyboardState(keys);
  const UINT vk = key == L"Enter" ? VK_RETURN : key == L"F1" ? VK_F1 : UINT(key[0]);
  MSG msg{window, UINT(alt ? WM_SYSKEYDOWN : WM_KEYDOWN), vk, alt ? LPARAM(1) << 29 : 0, 0, {}};
  CommandRecorder::last = 0;
  TranslateAcceleratorW(window, accelerators, &msg);
  BYTE none[256] = {};
  SetKeyboardState(none);
  return CommandRecorder::last;
}

TEST(MainMenu, EveryShownShortcutReachesItsCommand) {
  CommandRecorder recorder;
  HACCEL accelerators = CreateMainAccelerators();
  HMENU menu = CreateMainMenu({});
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    const int command = int(GetMenuItemID(menu, i));
    if (command == 0) continue;
    const std::wstring text = ItemText(menu, i);
    const std::wstring shortcut = text.substr(text.find(L'\t') + 1);
    EXPECT_EQ(Typed(recorder.window, accelerators, shortcut), command) << std::string(shortcut.begin(), shortcut.end());
  }
  EXPECT_EQ(Typed(recorder.window, accelerators, L"F1"), kCmdOnlineHelp);
  DestroyMenu(menu);
  DestroyAcceleratorTable(accelerators);
}

}  // namespace
}  // namespace tavrin
