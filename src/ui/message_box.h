#pragma once
// The program's own message box: a modal window of class "TVN_MsgBox"
// titled with the product name. Other programs find it by its class and
// answer it with WM_COMMAND and the button's identifier (IDOK, IDYES, IDNO).
#include <windows.h>

#include <string>

namespace tavrin {

// `type`: MB_OK or MB_YESNO, with MB_ICONINFORMATION, MB_ICONQUESTION,
// MB_ICONWARNING or MB_ICONERROR. Returns IDOK, IDYES or IDNO; closing the
// box answers No (or OK). A WM_QUIT that arrives meanwhile ends the box
// (answering No) and is posted again for the caller's loop.
int ShowMessage(HWND owner, const std::wstring& text, UINT type = MB_OK | MB_ICONINFORMATION);

}  // namespace tavrin
