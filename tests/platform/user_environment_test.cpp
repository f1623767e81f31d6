#include "platform/user_environment.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(UserEnvironment, ReferencesExpandForTheOwnerOrNotAtAll) {
  UserEnvironment bob;
  bob.variables = {{L"USERPROFILE", L"D:\\Users\\bob"}, {L"APPDATA", L"D:\\Users\\bob\\AppData\\Roaming"},
                   {L"TOOLS", L"D:\\tools"}};
  const struct {
    const wchar_t* text;
    bool known;
    const wchar_t* expanded;
  } cases[] = {
      {L"\"%AppData%\\x.exe\" /s", true, L"\"D:\\Users\\bob\\AppData\\Roaming\\x.exe\" /s"},
      {L"%userprofile%\\a;%TOOLS%\\b", true, L"D:\\Users\\bob\\a;D:\\tools\\b"},
      // The machine's references are left for the machine's expansion.
      {L"%SystemRoot%\\%APPDATA%\\x", true, L"%SystemRoot%\\D:\\Users\\bob\\AppData\\Roaming\\x"},
      {L"100% sure %", true, L"100% sure %"},
      {L"%%APPDATA%", true, L"%D:\\Users\\bob\\AppData\\Roaming"},
      // Bob's LOCALAPPDATA is unknown: the scanning account's must not stand in.
      {L"%LocalAppData%\\x.exe", false, L"%LocalAppData%\\x.exe"},
      {L"%TEMP%\\x.exe", false, L"%TEMP%\\x.exe"},
  };
  for (const auto& c : cases) {
    std::wstring text = c.text;
    EXPECT_EQ(ExpandUserReferences(text, bob), c.known) << c.text;
    EXPECT_EQ(text, c.expanded) << c.text;
  }
}

}  // namespace
}  // namespace tavrin
