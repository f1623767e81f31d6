#include "ui/running_instance.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/product.h"
#include "ui/ui_ids.h"

namespace tavrin {
namespace {

// A window registered under the main window's class and title, as a
// running instance would have it. The main window tests of this executable
// register that class with the real window's procedure, which needs its
// creation data: the fake one takes the class over while it lives.
class FakeInstance {
 public:
  explicit FakeInstance(bool visible) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kMainWindowClass;
    UnregisterClassW(kMainWindowClass, wc.hInstance);
    RegisterClassW(&wc);
    window_ = CreateWindowW(kMainWindowClass, kProductName, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 0, 0,
                            200, 100, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~FakeInstance() {
    DestroyWindow(window_);
    UnregisterClassW(kMainWindowClass, GetModuleHandleW(nullptr));
  }
  HWND Window() const { return window_; }

 private:
  HWND window_;
};

TEST(RunningInstance, SingleInstanceTest) {
  EXPECT_FALSE(ActivateRunningInstance());
  {
    FakeInstance visible(true);
    ASSERT_NE(visible.Window(), nullptr);
    EXPECT_TRUE(ActivateRunningInstance());
  }
  {
    // A hidden (quiet) instance is restored, and the new start goes on.
    FakeInstance hidden(false);
    EXPECT_FALSE(ActivateRunningInstance());
    EXPECT_TRUE(IsWindowVisible(hidden.Window()));
  }
}

}  // namespace
}  // namespace tavrin
