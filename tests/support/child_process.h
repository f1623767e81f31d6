#pragma once
// Child programs of the tests (tavrin_test_helper.exe and the test DLLs,
// built into the support folder of the test build) and an owner that
// makes sure a started child does not outlive its test.
#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

namespace tavrin::test {

// Full path of `relative` (with backslashes) from the folder of the running
// test executable.
std::wstring TestBuildPath(const std::wstring& relative);
// Path of a file in the support folder of the test build.
inline std::wstring SupportFile(const std::wstring& name) { return TestBuildPath(L"..\\support\\" + name); }
inline std::wstring HelperPath() { return SupportFile(L"tavrin_test_helper.exe"); }

// A running child: terminated (if still running) and waited for on scope
// exit.
class ChildProcess {
 public:
  ChildProcess() = default;
  // Takes over a process started elsewhere (by the code under test).
  explicit ChildProcess(DWORD pid);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `commandLine` with the show command `show`; false when it could
  // not start.
  bool Start(const std::wstring& commandLine, int show = SW_HIDE);
  DWORD Id() const { return pid_; }
  bool Running() const;
  // Waits for the end (up to `ms`); the exit code, or ~0u on time-out.
  DWORD Wait(DWORD ms = 10000) const;
  void Kill();

 private:
  UniqueProcess process_;
  DWORD pid_ = 0;
};

// Waits until `path` exists (up to `ms`).
bool WaitForFile(const std::wstring& path, DWORD ms = 10000);

}  // namespace tavrin::test
