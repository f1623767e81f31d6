#include "platform/standard_user_access.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/access_list.h"
#include "platform/unique_handle.h"

namespace tavrin {
namespace {

std::wstring RunningSid() {
  UniqueToken token;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put());
  unsigned char buffer[256] = {};
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size);
  LPWSTR text = nullptr;
  ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
  std::wstring sid = text ? text : L"";
  LocalFree(text);
  return sid;
}

// Owners and access lists as Program Files, a user's Downloads and folders
// opened up to users have them; Wine keeps no file security of its own, so
// the decision is tested on lists built here.
TEST(StandardUserAccess, OwnerAndAllowEntriesDecide) {
  const std::wstring self = RunningSid();
  ASSERT_FALSE(self.empty());
  const AccessEntry admins{kSidAdministrators, GENERIC_ALL, 0};
  const AccessEntry system{kSidLocalSystem, GENERIC_ALL, 0};
  const AccessEntry usersRun{kSidUsers, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, 0};
  struct Case {
    const char* what;
    std::wstring owner;
    std::vector<AccessEntry> entries;
    DWORD rights;
    bool changeable;
  };
  const Case cases[] = {
      {"program files", kSidAdministrators, {admins, system, usersRun}, kFolderChangeRights, false},
      {"program file", kSidAdministrators, {admins, system, usersRun}, kFileChangeRights, false},
      {"downloads", self, {admins, system, {self, GENERIC_ALL, 0}}, kFolderChangeRights, true},
      {"own entry", kSidAdministrators, {admins, {self, FILE_WRITE_DATA, 0}}, kFileChangeRights, true},
      {"everyone may add", kSidAdministrators, {admins, {kSidEveryone, FILE_ADD_FILE, 0}}, kFolderChangeRights, true},
      {"users may delete children", kSidAdministrators, {admins, {kSidUsers, FILE_DELETE_CHILD, 0}},
       kFolderChangeRights, true},
      {"authenticated users write", kSidAdministrators, {admins, {L"S-1-5-11", GENERIC_WRITE, 0}},
       kFileChangeRights, true},
      {"interactive may relist", kSidAdministrators, {admins, {L"S-1-5-4", WRITE_DAC, 0}}, kFileChangeRights, true},
      {"only for children", kSidAdministrators, {admins, {kSidUsers, GENERIC_ALL, INHERIT_ONLY_ACE | OBJECT_INHERIT_ACE}},
       kFolderChangeRights, false},
      {"users read only", kSidAdministrators, {admins, {kSidUsers, GENERIC_READ, 0}}, kFileChangeRights, false},
      {"system owns", kSidLocalSystem, {system}, kFileChangeRights, false},
      {"user owns", kSidUsers, {admins}, kFileChangeRights, true},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> acl;
    ASSERT_TRUE(BuildAccessList(c.entries, acl)) << c.what;
    std::vector<unsigned char> owner = TrusteeSid(c.owner);
    ASSERT_FALSE(owner.empty()) << c.what;
    EXPECT_EQ(StandardUsersMayChange(PSID(owner.data()), reinterpret_cast<const ACL*>(acl.data()), c.rights),
              c.changeable)
        << c.what;
  }
  std::vector<unsigned char> admin = TrusteeSid(kSidAdministrators);
  EXPECT_TRUE(StandardUsersMayChange(PSID(admin.data()), nullptr, kFileChangeRights));  // no list: anyone
  // A path whose security cannot be read is not known to be protected.
  EXPECT_TRUE(StandardUsersMayChange(L"C:\\no\\such\\folder\\file.exe", kFileChangeRights));
}

}  // namespace
}  // namespace tavrin
