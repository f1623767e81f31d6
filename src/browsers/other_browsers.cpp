#include "browsers/other_browsers.h"

#include "browsers/chromium_profiles.h"
#include "browsers/firefox_profiles.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

bool IsSkippedVendor(const std::wstring& name) {
  return EqualsNoCase(name, L"Google") || EqualsNoCase(name, L"Microsoft") || EqualsNoCase(name, L"Packages");
}

bool Exists(const std::wstring& path) { return FolderExists(path) || FileExists(path); }

bool LooksLikeChromiumUserData(const std::wstring& folder) {
  return Exists(folder + L"\\User Data\\GrShaderCache") || Exists(folder + L"\\User Data\\CertificateRevocation");
}

// Sub-folders that are real folders: a link in an application-data folder
// would otherwise make a browser of whatever it points at.
std::vector<std::wstring> SubFolders(const std::wstring& folder) {
  std::vector<std::wstring> names;
  FindFiles find(folder + L"\\*");
  while (find.Next())
    if (find.IsFolder() && !find.IsReparsePoint()) names.push_back(find.Name());
  return names;
}

std::wstring LastComponent(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

void DiscoverOtherChromiumBrowsers(const UserList& users, const UserFolderFragments& fragments,
                                   std::vector<OtherChromiumBrowser>& out) {
  for (size_t u = 0; u < users.size(); ++u) {
    if (users[u].profileFolder.empty()) continue;
    const std::wstring local = users[u].profileFolder + fragments.localAppData;
    for (const std::wstring& vendor : SubFolders(local)) {
      if (IsSkippedVendor(vendor)) continue;
      const std::wstring vendorFolder = local + L"\\" + vendor;
      std::vector<OtherChromiumBrowser> found;
      if (LooksLikeChromiumUserData(vendorFolder)) {
        found.push_back({vendorFolder + L"\\User Data", vendor, vendor, int(u), {}});
      } else {
        for (const std::wstring& product : SubFolders(vendorFolder)) {
          if (LooksLikeChromiumUserData(vendorFolder + L"\\" + product))
            found.push_back({vendorFolder + L"\\" + product + L"\\User Data", vendor + L"\\" + product,
                             vendor + L" " + product, int(u), {}});
        }
      }
      for (OtherChromiumBrowser& browser : found) {
        browser.executablePath = ReadLastBrowserFile(browser.userDataFolder + L"\\Last Browser");
        out.push_back(std::move(browser));
      }
    }
  }
  for (size_t u = 0; u < users.size(); ++u) {
    if (users[u].profileFolder.empty()) continue;
    const std::wstring opera = users[u].profileFolder + fragments.roamingAppData + L"\\Opera Software";
    if (Exists(opera + L"\\Opera Stable\\GrShaderCache") || Exists(opera + L"\\Opera Stable\\CertificateRevocation"))
      out.push_back({opera, L"Opera Software\\Opera Stable", kOperaDisplayName, int(u),
                     users[u].profileFolder + fragments.localAppData + L"\\Programs\\Opera\\launcher.exe"});
  }
}

bool RegisterFirefoxFamilyBrowser(const std::wstring& dataFolder, const std::wstring& displayName, int userIndex,
                                  const std::wstring& ownerProfile, std::vector<OtherFirefoxBrowser>& out) {
  const std::wstring ini = dataFolder + L"\\profiles.ini";
  if (!FileExists(ini)) return false;
  std::wstring install;
  for (const std::wstring& profile : FirefoxProfileFolders(ini, ownerProfile)) {
    install = ReadLastPlatformDir(profile);
    if (!install.empty()) break;
  }
  while (install.size() > 3 && install.back() == L'\\') install.pop_back();
  if (install.empty()) return false;
  std::wstring executable = LastComponent(dataFolder) + L".exe";
  if (!FileExists(install + L"\\" + executable)) {
    executable = displayName + L".exe";
    if (!FileExists(install + L"\\" + executable)) executable = L"firefox.exe";
  }
  out.push_back({dataFolder, install, executable, userIndex, displayName});
  return true;
}

void DiscoverOtherFirefoxBrowsers(const UserList& users, const UserFolderFragments& fragments,
                                  std::vector<OtherFirefoxBrowser>& out) {
  for (size_t u = 0; u < users.size(); ++u) {
    const std::wstring& profile = users[u].profileFolder;
    if (profile.empty()) continue;
    const std::wstring roaming = profile + fragments.roamingAppData;
    for (const std::wstring& vendor : SubFolders(roaming)) {
      if (IsSkippedVendor(vendor)) continue;
      const std::wstring vendorFolder = roaming + L"\\" + vendor;
      if (FolderExists(vendorFolder + L"\\Profiles") &&
          RegisterFirefoxFamilyBrowser(vendorFolder, vendor, int(u), profile, out))
        continue;
      for (const std::wstring& product : SubFolders(vendorFolder)) {
        if (EqualsNoCase(product, L"Firefox")) continue;
        const std::wstring productFolder = vendorFolder + L"\\" + product;
        if (FolderExists(productFolder + L"\\Profiles"))
          RegisterFirefoxFamilyBrowser(productFolder, vendor + L" " + product, int(u), profile, out);
      }
    }
    const std::wstring tor = profile + fragments.desktop + L"\\Tor Browser\\Browser\\TorBrowser\\Data\\Browser";
    if (FolderExists(tor)) RegisterFirefoxFamilyBrowser(tor, L"Tor Browser", int(u), profile, out);
  }
}

}  // namespace tavrin
