#include "filetrust/protected_folder.h"

#include <shlobj.h>

#include <vector>

#include "platform/file_system.h"
#include "platform/path_lookup.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/users.h"

namespace tavrin {

namespace {

constexpr const wchar_t* kWindowsParts[] = {L"Installer", L"Tasks", L"system", L"winsxs",
                                            L"Web", L"Microsoft.NET", L"Resources"};
// Everything below these is the system's own.
constexpr const wchar_t* kWindowsTrees[] = {L"System32\\", L"SysWOW64\\", L"winsxs\\", L"Resources\\"};

constexpr size_t kMaxExpandedPath = 4096;

// CSIDL_DESKTOP (0) up to the last identifier of the classic set.
constexpr int kLastShellFolderId = 59;

void TrimTrailingBackslashes(std::wstring& path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
}

struct ProtectedSet {
  std::vector<std::wstring> exact;  // without trailing backslashes
  std::vector<std::wstring> trees;  // contained anywhere in a protected path
  std::wstring profiles;
};

ProtectedSet FindProtectedSet() {
  ProtectedSet set;
  auto add = [&set](std::wstring folder) {
    TrimTrailingBackslashes(folder);
    if (!folder.empty()) set.exact.push_back(std::move(folder));
  };
  for (int csidl = 0; csidl <= kLastShellFolderId; ++csidl) add(ShellFolder(csidl));
  add(ProgramFilesFolders().x86 + L"\\Microsoft\\Edge\\Application");
  const std::wstring windows = FindMachineFolders().windows;
  if (!windows.empty()) {
    for (const wchar_t* part : kWindowsParts) add(windows + L"\\" + part);
    for (const wchar_t* tree : kWindowsTrees) set.trees.push_back(windows + L"\\" + tree);
  }
  add(TempFolder());
  set.profiles = ProfilesFolder();
  TrimTrailingBackslashes(set.profiles);
  if (!set.profiles.empty()) set.exact.push_back(set.profiles);
  return set;
}

// The machine's folders do not move while the program runs; looking up
// sixty shell folders for every folder a scan meets would.
const ProtectedSet& Protected() {
  static const ProtectedSet set = FindProtectedSet();
  return set;
}

}  // namespace

bool IsProtectedFolder(const std::wstring& path) {
  std::wstring folder;
  if (!ExpandEnvironmentLimited(path, kMaxExpandedPath, folder)) return false;
  if (ObjectAtPath(folder) == PathObject::Missing) return false;
  // A drive root, also when written with more than one backslash.
  if (folder.size() < 4) return true;
  TrimTrailingBackslashes(folder);
  if (folder.size() < 3) return true;

  const ProtectedSet& set = Protected();
  for (const std::wstring& exact : set.exact)
    if (EqualsNoCase(folder, exact)) return true;
  for (const std::wstring& tree : set.trees)
    if (FindNoCase(folder, tree) != std::wstring::npos) return true;
  // What lies deeper than a profile root is the user's own, unless it is
  // one of the shell folders.
  return IsProfileRoot(folder, set.profiles);
}

bool IsProfileRoot(const std::wstring& folder, const std::wstring& profilesFolder) {
  if (profilesFolder.empty() || folder.size() <= profilesFolder.size() + 1) return false;
  if (!StartsWithNoCase(folder, profilesFolder) || folder[profilesFolder.size()] != L'\\') return false;
  return folder.find(L'\\', profilesFolder.size() + 1) == std::wstring::npos;
}

}  // namespace tavrin
