#include "platform/service_control.h"

#include "platform/registry.h"

namespace tavrin {

namespace {

struct ServiceHandle {
  SC_HANDLE handle = nullptr;
  explicit ServiceHandle(SC_HANDLE h) : handle(h) {}
  ~ServiceHandle() {
    if (handle) CloseServiceHandle(handle);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  explicit operator bool() const { return handle != nullptr; }
};

bool CurrentState(SC_HANDLE service, DWORD& state) {
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                            &needed))
    return false;
  state = status.dwCurrentState;
  return true;
}

}  // namespace

int ControlServiceAndWait(const std::wstring& name, ServiceCommand command, const std::function<bool()>& cancelled,
                          DWORD pollMs, int rounds) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return 0;
  ServiceHandle service(
      OpenServiceW(manager.handle, name.c_str(), SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!service) return 0;
  const DWORD wanted = command == ServiceCommand::Start ? SERVICE_RUNNING : SERVICE_STOPPED;
  DWORD state = 0;
  if (!CurrentState(service.handle, state)) return 0;
  if (state == wanted) return 1;
  if (command == ServiceCommand::Start) {
    if (!StartServiceW(service.handle, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) return 0;
  } else {
    SERVICE_STATUS status{};
    if (!ControlService(service.handle, SERVICE_CONTROL_STOP, &status) && GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
      return 0;
  }
  for (int round = 0; round < rounds; ++round) {
    if (cancelled && cancelled()) return -1;
    if (!CurrentState(service.handle, state)) return 0;
    if (state == wanted) return 1;
    Sleep(pollMs);
  }
  return 0;
}

bool ChangeServiceStart(const std::wstring& name, DWORD startType, int delayed) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  ServiceHandle service(OpenServiceW(manager.handle, name.c_str(), SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG));
  if (!service) return false;
  if (!ChangeServiceConfigW(service.handle, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr))
    return false;
  if (delayed < 0) return true;
  SERVICE_DELAYED_AUTO_START_INFO info{};
  info.fDelayedAutostart = delayed != 0;
  if (ChangeServiceConfig2W(service.handle, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info)) return true;
  return WriteDwordAt(L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\" + name, L"DelayedAutostart",
                      delayed != 0 ? 1 : 0);
}

std::vector<std::wstring> InstalledServiceNames() {
  std::vector<std::wstring> names;
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager) return names;
  DWORD needed = 0, count = 0, resume = 0;
  std::vector<BYTE> buffer;
  for (;;) {
    BOOL done = EnumServicesStatusExW(manager.handle, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                      buffer.empty() ? nullptr : buffer.data(), DWORD(buffer.size()), &needed, &count,
                                      &resume, nullptr);
    if (!done && GetLastError() != ERROR_MORE_DATA) return names;
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < count && entries; ++i) names.push_back(entries[i].lpServiceName);
    if (done) return names;
    buffer.resize(buffer.size() + needed + 1024);
  }
}

}  // namespace tavrin
