#include "platform/processes.h"

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/message_pump.h"
#include "platform/privileges.h"
#include "platform/strings.h"
#include "platform/unique_handle.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ChildProcess;
using test::FileExists;
using test::HelperPath;
using test::ScratchFolder;
using test::SupportFile;
using test::WriteBytes;

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// A copy of the helper under another path, so that the kills by path,
// name and folder can only hit the test's own processes.
std::wstring CopyHelper(const std::wstring& destination) {
  size_t slash = destination.rfind(L'\\');
  CreateDirectoryW(destination.substr(0, slash).c_str(), nullptr);
  return CopyFileW(HelperPath().c_str(), destination.c_str(), FALSE) ? destination : std::wstring();
}

void StartWaiting(ChildProcess& child, const std::wstring& executable) {
  ASSERT_TRUE(child.Start(Quoted(executable) + L" wait 60000")) << executable;
}

std::wstring ReadUtf16(const std::wstring& path) {
  const std::string bytes = test::ReadBytes(path);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

bool PrivilegeEnabled(const wchar_t* name) {
  LUID luid;
  UniqueToken token;
  if (!LookupPrivilegeValueW(nullptr, name, &luid) || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
    return false;
  PRIVILEGE_SET set{};
  set.PrivilegeCount = 1;
  set.Privilege[0].Luid = luid;
  BOOL enabled = FALSE;
  PrivilegeCheck(token.get(), &set, &enabled);
  return enabled != FALSE;
}

TEST(Processes, RunProgramWaitsForTheExitCode) {
  ScratchFolder scratch;
  const std::wstring spaced = CopyHelper(scratch / L"with space\\tavrin helper.exe");
  ASSERT_FALSE(spaced.empty());
  const std::wstring helper = HelperPath();
  struct Case {
    std::wstring commandLine, arguments;
    long long result;
  } cases[] = {
      {Quoted(helper) + L" exit 7", L"", 7},
      {helper + L" exit 8", L"", 8},
      // Unquoted with spaces: split where an existing program is named.
      {spaced + L" exit 9", L"", 9},
      {Quoted(helper), L"exit 11", 11},
      {Quoted(helper) + L" exit", L" 12", 12},
      // Bare names come from the search path, references are expanded.
      {L"cmd /c exit 5", L"", 5},
      {L"%ComSpec% /c exit 4", L"", 4},
      // Every exit code is told apart from "could not start".
      {Quoted(helper) + L" exit 4294967295", L"", 4294967295LL},
      {scratch / L"missing.exe", L"", -1},
      {L"", L"", -1},
  };
  for (const auto& c : cases) {
    const long long result = RunProgram(c.commandLine, c.arguments, SW_HIDE, true);
    const DWORD error = GetLastError();
    EXPECT_EQ(result, c.result) << c.commandLine << c.arguments << " (last error " << error << ")";
  }
  EXPECT_EQ(RunProgram(scratch / L"missing.exe", L"", SW_HIDE, false), 0);

  // The window of the waiting thread stays served meanwhile.
  static int dispatched;
  dispatched = 0;
  SetMessageDispatcher([] { ++dispatched; });
  EXPECT_EQ(RunProgram(Quoted(helper) + L" wait 300", L"", SW_HIDE, true), 0);
  SetMessageDispatcher(nullptr);
  EXPECT_GE(dispatched, 5);

  // The program is quoted and the arguments follow as given.
  const std::wstring output = scratch / L"cmdline.txt";
  ASSERT_EQ(RunProgram(helper + L" cmdline " + output, L"x \"y z\"", SW_HIDE, true), 0);
  EXPECT_EQ(ReadUtf16(output), Quoted(helper) + L" cmdline " + output + L" x \"y z\"");

  // A working folder of the caller's choosing.
  RunOptions options;
  options.workingFolder = scratch.Path();
  options.suspendRedirection = true;
  ASSERT_EQ(RunProgram(Quoted(helper) + L" cmdline relative.txt", L"", SW_HIDE, true, options), 0);
  EXPECT_TRUE(FileExists(scratch / L"relative.txt"));
}

TEST(Processes, RunProgramWithoutWaitingGivesTheRunningProcess) {
  const long long pid = RunProgram(Quoted(HelperPath()) + L" wait 60000", L"", SW_HIDE, false);
  ASSERT_GT(pid, 4);
  ChildProcess child(static_cast<DWORD>(pid));
  EXPECT_TRUE(child.Running());
  EXPECT_TRUE(IsProcessRunning(static_cast<DWORD>(pid)));
  EXPECT_EQ(ProcessImagePath(static_cast<DWORD>(pid)), HelperPath());
  child.Kill();
  EXPECT_FALSE(IsProcessRunning(static_cast<DWORD>(pid)));
}

TEST(Processes, IsProcessRunningForTheLowIdentifiers) {
  for (DWORD pid = 0; pid < 4; ++pid) EXPECT_FALSE(IsProcessRunning(pid)) << pid;
  EXPECT_TRUE(IsProcessRunning(4));
  EXPECT_TRUE(IsProcessRunning(GetCurrentProcessId()));
}

TEST(Processes, EveryChildStartsWithoutTheProgramsPrivileges) {
  // Disabled in a fresh token, enabled by the program's privilege set.
  ASSERT_FALSE(PrivilegeEnabled(SE_DEBUG_NAME));
  PrivilegeState state = EnablePrivileges();
  ASSERT_TRUE(state.valid);
  ASSERT_TRUE(PrivilegeEnabled(SE_DEBUG_NAME));
  ScratchFolder scratch;
  const std::wstring command = Quoted(HelperPath()) + L" privileges";
  // Through the shell: a command script that hands on what the helper saw.
  const std::wstring script = scratch / L"privileges.cmd";
  const std::wstring helper = HelperPath();  // a build path: plain ASCII
  const std::string text = "@\"" + std::string(helper.begin(), helper.end()) + "\" privileges\r\n@exit %errorlevel%\r\n";
  ASSERT_TRUE(WriteBytes(script, text));

  const struct {
    const char* path;
    std::function<DWORD()> start;  // the exit code of the started child
  } paths[] = {
      {"RunProgram waiting", [&] { return DWORD(RunProgram(command, L"", SW_HIDE, true)); }},
      {"RunProgram", [&] { return ChildProcess(DWORD(RunProgram(command, L"", SW_HIDE, false))).Wait(); }},
      {"OpenDocument", [&] { return ChildProcess(OpenDocument(script)).Wait(); }},
  };
  for (const auto& p : paths) {
    EXPECT_EQ(p.start(), 0u) << p.path;  // none of backup, restore, debug, take ownership
    EXPECT_TRUE(PrivilegeEnabled(SE_DEBUG_NAME)) << p.path << ": enabled again after the start";
  }

  RestorePrivileges(state);
  EXPECT_FALSE(PrivilegeEnabled(SE_DEBUG_NAME));
  EXPECT_EQ(RunProgram(command, L"", SW_HIDE, true), 0);
  EXPECT_FALSE(PrivilegeEnabled(SE_DEBUG_NAME));
}

TEST(Processes, APrivilegeEnabledAloneIsPutBackForChildrenToo) {
  const std::wstring command = Quoted(HelperPath()) + L" privilege " + SE_SHUTDOWN_NAME;
  ASSERT_TRUE(EnablePrivilege(SE_SHUTDOWN_NAME));
  EXPECT_EQ(RunProgram(command, L"", SW_HIDE, true), 0);
  EXPECT_TRUE(PrivilegeEnabled(SE_SHUTDOWN_NAME));
  EXPECT_FALSE(EnablePrivilege(L"SeNoSuchPrivilege"));
}

TEST(Processes, KillProcessEndsItAndNeverTheCaller) {
  ChildProcess child;
  StartWaiting(child, HelperPath());
  EXPECT_TRUE(KillProcess(child.Id()));
  EXPECT_EQ(child.Wait(1000), 0u);  // terminated with exit code 0
  EXPECT_FALSE(IsProcessRunning(child.Id()));
  EXPECT_TRUE(KillProcess(child.Id()));  // already ended
  EXPECT_FALSE(KillProcess(GetCurrentProcessId()));
}

TEST(Processes, KillByPathFolderAndName) {
  ScratchFolder scratch;
  const std::wstring inA = CopyHelper(scratch / L"a\\victim.exe");
  const std::wstring inB = CopyHelper(scratch / L"b\\victim.exe");
  const std::wstring inBB = CopyHelper(scratch / L"bb\\victim.exe");
  ASSERT_FALSE(inA.empty() || inB.empty() || inBB.empty());
  ChildProcess a1, a2, b, bb;
  StartWaiting(a1, inA);
  StartWaiting(a2, inA);
  StartWaiting(b, inB);
  StartWaiting(bb, inBB);

  EXPECT_EQ(FindProcessByPath(ToUpper(inB)), b.Id());
  EXPECT_EQ(FindProcessByPath(scratch / L"c\\victim.exe"), 0u);

  EXPECT_EQ(KillProcessesByPath(ToUpper(inA)), 2);
  EXPECT_FALSE(a1.Running());
  EXPECT_FALSE(a2.Running());
  EXPECT_TRUE(b.Running());

  // "...\b" is a folder, not a prefix of "...\bb".
  EXPECT_EQ(KillProcessesInFolder(scratch / L"b"), 1);
  EXPECT_FALSE(b.Running());
  EXPECT_TRUE(bb.Running());
  EXPECT_EQ(KillProcessesInFolder(scratch.Path() + L"\\"), 1);
  EXPECT_FALSE(bb.Running());

  const std::wstring name = L"tvn-kill-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  ChildProcess n1, n2;
  StartWaiting(n1, CopyHelper(scratch / (L"n1\\" + name)));
  StartWaiting(n2, CopyHelper(scratch / (L"n2\\" + name)));
  EXPECT_EQ(KillProcessesByName(ToUpper(name)), 2);
  EXPECT_FALSE(n1.Running());
  EXPECT_FALSE(n2.Running());
  EXPECT_EQ(KillProcessesByName(name), 0);
}

TEST(Processes, ImagePathsInKernelFormsAreNormalised) {
  wchar_t own[1024] = {};
  GetModuleFileNameW(nullptr, own, 1024);
  // The platform hands out this process's image in the device form.
  wchar_t device[1024] = {};
  ASSERT_GT(K32GetProcessImageFileNameW(GetCurrentProcess(), device, 1024), 0u);
  ASSERT_TRUE(StartsWithNoCase(device, L"\\Device\\"));
  EXPECT_EQ(NormalizeImagePath(device), own);
  EXPECT_EQ(FindProcessByPath(ToLower(own)), GetCurrentProcessId());

  wchar_t windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(NormalizeImagePath(L"\\SystemRoot\\System32\\smss.exe"), std::wstring(windows) + L"\\System32\\smss.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\C:\\Tools\\x.exe"), L"C:\\Tools\\x.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\\\?\\C:\\Tools\\x.exe"), L"C:\\Tools\\x.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\\\?\\UNC\\server\\share\\x.exe"), L"\\\\server\\share\\x.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\Device\\Mup\\server\\share\\x.exe"), L"\\\\server\\share\\x.exe");
  EXPECT_EQ(NormalizeImagePath(L"C:\\Tools\\x.exe"), L"C:\\Tools\\x.exe");
}

