// How the anti-malware phase reads lists of files out of values and the
// shell's record of run programs.
#include "inventory/autostart_value_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrin {
namespace {

using Entries = std::vector<std::wstring>;

TEST(MalwareValueTexts, SecurityPackagesSplitAtCommasAndLineFeedsOnly) {
  struct Case {
    std::wstring value;
    Entries entries;
  };
  const Case cases[] = {
      {L"kerberos\nmsv1_0\nschannel", {L"kerberos", L"msv1_0", L"schannel"}},
      {L"credssp.dll, pku2u.dll", {L"credssp.dll", L"pku2u.dll"}},
      {L"C:\\Program Files\\Pack\\pack.dll\nscecli", {L"C:\\Program Files\\Pack\\pack.dll", L"scecli"}},
      {L" ,\n\n tspkg ,", {L"tspkg"}},
      {L"\"\"", {}},
      {L"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SecurityPackageEntries(c.value), c.entries) << c.value;
}

TEST(MalwareValueTexts, SecurityPackageNamesGainDllUnlessTheyNameAFile) {
  EXPECT_EQ(SecurityPackageFile(L"msv1_0"), L"msv1_0.dll");
  EXPECT_EQ(SecurityPackageFile(L"a.b"), L"a.b.dll");  // too short to be a file name
  EXPECT_EQ(SecurityPackageFile(L"wdigest"), L"wdigest.dll");
  EXPECT_EQ(SecurityPackageFile(L"pack.dll"), L"pack.dll");
  EXPECT_EQ(SecurityPackageFile(L"C:\\Program Files\\Pack\\pack.bin"), L"C:\\Program Files\\Pack\\pack.bin");
}

TEST(MalwareValueTexts, MuiCacheNamesGiveThePathTheyRecord) {
  struct Case {
    std::wstring name;
    double version;
    std::wstring path;
  };
  const Case cases[] = {
      {L"C:\\Tools\\agent.exe.FriendlyAppName", 10.0, L"C:\\Tools\\agent.exe"},
      {L"C:\\Tools\\agent.exe.ApplicationCompany", 10.0, L"C:\\Tools\\agent.exe"},
      {L"c:\\tools\\agent.exe.friendlyappname", 6.2, L"c:\\tools\\agent.exe"},
      // The suffix must end the name, not just occur in it.
      {L"C:\\A.FriendlyAppName\\tool.exe", 10.0, L"C:\\A.FriendlyAppName\\tool.exe"},
      // Windows 6.1 and before keep the name as it is.
      {L"C:\\Tools\\agent.exe.FriendlyAppName", 6.1, L"C:\\Tools\\agent.exe.FriendlyAppName"},
      // Twenty characters or fewer are never cut.
      {L"C:\\.FriendlyAppName", 10.0, L"C:\\.FriendlyAppName"},
      {L"C:\\Tools\\plain.exe", 10.0, L"C:\\Tools\\plain.exe"},
      {L"@shell32.dll,-1234", 10.0, L""},
      {L"LangID", 10.0, L""},
      {L"\\\\server\\share\\x.exe", 10.0, L""},
  };
  for (const Case& c : cases) EXPECT_EQ(MuiCacheProgram(c.name, c.version), c.path) << c.name;
}

TEST(MalwareValueTexts, BracedClassIdentifiers) {
  EXPECT_TRUE(IsBracedClassId(L"{00021401-0000-0000-C000-000000000046}"));
  EXPECT_TRUE(IsBracedClassId(L"{a0b1c2d3-e4f5-a6b7-c8d9-e0f1a2b3c4d5}"));
  EXPECT_FALSE(IsBracedClassId(L"00021401-0000-0000-C000-000000000046"));
  EXPECT_FALSE(IsBracedClassId(L"{00021401-0000-0000-C000-00000000004G}"));
  EXPECT_FALSE(IsBracedClassId(L"{000214010-000-0000-C000-000000000046}"));
  EXPECT_FALSE(IsBracedClassId(L"Sharing"));
}

}  // namespace
}  // namespace tavrin
