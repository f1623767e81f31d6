#pragma once
// The tutorial tips shown after a scan when the user asks for them, and the
// balloon that points at a control (also the "scanning" bubble).
#include <windows.h>

#include <span>
#include <string>

namespace tavrin {

enum class TipAnchor { Tab, RemovalOptions, CleanButton };

struct TutorialTip {
  const wchar_t* text;  // body, "||", title
  TipAnchor anchor;
  int tab;              // the tab selected for the tip, -1 for none
  int stayMs;           // 0: until closed or replaced
};

std::span<const TutorialTip> TutorialTips();
// Splits a tip text at "||" into body and title.
void SplitTipText(const std::wstring& text, std::wstring& body, std::wstring& title);

inline constexpr DWORD kTipAdvanceMs = 10000;
// The next tip comes when no mouse button is held and the current one was
// closed or has been shown long enough.
bool ShouldAdvanceTip(bool mouseButtonDown, bool tipClosed, DWORD shownForMs);

// A balloon tip that points at a spot of the screen until it is hidden.
class Balloon {
 public:
  Balloon() = default;
  ~Balloon();
  Balloon(const Balloon&) = delete;
  Balloon& operator=(const Balloon&) = delete;

  void Show(HWND owner, POINT screenPoint, const std::wstring& body, const std::wstring& title);
  void Hide();
  bool Visible() const { return visible_; }
  HWND Window() const { return window_; }

 private:
  HWND window_ = nullptr;
  HWND owner_ = nullptr;
  bool visible_ = false;
  std::wstring body_;
  std::wstring title_;
};

}  // namespace tavrin