TEST(Processes, RegisterComDllChoosesTheArgumentsFromTheExports) {
  ScratchFolder scratch;
  const std::wstring log = scratch / L"calls.txt";
  ASSERT_TRUE(SetEnvironmentVariableW(L"TAVRIN_TEST_COM_LOG", log.c_str()));
  struct Case {
    const wchar_t* dll;
    unsigned exports;
    const wchar_t* prefix;
    const wchar_t* calls;  // what regsvr32 called, as the DLL logged it
  } cases[] = {
      {L"tavrin_test_com_install.dll", ExportsDllInstall, L" /s /i /n \"", L"DllInstall 1 []\n"},
      {L"tavrin_test_com_register.dll", ExportsDllRegisterServer, L" /s \"", L"DllRegisterServer\n"},
      {L"tavrin_test_com_both.dll", ExportsDllInstall | ExportsDllRegisterServer, L" /s /i \"",
       L"DllRegisterServer\nDllInstall 1 []\n"},
  };
  for (const auto& c : cases) {
    const std::wstring dll = SupportFile(c.dll);
    EXPECT_EQ(ComDllExports(dll), c.exports) << c.dll;
    EXPECT_EQ(RegsvrArguments(c.exports, dll), c.prefix + dll + L"\"");
    DeleteFileW(log.c_str());
    const DWORD pid = RegisterComDll(dll);
    ASSERT_GT(pid, 4u) << c.dll;
    ChildProcess regsvr(pid);
    EXPECT_EQ(regsvr.Wait(), 0u) << c.dll;
    EXPECT_EQ(ReadUtf16(log), c.calls) << c.dll;
  }
  SetEnvironmentVariableW(L"TAVRIN_TEST_COM_LOG", nullptr);

  // No registration exports, no PE file, no file: nothing is started.
  ASSERT_TRUE(WriteBytes(scratch / L"text.dll", "MZ but not a program"));
  for (const std::wstring& dll : {SupportFile(L"tavrin_test_com_none.dll"), scratch / L"text.dll",
                                  scratch / L"missing.dll", HelperPath()}) {
    EXPECT_EQ(ComDllExports(dll), 0u) << dll;
    EXPECT_EQ(RegisterComDll(dll), 0u) << dll;
  }
  EXPECT_EQ(RegsvrArguments(0, L"C:\\x.dll"), L"");
}

