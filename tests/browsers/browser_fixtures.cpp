#include "browser_fixtures.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/find_files.h"
#include "support/scratch.h"

namespace tavrin::test {

namespace {
std::wstring HostPath(const char* linuxPath) {
  std::wstring path = L"Z:";
  for (const char* c = linuxPath; *c; ++c) path += *c == '/' ? L'\\' : wchar_t(*c);
  return path;
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
  if (!CreateFolderTree(to)) return false;
  FindFiles find(from + L"\\*");
  while (find.Next()) {
    std::wstring source = from + L"\\" + find.Name(), target = to + L"\\" + find.Name();
    if (find.IsFolder() ? !CopyTree(source, target) : !CopyFileW(source.c_str(), target.c_str(), FALSE)) return false;
  }
  return true;
}
}  // namespace

std::wstring BrowserFixture(const std::wstring& relative) {
  std::wstring path = HostPath(TAVRIN_BROWSER_FIXTURES) + L"\\" + relative;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

std::wstring BrowserEditsFolder() { return HostPath(TAVRIN_BROWSER_EDITS); }

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

bool CopyFixtureTree(const std::wstring& relative, const std::wstring& to) { return CopyTree(BrowserFixture(relative), to); }

bool SeedHijackedChromiumProfile(const std::wstring& userData, const std::string& extraSettings) {
  if (!CopyFixtureTree(L"chrome-hijacked\\User Data", userData)) return false;
  std::string text = ReadBytes(BrowserFixture(L"chrome-hijacked\\User Data\\Default\\Preferences"));
  const std::string from = "\"path\":\"/tmp/fxA/Users/tester/AppData/Local/SearchHelperPlus/extension\"";
  const size_t at = text.find(from);
  if (at == std::string::npos) return false;
  text.replace(at, from.size(),
               "\"manifest\":{\"name\":\"Search Helper Plus\"},\"path\":\"mbjblcjnbcejffjjakcgcokenaddfdaf\\\\1.4.2_0\"");
  const std::string settings = "\"settings\":{";
  const size_t open = text.find(settings);
  if (open == std::string::npos) return false;
  text.insert(open + settings.size(), extraSettings);
  return WriteBytes(userData + L"\\Default\\Preferences", text) &&
         CreateFolderTree(userData + L"\\Default\\Extensions\\" + kPlantedExtensionId + L"\\1.4.2_0");
}

namespace {

bool ReplaceInFile(const std::wstring& file, const std::string& from, const std::string& to) {
  std::string text = ReadBytes(file);
  const size_t at = text.find(from);
  if (at == std::string::npos) return false;
  text.replace(at, from.size(), to);
  return WriteBytes(file, text);
}

std::string Narrow(const std::wstring& text, bool jsonEscaped) {
  std::string out;
  for (wchar_t c : text) out += jsonEscaped && c == L'\\' ? std::string("\\\\") : std::string(1, char(c));
  return out;
}

}  // namespace

bool SeedFirefoxData(const wchar_t* fixture, const wchar_t* profileName, const std::wstring& data,
                     const std::wstring& install) {
  const std::wstring profile = data + L"\\" + profileName;
  if (!CopyFixtureTree(std::wstring(fixture) + L"\\Mozilla\\Firefox", data) || !CreateFolderTree(install) ||
      !ReplaceInFile(profile + L"\\compatibility.ini", "LastPlatformDir=/usr/lib/firefox-esr",
                     "LastPlatformDir=" + Narrow(install, false)))
    return false;
  if (std::wstring(profileName) != kFirefoxHijackedProfile) return true;
  const std::string linuxXpi =
      "/tmp/fxA/ff-hijacked-home/.config/mozilla/firefox/Profiles/zba2o41x.default-release/extensions/"
      "searchhelperplus@example-hijack.test.xpi";
  return ReplaceInFile(profile + L"\\extensions.json", "\"path\":\"" + linuxXpi + "\"",
                       "\"path\":\"" +
                           Narrow(profile + L"\\extensions\\" + kPlantedAddonId + L".xpi", true) + "\"");
}

}  // namespace tavrin::test
