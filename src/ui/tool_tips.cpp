#include "ui/tool_tips.h"

#include <commctrl.h>

#include "ui/window_kit.h"

namespace tavrin {

HWND CreateToolTips(HWND owner) {
  HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  // Tips with line breaks need a width to wrap at.
  if (tips) SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, Scaled(600, WindowDpi(owner)));
  return tips;
}

void SetToolTip(HWND toolTips, HWND control, const wchar_t* text, bool relayed) {
  if (!toolTips || !control) return;
  TOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | (relayed ? 0 : TTF_SUBCLASS);
  info.hwnd = GetParent(control);
  info.uId = UINT_PTR(control);
  // Without a text buffer the look-up copies no text.
  TOOLINFOW probe = info;
  const bool known = SendMessageW(toolTips, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&probe)) != 0;
  info.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(toolTips, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace tavrin
