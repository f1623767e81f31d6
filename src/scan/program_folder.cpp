#include "scan/program_folder.h"

#include <windows.h>

#include <msi.h>

#include <climits>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/path_lookup.h"
#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

constexpr size_t kMaxExpanded = 32767;

std::wstring Expanded(const std::wstring& text) {
  std::wstring out;
  return ExpandEnvironmentLimited(text, kMaxExpanded, out) ? out : std::wstring();
}

std::wstring WithoutQuotes(std::wstring text) {
  std::erase(text, L'"');
  return text;
}

// A folder of the machine that the row may keep: canonical, storable and,
// unless told otherwise, there.
std::wstring Accept(const std::wstring& folder, const FolderGuard& guard, bool mustExist = true) {
  std::optional<std::wstring> canonical = CanonicalFolder(folder);
  if (!canonical || !IsStorableFolder(guard, *canonical)) return {};
  if (mustExist && !FolderExists(*canonical)) return {};
  return *canonical;
}

std::wstring MsiProductText(const std::wstring& productCode, const wchar_t* property, DWORD capacity) {
  std::vector<wchar_t> buffer(capacity);
  DWORD length = capacity;
  if (MsiGetProductInfoW(productCode.c_str(), property, buffer.data(), &length) != ERROR_SUCCESS) return {};
  return std::wstring(buffer.data(), std::min<DWORD>(length, capacity - 1));
}

std::wstring MsiInstallLocation(const std::wstring& productCode) {
  std::wstring location = MsiProductText(productCode, INSTALLPROPERTY_INSTALLLOCATION, 1024);
  if (location.find(L":\\") != std::wstring::npos) return location;
  const std::wstring packed = PackedProductCode(productCode);
  if (packed.empty()) return {};
  return ReadStringAt(L"HKLM64\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\" +
                          packed + L"\\InstallProperties",
                      L"InstallLocation")
      .value_or(L"");
}

bool PublisherNamesAFolder(const std::wstring& publisher) {
  return publisher.size() > 4 && !StartsWithNoCase(publisher, L"Microsoft ") && IsPathSafeName(publisher);
}

std::wstring GuessFolder(const UninstallEntry& entry, const GuessFolders& guesses, const FolderGuard& guard,
                         FolderListings& listings) {
  // A name that could step out of the folder it is looked for in builds
  // no path at all.
  if (!IsPathSafeName(entry.displayName)) return {};
  std::vector<std::wstring> parents = {guesses.programFiles64, guesses.programFiles32, guesses.commonAppData};
  const bool withPublisher = PublisherNamesAFolder(entry.publisher);
  if (withPublisher && !guesses.commonAppData.empty())
    parents.push_back(guesses.commonAppData + L"\\" + entry.publisher);
  for (const std::wstring* user : {&guesses.userAppData, &guesses.userLocalAppData})
    if (!user->empty()) parents.push_back(*user);
  if (withPublisher) {
    for (const std::wstring* user : {&guesses.userAppData, &guesses.userLocalAppData})
      if (!user->empty()) parents.push_back(*user + L"\\" + entry.publisher);
  }
  for (const std::wstring& parent : parents) {
    if (parent.empty()) continue;
    const std::optional<std::wstring> found = FindSubfolder(listings, parent, entry.displayName);
    if (!found) continue;
    // The publisher's folder may itself be a link to elsewhere.
    if (!FolderExists(parent)) continue;
    // Listed a moment ago, so it is there.
    if (IsStorableFolder(guard, *found)) return *found;
  }
  return {};
}

}  // namespace

std::wstring PackedProductCode(const std::wstring& productCode) {
  if (!IsGuidKeyName(productCode)) return {};
  const std::wstring hex = productCode.substr(1, 36);
  std::wstring packed;
  for (auto [from, count] : {std::pair<size_t, size_t>{0, 8}, {9, 4}, {14, 4}})
    for (size_t i = from + count; i > from; --i) packed += hex[i - 1];
  for (size_t at : {19u, 21u, 24u, 26u, 28u, 30u, 32u, 34u}) {
    packed += hex[at + 1];
    packed += hex[at];
  }
  return ToUpper(packed);
}

std::wstring UninstallStringFolder(const std::wstring& uninstallString) {
  if (uninstallString.size() <= 10) return {};
  std::wstring text = Expanded(WithoutQuotes(uninstallString));
  const size_t drive = text.rfind(L":\\");
  if (drive == std::wstring::npos || drive == 0) return {};
  text.erase(0, drive - 1);
  const size_t slash = text.rfind(L'\\');
  return text.substr(0, slash);
}

std::wstring ProgramFolderOf(const UninstallEntry& entry, const GuessFolders& guesses, const FolderGuard& guard,
                             FolderListings& listings, const ProgramFolderRules& rules) {
  if (!entry.installLocation.empty()) {
    const std::wstring location = Expanded(WithoutQuotes(entry.installLocation));
    if (std::wstring folder = Accept(location, guard); !folder.empty()) return folder;
  }
  if (entry.isMsi) {
    const std::wstring location = MsiInstallLocation(entry.productCode);
    if (location.size() > 10) {
      const std::wstring expanded = Expanded(location);
      const bool loose = rules.msiLocationNeedNotExist && expanded.find(L':') != std::wstring::npos;
      if (std::wstring folder = Accept(expanded, guard, !loose); !folder.empty()) return folder;
    }
  }
  if (std::wstring folder = GuessFolder(entry, guesses, guard, listings); !folder.empty()) return folder;
  return Accept(UninstallStringFolder(entry.uninstallString), guard);
}

IconLocation ParseIconLocation(const std::wstring& text) {
  IconLocation icon;
  std::wstring path = Trim(Expanded(text));
  const size_t comma = path.rfind(L',');
  if (comma != std::wstring::npos) {
    long long index = 0;
    if (ParseDecimal(Trim(path.substr(comma + 1)), index) && index >= INT_MIN && index <= INT_MAX) {
      icon.index = int(index);
      path.resize(comma);
    }
  }
  path = Trim(WithoutQuotes(path));
  if (IsAbsolutePath(path) && FileExists(path)) icon.file = path;
  return icon;
}

IconLocation ProgramIconOf(const UninstallEntry& entry) {
  if (!entry.displayIcon.empty()) {
    IconLocation icon = ParseIconLocation(entry.displayIcon);
    if (!icon.file.empty()) return icon;
  } else if (entry.isMsi) {
    IconLocation icon = ParseIconLocation(MsiProductText(entry.productCode, INSTALLPROPERTY_PRODUCTICON, 1024));
    if (!icon.file.empty()) return icon;
  }
  std::wstring text = Expanded(entry.uninstallString);
  const size_t exe = ToLower(text).rfind(L".exe");
  if (exe == std::wstring::npos) return {};
  text.resize(exe + 4);
  auto exists = [](const std::wstring& path) { return IsAbsolutePath(path) && FileExists(path); };
  if (!exists(text)) {
    if (size_t drive = text.rfind(L":\\"); drive != std::wstring::npos && drive > 0) text.erase(0, drive - 1);
  }
  if (!exists(text)) {
    if (size_t quote = text.rfind(L'"'); quote != std::wstring::npos) text.erase(0, quote + 1);
  }
  if (!exists(text)) {
    if (size_t blank = text.rfind(L' '); blank != std::wstring::npos) text.erase(0, blank + 1);
  }
  if (!exists(text)) return {};
  return {text, 0};
}

}  // namespace tavrin
