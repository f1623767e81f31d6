#include "scan/program_folder.h"

#include <windows.h>

#include <msi.h>

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "definitions/uninstaller_target.h"
#include "filetrust/command_target.h"
#include "filetrust/system_folders.h"
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

// Longer values are not read as paths at all.
constexpr size_t kMaxValueText = 32767;

bool IsAtOrBelow(std::wstring_view lowered, std::wstring_view folder) {
  if (folder.empty() || lowered.size() < folder.size() || lowered.compare(0, folder.size(), folder) != 0) return false;
  return lowered.size() == folder.size() || lowered[folder.size()] == L'\\';
}

std::wstring ParentOf(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// A name the folder's own name may begin with to be the program's, as the
// guesses look for "name*".
bool FolderNameBegins(std::wstring_view folderName, std::wstring_view name) {
  const std::wstring trimmed = Trim(name);
  return trimmed.size() >= 3 && IsPathSafeName(trimmed) && StartsWithNoCase(folderName, trimmed);
}

bool PublisherNamesAFolder(const std::wstring& publisher) {
  return publisher.size() > 4 && !StartsWithNoCase(publisher, L"Microsoft ") && IsPathSafeName(publisher);
}

bool IsTiedToFolder(const std::wstring& canonical, const UninstallEntry& entry) {
  const std::wstring_view name = std::wstring_view(canonical).substr(canonical.rfind(L'\\') + 1);
  if (FolderNameBegins(name, entry.displayName) || FolderNameBegins(name, entry.dbName)) return true;
  if (PublisherNamesAFolder(entry.publisher) && FolderNameBegins(name, entry.publisher)) return true;
  const std::wstring uninstaller = ToLower(entry.uninstaller);
  return uninstaller.size() > canonical.size() && IsAtOrBelow(uninstaller, ToLower(canonical));
}

// A service or Run entry named for the program ("GammaSvc" for "Gamma
// Coupons") is the program's own and goes with it; any other one running
// from the folder says the folder is someone else's.
bool IsOwnedByProgram(const FolderOwner& owner, const UninstallEntry& entry) {
  for (const std::wstring* programName : {&entry.displayName, &entry.dbName}) {
    std::wstring stem = Trim(*programName);
    if (const size_t blank = stem.find(L' '); blank != std::wstring::npos && blank >= 4) stem.resize(blank);
    if (stem.size() < 4) continue;
    for (const std::wstring& name : owner.names)
      if (StartsWithNoCase(Trim(name), stem)) return true;
  }
  return false;
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

std::wstring GuessFolder(const UninstallEntry& entry, const GuessFolders& guesses, const FolderGuard& guard,
                         const ProgramFolderFacts& facts, FolderListings& listings) {
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
    const FolderJudgement judged = JudgeProgramFolder(*found, entry, guard, facts);
    if (judged.verdict == FolderVerdict::Accepted) return judged.folder;
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

std::wstring ResolvedUninstaller(const std::wstring& uninstallString, const SystemFolders& folders) {
  if (uninstallString.empty() || uninstallString.size() > kMaxValueText) return {};
  // Asked as a plain command even for a Windows Installer entry: the file
  // the command runs is what is wanted here.
  std::optional<UninstallerFile> file = UninstallerTargetOf(L"", false, uninstallString, folders);
  return file ? file->path : std::wstring();
}

std::optional<std::wstring> ProgramFolderCanonical(std::wstring_view text) {
  if (text.size() > kMaxValueText) return std::nullopt;
  std::wstring path = Expanded(WithoutQuotes(Trim(text)));
  std::replace(path.begin(), path.end(), L'/', L'\\');
  path = Trim(path);
  // The long-path prefixes say nothing about where the folder is.
  for (const wchar_t* prefix : {L"\\\\?\\", L"\\??\\"}) {
    if (path.starts_with(prefix) && !StartsWithNoCase(path, std::wstring(prefix) + L"UNC\\")) {
      path.erase(0, 4);
      break;
    }
  }
  // Windows drops trailing dots and blanks of a name when it opens a path;
  // the folder is judged under the name it will really have.
  std::wstring cleaned;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring part = path.substr(start, end - start);
    if (part != L"." && part != L"..") {
      const bool named = !part.empty();
      while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
      if (named && part.empty()) return std::nullopt;
    }
    if (start > 0) cleaned += L'\\';
    cleaned += part;
    start = end + 1;
  }
  return CanonicalFolder(cleaned);
}

FolderJudgement JudgeProgramFolder(std::wstring_view text, const UninstallEntry& entry, const FolderGuard& guard,
                                   const ProgramFolderFacts& facts) {
  FolderJudgement judged;
  const std::optional<std::wstring> canonical = ProgramFolderCanonical(text);
  if (!canonical) return judged;
  judged.folder = *canonical;
  auto verdict = [&](FolderVerdict kind) {
    judged.verdict = kind;
    return judged;
  };
  if (IsWindowsOwnedFolder(guard, *canonical)) return verdict(FolderVerdict::WindowsOwned);
  if (!IsStorableFolder(guard, *canonical)) return verdict(FolderVerdict::Protected);
  const std::wstring lowered = ToLower(*canonical);
  for (const FolderOwner& other : facts.programs) {
    if (EqualsNoCase(other.key, entry.key)) continue;
    // The same program registered twice (for a user and for the machine,
    // or its installer beside its package) shares one folder.
    if (other.folder == lowered && !other.names.empty() && !Trim(entry.displayName).empty() &&
        EqualsNoCase(Trim(other.names[0]), Trim(entry.displayName)))
      continue;
    if (IsAtOrBelow(other.folder, lowered)) return verdict(FolderVerdict::OtherProgram);
  }
  for (const FolderOwner& service : facts.services)
    if (IsAtOrBelow(service.folder, lowered) && !IsOwnedByProgram(service, entry))
      return verdict(FolderVerdict::ServiceImage);
  for (const FolderOwner& run : facts.runEntries)
    if (IsAtOrBelow(run.folder, lowered) && !IsOwnedByProgram(run, entry)) return verdict(FolderVerdict::RunEntry);
  if (!IsTiedToFolder(*canonical, entry)) return verdict(FolderVerdict::NotTied);
  return verdict(FolderVerdict::Accepted);
}

ProgramFolderFacts GatherProgramFolderFacts(const std::vector<std::wstring>& uninstallRoots,
                                            const std::vector<std::wstring>& runKeys, const SystemFolders& folders) {
  ProgramFolderFacts facts;
  auto add = [](std::vector<FolderOwner>& list, const std::wstring& key, const std::vector<std::wstring>& names,
                const std::wstring& folderText) {
    if (folderText.empty()) return;
    if (std::optional<std::wstring> folder = ProgramFolderCanonical(folderText))
      list.push_back({key, names, ToLower(*folder)});
  };
  auto text = [](HKEY key, const wchar_t* name) {
    std::wstring value;
    if (!ReadString(key, name, value) || value.size() > kMaxValueText) value.clear();
    return value;
  };
  for (const std::wstring& root : uninstallRoots) {
    RegKey rootKey = OpenKey(root, kRegRead);
    if (!rootKey) continue;
    for (const std::wstring& name : SubKeyNames(rootKey)) {
      RegKey entry = OpenSubKey(rootKey, name, kRegRead);
      if (!entry) continue;
      const std::wstring key = root + L"\\" + name;
      const std::vector<std::wstring> names = {text(entry, L"DisplayName")};
      add(facts.programs, key, names, text(entry, L"InstallLocation"));
      DWORD marker = 0;
      if (ReadDword(entry, L"WindowsInstaller", marker) && marker != 0) {
        add(facts.programs, key, names, MsiInstallLocation(name));
      } else if (const std::wstring uninstaller = ResolvedUninstaller(text(entry, L"UninstallString"), folders);
                 !uninstaller.empty()) {
        add(facts.programs, key, names, ParentOf(uninstaller));
      }
    }
  }
  const std::wstring servicesRoot = L"HKLM\\SYSTEM\\CurrentControlSet\\Services";
  if (RegKey services = OpenKey(servicesRoot, kRegRead)) {
    for (const std::wstring& name : SubKeyNames(services)) {
      RegKey service = OpenSubKey(services, name, kRegRead);
      if (!service) continue;
      const std::vector<std::wstring> names = {name, text(service, L"DisplayName")};
      std::wstring image = text(service, L"ImagePath");
      if (!image.empty() && ResolveDriverPath(image, folders))
        add(facts.services, servicesRoot + L"\\" + name, names, ParentOf(LongPathName(image)));
      RegKey parameters = OpenSubKey(service, L"Parameters", kRegRead);
      std::wstring dll = parameters ? text(parameters, L"ServiceDll") : std::wstring();
      if (!dll.empty() && ResolveDriverPath(dll, folders))
        add(facts.services, servicesRoot + L"\\" + name, names, ParentOf(LongPathName(dll)));
    }
  }
  for (const std::wstring& runKey : runKeys) {
    RegKey run = OpenKey(runKey, kRegRead);
    if (!run) continue;
    for (DWORD index = ValueCount(run); index-- > 0;) {
      std::wstring name, command;
      DWORD type = 0, length = 0;
      if (!EnumValue(run, index, name, type, length) || !ReadString(run, name.c_str(), command)) continue;
      if (command.size() > kMaxValueText || !ResolveCommandTargetInPlace(command, folders)) continue;
      add(facts.runEntries, runKey + L"\\" + name, {name}, ParentOf(LongPathName(command)));
    }
  }
  return facts;
}

std::wstring ProgramFolderOf(const UninstallEntry& entry, const GuessFolders& guesses, const FolderGuard& guard,
                             const ProgramFolderFacts& facts, FolderListings& listings,
                             const ProgramFolderRules& rules) {
  auto take = [&](const std::wstring& text, bool mustExist) -> std::wstring {
    const FolderJudgement judged = JudgeProgramFolder(text, entry, guard, facts);
    if (judged.verdict != FolderVerdict::Accepted) return {};
    if (mustExist && !FolderExists(judged.folder)) return {};
    return judged.folder;
  };
  if (!entry.installLocation.empty()) {
    if (std::wstring folder = take(entry.installLocation, true); !folder.empty()) return folder;
  }
  if (entry.isMsi) {
    const std::wstring location = MsiInstallLocation(entry.productCode);
    if (location.size() > 10) {
      const bool loose = rules.msiLocationNeedNotExist && Expanded(location).find(L':') != std::wstring::npos;
      if (std::wstring folder = take(location, !loose); !folder.empty()) return folder;
    }
  }
  if (std::wstring folder = GuessFolder(entry, guesses, guard, facts, listings); !folder.empty()) return folder;
  // Only the file the command runs says where the program is: a path in
  // its arguments ("/log=...") may name anything.
  if (entry.uninstaller.empty()) return {};
  return take(ParentOf(entry.uninstaller), true);
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
