// The "still present?" probes, each on a place whose hijack is written the
// way that fools a comparison with the row's filed text (a line break, a
// blank at either end), first while it is there and then once it went.
#include "removal/removal_probe.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::WriteBytes;

class ProbeFixture : public ::testing::Test {
 protected:
  void TearDown() override { DeleteKeyTree(key); }

  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  const std::wstring key = L"HKCU\\Software\\TavrinProbeTest-" + pid;
  test::ScratchFolder scratch;
};

TEST_F(ProbeFixture, EachProbeSeesTheHijackAsTheScanReadItAndSeesItGo) {
  const std::wstring prefs = scratch / L"Preferences";
  const std::wstring prefsJs = scratch / L"prefs.js";
  const std::wstring extensionsJson = scratch / L"extensions.json";
  const std::wstring addon = scratch / L"Elsewhere\\addon@evil.test";
  const std::wstring command = key + L"\\StartMenuInternet\\Chrome\\shell\\open\\command";
  const std::wstring evil = L"http://evil.test/";
  struct Case {
    const char* name;
    RowProbe probe;
    std::function<bool()> seed, remove;
  } const cases[] = {
      {"home page with a line break",
       {ProbeKind::ChromiumUrl, prefs, L"homepage", evil},
       [&] { return WriteBytes(prefs, R"({"homepage":"http://evil.test/\n","x":1})"); },
       [&] { return WriteBytes(prefs, R"({"homepage":"http://mine.test/","x":1})"); }},
      {"startup page with a leading blank",
       {ProbeKind::ChromiumUrl, prefs, L"session->startup_urls", evil},
       [&] { return WriteBytes(prefs, R"({"session":{"startup_urls":["http://mine.test/"," http://evil.test/"]}})"); },
       [&] { return WriteBytes(prefs, R"({"session":{"startup_urls":["http://mine.test/"]}})"); }},
      {"search provider with a carriage return",
       {ProbeKind::ChromiumUrl, prefs, L"default_search_provider_data->template_url_data->url", evil},
       [&] { return WriteBytes(prefs, R"({"default_search_provider_data":{"template_url_data":{"url":"http://evil.test/\r"}}})"); },
       [&] { return WriteBytes(prefs, R"({"default_search_provider_data":{}})"); }},
      {"extension entry and folder",
       {ProbeKind::ChromiumEntry, prefs, L"extensions->settings->abcd", addon},
       [&] { return WriteBytes(prefs, R"({"extensions":{"settings":{}}})") && CreateFolderTree(addon); },
       [&] { return RemoveDirectoryW(addon.c_str()) != FALSE; }},
      {"Firefox start page with a trailing blank",
       {ProbeKind::FirefoxPref, prefsJs, L"browser.startup.homepage", evil},
       [&] { return WriteBytes(prefsJs, "user_pref(\"browser.startup.homepage\", \"http://evil.test/ \");\n"); },
       [&] { return WriteBytes(prefsJs, "user_pref(\"browser.startup.page\", 1);\n"); }},
      {"Firefox start page set again by a later line of user.js",
       {ProbeKind::FirefoxPref, prefsJs, L"browser.startup.homepage", evil},
       [&] {
         return WriteBytes(prefsJs, "") &&
                WriteBytes(scratch / L"user.js", "user_pref(\"browser.startup.homepage\", \"http://mine.test/\");\r\n"
                                                 "user_pref(\"browser.startup.homepage\", \"http://evil.test/\");\r\n");
       },
       [&] { return WriteBytes(scratch / L"user.js", "user_pref(\"browser.startup.homepage\", \"http://mine.test/\");\r\n"); }},
      {"Firefox add-on unlisted but still in its folder outside the profile",
       {ProbeKind::FirefoxAddon, extensionsJson, L"addon@evil.test", addon},
       [&] { return WriteBytes(extensionsJson, R"({"addons":[]})") && CreateFolderTree(addon); },
       [&] { return RemoveDirectoryW(addon.c_str()) != FALSE; }},
      {"Firefox add-on listed",
       {ProbeKind::FirefoxAddon, extensionsJson, L"addon@evil.test", {}},
       [&] {
         return WriteBytes(extensionsJson,
                           R"({"addons":[{"id":"addon@evil.test","defaultLocale":{"name":"Evil"},"path":"C:\\x"}]})");
       },
       [&] { return WriteBytes(extensionsJson, R"({"addons":[]})"); }},
      {"secondary start page with a leading blank",
       {ProbeKind::IeSecondaryPage, key, L"Secondary Start Pages", evil},
       [&] { return WriteStringAt(key, L"Secondary Start Pages", L"http://mine.test/\n http://evil.test/", REG_MULTI_SZ); },
       [&] { return WriteStringAt(key, L"Secondary Start Pages", L"http://mine.test/", REG_MULTI_SZ); }},
      {"policy value whose name ends in a blank",
       {ProbeKind::RegistryValue, key, L"1", evil},
       [&] { return WriteStringAt(key, L"1 ", evil); },
       [&] { return DeleteValueAt(key, L"1 "); }},
      {"Start Menu Internet argument",
       {ProbeKind::StartMenuArgument, command, {}, evil},
       [&] { return WriteStringAt(command, L"", L"\"C:\\Chrome\\chrome.exe\" \"http://evil.test/\""); },
       [&] { return WriteStringAt(command, L"", L"\"C:\\Chrome\\chrome.exe\""); }},
      {"file object",
       {ProbeKind::FileObject, prefs, {}, {}},
       [&] { return WriteBytes(prefs, "{}"); },
       [&] { return DeleteFileW(prefs.c_str()) != FALSE; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.seed());
    EXPECT_TRUE(StillPresent(c.probe));
    ASSERT_TRUE(c.remove());
    EXPECT_FALSE(StillPresent(c.probe));
  }
}

TEST_F(ProbeFixture, ValuesAreFoundAndDeletedByTheNameTheirRowFiled) {
  // The row filed "1" for the value " 1"; "1" itself is another value with
  // another address, which the row's data tells apart.
  ASSERT_TRUE(WriteStringAt(key, L" 1", L"http://evil.test/\n"));
  ASSERT_TRUE(WriteStringAt(key, L"1", L"http://mine.test/"));
  EXPECT_EQ(ValueNamesFiledAs(key, L"1", L"http://evil.test/"), std::vector<std::wstring>{L" 1"});
  EXPECT_TRUE(DeleteValuesFiledAs(key, L"1", L"http://evil.test/"));
  EXPECT_FALSE(KeyExists(key, L" 1"));
  EXPECT_EQ(ReadStringAt(key, L"1"), L"http://mine.test/");
  // Nothing filed under that name: nothing to delete, nothing left.
  EXPECT_TRUE(DeleteValuesFiledAs(key, L"2"));
  EXPECT_EQ(ReadStringAt(key, L"1"), L"http://mine.test/");
}

TEST_F(ProbeFixture, WhatCannotBeReadCountsAsPresent) {
  const std::wstring prefs = scratch / L"Preferences";
  ASSERT_TRUE(WriteBytes(prefs, R"({"homepage":"http://evil.test/"})"));
  // Held open with no sharing: the scan could not read it either, and
  // nothing is claimed about it.
  HANDLE held = CreateFileW(prefs.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(StillPresent({ProbeKind::ChromiumUrl, prefs, L"homepage", L"http://mine.test/"}));
  CloseHandle(held);
  EXPECT_FALSE(StillPresent({ProbeKind::ChromiumUrl, prefs, L"homepage", L"http://mine.test/"}));
}

}  // namespace
}  // namespace tavrin
