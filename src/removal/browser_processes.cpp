#include "removal/browser_processes.h"

#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/strings.h"
#include "removal/removal_safety.h"

namespace tavrin {

namespace {

// The executables browsers ship under; a name of a user's choosing is no
// browser's.
constexpr const wchar_t* kChromiumNames[] = {
    L"chrome.exe", L"msedge.exe",   L"brave.exe",  L"vivaldi.exe",    L"opera.exe",   L"launcher.exe",
    L"browser.exe", L"chromium.exe", L"iridium.exe", L"slimjet.exe",  L"dragon.exe",  L"torch.exe",
    L"maxthon.exe", L"360chrome.exe", L"epic.exe", L"coccocbrowser.exe", L"thorium.exe", L"ungoogled-chromium.exe"};
constexpr const wchar_t* kGeckoNames[] = {L"firefox.exe",  L"waterfox.exe", L"palemoon.exe", L"basilisk.exe",
                                          L"seamonkey.exe", L"librewolf.exe", L"floorp.exe",  L"icecat.exe",
                                          L"tor.exe",       L"mullvadbrowser.exe"};

template <size_t N>
bool NamedIn(const std::wstring& name, const wchar_t* const (&names)[N]) {
  for (const wchar_t* known : names)
    if (EqualsNoCase(name, known)) return true;
  return false;
}

std::wstring NameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool IsBelow(const std::wstring& path, const std::wstring& folder) {
  return folder.size() >= 3 && path.size() > folder.size() + 1 && StartsWithNoCase(path, folder) &&
         path[folder.size()] == L'\\';
}

// The executable as it lies on disk, when the text is already its
// canonical form; empty otherwise.
std::wstring ExistingImage(const std::wstring& path) {
  if (path.size() < 8 || !EndsWithNoCase(path, L".exe") || !IsAbsolutePath(path)) return {};
  const std::wstring canonical = CanonicalFilePath(path);
  if (canonical.empty() || !EqualsNoCase(canonical, path) || !FileExists(canonical)) return {};
  return canonical;
}

struct FamilyInstall {
  const wchar_t* tail;    // below a program-files or local application data folder
  bool perUser;           // also installed below local application data
  const wchar_t* marker;  // a file beside the executable in any of its installations
};

bool StandardInstall(BrowserFamily family, FamilyInstall& install) {
  switch (family) {
    case BrowserFamily::Chrome:
      install = {L"\\Google\\Chrome\\Application\\chrome.exe", true, L"chrome_proxy.exe"};
      return true;
    case BrowserFamily::Edge:
      install = {L"\\Microsoft\\Edge\\Application\\msedge.exe", true, L"msedge_proxy.exe"};
      return true;
    case BrowserFamily::Firefox:
      install = {L"\\Mozilla Firefox\\firefox.exe", true, L"omni.ja"};
      return true;
    case BrowserFamily::InternetExplorer:
      install = {L"\\Internet Explorer\\iexplore.exe", false, nullptr};
      return true;
    default:
      return false;
  }
}

void Add(std::vector<std::wstring>& images, const std::wstring& image, const BrowserPlaces& places) {
  if (image.empty() || IsCriticalSystemImage(image, places.windows)) return;
  for (const std::wstring& known : images)
    if (EqualsNoCase(known, image)) return;
  images.push_back(image);
}

bool OutsideWindows(const std::wstring& image, const BrowserPlaces& places) {
  return !places.windows.empty() && !IsBelow(image, places.windows) && !EqualsNoCase(image, places.windows);
}

// The folder that holds a found-on-the-fly Chromium browser's "User Data".
std::wstring ProductFolderOf(const std::wstring& rowPath) {
  const size_t at = FindNoCase(rowPath, L"\\User Data\\");
  if (at != std::wstring::npos) return rowPath.substr(0, at);
  // Opera keeps its profiles in "Opera Software" itself.
  const size_t opera = FindNoCase(rowPath, L"\\Opera Software\\");
  return opera == std::wstring::npos ? std::wstring() : rowPath.substr(0, opera + 15);
}

bool IsOwnChromiumFolder(const std::wstring& image, const std::wstring& rowPath, const BrowserPlaces& places) {
  const std::wstring product = ProductFolderOf(rowPath);
  if (product.empty()) return false;
  if (IsBelow(image, product)) return true;
  // Installed for every user: the program-files folder of the same vendor
  // and product names ("BraveSoftware\Brave-Browser").
  const std::wstring last = NameOf(product);
  const std::wstring vendor = NameOf(FolderOf(product));
  for (const std::wstring& root : {places.programFiles64, places.programFiles32}) {
    if (root.empty()) continue;
    if (!last.empty() && IsBelow(image, root + L"\\" + last)) return true;
    if (!vendor.empty() && IsBelow(image, root + L"\\" + vendor + L"\\" + last)) return true;
  }
  // Opera installs its launcher below the user's own local programs.
  if (EndsWithNoCase(product, L"\\Opera Software"))
    for (const std::wstring& local : places.localAppData)
      if (IsBelow(image, local + L"\\Programs\\Opera")) return true;
  return false;
}

}  // namespace

std::vector<std::wstring> BrowserImagesToClose(const std::vector<BrowserClaim>& claims, const BrowserPlaces& places) {
  std::vector<std::wstring> images;
  for (const BrowserClaim& claim : claims) {
    FamilyInstall install{};
    if (StandardInstall(claim.family, install)) {
      std::vector<std::wstring> roots = {places.programFiles64, places.programFiles32};
      if (install.perUser) roots.insert(roots.end(), places.localAppData.begin(), places.localAppData.end());
      for (const std::wstring& root : roots)
        if (!root.empty()) Add(images, ExistingImage(root + install.tail), places);
      // Installed elsewhere: the scan's executable, when it has the
      // family's name and lies among the family's own files.
      const std::wstring found = ExistingImage(claim.executable);
      if (!found.empty() && install.marker && EqualsNoCase(NameOf(found), NameOf(install.tail)) &&
          OutsideWindows(found, places) && FileExists(FolderOf(found) + L"\\" + install.marker))
        Add(images, found, places);
      continue;
    }
    if (claim.family == BrowserFamily::EdgeLegacy) {
      if (!places.windows.empty())
        Add(images,
            ExistingImage(places.windows + L"\\SystemApps\\Microsoft.MicrosoftEdge_8wekyb3d8bbwe\\MicrosoftEdge.exe"),
            places);
      continue;
    }
    const std::wstring found = ExistingImage(claim.executable);
    if (found.empty() || !OutsideWindows(found, places)) continue;
    const std::wstring name = NameOf(found);
    if (claim.family == BrowserFamily::OtherChromium) {
      const std::wstring product = NameOf(ProductFolderOf(claim.rowPath));
      const bool browserName = NamedIn(name, kChromiumNames) || (!product.empty() && EqualsNoCase(name, product + L".exe"));
      if (browserName && IsOwnChromiumFolder(found, claim.rowPath, places)) Add(images, found, places);
    } else if (NamedIn(name, kGeckoNames) && FileExists(FolderOf(found) + L"\\omni.ja")) {
      Add(images, found, places);
    }
  }
  return images;
}

int CloseBrowserImages(const std::vector<std::wstring>& images) {
  int ended = 0;
  for (const std::wstring& image : images) ended += KillProcessesByPath(image);
  return ended;
}

}  // namespace tavrin
