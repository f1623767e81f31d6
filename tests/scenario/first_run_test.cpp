// A machine that has never run Tavrin: no data folder, no definitions.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/file_system.h"
#include "scenario/scenario_machine.h"

namespace tavrin::scenario {
namespace {

TEST(FirstRun, AQuietScanFetchesTheDefinitionsAndReportsOnAFreshMachine) {
  ASSERT_FALSE(FileExists(PrepareDataFolder() + L"\\TVNdb2.dat")) << "the scenario machine is not fresh";
  ASSERT_EQ(ServeDefinitions(L"[Database]\nNumber = 4242\n[Adware]\nNothing Installed Here\n"), L"");
  ASSERT_EQ(RunTavrin(L"/ScanRemove /Quiet /NoRP"), 0u);
  const std::wstring report = LatestScanReport();
  EXPECT_NE(report.find(L"\tTavrin definitions database number: 4242.\r\n"), std::wstring::npos) << report;
  EXPECT_NE(report.find(L"The scan completed successfully."), std::wstring::npos);
}

}  // namespace
}  // namespace tavrin::scenario
