#include "browsers/chromium_profiles.h"

#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/strings.h"
#include "platform/text_file.h"

namespace tavrin {

std::vector<std::wstring> ChromiumProfileFolders(const std::wstring& userDataFolder, bool opera) {
  std::vector<std::wstring> folders;
  FindFiles find(userDataFolder + (opera ? L"\\Op*" : L"\\*f*"));
  while (find.Next()) {
    if (!find.IsFolder() || find.IsReparsePoint()) continue;
    std::wstring name = find.Name();
    if (!opera && !EqualsNoCase(name, L"Default") && !StartsWithNoCase(name, L"Profile ")) continue;
    folders.push_back(userDataFolder + L"\\" + name);
  }
  return folders;
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