TEST(Processes, OpenDocumentStartsThroughTheShell) {
  const DWORD pid = OpenDocument(HelperPath());
  ASSERT_GT(pid, 1u);
  ChildProcess child(pid);
  EXPECT_EQ(child.Wait(), 100u);  // the helper without a mode
  ScratchFolder scratch;
  EXPECT_EQ(OpenDocument(scratch / L"missing.exe"), 0u);
}

TEST(Processes, DeleteSelfCommandAndTheRemovalOfARunningProgram) {
  EXPECT_EQ(SelfDeleteCommand(L"C:\\Program Files\\Tavrin\\tavrin.exe", L"C:\\Windows\\system32"),
            L"\"C:\\Windows\\system32\\cmd.exe\" /c for /l %i in (1,1,5) do \"C:\\Windows\\system32\\PING.EXE\" "
            L"localhost -w 1000 -n 2 && del /f /q \"C:\\Program Files\\Tavrin\\tavrin.exe\"");

  ScratchFolder scratch;
  const std::wstring self = CopyHelper(scratch / L"self remover.exe");
  ASSERT_FALSE(self.empty());
  ChildProcess child;
  ASSERT_TRUE(child.Start(Quoted(self) + L" deleteself"));
  EXPECT_EQ(child.Wait(), 0u);
  bool gone = false;
  for (int i = 0; i < 150 && !gone; ++i) {
    gone = !FileExists(self);
    if (!gone) Sleep(100);
  }
  EXPECT_TRUE(gone);
}

}  // namespace
}  // namespace tavrin
