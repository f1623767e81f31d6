// Keeps the reports of a scenario for the schema check that runs after all
// of them (check_report_twins.py): when the scenario's tests have run, every
// scan, custom scan and removal report of the data folder goes with its JSON
// twin to build/cross/scenario-reports/<scenario>/, and a text report
// without a twin fails the scenario. Linked into every scenario program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/settings.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "support/child_process.h"

namespace {

std::wstring KeptFolder() {
  wchar_t own[1024] = {};
  GetModuleFileNameW(nullptr, own, 1024);
  std::wstring name = own;
  name = name.substr(name.rfind(L'\\') + 1);
  name = name.substr(0, name.rfind(L'.'));
  if (name.rfind(L"scenario_", 0) == 0) name = name.substr(9);
  return tavrin::test::TestBuildPath(L"..\\..\\scenario-reports\\" + name);
}

class KeptReports : public ::testing::Environment {
 public:
  // What an earlier run of this scenario kept goes first.
  void SetUp() override {
    const std::wstring folder = KeptFolder();
    tavrin::FindFiles old(folder + L"\\*");
    while (old.Next())
      if (!old.IsFolder()) DeleteFileW((folder + L"\\" + old.Name()).c_str());
  }

  void TearDown() override {
    const std::wstring data = tavrin::PrepareDataFolder();
    const std::wstring folder = KeptFolder();
    ASSERT_TRUE(tavrin::CreateFolderTree(folder)) << "cannot create the folder for the kept reports";
    for (const wchar_t* pattern : {L"\\tvnScan*.txt", L"\\customScan*.txt", L"\\TVNrem*.txt"}) {
      tavrin::FindFiles reports(data + pattern);
      while (reports.Next()) {
        if (reports.IsFolder()) continue;
        const std::wstring text = reports.Name();
        const std::wstring twin = text.substr(0, text.size() - 4) + L".json";
        CopyFileW((data + L"\\" + text).c_str(), (folder + L"\\" + text).c_str(), FALSE);
        if (!tavrin::FileExists(data + L"\\" + twin)) {
          ADD_FAILURE() << "the report has no JSON twin: " << testing::PrintToString(text);
          continue;
        }
        CopyFileW((data + L"\\" + twin).c_str(), (folder + L"\\" + twin).c_str(), FALSE);
      }
    }
  }
};

[[maybe_unused]] ::testing::Environment* const kKeptReports = ::testing::AddGlobalTestEnvironment(new KeptReports);

}  // namespace
