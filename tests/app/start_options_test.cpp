#include "app/start_options.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

struct Expected {
  bool scan, remove, noRestorePoint, noMalware, autoReboot, newInstance, currentUserOnly, deleteOld;
  int level;
  int show;
};

struct Case {
  const wchar_t* commandLine;
  Expected expected;
};

TEST(StartOptions, SwitchTable) {
  const int given = SW_SHOWMINNOACTIVE;  // what Windows passed to the process
  const Case cases[] = {
      {L"", {false, false, false, false, false, false, false, false, 0, SW_SHOWNORMAL}},
      {L"-scanremove -QUIET", {true, true, false, false, false, false, false, false, 12, SW_HIDE}},
      {L"/Quiet /Scan", {true, false, false, false, false, false, false, false, 12, SW_SHOWNORMAL}},
      {L"/ScanRemove", {true, true, false, false, false, false, false, false, 12, given}},
      {L"/Scan /Update /NoMalware", {true, false, false, false, false, false, false, false, 12, SW_SHOWNORMAL}},
      {L"/Soft /Aggressive", {false, false, false, false, false, false, false, false, 10, SW_SHOWNORMAL}},
      {L"/Aggressive /Scan /Soft", {true, false, false, false, false, false, false, false, 14, SW_SHOWNORMAL}},
      {L"/DelTemp", {false, false, false, false, false, false, false, true, 0, SW_SHOWNORMAL}},
      {L"/ScanRemove /Quiet /NoRP /AutoReboot /CUOnly /NoMalware",
       {true, true, true, true, true, false, true, false, 12, SW_HIDE}},
      {L"/Scan /NoUpdate /NewInstance", {true, false, false, false, false, true, false, false, 12, SW_SHOWNORMAL}},
      {L"Scan --Scan /Scanx /Sc \"/No Malware\" /", {false, false, false, false, false, false, false, false, 0,
                                                     SW_SHOWNORMAL}},
      {L"\"/NoMalware\" /CUONLY", {false, false, false, true, false, false, true, false, 0, SW_SHOWNORMAL}},
  };
  for (const auto& c : cases) {
    StartOptions o = ParseStartOptions(SplitCommandLine(c.commandLine), given);
    const Expected& e = c.expected;
    SCOPED_TRACE(testing::Message() << "command line: " << std::string(c.commandLine, c.commandLine + wcslen(c.commandLine)));
    EXPECT_EQ(o.scanAtStart, e.scan);
    EXPECT_EQ(o.removeAfterScan, e.remove);
    EXPECT_EQ(o.noRestorePoint, e.noRestorePoint);
    EXPECT_EQ(o.noMalware, e.noMalware);
    EXPECT_EQ(o.autoReboot, e.autoReboot);
    EXPECT_EQ(o.newInstance, e.newInstance);
    EXPECT_EQ(o.currentUserOnly, e.currentUserOnly);
    EXPECT_EQ(o.deleteOldExecutable, e.deleteOld);
    EXPECT_EQ(o.detectionLevel ? Threshold(*o.detectionLevel) : 0, e.level);
    EXPECT_EQ(o.showCommand, e.show);
  }
}

TEST(StartOptions, SplitsWithTheWindowsRules) {
  EXPECT_EQ(SplitCommandLine(L"  /Scan   \"C:\\Program Files\\x\" a\\\"b  "),
            (std::vector<std::wstring>{L"/Scan", L"C:\\Program Files\\x", L"a\"b"}));
  EXPECT_TRUE(SplitCommandLine(L"   ").empty());
}

}  // namespace
}  // namespace tavrin
