#include <windows.h>
#include <gtest/gtest.h>
#include "platform/access_list.h"
#include "platform/file_system.h"
#include "platform/standard_user_access.h"
#include <sddl.h>
namespace tavrin {
TEST(Probe, Steps) {
  const std::wstring folder = L"C:\\Program Files\\Tavrin";
  printf("create %d\n", CreateFolderTree(folder));
  const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  std::vector<AccessEntry> e = {{kSidAdministrators, GENERIC_ALL, inherit}, {kSidLocalSystem, GENERIC_ALL, inherit}, {kSidUsers, GENERIC_READ | GENERIC_EXECUTE, inherit}};
  printf("apply folder %lu\n", ApplyAccessList(folder, SE_FILE_OBJECT, e, kSidAdministrators, ApplyProtected));
  printf("folder changeable %d\n", StandardUsersMayChange(folder, kFolderChangeRights));
  std::wstring f = folder + L"\\x.exe";
  HANDLE h = CreateFileW(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr); CloseHandle(h);
  printf("apply file %lu\n", ApplyAccessList(f, SE_FILE_OBJECT, e, kSidAdministrators, ApplyProtected));
  printf("file changeable %d\n", StandardUsersMayChange(f, kFileChangeRights));
  PSID owner; PACL dacl; PSECURITY_DESCRIPTOR sd;
  DWORD r = GetNamedSecurityInfoW(f.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION|DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl, nullptr, &sd);
  printf("get %lu dacl %p count %d\n", r, (void*)dacl, dacl ? dacl->AceCount : -1);
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) { ACCESS_ALLOWED_ACE* a; GetAce(dacl, i, (void**)&a); LPWSTR s; ConvertSidToStringSidW(&a->SidStart, &s); printf(" ace type %d flags %x mask %lx %ls\n", a->Header.AceType, a->Header.AceFlags, a->Mask, s); }
  LPWSTR os; ConvertSidToStringSidW(owner, &os); printf("owner %ls\n", os);
  DeleteFileW(f.c_str());
}
}
