#include "browsers/chromium_profiles.h"

#include "browsers/browser_folder_guard.h"
#include "browsers/preference_document.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/strings.h"
#include "platform/text_file.h"

namespace tavrin {

namespace {

// One step of a path, spelled as the file system keeps it.
bool IsPlainFolderName(const std::wstring& name) {
  if (name.empty() || name.size() > 255 || name == L"." || name.find(L"..") != std::wstring::npos) return false;
  if (name.back() == L'.' || name.back() == L' ') return false;
  for (wchar_t c : name)
    if (c < 0x20 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' ||
        c == L'>' || c == L'|')
      return false;
  return true;
}

bool Listed(const std::vector<std::wstring>& folders, const std::wstring& folder) {
  for (const std::wstring& seen : folders)
    if (EqualsNoCase(seen, folder)) return true;
  return false;
}

}  // namespace

std::vector<std::wstring> ListedChromiumProfileFolders(const std::wstring& userDataFolder) {
  std::vector<std::wstring> folders;
  PreferenceDocument localState;
  if (!localState.Load(userDataFolder + L"\\Local State", PreferenceReadMode::Utf8)) return folders;
  PreferenceNode cache;
  if (!localState.FindNode(L"profile->info_cache", cache) || cache.kind != PreferenceKind::Object) return folders;
  MemberCursor member{};
  std::wstring name;
  while (localState.NextMember(member, &cache)) {
    // Each profile the browser knows is an object of its facts.
    if (member.kind != PreferenceKind::Object || !localState.KeyOf(member, name) || !IsPlainFolderName(name)) continue;
    // The folder as the file system spells it: "PROFIL~1" or "default"
    // would otherwise be "Profile 1" or "Default" scanned a second time.
    FindFiles find(userDataFolder + L"\\" + name);
    if (!find.Next() || !find.IsFolder() || find.IsReparsePoint()) continue;
    const std::wstring folder = userDataFolder + L"\\" + find.Name();
    if (!IsSafeBrowserFolder(folder, userDataFolder, {}) || Listed(folders, folder)) continue;
    folders.push_back(folder);
  }
  return folders;
}

std::vector<std::wstring> ChromiumProfileFolders(const std::wstring& userDataFolder, bool opera) {
  std::vector<std::wstring> folders;
  FindFiles find(userDataFolder + (opera ? L"\\Op*" : L"\\*f*"));
  while (find.Next()) {
    if (!find.IsFolder() || find.IsReparsePoint()) continue;
    std::wstring name = find.Name();
    if (!opera && !EqualsNoCase(name, L"Default") && !StartsWithNoCase(name, L"Profile ")) continue;
    folders.push_back(userDataFolder + L"\\" + name);
  }
  // Opera's "Local State" lies in "Opera Stable", a profile itself.
  if (opera) return folders;
  for (const std::wstring& folder : ListedChromiumProfileFolders(userDataFolder))
    if (!Listed(folders, folder)) folders.push_back(folder);
  return folders;
}

bool IsChromiumProfileFolder(const std::wstring& profileFolder, bool opera) {
  const size_t slash = profileFolder.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash == 0) return false;
  return Listed(ChromiumProfileFolders(profileFolder.substr(0, slash), opera), profileFolder);
}

std::wstring ReadLastBrowserFile(const std::wstring& path) {
  // A path of a few hundred characters; anything larger is not Chrome's.
  if (!FileExists(path) || FileSize(path) > 64 * 1024) return {};
  std::wstring text;
  if (!ReadTextFile(path, text, TextFile::DetectEncoding(path, true))) return {};
  size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return Trim(text);
}

bool LocateChromiumExecutable(const std::wstring& profileFolder, const std::wstring& localFragment, bool isEdge,
                              std::wstring& out) {
  out.clear();
  const std::wstring vendor = isEdge ? L"\\Microsoft\\Edge" : L"\\Google\\Chrome";
  const std::wstring tail = vendor + (isEdge ? L"\\Application\\msedge.exe" : L"\\Application\\chrome.exe");
  const std::wstring local = profileFolder + localFragment;
  std::wstring last = ReadLastBrowserFile(local + vendor + L"\\User Data\\Last Browser");
  ProgramFiles programFiles = ProgramFilesFolders();
  for (const std::wstring& candidate :
       {last, local + tail, programFiles.native.empty() ? std::wstring() : programFiles.native + tail,
        programFiles.x86.empty() ? std::wstring() : programFiles.x86 + tail}) {
    if (!candidate.empty() && FileExists(candidate)) {
      out = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace tavrin
