// What the actions do and answer on the test machine itself: results that
// follow the number of things fixed, a firewall reset that touches nothing
// when it cannot save the policies first, a permission reset that keeps to
// the real temporary folders, and the WMI repair's access resets.
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/users.h"
#include "repair/permissions.h"
#include "repair/repair_actions.h"
#include "repair/temp_folders.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

struct Logged {
  std::vector<std::wstring> lines;
  CancelFlags cancel;
  RepairContext context = MachineRepairContext();
  Logged() {
    context.cancel = &cancel;
    context.log = [this](const std::wstring& line) { lines.push_back(line); };
  }
  bool Says(const std::wstring& text) const {
    for (const std::wstring& line : lines)
      if (line.find(text) != std::wstring::npos) return true;
    return false;
  }
};

// The access list of a folder as the security functions give it back, to
// compare before and after.
std::vector<unsigned char> AccessListOf(const std::wstring& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION,
                            nullptr, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return {};
  std::vector<unsigned char> bytes;
  if (dacl) bytes.assign(reinterpret_cast<unsigned char*>(dacl), reinterpret_cast<unsigned char*>(dacl) + dacl->AclSize);
  LocalFree(descriptor);
  return bytes;
}

// A machine with nothing to fix: the count is the result, so the removal
// report reads both as failed, while each keeps its line.
TEST(RepairOutcomes, NothingToFixIsAResultOfZeroWithItsLine) {
  struct Case {
    int (*action)(RepairContext&);
    const wchar_t* line;
  } cases[] = {{RepairUserProfiles, L"0 corrupted user profiles successfully fixed."},
               {ResetServiceStartTypes, L"Reset Windows services result: No hijacked services found."}};
  for (const Case& c : cases) {
    test::ScratchFolder data;
    Logged run;
    run.context.dataFolder = data.Path();
    EXPECT_EQ(c.action(run.context), 0) << c.line;
    EXPECT_TRUE(run.Says(c.line)) << c.line;
  }
}

TEST(RepairOutcomes, AFirewallResetThatCannotSaveThePoliciesChangesNothing) {
  const std::wstring policies = L"HKLM\\SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\TavrinTest";
  const std::wstring center = L"HKLM\\SOFTWARE\\Microsoft\\Security Center\\Svc";
  ASSERT_TRUE(WriteDwordAt(policies, L"EnableFirewall", 0));
  DeleteValueAt(center, L"FirewallOverride");
  Logged run;
  run.context.dataFolder.clear();  // nowhere to save the policies
  EXPECT_EQ(ResetFirewall(run.context), 0);
  EXPECT_TRUE(KeyExists(policies, L"EnableFirewall"));
  EXPECT_FALSE(KeyExists(center, L"FirewallOverride"));
  EXPECT_TRUE(run.Says(L"nothing was changed"));
  DeleteKeyTree(L"HKLM\\SOFTWARE\\Policies\\Microsoft\\WindowsFirewall");
}

// A user's TEMP and TMP name a folder of documents that happens to be
// called "Temp": its access list stays, and the profile's real temporary
// folder is the one reset.
TEST(RepairOutcomes, ThePermissionResetNeverFollowsATempValue) {
  test::ScratchFolder scratch;
  const std::wstring precious = scratch / L"Documents\\Temp";
  ASSERT_TRUE(CreateFolderTree(precious));
  const std::vector<unsigned char> before = AccessListOf(precious);
  ASSERT_FALSE(before.empty());
  wchar_t oldTemp[MAX_PATH] = {}, oldTmp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
  GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
  SetEnvironmentVariableW(L"TEMP", precious.c_str());
  SetEnvironmentVariableW(L"TMP", precious.c_str());
  InteractiveUser console;
  ASSERT_TRUE(CreateFolderTree(console.ProfileFolder() + kProfileTempPart));
  Logged run;
  run.context.interactiveUser = &console;
  ResetPermissions(run.context);
  SetEnvironmentVariableW(L"TEMP", oldTemp);
  SetEnvironmentVariableW(L"TMP", oldTmp);
  EXPECT_EQ(AccessListOf(precious), before);
  // Wine refuses the Windows folder's reset that comes first, so the list
  // above stays either way there; the folder the reset takes is asked too.
  SetEnvironmentVariableW(L"TEMP", precious.c_str());
  SetEnvironmentVariableW(L"TMP", precious.c_str());
  const std::wstring taken = OwnTempFolderToReset(run.context);
  SetEnvironmentVariableW(L"TEMP", oldTemp);
  SetEnvironmentVariableW(L"TMP", oldTmp);
  EXPECT_EQ(taken, RealTempFolder(console.ProfileFolder(), kProfileTempPart));
  EXPECT_FALSE(taken.empty());
}

TEST(RepairOutcomes, TheWmiRepairResetsTheInstallersAccessFirst) {
  const std::wstring marker = L"HKLM64\\SOFTWARE\\Halvoret\\ORN - Orrin\\SmartUninstaller";
  RepairContext probe = MachineRepairContext();
  ASSERT_TRUE(CreateFolderTree(probe.windowsFolder + L"\\Installer"));
  DeleteValueAt(marker, L"InstallerUnlocked");
  InteractiveUser console;
  test::ScratchFolder data;
  Logged run;
  run.context.interactiveUser = &console;
  run.context.dataFolder = data.Path();
  RepairWmiAndRestore(run.context);
  DWORD unlocked = 0;
  EXPECT_TRUE(ReadDwordAt(marker, L"InstallerUnlocked", unlocked));
  EXPECT_EQ(unlocked, 1u);
}

}  // namespace
}  // namespace tavrin
