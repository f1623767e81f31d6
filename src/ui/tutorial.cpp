#include "ui/tutorial.h"

#include <commctrl.h>

#include "results/result_tabs.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

constexpr TutorialTip kTips[] = {
    {L"This tab shows Potentially Unwanted Programs (PUPs)\r\nTick the ones you want to delete from your PC\r\n\r\n"
     L"Click anywhere to close this t\u00eep||Tutorial tip 1 of 6",
     TipAnchor::Tab, kProgramsTab, 0},
    {L"This tab shows Autostart Entries and System Hijacks\r\nTake a good look at the list and tick the ones you want "
     L"to delete\r\n\r\nClick anywhere to close this t\u00eep||Tutorial tip 2 of 6",
     TipAnchor::Tab, kAutostartTab, 0},
    {L"This tab lets you cleanup and repair your Internet browsers\r\nSelect the items you want to fix and the reset "
     L"actions you want to perform\r\n\r\nClick anywhere to close this t\u00eep||Tutorial tip 3 of 6",
     TipAnchor::Tab, kBrowsersTab, 0},
    {L"This tab lets you remove malware from your system and make some cleanup operations\r\nSelect the items you "
     L"want to delete and the actions you want to perform\r\n\r\nClick anywhere to close this tip||Tutorial tip 4 of 6",
     TipAnchor::Tab, kMalwareTab, 0},
    {L"Select whether to create a System restore point prior to the removal\r\nand whether to automatically reboot, "
     L"if needed, after the cleanup\r\n\r\nClick anywhere to close this t\u00eep||Tutorial tip 5 of 6",
     TipAnchor::RemovalOptions, -1, 4800},
    {L"Finally, press the \"Clean\" button and confirm\r\nThe items you selected will then be fixed\r\n\r\n"
     L"Click anywhere to close this t\u00eep||Tutorial tip 6 of 6",
     TipAnchor::CleanButton, -1, 4800},
};

}  // namespace

std::span<const TutorialTip> TutorialTips() { return kTips; }

void SplitTipText(const std::wstring& text, std::wstring& body, std::wstring& title) {
  const size_t bar = text.find(L"||");
  body = text.substr(0, bar);
  title = bar == std::wstring::npos ? L"" : text.substr(bar + 2);
}

bool ShouldAdvanceTip(bool mouseButtonDown, bool tipClosed, DWORD shownForMs) {
  return !mouseButtonDown && (tipClosed || shownForMs >= kTipAdvanceMs);
}

Balloon::~Balloon() {
  if (window_) DestroyWindow(window_);
}

void Balloon::Show(HWND owner, POINT point, const std::wstring& body, const std::wstring& title) {
  if (window_ && owner_ != owner) {
    DestroyWindow(window_);
    window_ = nullptr;
  }
  if (!window_) {
    window_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    owner_ = owner;
    if (!window_) return;
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    info.hwnd = owner;
    info.uId = 1;
    info.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(window_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }
  // The tool keeps pointers to the texts: they live in this object.
  body_ = body;
  title_ = title;
  // The owner may have moved to a monitor of another DPI since.
  SendMessageW(window_, TTM_SETMAXTIPWIDTH, 0, Scaled(520, WindowDpi(owner)));
  TOOLINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = owner;
  info.uId = 1;
  info.lpszText = body_.data();
  SendMessageW(window_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  SendMessageW(window_, TTM_SETTITLEW, title_.empty() ? TTI_NONE : TTI_INFO, reinterpret_cast<LPARAM>(title_.c_str()));
  SendMessageW(window_, TTM_TRACKPOSITION, 0, MAKELPARAM(point.x, point.y));
  SendMessageW(window_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
  visible_ = true;
}

void Balloon::Hide() {
  if (!window_ || !visible_) return;
  TOOLINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = owner_;
  info.uId = 1;
  SendMessageW(window_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&info));
  visible_ = false;
}

}  // namespace tavrin
