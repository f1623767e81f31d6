// The module walk on a running child of the test.
#include "platform/loaded_modules.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/file_system.h"
#include "platform/strings.h"
#include "support/child_process.h"

namespace tavrin {
namespace {

TEST(LoadedModules, ARunningProcessShowsItsImageAndSystemModules) {
  test::ChildProcess child;
  ASSERT_TRUE(child.Start(L"\"" + test::HelperPath() + L"\" wait 20000"));
  const std::vector<DWORD> ids = ListProcessIds();
  EXPECT_NE(std::find(ids.begin(), ids.end(), child.Id()), ids.end());
  EXPECT_NE(std::find(ids.begin(), ids.end(), GetCurrentProcessId()), ids.end());

  // The loader may still be mapping the child's modules at first.
  std::vector<std::wstring> modules;
  for (int attempt = 0; attempt < 50; ++attempt) {
    modules = LoadedModulePaths(child.Id());
    bool kernel = false;
    for (const std::wstring& path : modules) kernel = kernel || EndsWithNoCase(path, L"\\kernel32.dll");
    if (kernel) break;
    Sleep(100);
  }
  ASSERT_FALSE(modules.empty());
  EXPECT_TRUE(EqualsNoCase(CanonicalFilePath(modules.front()), CanonicalFilePath(test::HelperPath())))
      << modules.front();
  bool kernel = false;
  for (const std::wstring& path : modules) {
    EXPECT_TRUE(IsAbsolutePath(path)) << path;
    kernel = kernel || EndsWithNoCase(path, L"\\kernel32.dll");
  }
  EXPECT_TRUE(kernel);
  child.Kill();
}

TEST(LoadedModules, AProcessThatIsGoneHasNone) {
  test::ChildProcess child;
  ASSERT_TRUE(child.Start(L"\"" + test::HelperPath() + L"\" exit 0"));
  ASSERT_EQ(child.Wait(), 0u);
  EXPECT_TRUE(LoadedModulePaths(child.Id()).empty());
}

}  // namespace
}  // namespace tavrin
