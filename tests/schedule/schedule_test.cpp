#include "schedule/schedule.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/document_file.h"
#include "platform/file_system.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "schedule/schedule_request.h"
#include "schedule/scheduled_program.h"
#include "results/result_set.h"
#include "results/result_tabs.h"
#include "results/whitelist.h"
#include "results/whitelist_manager.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

ScheduleRequest Request() {
  ScheduleRequest r;
  r.firstStart.wYear = 2031;
  r.firstStart.wMonth = 4;
  r.firstStart.wDay = 7;
  r.firstStart.wHour = 9;
  r.firstStart.wMinute = 5;
  r.firstStart.wSecond = 2;
  return r;
}

struct OptionCase {
  bool remove, quiet, noRestorePoint, autoReboot, currentUserOnly, noMalware;
  const wchar_t* arguments;
};
// Every option alone, several together, and the removal options
// without removal (which count for nothing).
const OptionCase kOptionCases[] = {
    {false, false, false, false, false, false, L" /Scan"},
    {false, true, true, true, false, false, L" /Scan"},
    {false, false, false, false, true, false, L" /Scan /CUOnly"},
    {false, false, false, false, false, true, L" /Scan /NoMalware"},
    {true, false, false, false, false, false, L" /ScanRemove"},
    {true, true, true, false, false, false, L" /ScanRemove /Quiet /NoRP"},
    {true, false, false, true, true, false, L" /ScanRemove /AutoReboot /CUOnly"},
    {true, true, true, true, true, true, L" /ScanRemove /Quiet /NoRP /AutoReboot /CUOnly /NoMalware"},
};

ScheduleRequest RequestFor(const OptionCase& c) {
  ScheduleRequest r = Request();
  r.remove = c.remove;
  r.quiet = c.quiet;
  r.noRestorePoint = c.noRestorePoint;
  r.autoReboot = c.autoReboot;
  r.currentUserOnly = c.currentUserOnly;
  r.noMalware = c.noMalware;
  return r;
}

TEST(ScheduleRequest, ArgumentsFollowTheOptionsInTheirOrder) {
  for (const OptionCase& c : kOptionCases) EXPECT_EQ(ScheduleArguments(RequestFor(c)), c.arguments);
}

TEST(ScheduleRequest, SpecificationSplitsIntoTheSixFieldsOfTheTask) {
  ScheduleRequest r = Request();
  r.remove = true;
  r.quiet = true;
  const std::wstring exe = L"C:\\Program Files\\Tavrin\\tavrin.exe";
  const std::wstring text = ScheduleSpecification(r, exe);
  EXPECT_EQ(text, L"Tavrin Scheduled Scan  |  This task runs an automated Tavrin scan  |  " + exe +
                      L"  |   /ScanRemove /Quiet  |  2031-04-07  |  09:05:02");
  TaskRegistration task;
  ASSERT_TRUE(ParseScheduleSpecification(text, 3, task));
  EXPECT_EQ(task.name, L"Tavrin Scheduled Scan");
  EXPECT_EQ(task.description, L"This task runs an automated Tavrin scan");
  EXPECT_EQ(task.executable, exe);
  EXPECT_EQ(task.arguments, L" /ScanRemove /Quiet");
  EXPECT_EQ(task.workingFolder, L"C:\\Program Files\\Tavrin");
  EXPECT_EQ(task.repeatDays, 3u);
  EXPECT_EQ(task.firstStart.wYear, 2031);
  EXPECT_EQ(task.firstStart.wDay, 7);
  EXPECT_EQ(task.firstStart.wSecond, 2);
  ASSERT_TRUE(ParseScheduleSpecification(ScheduleSpecification(r, L"C:\\tavrin.exe"), 0, task));
  EXPECT_EQ(task.workingFolder, L"C:\\");

  for (const std::wstring& bad : {
           std::wstring(L"a  |  b  |  C:\\x.exe  |   /Scan  |  2031-04-07"),
           std::wstring(L"a  |  b  |  C:\\x.exe  |   /Scan  |  2031-04-07  |  09:05:02  |  extra"),
           std::wstring(L"a  |  b  |    |   /Scan  |  2031-04-07  |  09:05:02"),
           std::wstring(L"a  |  b  |  C:\\x.exe  |   /Scan  |  2031-02-30  |  09:05:02"),
           std::wstring(L"a  |  b  |  C:\\x.exe  |   /Scan  |  2031-4-7  |  09:05:02"),
           std::wstring(L"a  |  b  |  C:\\x.exe  |   /Scan  |  2031-04-07  |  25:05:02"),
       })
    EXPECT_FALSE(ParseScheduleSpecification(bad, 0, task)) << Narrow(bad);
}

