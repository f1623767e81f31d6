#include "removal/removal_safety.h"

#include <windows.h>
#include <sfc.h>

#include "filetrust/protected_folder.h"
#include "platform/file_system.h"
#include "platform/pattern.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "removal/wildcard_pattern.h"

namespace tavrin {

namespace {

const wchar_t* const kSharedContainers[] = {L"Microsoft", L"Packages",  L"Programs",         L"Temp",
                                            L"Windows",   L"Start Menu", L"Startup",         L"Desktop",
                                            L"Roaming",   L"Local",     L"LocalLow",         L"Application Data",
                                            L"Internet Explorer"};

bool HasDotComponent(std::wstring_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    std::wstring_view part = path.substr(start, end - start);
    if (part == L"." || part == L"..") return true;
    start = end + 1;
  }
  return false;
}

std::wstring_view WithoutTrailingBackslashes(std::wstring_view path) {
  while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  return path;
}

std::wstring_view LastComponent(std::wstring_view path) {
  path = WithoutTrailingBackslashes(path);
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// What may follow the folder's name where the text names the folder
// itself rather than a longer name that begins the same way.
bool EndsNameAt(std::wstring_view text, size_t end) {
  if (end == text.size()) return true;
  const wchar_t c = text[end];
  return c == L'\\' || c == L'"' || c == L'\'' || c == L',' || c == L';' || c == L'\t' || c == L'\r' ||
         c == L'\n' || c == L'\0';
}

// The folder named inside a longer path ("D:\x\C:\Apps") is not the folder.
bool StartsNameAt(std::wstring_view text, size_t start) {
  if (start == 0) return true;
  const wchar_t c = text[start - 1];
  return !(c == L'_' || c == L'-' || c == L'.' || c == L'~' || IsCharAlphaNumericW(c));
}

size_t ComponentCount(std::wstring_view subkey) {
  size_t count = 0;
  bool inName = false;
  for (wchar_t c : subkey) {
    if (c == L'\\') {
      inName = false;
    } else if (!inName) {
      inName = true;
      ++count;
    }
  }
  return count;
}

// Keys below which shared state lives; each of them and every key on the
// way to them is refused.
const wchar_t* const kSharedKeys[] = {
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
    L"SOFTWARE\\Microsoft\\Internet Explorer\\Main",
    L"SOFTWARE\\Classes\\CLSID",
    L"SOFTWARE\\Policies\\Microsoft",
    L"SOFTWARE\\Clients\\StartMenuInternet",
    L"SYSTEM\\CurrentControlSet\\Services",
    L"SYSTEM\\CurrentControlSet\\Control",
    L"Environment",
};

std::wstring WithoutNode(std::wstring_view subkey) {
  std::wstring result;
  size_t start = 0;
  while (start <= subkey.size()) {
    size_t end = subkey.find(L'\\', start);
    if (end == std::wstring_view::npos) end = subkey.size();
    const std::wstring_view part = subkey.substr(start, end - start);
    if (!part.empty() && !EqualsNoCase(part, L"WOW6432Node")) {
      if (!result.empty()) result += L'\\';
      result += part;
    }
    start = end + 1;
  }
  return result;
}

}  // namespace

bool IsSharedRegistryKey(const std::wstring& key) {
  const RegPathParts parts = ParseRegPath(key);
  if (!parts) return true;
  std::wstring subkey = WithoutNode(parts.subkey);
  if (parts.root == HKEY_USERS) {
    // The SID (or a hive's mount name) stands where HKCU would begin.
    const size_t slash = subkey.find(L'\\');
    if (slash == std::wstring::npos) return true;
    subkey = subkey.substr(slash + 1);
  }
  if (parts.root == HKEY_CLASSES_ROOT) subkey = L"SOFTWARE\\Classes\\" + subkey;
  if (ComponentCount(subkey) < 2) return true;
  for (const wchar_t* shared : kSharedKeys) {
    const std::wstring_view sharedKey = shared;
    if (EqualsNoCase(subkey, sharedKey)) return true;
    if (subkey.size() < sharedKey.size() && StartsWithNoCase(sharedKey, subkey) && sharedKey[subkey.size()] == L'\\')
      return true;
  }
  return false;
}

bool IsPlainName(std::wstring_view name) {
  if (name.empty() || name.size() > 255) return false;
  if (name.front() == L' ' || name.back() == L' ' || name.back() == L'.') return false;
  if (name.find(L"..") != std::wstring_view::npos) return false;
  for (wchar_t c : name) {
    if (c < 0x20 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' ||
        c == L'>' || c == L'|')
      return false;
  }
  return true;
}

bool IsSharedContainerName(std::wstring_view name) {
  for (const wchar_t* shared : kSharedContainers)
    if (EqualsNoCase(name, shared)) return true;
  return StartsWithNoCase(name, L"Microsoft");
}

std::wstring LeftoverNamePattern(const std::wstring& dbName, const std::wstring& installPath) {
  std::wstring pattern;
  if (!dbName.empty()) {
    if (!IsPlainName(dbName)) return {};
    pattern = dbName + L"*";
  } else {
    const std::wstring_view last = LastComponent(installPath);
    if (!IsPlainName(last)) return {};
    pattern = std::wstring(last);
  }
  if (LiteralCharacterCount(pattern) < kShortestLeftoverName) return {};
  // A pattern that takes a shared container takes every program's files.
  const Pattern compiled(WildcardPattern(pattern));
  if (!compiled.IsValid()) return {};
  for (const wchar_t* probe : kSharedContainers)
    if (compiled.Matches(probe)) return {};
  if (StartsWithNoCase(pattern, L"Microsoft")) return {};
  return pattern;
}

std::wstring PublisherFolderName(const std::wstring& publisher) {
  if (publisher.size() < kShortestLeftoverName || EqualsNoCase(publisher, L"(Not set)")) return {};
  if (!IsPlainName(publisher) || IsSharedContainerName(publisher)) return {};
  return publisher;
}

std::wstring CleanupFolder(const std::wstring& installPath) {
  if (installPath.size() < kShortestProgramPath) return {};
  std::wstring folder = CanonicalFilePath(installPath);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  if (folder.size() < kShortestProgramPath || !IsAbsolutePath(folder)) return {};
  if (HasDotComponent(folder) || IsProtectedFolder(folder)) return {};
  return folder;
}

bool NamesPathInside(std::wstring_view text, std::wstring_view folder) {
  folder = WithoutTrailingBackslashes(folder);
  if (folder.size() < kShortestProgramPath) return false;
  for (size_t at = FindNoCase(text, folder); at != std::wstring_view::npos; at = FindNoCase(text, folder, at + 1)) {
    const size_t end = at + folder.size();
    if (!StartsNameAt(text, at) || !EndsNameAt(text, end)) continue;
    // "\..\" right after the folder would climb out of it again.
    if (end < text.size() && text.substr(end).starts_with(L"\\..")) continue;
    return true;
  }
  return false;
}

bool LiesInFolder(std::wstring_view path, std::wstring_view folder, bool directly) {
  folder = WithoutTrailingBackslashes(folder);
  if (folder.size() < 3 || path.size() <= folder.size() + 1) return false;
  if (HasDotComponent(path) || HasDotComponent(folder)) return false;
  if (!StartsWithNoCase(path, folder) || path[folder.size()] != L'\\') return false;
  const std::wstring_view rest = WithoutTrailingBackslashes(path.substr(folder.size() + 1));
  if (rest.empty()) return false;
  return !directly || rest.find(L'\\') == std::wstring_view::npos;
}

bool IsCriticalSystemImage(const std::wstring& path, const std::wstring& windowsFolder) {
  static const wchar_t* const kCritical[] = {
      L"lsass.exe",    L"csrss.exe",  L"winlogon.exe", L"services.exe", L"smss.exe",     L"wininit.exe",
      L"svchost.exe",  L"lsm.exe",    L"lsaiso.exe",   L"dwm.exe",      L"explorer.exe", L"userinit.exe",
      L"ntoskrnl.exe", L"conhost.exe", L"fontdrvhost.exe", L"sihost.exe", L"taskhostw.exe"};
  std::wstring canonical = CanonicalFilePath(path);
  if (canonical.empty()) canonical = path;
  const std::wstring_view name = LastComponent(canonical);
  bool critical = false;
  for (const wchar_t* image : kCritical) critical = critical || EqualsNoCase(name, image);
  if (!critical) return false;
  // Only the system's own copies: a "svchost.exe" in a user's temporary
  // folder is exactly what a removal is for.
  const std::wstring_view windows = WithoutTrailingBackslashes(windowsFolder);
  if (windows.empty()) return true;
  for (const std::wstring& folder : {std::wstring(windows), std::wstring(windows) + L"\\System32",
                                     std::wstring(windows) + L"\\SysWOW64", std::wstring(windows) + L"\\Sysnative"})
    if (LiesInFolder(canonical, folder, true)) return true;
  return false;
}

bool IsUntouchableFile(const std::wstring& path, const std::wstring& windowsFolder) {
  if (IsCriticalSystemImage(path, windowsFolder)) return true;
  return IsAbsolutePath(path) && SfcIsFileProtected(nullptr, path.c_str());
}

}  // namespace tavrin
