#include "inventory/class_server.h"

#include <windows.h>

#include <vector>

#include "filetrust/command_target.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

// Real classes stand for one other at most; a longer chain only wastes the
// scan's time.
constexpr int kLongestTreatAsChain = 8;

// No server of a real class is written this long.
constexpr size_t kLongestServerText = 4096;

RegKey OpenClass(const std::wstring& classesRoot, const std::wstring& classId) {
  if (classId.empty() || classId.find(L'\\') != std::wstring::npos) return RegKey();
  RegKey key = OpenKey(classesRoot + L"\\CLSID\\" + classId, kRegRead);
  if (!key) key = OpenKey(classesRoot + L"\\Wow6432Node\\CLSID\\" + classId, kRegRead);
  return key;
}

// The default value of the first server subkey that has one.
bool ServerText(const RegKey& classKey, std::wstring& text) {
  for (const wchar_t* server : {L"InprocServer32", L"LocalServer32", L"InprocHandler32"}) {
    RegKey key = OpenSubKey(classKey, server, kRegRead);
    if (key && ReadString(key, nullptr, text) && !Trim(text).empty()) return true;
  }
  return false;
}

}  // namespace

std::wstring MachineClassesRoot(const SystemFolders& folders) { return folders.is64Bit ? L"HKCR64" : L"HKCR"; }

bool ClassServerFile(const std::wstring& classesRoot, const std::wstring& classId, const SystemFolders& folders,
                     std::wstring& file) {
  std::vector<std::wstring> seen;
  std::wstring current = Trim(classId);
  for (int depth = 0; depth <= kLongestTreatAsChain; ++depth) {
    for (const std::wstring& earlier : seen)
      if (EqualsNoCase(earlier, current)) return false;
    seen.push_back(current);
    RegKey classKey = OpenClass(classesRoot, current);
    if (!classKey) return false;
    std::wstring text;
    if (ServerText(classKey, text)) {
      if (text.size() > kLongestServerText) return false;
      if (!ResolveCommandTarget(text, folders, ResolveSearch | ResolveCommandLine)) return false;
      file = CanonicalFilePath(text);
      return !file.empty();
    }
    RegKey treatAs = OpenSubKey(classKey, L"TreatAs", kRegRead);
    if (!treatAs || !ReadString(treatAs, nullptr, current)) return false;
    current = Trim(current);
  }
  return false;
}

}  // namespace tavrin
