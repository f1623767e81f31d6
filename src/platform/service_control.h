#pragma once
// Asking the service control manager to start or stop a service, waiting
// for the state it reaches, and changing a service's start type.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tavrin {

enum class ServiceCommand { Stop, Start };

// Sends the command and polls the service's state every `pollMs` for at
// most `rounds` rounds, calling `cancelled` before each. 1 when the service
// is then stopped (Stop) or running (Start), also when it already was; 0 on
// failure or when the time ran out; -1 when `cancelled` answered true.
int ControlServiceAndWait(const std::wstring& name, ServiceCommand command, const std::function<bool()>& cancelled,
                          DWORD pollMs = 22, int rounds = 200);

// Sets the start type (SERVICE_AUTO_START, SERVICE_DEMAND_START,
// SERVICE_DISABLED ...) and, unless `delayed` is -1, the delayed
// automatic start. Where the manager refuses the delayed flag it is
// written as the service's "DelayedAutostart" value, which is where the
// manager keeps it. True when every asked change was made.
bool ChangeServiceStart(const std::wstring& name, DWORD startType, int delayed = -1);

// The names of the installed Win32 services in the manager's order.
std::vector<std::wstring> InstalledServiceNames();

}  // namespace tavrin
