#include "support/child_process.h"

#include <vector>

namespace tavrin::test {

std::wstring TestBuildPath(const std::wstring& relative) {
  wchar_t own[1024] = {};
  GetModuleFileNameW(nullptr, own, 1024);
  std::wstring path = own;
  path = path.substr(0, path.rfind(L'\\') + 1) + relative;
  wchar_t full[1024] = {};
  DWORD length = GetFullPathNameW(path.c_str(), 1024, full, nullptr);
  return length > 0 && length < 1024 ? std::wstring(full, length) : path;
}

ChildProcess::ChildProcess(DWORD pid)
    : process_(pid ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)
                   : nullptr),
      pid_(pid) {}

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Start(const std::wstring& commandLine, int show) {
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = WORD(show);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  UniqueProcessInformation started;
  started.Adopt(info);
  process_ = std::move(started.process);
  pid_ = started.processId;
  return true;
}

bool ChildProcess::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

DWORD ChildProcess::Wait(DWORD ms) const {
  if (!process_ || WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return ~0u;
  DWORD code = ~0u;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

void ChildProcess::Kill() {
  if (!Running()) return;
  TerminateProcess(process_.get(), 1);
  WaitForSingleObject(process_.get(), 5000);
}

bool WaitForFile(const std::wstring& path, DWORD ms) {
  for (DWORD waited = 0; waited <= ms; waited += 20) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(20);
  }
  return false;
}

}  // namespace tavrin::test