// What the registration hands the scheduler.
std::vector<TaskRegistration> registered;
bool RecordingRegistrar(const TaskRegistration& task) {
  registered.push_back(task);
  return true;
}
bool RefusingRegistrar(const TaskRegistration&) { return false; }

TEST(Schedule, RepeatOrOnceAndAnImpossibleStartCreatesNothing) {
  registered.clear();
  ScheduleRequest r = Request();
  r.repeatDays = 5;
  EXPECT_TRUE(CreateSchedule(r, L"C:\\T\\tavrin.exe", RecordingRegistrar));
  r.repeatDays = 0;
  EXPECT_TRUE(CreateSchedule(r, L"C:\\T\\tavrin.exe", RecordingRegistrar));
  ASSERT_EQ(registered.size(), 2u);
  EXPECT_EQ(registered[0].repeatDays, 5u);
  EXPECT_EQ(registered[1].repeatDays, 0u);
  EXPECT_EQ(registered[1].firstStart.wMinute, 5);

  r.firstStart.wMonth = 13;
  EXPECT_FALSE(CreateSchedule(r, L"C:\\T\\tavrin.exe", RecordingRegistrar));
  EXPECT_FALSE(CreateSchedule(Request(), L"", RecordingRegistrar));
  EXPECT_EQ(registered.size(), 2u);
}

