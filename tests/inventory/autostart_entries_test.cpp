#include "inventory/autostart_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrin {
namespace {

using Pieces = std::vector<std::wstring>;

TEST(AutostartEntries, AppInitListsSplitWhereWindowsSplitsThem) {
  const struct {
    const wchar_t* value;
    Pieces dlls;
  } cases[] = {
      {L"C:\\a\\one.dll C:\\b\\two", {L"C:\\a\\one.dll", L"C:\\b\\two"}},
      {L"one,two\nthree", {L"one", L"two", L"three"}},
      {L" ,, one\r\n\n , ", {L"one"}},
      {L" , \n", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitAppInitDlls(c.value), c.dlls) << c.value;
  EXPECT_EQ(AppInitDllFile(L"C:\\a\\hook"), L"C:\\a\\hook.dll");
  EXPECT_EQ(AppInitDllFile(L"C:\\a\\HOOK.DLL"), L"C:\\a\\HOOK.DLL");
  EXPECT_EQ(AppInitDllFile(L"C:\\a\\hook.dll.exe"), L"C:\\a\\hook.dll.exe.dll");
}

TEST(AutostartEntries, OnlyWholePublicResolverPairsAreLeftAlone) {
  const struct {
    const wchar_t* value;
    bool pair;
  } cases[] = {
      {L"8.8.8.8,8.8.4.4", true},
      {L"8.8.4.4 8.8.8.8", true},
      {L"8.8.8.8 192.0.2.1", false},
      {L"8.8.8.8", false},
      {L"2001:4860:4860::8888,2001:4860:4860::8844", true},
      {L"2001:4860:4860:0:0:0:0:8888 2001:4860:4860:0:0:0:0:8844", true},
      {L"2001:4860:4860::6464 2001:4860:4860::64", true},
      {L"2001:4860:4860::64", false},
      // A substring test, as the rule is: a hijacker that appends a real
      // resolver pair to its own address is not listed.
      {L"203.0.113.66 8.8.8.8 8.8.4.4", true},
      {L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(HoldsPublicResolverPair(c.value), c.pair) << c.value;
  EXPECT_EQ(SplitNameServers(L"203.0.113.66,\t1.1.1.1  ::1"), (Pieces{L"203.0.113.66", L"1.1.1.1", L"::1"}));
  EXPECT_FALSE(IsProbeableAddress(L"..\\Malware"));
  EXPECT_FALSE(IsProbeableAddress(L""));
  EXPECT_TRUE(IsProbeableAddress(L"fe80::1"));
}

TEST(AutostartEntries, ReportFieldsAndFolderPrefixes) {
  EXPECT_EQ(ReportField(L"a\r\nb\tc\x01"), L"a  b\tc ");
  EXPECT_EQ(AsFolderPrefix(L"C:\\Temp"), L"C:\\Temp\\");
  EXPECT_EQ(AsFolderPrefix(L"C:\\Temp\\\\"), L"C:\\Temp\\");
  EXPECT_EQ(AsFolderPrefix(L""), L"");
  EXPECT_EQ(WithoutQuotes(L"\"C:\\a b\\c.exe\" \"x\""), L"C:\\a b\\c.exe x");
}

}  // namespace
}  // namespace tavrin
