// The windows at 96, 144 and 192 DPI: Wine takes its DPI from the
// "LogPixels" values when a process starts, so each DPI is set in the
// prefix and a new process (dpi_layout_check) opens every window there.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "platform/strings.h"
#include "support/child_process.h"
#include "support/scratch.h"
#include "window_driver.h"

namespace tavrin {
namespace {

struct LogPixelsValue {
  HKEY root;
  const wchar_t* key;
};

const LogPixelsValue kLogPixels[] = {
    {HKEY_CURRENT_USER, L"Control Panel\\Desktop"},
    {HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts"},
};

std::optional<DWORD> ReadLogPixels(const LogPixelsValue& where) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(where.root, where.key, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

void WriteLogPixels(const LogPixelsValue& where, std::optional<DWORD> value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(where.root, where.key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  if (value) {
    RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value), sizeof *value);
  } else {
    RegDeleteValueW(key, L"LogPixels");
  }
  RegCloseKey(key);
}

// The prefix's DPI for the length of a test, as it was afterwards.
class PrefixDpi {
 public:
  PrefixDpi() {
    for (const auto& where : kLogPixels) saved_.push_back(ReadLogPixels(where));
  }
  ~PrefixDpi() {
    for (size_t i = 0; i < saved_.size(); ++i) WriteLogPixels(kLogPixels[i], saved_[i]);
  }
  void Set(DWORD dpi) {
    for (const auto& where : kLogPixels) WriteLogPixels(where, dpi);
  }

 private:
  std::vector<std::optional<DWORD>> saved_;
};

// The manifest embedded in the program, as its loader reads it.
std::string ProgramManifest() {
  HMODULE program = LoadLibraryExW(test::TavrinExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!program) return {};
  std::string text;
  if (HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    if (HGLOBAL loaded = LoadResource(program, found))
      text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(program, found));
  }
  FreeLibrary(program);
  return text;
}

// Wine makes every process per-monitor aware; Windows does so only for a
// program that asks: version 2 from Windows 10 1703, the older per-monitor
// form before.
TEST(DpiLayout, TheProgramDeclaresPerMonitorAwareness) {
  const std::string manifest = ProgramManifest();
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                          "PerMonitorV2, PerMonitor</dpiAwareness>"),
            std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm"
                          "</dpiAware>"),
            std::string::npos);
}

TEST(DpiLayout, EveryWindowFitsItsTextAtEachDpiAndFollowsADpiChange) {
  test::ScratchFolder scratch;
  PrefixDpi prefix;
  for (DWORD dpi : {96u, 144u, 192u}) {
    SCOPED_TRACE(dpi);
    prefix.Set(dpi);
    const std::wstring out = scratch / (L"faults-" + std::to_wstring(dpi) + L".txt");
    test::ChildProcess check;
    ASSERT_TRUE(check.Start(L"\"" + test::TestBuildPath(L"dpi_layout_check.exe") + L"\" " + std::to_wstring(dpi) +
                            L" \"" + out + L"\""));
    EXPECT_EQ(check.Wait(60000), 0u);
    ASSERT_TRUE(test::FileExists(out));
    EXPECT_EQ(test::ReadBytes(out), "");
  }
}

}  // namespace
}  // namespace tavrin
