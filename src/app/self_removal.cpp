#include "app/self_removal.h"

#include <windows.h>

#include "app/program_keys.h"
#include "app/startup.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/pattern.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

std::wstring CompanionExecutable(const std::wstring& ownPath) {
  const std::wstring plain = PlainPath(ownPath);
  return RegexReplace(plain, L"64\\.exe$", L".exe").value_or(plain);
}

bool RemoveProgramFiles(const std::wstring& dataFolder, const std::wstring& ownPath) {
  bool removed = true;
  if (!dataFolder.empty()) removed = RemoveFileObject(dataFolder, 0) == RemovalResult::Removed;
  for (const wchar_t* key : {kProgramKey, kVirusTotalReportsKey}) {
    if (KeyExists(key) && !DeleteKeyTree(key)) removed = false;
  }

  // Other running copies (a quiet scheduled run, a second instance) would
  // keep the file locked; the calling process is never among those ended.
  const std::wstring companion = CompanionExecutable(ownPath);
  for (int attempt = 0; attempt < 10 && FindProcessByPath(companion, GetCurrentProcessId()) != 0; ++attempt) {
    KillProcessesByPath(companion);
    Sleep(50);
  }
  // The running executable itself is left to the command that outlives us.
  if (!EqualsNoCase(companion, PlainPath(ownPath))) RemoveFile(companion, 0);
  return removed;
}

void UninstallAndExit(const std::wstring& dataFolder, const std::wstring& ownPath) {
  RemoveProgramFiles(dataFolder, ownPath);
  DeleteSelfAndExit();
}

}  // namespace tavrin
