// The program run elevated from a folder that also holds DLLs named like
// Windows' own and programs named like the console tools, as a Downloads
// folder may: the real tavrin.exe is copied there and run with that folder
// as its working folder, a genuine finding is removed (with a restore point
// asked for, so that System Restore's DLL is loaded), and no plant ever
// runs. Beside it, the program's import table is read: every DLL that the
// loader would resolve before the program's first line, and so from the
// program's own folder first, is one of Windows' known DLLs.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/users.h"
#include "scenario/machine_manifest.h"
#include "scenario/scenario_machine.h"
#include "support/child_process.h"
#include "support/scratch.h"

namespace tavrin::scenario {
namespace {

constexpr char kEicar[] = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";
constexpr wchar_t kRun[] = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// DLLs the program imports or loads at run time, and others a loader may
// look for beside a program.
constexpr const wchar_t* kPlantedDlls[] = {L"srclient.dll", L"version.dll", L"winhttp.dll",  L"wininet.dll",
                                           L"uxtheme.dll",  L"crypt32.dll", L"wintrust.dll", L"userenv.dll",
                                           L"netapi32.dll", L"wtsapi32.dll", L"msi.dll",     L"sfc.dll",
                                           L"comctl32.dll", L"dwmapi.dll",  L"propsys.dll",  L"cryptbase.dll"};
constexpr const wchar_t* kPlantedTools[] = {L"cmd.exe",     L"netsh.exe",   L"ipconfig.exe", L"sfc.exe",
                                            L"Dism.exe",    L"bitsadmin.exe", L"regsvr32.exe", L"rundll32.exe",
                                            L"winmgmt.exe", L"WSReset.exe", L"proxycfg.exe", L"ping.exe"};

// Windows 10's known DLLs (the Session Manager's "KnownDLLs" list), which
// the loader takes from the System folder whatever lies beside a program,
// and the two the loader itself always maps from there.
constexpr const char* kKnownDlls[] = {
    "advapi32.dll", "clbcatq.dll",  "combase.dll",  "comdlg32.dll", "coml2.dll",    "difxapi.dll", "gdi32.dll",
    "gdiplus.dll",  "imagehlp.dll", "imm32.dll",    "kernel32.dll", "msctf.dll",    "msvcrt.dll",  "normaliz.dll",
    "nsi.dll",      "ole32.dll",    "oleaut32.dll", "psapi.dll",    "rpcrt4.dll",   "sechost.dll", "setupapi.dll",
    "shcore.dll",   "shell32.dll",  "shlwapi.dll",  "user32.dll",   "wldap32.dll",  "ws2_32.dll",  "ntdll.dll",
    "kernelbase.dll"};

// The names of the DLLs in the ordinary import table of a PE32+ file.
std::vector<std::string> OrdinaryImports(const std::string& image) {
  std::vector<std::string> names;
  auto read32 = [&image](size_t at) -> uint32_t {
    uint32_t value = 0;
    if (at + 4 <= image.size()) std::memcpy(&value, image.data() + at, 4);
    return value;
  };
  const uint32_t pe = read32(0x3C);
  const size_t optional = pe + 24;
  const size_t sections = optional + (read32(pe + 20) & 0xFFFF);  // SizeOfOptionalHeader
  const unsigned sectionCount = read32(pe + 4) >> 16;             // NumberOfSections
  const uint32_t importRva = read32(optional + 112 + 8);  // data directory 1
  auto offsetOf = [&](uint32_t rva) -> size_t {
    for (unsigned i = 0; i < sectionCount; ++i) {
      const size_t header = sections + i * 40;
      const uint32_t virtualAddress = read32(header + 12), size = read32(header + 16), raw = read32(header + 20);
      if (rva >= virtualAddress && rva < virtualAddress + size) return raw + (rva - virtualAddress);
    }
    return 0;
  };
  for (size_t descriptor = offsetOf(importRva); descriptor && descriptor + 20 <= image.size(); descriptor += 20) {
    const uint32_t nameRva = read32(descriptor + 12);
    if (nameRva == 0) break;
    const size_t name = offsetOf(nameRva);
    if (!name) break;
    names.emplace_back(image.c_str() + name);
  }
  return names;
}

bool IsKnownDll(std::string name) {
  for (char& c : name) c = char(tolower(static_cast<unsigned char>(c)));
  if (name.rfind("api-ms-win-", 0) == 0) return true;  // resolved by the loader's own schema
  for (const char* known : kKnownDlls)
    if (name == known) return true;
  return false;
}

TEST(HostileElevated, TheProgramImportsOnlyKnownDllsBeforeItsFirstLine) {
  const std::string image = test::ReadBytes(test::TestBuildPath(L"..\\..\\src\\ui\\tavrin.exe"));
  ASSERT_GT(image.size(), 4096u);
  const std::vector<std::string> imports = OrdinaryImports(image);
  ASSERT_FALSE(imports.empty());
  std::vector<std::string> unknown;
  for (const std::string& name : imports)
    if (!IsKnownDll(name)) unknown.push_back(name);
  EXPECT_EQ(unknown, std::vector<std::string>{});
}

TEST(HostileElevated, NoPlantedDllOrToolRunsBesideTheProgram) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4271\n[Malware]\n"
                             L"44D88612FEA8A8F36DE82E1278ABB02F = EICAR-Test-File.8766.100\n"),
            L"");
  const std::wstring eicar = L"C:\\ProgramData\\Scenario\\eicar.com";
  ASSERT_TRUE(CreateFolderTree(L"C:\\ProgramData\\Scenario"));
  ASSERT_TRUE(test::WriteBytes(eicar, kEicar));
  ASSERT_TRUE(WriteStringAt(kRun, L"Scenario Sample", eicar));

  // A Downloads folder with the program and the plants.
  const std::wstring downloads = ShellFolder(CSIDL_PROFILE) + L"\\Downloads\\Tavrin";
  ASSERT_TRUE(CreateFolderTree(downloads));
  const std::wstring program = downloads + L"\\tavrin.exe";
  ASSERT_TRUE(CopyFileW(test::TestBuildPath(L"..\\..\\src\\ui\\tavrin.exe").c_str(), program.c_str(), FALSE));
  for (const wchar_t* dll : kPlantedDlls)
    ASSERT_TRUE(CopyFileW(test::SupportFile(L"tavrin_plant_dll.dll").c_str(), (downloads + L"\\" + dll).c_str(), FALSE));
  for (const wchar_t* tool : kPlantedTools)
    ASSERT_TRUE(CopyFileW(test::SupportFile(L"tavrin_plant_tool.exe").c_str(), (downloads + L"\\" + tool).c_str(), FALSE));

  // Wine opens Internet Explorer on its own web site, which no Windows
  // machine comes with; the blank page keeps the browser rows out of this.
  ASSERT_TRUE(WriteStringAt(L"HKCU\\Software\\Microsoft\\Internet Explorer\\Main", L"Start Page", L"about:blank"));
  ASSERT_TRUE(
      WriteStringAt(L"HKLM64\\SOFTWARE\\Microsoft\\Internet Explorer\\Main", L"Default_Page_URL", L"about:blank"));
  const Manifest machineBefore = TakeManifest();

  // Without /NoRP: the removal asks System Restore for a restore point.
  std::wstring command = L"\"" + program + L"\" /ScanRemove /Quiet /Aggressive";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, downloads.c_str(), &startup,
                             &info));
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  test::ChildProcess run(info.dwProcessId);
  ASSERT_EQ(run.Wait(600000), 0u);

  // Nothing changed but the genuine finding and its Run value, the key in
  // which the restore point's creation frequency is lifted for the run, and
  // what the definitions download and Wine's own services leave on any run.
  InteractiveUser console;
  const std::wstring userKey = L"HKU\\" + console.Sid() + L"\\Software";
  const std::vector<std::wstring> changes = ManifestChanges(
      machineBefore, TakeManifest(),
      {eicar, userKey + L"\\Microsoft\\Windows\\CurrentVersion\\Run",
       L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SystemRestore",
       ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Microsoft\\Windows\\INetCookies",
       L"HKLM\\System\\CurrentControlSet\\Control\\ServiceCurrent",
       userKey + L"\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
       userKey + L"\\Wine\\Temporary System Parameters"});
  EXPECT_TRUE(changes.empty()) << ChangesText(changes);

  // The removal ran: the genuine finding is gone.
  EXPECT_FALSE(FileExists(eicar));
  EXPECT_NE(LatestRemovalReport().find(L"Successfully"), std::wstring::npos);
  std::vector<std::wstring> ran;
  for (const wchar_t* dll : kPlantedDlls)
    if (FileExists(downloads + L"\\" + dll + L".loaded")) ran.push_back(dll);
  for (const wchar_t* tool : kPlantedTools)
    if (FileExists(downloads + L"\\" + tool + L".ran")) ran.push_back(tool);
  EXPECT_EQ(ran, std::vector<std::wstring>{});
}

}  // namespace
}  // namespace tavrin::scenario
