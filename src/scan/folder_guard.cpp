#include "scan/folder_guard.h"

#include <windows.h>

#include <algorithm>

#include "filetrust/protected_folder.h"
#include "platform/file_system.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

// Shell folder names of the Explorer "Shell Folders" keys whose folders a
// user's profile cannot lose.
constexpr const wchar_t* kUserShellFolders[] = {
    L"AppData", L"Local AppData", L"Desktop", L"Personal", L"Programs", L"Start Menu", L"Startup",
    L"Favorites", L"My Pictures", L"My Music", L"My Video", L"Cache", L"Cookies", L"History",
    L"Recent", L"SendTo", L"Templates", L"NetHood", L"PrintHood", L"Administrative Tools"};

std::wstring Key(const std::wstring& canonical) { return ToLower(canonical); }

void AddCanonical(std::vector<std::wstring>& list, const std::wstring& folder) {
  if (folder.empty()) return;
  if (std::optional<std::wstring> canonical = CanonicalFolder(folder)) list.push_back(Key(*canonical));
}

// The folder and every folder between it and the profile ("\AppData" for
// "\AppData\Roaming"), so that no step of the way is taken for a program's.
void AddWithParents(std::vector<std::wstring>& list, const std::wstring& profile, const std::wstring& folder) {
  std::optional<std::wstring> canonical = CanonicalFolder(folder);
  if (!canonical) return;
  std::wstring path = *canonical;
  for (;;) {
    list.push_back(Key(path));
    if (profile.empty() || path.size() <= profile.size() || !StartsWithNoCase(path, profile)) return;
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos || slash < profile.size()) return;
    path.resize(slash);
  }
}

bool IsAtOrBelow(const std::wstring& lowered, const std::wstring& folder) {
  if (folder.empty() || lowered.size() < folder.size() || lowered.compare(0, folder.size(), folder) != 0) return false;
  return lowered.size() == folder.size() || lowered[folder.size()] == L'\\';
}

}  // namespace

