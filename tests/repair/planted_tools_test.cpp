// Programs named like the console tools of the repairs, put in the working
// folder and first on PATH, never run: every tool starts from the System
// folder by its full path, and the command interpreter of the visible
// consoles is given the tool's full path too.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/shell_folders.h"
#include "repair/repair_actions.h"
#include "repair/repair_console.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

constexpr const wchar_t* kTools[] = {L"cmd.exe",      L"netsh.exe",    L"ipconfig.exe", L"sfc.exe",
                                     L"Dism.exe",     L"bitsadmin.exe", L"regsvr32.exe", L"rundll32.exe",
                                     L"winmgmt.exe",  L"WSReset.exe",  L"proxycfg.exe"};

// The process's working folder and PATH pointed at the plants for the
// length of a test.
class PlantedWorkingFolder {
 public:
  explicit PlantedWorkingFolder(const std::wstring& folder) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    oldFolder_ = current;
    std::vector<wchar_t> path(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"PATH", path.data(), DWORD(path.size()));
    oldPath_.assign(path.data(), length < path.size() ? length : 0);
    SetEnvironmentVariableW(L"PATH", (folder + L";" + oldPath_).c_str());
    SetCurrentDirectoryW(folder.c_str());
  }
  ~PlantedWorkingFolder() {
    SetCurrentDirectoryW(oldFolder_.c_str());
    SetEnvironmentVariableW(L"PATH", oldPath_.c_str());
  }

 private:
  std::wstring oldFolder_;
  std::wstring oldPath_;
};

std::vector<std::wstring> MarkersIn(const std::wstring& folder) {
  std::vector<std::wstring> found;
  for (const wchar_t* tool : kTools)
    if (FileExists(folder + L"\\" + tool + L".ran")) found.push_back(tool);
  return found;
}

TEST(PlantedTools, NoToolNamedLikeASystemOneRunsFromTheWorkingFolderOrPath) {
  test::ScratchFolder scratch;
  const std::wstring plants = scratch / L"Downloads";
  ASSERT_TRUE(CreateFolderTree(plants));
  for (const wchar_t* tool : kTools)
    ASSERT_TRUE(CopyFileW(test::SupportFile(L"tavrin_plant_tool.exe").c_str(), (plants + L"\\" + tool).c_str(), FALSE));
  // The plant works: started by its own path it leaves its marker.
  {
    test::ChildProcess plant;
    ASSERT_TRUE(plant.Start(L"\"" + plants + L"\\netsh.exe\" winsock reset"));
    ASSERT_EQ(plant.Wait(), 0u);
    ASSERT_TRUE(FileExists(plants + L"\\netsh.exe.ran"));
    ASSERT_TRUE(DeleteFileW((plants + L"\\netsh.exe.ran").c_str()));
  }
  ASSERT_TRUE(test::WriteBytes(plants + L"\\empty.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n"));

  CancelFlags cancel;
  RepairContext context = MachineRepairContext();
  context.cancel = &cancel;
  PlantedWorkingFolder planted(plants);
  RunConsole(context, L"ipconfig.exe", L"/flushdns", 30);
  ResetIpWinsockProxy(context);
  ResetNetworkNames(context, kResetDns);
  InstallInf(context, plants + L"\\empty.inf");
  for (VisibleTool tool : {VisibleTool::Dism, VisibleTool::Sfc}) {
    UniqueProcessInformation console;
    if (!RunVisibleConsole(context, tool, console)) continue;
    test::ChildProcess owner(console.processId);
    // The console names its tool at once; a planted one would be done by now.
    Sleep(1500);
  }
  EXPECT_EQ(MarkersIn(plants), std::vector<std::wstring>{});
}

}  // namespace
}  // namespace tavrin
