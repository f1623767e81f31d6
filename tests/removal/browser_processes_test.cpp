// Which running programs a browser repair ends: only the browsers' own
// executables, never a program that a user's "Last Browser" or
// "compatibility.ini" names, never one of Windows' own.
#include "removal/browser_processes.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/strings.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

// A machine in a scratch folder: program-files folders, one user's local
// application data and a Windows folder, with the files of a few browsers.
struct Machine {
  test::ScratchFolder root;
  BrowserPlaces places;
  std::wstring local;

  Machine() {
    places.programFiles64 = root / L"Program Files";
    places.programFiles32 = root / L"Program Files (x86)";
    places.windows = root / L"Windows";
    local = root / L"Users\\Ann\\AppData\\Local";
    places.localAppData = {local};
  }
  // Creates the file (and its folders) and gives back its canonical path.
  std::wstring Put(const std::wstring& path) {
    EXPECT_TRUE(CreateFolderTree(path.substr(0, path.rfind(L'\\'))));
    EXPECT_TRUE(test::WriteBytes(path, "MZ"));
    return CanonicalFilePath(path);
  }
};

bool Closes(const std::vector<std::wstring>& images, const std::wstring& image) {
  for (const std::wstring& known : images)
    if (EqualsNoCase(known, image)) return true;
  return false;
}

TEST(BrowserProcesses, OnlyTheBrowsersOwnExecutablesAreEnded) {
  Machine m;
  const std::wstring chrome = m.Put(m.places.programFiles64 + L"\\Google\\Chrome\\Application\\chrome.exe");
  const std::wstring userChrome = m.Put(m.local + L"\\Google\\Chrome\\Application\\chrome.exe");
  const std::wstring fakeChrome = m.Put(m.local + L"\\Temp\\chrome.exe");
  const std::wstring notes = m.Put(m.places.programFiles64 + L"\\Notes\\notes.exe");
  const std::wstring vivaldi = m.Put(m.local + L"\\Vivaldi\\Application\\vivaldi.exe");
  const std::wstring brave = m.Put(m.places.programFiles64 + L"\\BraveSoftware\\Brave-Browser\\Application\\brave.exe");
  const std::wstring braveElsewhere = m.Put(m.places.programFiles64 + L"\\Tools\\brave.exe");
  const std::wstring explorer = m.Put(m.places.windows + L"\\explorer.exe");
  const std::wstring systemChrome = m.Put(m.places.windows + L"\\System32\\chrome.exe");
  const std::wstring waterfox = m.Put(m.places.programFiles64 + L"\\Waterfox\\waterfox.exe");
  m.Put(m.places.programFiles64 + L"\\Waterfox\\omni.ja");
  const std::wstring geckoLookalike = m.Put(m.places.programFiles64 + L"\\Notes\\firefox.exe");
  const std::wstring vivaldiData = m.local + L"\\Vivaldi\\User Data\\Default\\Preferences";
  const std::wstring braveData = m.local + L"\\BraveSoftware\\Brave-Browser\\User Data\\Default\\Preferences";

  struct Case {
    BrowserClaim claim;
    std::wstring image;
    bool closed;
  } cases[] = {
      // Chrome: its installations, not any "chrome.exe" of the scan's.
      {{BrowserFamily::Chrome, L"", L""}, chrome, true},
      {{BrowserFamily::Chrome, L"", L""}, userChrome, true},
      {{BrowserFamily::Chrome, fakeChrome, L""}, fakeChrome, false},
      // "Last Browser" naming another program.
      {{BrowserFamily::Chrome, notes, L""}, notes, false},
      {{BrowserFamily::OtherChromium, notes, vivaldiData}, notes, false},
      {{BrowserFamily::OtherChromium, explorer, vivaldiData}, explorer, false},
      {{BrowserFamily::OtherChromium, systemChrome, vivaldiData}, systemChrome, false},
      // The browser's own executable in its own folder.
      {{BrowserFamily::OtherChromium, vivaldi, vivaldiData}, vivaldi, true},
      {{BrowserFamily::OtherChromium, brave, braveData}, brave, true},
      // A browser's name outside the browser's folder, and another
      // browser's executable for this browser's rows.
      {{BrowserFamily::OtherChromium, braveElsewhere, braveData}, braveElsewhere, false},
      {{BrowserFamily::OtherChromium, vivaldi, braveData}, vivaldi, false},
      // Not the canonical form the scan would have stored.
      {{BrowserFamily::OtherChromium, m.local + L"\\Vivaldi\\Application\\..\\Application\\vivaldi.exe", vivaldiData},
       vivaldi, false},
      // Gecko: a browser's name among Gecko's files only.
      {{BrowserFamily::OtherFirefox, waterfox, L""}, waterfox, true},
      {{BrowserFamily::OtherFirefox, geckoLookalike, L""}, geckoLookalike, false},
      {{BrowserFamily::OtherFirefox, notes, L""}, notes, false},
  };
  for (const Case& c : cases) {
    const std::vector<std::wstring> images = BrowserImagesToClose({c.claim}, m.places);
    EXPECT_EQ(Closes(images, c.image), c.closed) << c.image;
  }
}

// Live: the browser found on the fly ends, the program its "Last Browser"
// named in a second profile keeps running.
TEST(BrowserProcesses, AProgramNamedByLastBrowserKeepsRunning) {
  Machine m;
  const std::wstring vivaldi = m.local + L"\\Vivaldi\\Application\\vivaldi.exe";
  const std::wstring notes = m.places.programFiles64 + L"\\Notes\\notes.exe";
  for (const std::wstring& path : {vivaldi, notes}) {
    ASSERT_TRUE(CreateFolderTree(path.substr(0, path.rfind(L'\\'))));
    ASSERT_TRUE(CopyFileW(test::HelperPath().c_str(), path.c_str(), FALSE));
  }
  test::ChildProcess browser, other;
  ASSERT_TRUE(browser.Start(L"\"" + vivaldi + L"\" wait 30000"));
  ASSERT_TRUE(other.Start(L"\"" + notes + L"\" wait 30000"));
  const std::vector<BrowserClaim> claims = {
      {BrowserFamily::OtherChromium, CanonicalFilePath(vivaldi), m.local + L"\\Vivaldi\\User Data\\Default\\Preferences"},
      {BrowserFamily::OtherChromium, CanonicalFilePath(notes), m.local + L"\\Vivaldi\\User Data\\Profile 1\\Preferences"}};
  EXPECT_EQ(CloseBrowserImages(BrowserImagesToClose(claims, m.places)), 1);
  EXPECT_NE(browser.Wait(5000), ~0u);
  EXPECT_TRUE(other.Running());
}

}  // namespace
}  // namespace tavrin