std::optional<std::wstring> CanonicalFolder(std::wstring_view path) {
  std::wstring text(path);
  if (text.empty() || text.size() >= 32767) return std::nullopt;
  std::replace(text.begin(), text.end(), L'/', L'\\');
  // Only a local drive path: a share or a device is no program's folder.
  if (text.size() < 3 || !iswalpha(text[0]) || text[1] != L':' || text[2] != L'\\') return std::nullopt;
  std::vector<wchar_t> buffer(32768);
  const DWORD length = GetFullPathNameW(text.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
  if (length == 0 || length >= buffer.size()) return std::nullopt;
  std::wstring full(buffer.data(), length);
  full = LongPathName(full);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  if (full.size() <= 3 || full[1] != L':' || full[2] != L'\\') return std::nullopt;
  return full;
}

FolderGuard BuildFolderGuard(const KnownFolders& folders, const UserList& users) {
  FolderGuard guard;
  const UserFolders& relative = folders.userRelative;
  const std::wstring* relatives[] = {&relative.appData,   &relative.localAppData, &relative.programs,
                                     &relative.desktop,   &relative.startup,      &relative.documents,
                                     &relative.temp,      &relative.localLow,     &relative.quickLaunch};
  auto addProfile = [&](const std::wstring& profile) {
    std::optional<std::wstring> canonicalProfile = CanonicalFolder(profile);
    if (!canonicalProfile) return;
    guard.kept.push_back(Key(*canonicalProfile));
    for (const std::wstring* folder : relatives)
      if (!folder->empty()) AddWithParents(guard.kept, *canonicalProfile, *canonicalProfile + *folder);
    for (const std::wstring* folder : {&relative.appData, &relative.localAppData, &relative.localLow})
      if (!folder->empty()) AddCanonical(guard.containers, *canonicalProfile + *folder);
  };
  addProfile(folders.profile);
  for (const UserProfile& user : users) {
    if (user.profileFolder.empty()) continue;
    addProfile(user.profileFolder);
    // A user's folders may be redirected away from the console user's
    // layout; the user's own hive says where they are.
    if (user.sid == kDefaultUserName || user.sid.empty()) continue;
    std::optional<std::wstring> canonicalProfile = CanonicalFolder(user.profileFolder);
    for (const wchar_t* name : kUserShellFolders) {
      const std::wstring folder = UserFolder(user.sid, name, user.profileFolder);
      if (!folder.empty()) AddWithParents(guard.kept, canonicalProfile.value_or(L""), folder);
    }
  }
  for (const std::wstring* folder : {&folders.programFiles64, &folders.programFiles32, &folders.commonAppData,
                                     &folders.commonProgramFiles, &folders.commonPrograms, &folders.commonDesktop,
                                     &folders.commonStartup, &folders.system, &folders.system32Bit}) {
    AddCanonical(guard.kept, *folder);
    AddCanonical(guard.containers, *folder);
  }
  const ProgramFiles programFiles = ProgramFilesFolders();
  AddCanonical(guard.containers, programFiles.native);
  AddCanonical(guard.containers, programFiles.x86);
  AddCanonical(guard.containers, programFiles.native + L"\\Common Files");
  AddCanonical(guard.containers, programFiles.x86 + L"\\Common Files");
  AddCanonical(guard.containers, ProfilesFolder());
  if (std::optional<std::wstring> windows = CanonicalFolder(folders.windows)) guard.windows = Key(*windows);
  for (const std::wstring* folder : {&folders.programFiles64, &folders.programFiles32, &programFiles.native,
                                     &programFiles.x86})
    AddCanonical(guard.programRoots, *folder);
  AddCanonical(guard.dataRoots, folders.commonAppData);
  auto addDataRoots = [&](const std::wstring& profile) {
    if (profile.empty()) return;
    for (const std::wstring* folder : {&relative.appData, &relative.localAppData, &relative.localLow})
      if (!folder->empty()) AddCanonical(guard.dataRoots, profile + *folder);
  };
  addDataRoots(folders.profile);
  for (const UserProfile& user : users) addDataRoots(user.profileFolder);
  for (auto* list : {&guard.kept, &guard.containers, &guard.programRoots, &guard.dataRoots}) {
    std::sort(list->begin(), list->end());
    list->erase(std::unique(list->begin(), list->end()), list->end());
  }
  return guard;
}

bool IsWindowsOwnedFolder(const FolderGuard& guard, const std::wstring& canonical) {
  const std::wstring lowered = Key(canonical);
  if (IsAtOrBelow(lowered, guard.windows)) return true;
  // The entry of `root` that the folder lies in, or nothing.
  auto entryBelow = [&](const std::wstring& root) -> std::wstring_view {
    if (root.empty() || lowered.size() <= root.size() + 1 || !IsAtOrBelow(lowered, root)) return {};
    std::wstring_view rest = std::wstring_view(lowered).substr(root.size() + 1);
    return rest.substr(0, rest.find(L'\\'));
  };
  for (const std::wstring& root : guard.programRoots) {
    const std::wstring_view entry = entryBelow(root);
    if (entry.empty()) continue;
    if (entry == L"common files" || entry == L"internet explorer" || entry.starts_with(L"windows") ||
        entry.starts_with(L"microsoft"))
      return true;
  }
  for (const std::wstring& root : guard.dataRoots) {
    const std::wstring_view entry = entryBelow(root);
    if (entry.empty()) continue;
    if (entry == L"packages" || entry.starts_with(L"windows") || entry.starts_with(L"microsoft")) return true;
  }
  return false;
}

bool IsStorableFolder(const FolderGuard& guard, const std::wstring& canonical) {
  if (canonical.size() <= 3) return false;
  const std::wstring lowered = Key(canonical);
  if (std::binary_search(guard.kept.begin(), guard.kept.end(), lowered)) return false;
  if (std::binary_search(guard.containers.begin(), guard.containers.end(), lowered)) return false;
  if (IsWindowsOwnedFolder(guard, canonical)) return false;
  return !IsProtectedFolder(canonical);
}

bool IsPathSafeName(std::wstring_view name) {
  if (name.empty() || name.find(L"..") != std::wstring_view::npos) return false;
  for (wchar_t c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
  }
  return true;
}

}  // namespace tavrin