std::wstring ReadWhole(const std::wstring& path) {
  const std::string bytes = test::ReadBytes(path);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// A work item keeps its texts as a count of characters (with the ending
// zero) followed by the characters: the exact text, not a longer one.
bool HoldsText(const std::string& job, const std::wstring& text) {
  std::string field;
  const uint16_t count = uint16_t(text.size() + 1);
  field.append(reinterpret_cast<const char*>(&count), 2);
  field.append(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
  return job.find(field) != std::string::npos;
}

std::wstring JobFile() { return ShellFolder(CSIDL_WINDOWS) + L"\\Tasks\\" + kScheduleTaskName + L".job"; }
std::wstring ServiceTaskFile() { return ShellFolder(CSIDL_SYSTEM) + L"\\Tasks\\" + kScheduleTaskName; }

class ScheduleFiles : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  void Clear() {
    DeleteLegacyTask(kScheduleTaskName);
    DeleteFileW(JobFile().c_str());
    DeleteFileW(ServiceTaskFile().c_str());
  }
};

// The older scheduler writes the work item itself; each combination of
// options ends up in its file as the program and its arguments, and a
// second creation replaces the first.
TEST_F(ScheduleFiles, WorkItemFileHoldsTheProgramAndArgumentsOfEachCombination) {
  const std::wstring exe = L"C:\\Program Files\\Tavrin\\tavrin.exe";
  for (const OptionCase& c : kOptionCases) {
    SCOPED_TRACE(Narrow(c.arguments));
    ASSERT_TRUE(CreateSchedule(RequestFor(c), exe, RegisterLegacyTask));
    const std::string job = test::ReadBytes(JobFile());
    EXPECT_TRUE(HoldsText(job, exe));
    EXPECT_TRUE(HoldsText(job, c.arguments));
    EXPECT_TRUE(HoldsText(job, L"C:\\Program Files\\Tavrin"));
    EXPECT_TRUE(HoldsText(job, L"This task runs an automated Tavrin scan"));
  }
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((ShellFolder(CSIDL_WINDOWS) + L"\\Tasks\\Tavrin Scheduled Scan*").c_str(), &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  int count = 1;
  while (FindNextFileW(find, &found)) ++count;
  FindClose(find);
  EXPECT_EQ(count, 1);
}

// A registration that fails, refused by the scheduler or by its own
// checks, keeps the schedule the user had, file and content.
TEST_F(ScheduleFiles, FailedRegistrationKeepsTheOldTask) {
  const std::wstring exe = L"C:\\Program Files\\Tavrin\\tavrin.exe";
  ScheduleRequest first = Request();
  first.remove = true;
  ASSERT_TRUE(CreateSchedule(first, exe, RegisterLegacyTask));
  const std::string before = test::ReadBytes(JobFile());
  ScheduleRequest broken = Request();
  broken.firstStart.wDay = 31;
  broken.firstStart.wMonth = 6;  // 31 June
  EXPECT_FALSE(CreateSchedule(broken, exe, RegisterLegacyTask));
  EXPECT_FALSE(CreateSchedule(Request(), exe, RefusingRegistrar));
  EXPECT_EQ(test::ReadBytes(JobFile()), before);

  // The task file of the service, as the service writes it: Wine's service
  // refuses the definition (logon type, run level), which leaves the file.
  const std::wstring xml =
      L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/"
      L"mit/task\"><Actions><Exec><Command>" + exe + L"</Command><Arguments> /ScanRemove</Arguments></Exec>"
      L"</Actions></Task>\r\n";
  ASSERT_TRUE(test::WriteBytes(ServiceTaskFile(), test::Utf16Bytes(xml)));
  ASSERT_TRUE(ScheduleExists());
  const bool replaced = CreateSchedule(Request(), exe);
  EXPECT_TRUE(ScheduleExists());
  if (!replaced) {
    EXPECT_EQ(ReadWhole(ServiceTaskFile()), L"\xFEFF" + xml);
  }
}

TEST_F(ScheduleFiles, DeleteScheduleRemovesTheTaskAndFailsWithoutOne) {
  EXPECT_FALSE(ScheduleExists());
  EXPECT_FALSE(DeleteSchedule());
  const std::wstring xml =
      L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/"
      L"mit/task\"><Actions><Exec><Command>C:\\t.exe</Command></Exec></Actions></Task>\r\n";
  ASSERT_TRUE(test::WriteBytes(ServiceTaskFile(), test::Utf16Bytes(xml)));
  EXPECT_TRUE(ScheduleExists());
  EXPECT_TRUE(DeleteSchedule());
  EXPECT_FALSE(ScheduleExists());
  EXPECT_FALSE(test::FileExists(ServiceTaskFile()));
  EXPECT_FALSE(DeleteSchedule());
}

TEST(ScheduledProgram, CompanionWithoutTheBitnessSuffixIsPreferred) {
  test::ScratchFolder folder;
  ASSERT_TRUE(test::WriteBytes(folder / L"tavrin64.exe", "MZ"));
  EXPECT_EQ(ScheduledProgramPath(L"\\\\?\\" + (folder / L"tavrin64.exe")), folder / L"tavrin64.exe");
  ASSERT_TRUE(test::WriteBytes(folder / L"tavrin.exe", "MZ"));
  EXPECT_EQ(ScheduledProgramPath(L"\\\\?\\" + (folder / L"tavrin64.exe")), folder / L"tavrin.exe");
  EXPECT_EQ(ScheduledProgramPath(folder / L"other.exe"), folder / L"other.exe");
}

// A program that users may replace goes to the program files folder's
// "Tavrin" folder, and a copy stays only when it is protected there. Wine
// keeps no file security (every file reads as its user's), so there the
// copy is refused and removed again.
TEST(ScheduledProgram, CopyStaysOnlyWhereUsersCannotReplaceIt) {
  test::ScratchFolder downloads;
  const std::wstring program = downloads / L"tavrin.exe";
  ASSERT_TRUE(test::WriteBytes(program, "MZ program"));
  EXPECT_TRUE(IsWritableByStandardUsers(program));

  const std::wstring target = ProtectedProgramPath(L"\\\\?\\" + program);
  ASSERT_TRUE(EqualsNoCase(target, ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Tavrin\\tavrin.exe")) << Narrow(target);
  if (CopyProgramTo(program, target)) {
    EXPECT_EQ(test::ReadBytes(target), "MZ program");
    EXPECT_FALSE(IsWritableByStandardUsers(target));
    DeleteFileW(target.c_str());
  } else {
    EXPECT_FALSE(test::FileExists(target));
  }
  EXPECT_FALSE(CopyProgramTo(target, target));
  EXPECT_FALSE(CopyProgramTo(program, L"tavrin.exe"));
  RemoveDirectoryW(target.substr(0, target.rfind(L'\\')).c_str());
}

// The copy a scheduled scan runs reads the whitelist the user's own runs
// read: the one beside the original goes with it, and a stale one goes
// when the original has none. (The copy itself stays only where Wine keeps
// file security, so the whitelist is copied here on its own.)
TEST(ScheduledProgram, TheCopyUsesTheWhitelistOfTheProgramTheUserRuns) {
  test::ScratchFolder downloads, protectedFolder, data;
  const std::wstring program = downloads / L"tavrin.exe";
  ASSERT_TRUE(test::WriteBytes(program, "MZ program"));
  const std::string kept = test::Utf16Bytes(L"[Files]\r\nC:\\Tools\\keep.exe=1\r\n");
  ASSERT_TRUE(test::WriteBytes(downloads / kBesideWhitelistName, kept));

  ASSERT_TRUE(CopyBesideWhitelist(L"\\\\?\\" + program, protectedFolder.Path()));
  const std::wstring used = WhitelistFilePath(protectedFolder.Path(), data.Path());
  EXPECT_EQ(used, protectedFolder / kBesideWhitelistName);
  EXPECT_EQ(test::ReadBytes(used), kept);
  // Copied again after the user's whitelist changed.
  const std::string more = test::Utf16Bytes(L"[Files]\r\nC:\\Tools\\keep.exe=1\r\nC:\\Tools\\also.exe=1\r\n");
  ASSERT_TRUE(test::WriteBytes(downloads / kBesideWhitelistName, more));
  ASSERT_TRUE(CopyBesideWhitelist(program, protectedFolder.Path()));
  EXPECT_EQ(test::ReadBytes(used), more);

  // The user's runs went back to the data folder's whitelist: so does the copy.
  ASSERT_TRUE(DeleteFileW((downloads / kBesideWhitelistName).c_str()));
  ASSERT_TRUE(CopyBesideWhitelist(program, protectedFolder.Path()));
  EXPECT_FALSE(test::FileExists(protectedFolder / kBesideWhitelistName));
  EXPECT_EQ(WhitelistFilePath(protectedFolder.Path(), data.Path()), WhitelistFilePath(downloads.Path(), data.Path()));
}

// What the user whitelists after the schedule was made reaches the copy
// too, by whichever command saved it. The copy sits in a scratch folder in
// the program files folder's place (there the copy itself would not stay
// under Wine), and the copy's view is the one its own run would load.
TEST(ScheduledProgram, LaterWhitelistingReachesTheCopy) {
  struct Case {
    const char* command;
    void (*whitelistAfterwards)(WhiteList& whitelist, const std::wstring& scratch);
    const wchar_t* item;
    const wchar_t* section;
    bool generalise;
    bool expected;
  };
  const Case cases[] = {
      {"Whitelist highlighted item",
       [](WhiteList& w, const std::wstring&) {
         ResultSet results;
         ResultList programs = TabList(results, kProgramsTab);
         AddRow(programs, kNoGroup, L"Toolbar Pro", L"Acme", L"alice", true);
         EXPECT_TRUE(WhitelistRow(w, programs, 0));
       },
       L"Toolbar Pro", L"Programs", false, true},
      {"Whitelist checked (all tabs)",
       [](WhiteList& w, const std::wstring&) {
         ResultSet results;
         AddRow(TabList(results, kMalwareTab), kGroupInfectedFiles, L"C:\\Tools\\pack\\setup.exe", L"High",
                L"Adware", true);
         EXPECT_EQ(WhitelistChecked(w, results, kAllTabs), 1);
       },
       L"C:\\Tools\\pack\\setup.exe", L"Infected file objects", true, true},
      {"Whitelist a folder (manager)",
       [](WhiteList& w, const std::wstring&) { EXPECT_TRUE(WhitelistFolder(w, L"C:\\Tools\\Mine")); },
       L"C:\\Tools\\Mine\\sub\\tool.exe", L"Infected file objects", true, true},
      {"Import list (manager)",
       [](WhiteList& w, const std::wstring& scratch) {
         const std::wstring file = scratch + L"\\import.ini";
         ASSERT_TRUE(test::WriteBytes(file, test::Utf16Bytes(L"[Scheduled tasks]\r\nNightly backup=0\r\n")));
         EXPECT_TRUE(ImportWhitelist(w, file));
       },
       L"Nightly backup", L"Scheduled tasks", false, true},
      // Deleting goes through too: the copy must not keep what the user
      // took off (and both runs then list it alike).
      {"Delete checked (manager)",
       [](WhiteList& w, const std::wstring&) {
         EXPECT_EQ(DeleteWhitelistEntries(w, {{L"Programs", L"Kept Before"}}), 1);
       },
       L"Kept Before", L"Programs", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    test::ScratchFolder downloads, programFiles, data;
    const std::wstring program = downloads / L"tavrin.exe";
    const std::wstring copy = programFiles / L"tavrin.exe";
    ASSERT_TRUE(test::WriteBytes(program, "MZ program"));
    ASSERT_TRUE(test::WriteBytes(copy, "MZ program"));
    ASSERT_TRUE(test::WriteBytes(downloads / kBesideWhitelistName,
                                 test::Utf16Bytes(L"[Programs]\r\nKept Before=0\r\n")));
    // The schedule is made: the copy gets the whitelist of that moment.
    ASSERT_TRUE(CopyBesideWhitelist(program, programFiles.Path()));

    {
      WhiteList user;
      ASSERT_TRUE(LoadWhiteList(user, WhitelistFilePath(downloads.Path(), data.Path())));
      ShareWhitelistWithCopy(user, L"\\\\?\\" + program, L"\\\\?\\" + copy);
      c.whitelistAfterwards(user, downloads.Path());
    }

    WhiteList scheduled;
    ASSERT_TRUE(LoadWhiteList(scheduled, WhitelistFilePath(programFiles.Path(), data.Path())));
    EXPECT_EQ(WhiteListPath(scheduled), programFiles / kBesideWhitelistName);
    EXPECT_EQ(IsWhitelisted(scheduled, c.item, c.section, c.generalise), c.expected);
    EXPECT_EQ(test::ReadBytes(programFiles / kBesideWhitelistName), test::ReadBytes(downloads / kBesideWhitelistName));
  }
}

// Without a copy nothing is made in its place. A program that keeps its
// whitelist in the data folder shares that file with the copy already, and
// leaves alone a whitelist the copy holds from an earlier schedule: another
// program beside that whitelist may still be the one the user runs.
TEST(ScheduledProgram, WhitelistingLeavesTheCopysPlaceAloneWhenThereIsNothingToPass) {
  const std::string earlier = test::Utf16Bytes(L"[Programs]\r\nKept Earlier=0\r\n");
  struct Case {
    const char* name;
    bool besideFile, copyExists;
  };
  for (const Case& c : {Case{"no copy", true, false}, Case{"whitelist in the data folder", false, true}}) {
    SCOPED_TRACE(c.name);
    test::ScratchFolder downloads, programFiles, data;
    const std::wstring program = downloads / L"tavrin.exe";
    const std::wstring copiedList = programFiles / kBesideWhitelistName;
    ASSERT_TRUE(test::WriteBytes(program, "MZ program"));
    if (c.besideFile) {
      ASSERT_TRUE(test::WriteBytes(downloads / kBesideWhitelistName, test::Utf16Bytes(L"[Programs]\r\n")));
    }
    if (c.copyExists) {
      ASSERT_TRUE(test::WriteBytes(programFiles / L"tavrin.exe", "MZ program"));
      ASSERT_TRUE(test::WriteBytes(copiedList, earlier));
    }

    WhiteList user;
    const std::wstring used = WhitelistFilePath(downloads.Path(), data.Path());
    ASSERT_EQ(used == downloads / kBesideWhitelistName, c.besideFile);
    LoadWhiteList(user, used);
    ShareWhitelistWithCopy(user, program, programFiles / L"tavrin.exe");
    ASSERT_TRUE(WhitelistFolder(user, L"C:\\Tools\\Mine"));
    EXPECT_TRUE(IsWhitelisted(user, L"C:\\Tools\\Mine\\a.exe", L"Infected file objects", true));

    EXPECT_EQ(test::FileExists(programFiles / L"tavrin.exe"), c.copyExists);
    if (c.copyExists) {
      EXPECT_EQ(test::ReadBytes(copiedList), earlier);
    } else {
      EXPECT_FALSE(test::FileExists(copiedList));
    }
    EXPECT_FALSE(test::FileExists(DocumentTemporaryPath(copiedList)));
  }
}

}  // namespace
}  // namespace tavrin
