#include "platform/restart.h"

#include <windows.h>

#include "platform/privileges.h"

namespace tavrin {

bool RestartComputer() {
  EnablePrivilege(SE_SHUTDOWN_NAME);
  return ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, 0) != FALSE;
}

}  // namespace tavrin
