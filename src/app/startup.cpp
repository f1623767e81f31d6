#include "app/startup.h"

#include <windows.h>

#include "app/settings.h"
#include "platform/file_removal.h"
#include "platform/file_system.h"
#include "platform/firewall.h"
#include "platform/strings.h"

namespace tavrin {

std::wstring WithLongPathPrefix(const std::wstring& path) {
  if (path.rfind(L"\\\\", 0) == 0) return path;
  return L"\\\\?\\" + path;
}

bool DeleteOldExecutable(const std::wstring& executablePath) {
  const std::wstring old = executablePath + L".old";
  for (int attempt = 0; attempt < 50; ++attempt) {
    // A file that is not there counts as deleted: nothing to wait for.
    if (RemoveFile(old, 0) == RemovalResult::Removed) return true;
    Sleep(30);
  }
  return false;
}

FirewallStep RunFirewallStep(IniDocument& settings, const std::wstring& executablePath) {
  if (EqualsNoCase(settings.GetString(L"Settings", L"FirewallPath64", L""), executablePath))
    return FirewallStep::AlreadyAuthorized;
  if (!IsFirewallEnabled()) return FirewallStep::FirewallOff;
  // The firewall matches the process image by its plain path.
  if (!AuthorizeApplication(PlainPath(executablePath), kProductName,
                            std::wstring(kProductName) + L" (TCP-OUT)"))
    return FirewallStep::Failed;
  settings.SetString(L"Settings", L"FirewallPath64", executablePath);
  return FirewallStep::Authorized;
}

void SetProcessModes() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}

}  // namespace tavrin
