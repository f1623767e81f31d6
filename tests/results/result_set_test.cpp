#include "results/result_set.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "platform/text_file.h"
#include "results/details_files.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ScratchFolder;
using test::WriteBytes;

std::vector<int> Keys(ResultList list) {
  std::vector<int> keys;
  for (int row = 0; row < RowCount(list); ++row) keys.push_back(GetRowKey(list, row));
  return keys;
}

TEST(ResultRows, KeysStayWithTheirRowsAcrossDeletions) {
  ResultSet results;
  ResultList list = TabList(results, kAutostartTab);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(AddRow(list, 11 + i % 2, L"row" + std::to_wstring(i), L"", L"", false), i);
  ASSERT_TRUE(DeleteRow(list, 0));
  ASSERT_TRUE(DeleteRow(list, 1));  // "row2"
  EXPECT_EQ(Keys(list), (std::vector<int>{1, 3}));
  EXPECT_EQ(GetColumnText(list, 1, 0), L"row3");
  EXPECT_EQ(GetGroup(list, 1), 12);
  EXPECT_EQ(FindRowByKey(list, 3), 1);
  EXPECT_EQ(FindRowByKey(list, 2), -1);

  // A row added after deletions never takes a key that is still in use.
  EXPECT_EQ(AddRow(list, 11, L"late", L"", L"", false), 2);
  EXPECT_EQ(Keys(list), (std::vector<int>{1, 3, 4}));

  // Out of range and missing lists answer with the documented failures.
  EXPECT_EQ(GetRowKey(list, 3), -1);
  EXPECT_EQ(GetGroup(list, -1), -1);
  EXPECT_FALSE(DeleteRow(list, 3));
  EXPECT_FALSE(TabList(results, 4));
  EXPECT_EQ(AddRow(TabList(results, 4), 11, L"x", L"", L"", true), -1);
}

TEST(ResultRows, GroupsAndColumnsFollowTheTab) {
  ResultSet results;
  ResultList programs = TabList(results, kProgramsTab);
  ResultList malware = TabList(results, kMalwareTab);
  EXPECT_EQ(AddRow(programs, 44, L"Toolbar", L"Acme", L"alice", true), 0);
  EXPECT_EQ(GetGroup(programs, 0), kNoGroup);  // Programs rows carry no group
  EXPECT_EQ(AddRow(malware, 11, L"x", L"", L"", true), -1);  // group of another tab
  EXPECT_EQ(AddRow(malware, 34, L"x", L"", L"", true), -1);  // unused number
  ASSERT_EQ(AddRow(malware, 81, L"C:\\bad.exe", L"High", L"Trojan", true), 0);
  EXPECT_TRUE(SetColumnText(malware, 0, 3, L"2024-01-01"));
  EXPECT_FALSE(SetColumnText(programs, 0, 3, L"no fourth column"));
  EXPECT_EQ(GetColumnText(malware, 0, 3), L"2024-01-01");
  EXPECT_EQ(GetColumnText(programs, 0, 1), L"Acme");
}

TEST(ResultRows, CountersFollowSuccessfulAdds) {
  ScratchFolder scratch;
  ResultSet results;
  ASSERT_TRUE(PrepareWorkFolder(results, scratch.Path(), 42));
  ResultList list = TabList(results, kBrowsersTab);
  AddRow(list, 42, L"a", L"", L"", true);
  AddRow(list, 43, L"b", L"", L"", false);
  AddRow(list, 99, L"rejected", L"", L"", true);
  AddRow(TabList(results, kProgramsTab), kNoGroup, L"c", L"", L"", true);
  ResultCounters counters = GetCounters(results);
  EXPECT_EQ(counters.rowsAdded, 3);
  EXPECT_EQ(counters.rowsAddedChecked, 2);
  // Unchecking a row later does not change what the scan found.
  SetChecked(list, 0, 0, false);
  EXPECT_EQ(GetCounters(results).rowsAddedChecked, 2);

  EXPECT_TRUE(DiscardResults(results));
  EXPECT_EQ(GetCounters(results).rowsAdded, 0);
  EXPECT_EQ(GetCounters(results).rowsAddedChecked, 0);
}

struct CheckStep {
  int first, last;
  bool checked;
  int changed;
  const char* after;  // check states of the five rows
};

TEST(ResultRows, CheckRanges) {
  const CheckStep steps[] = {
      {1, 3, true, 3, "01110"},   {0, kToEnd, true, 2, "11111"}, {0, kToEnd, true, 0, "11111"},
      {3, 99, false, 2, "11100"}, {4, 2, false, 0, "11100"},     {-5, 0, false, 1, "01100"},
      {7, kToEnd, true, 0, "01100"},
  };
  ResultSet results;
  ResultList list = TabList(results, kProgramsTab);
  EXPECT_EQ(SetChecked(list, 0, kToEnd, true), 0);  // empty list
  for (int i = 0; i < 5; ++i) AddRow(list, kNoGroup, L"p", L"", L"", false);
  for (const auto& step : steps) {
    EXPECT_EQ(SetChecked(list, step.first, step.last, step.checked), step.changed) << step.after;
    std::string states;
    for (int row = 0; row < 5; ++row) states += IsChecked(list, row) ? '1' : '0';
    EXPECT_EQ(states, step.after);
  }
}

TEST(ResultRows, IconFileOnlyWhenItExists) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteBytes(scratch / L"app.exe", "MZ"));
  ResultSet results;
  ResultList list = TabList(results, kAutostartTab);
  AddRow(list, 11, L"present", L"", L"", true, scratch / L"app.exe", 2);
  AddRow(list, 11, L"missing", L"", L"", true, scratch / L"gone.exe", 2);
  EXPECT_EQ(GetRow(list, 0)->iconFile, scratch / L"app.exe");
  EXPECT_EQ(GetRow(list, 0)->iconIndex, 2);
  EXPECT_EQ(GetRow(list, 1)->iconFile, L"");
}

struct Recorder : ResultObserver {
  std::vector<std::wstring> events;
  ResultSet* results = nullptr;
  void RowAdded(int tab, int row, const ScanItem& item) override {
    // Reading the set from inside a notification must not deadlock.
    events.push_back(L"add " + std::to_wstring(tab) + L":" + std::to_wstring(row) + L" " + item.columns[0] +
                     L" of " + std::to_wstring(RowCount(TabList(*results, tab))));
  }
  void RowChanged(int tab, int row, const ScanItem& item) override {
    events.push_back(L"change " + std::to_wstring(tab) + L":" + std::to_wstring(row) + (item.checked ? L" on" : L" off"));
  }
  void RowDeleted(int tab, int row) override {
    events.push_back(L"delete " + std::to_wstring(tab) + L":" + std::to_wstring(row));
  }
  void ListCleared(int tab) override { events.push_back(L"clear " + std::to_wstring(tab)); }
};

TEST(ResultRows, ObserverSeesEveryChangeInOrder) {
  ResultSet results;
  Recorder recorder;
  recorder.results = &results;
  SetResultObserver(results, &recorder);
  ResultList list = TabList(results, kMalwareTab);
  AddRow(list, 81, L"a", L"", L"", false);
  AddRow(list, 82, L"b", L"", L"", true);
  SetChecked(list, 0, kToEnd, true);  // only row 0 changes
  DeleteRow(list, 0);
  ClearList(list);
  SetResultObserver(results, nullptr);
  AddRow(list, 81, L"unseen", L"", L"", false);
  EXPECT_EQ(recorder.events, (std::vector<std::wstring>{L"add 3:0 a of 1", L"add 3:1 b of 2", L"change 3:0 on",
                                                        L"delete 3:0", L"clear 3"}));
}

TEST(ResultRows, WorkerAddsWhileAnotherThreadReadsAndChecks) {
  ResultSet results;
  ResultList list = TabList(results, kAutostartTab);
  constexpr int kRows = 5000;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < kRows; ++i) AddRow(list, 11 + i % 5, L"row" + std::to_wstring(i), L"user", L"path", false);
    done = true;
  });
  int lastCount = 0;
  while (!done) {
    int count = RowCount(list);
    EXPECT_GE(count, lastCount);
    lastCount = count;
    SetChecked(list, 0, kToEnd, true);
    auto rows = GetRows(list);
    for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i].key, int(i));
  }
  worker.join();
  ASSERT_EQ(RowCount(list), kRows);
  EXPECT_EQ(GetCounters(results).rowsAdded, kRows);
  EXPECT_EQ(GetColumnText(list, kRows - 1, 0), L"row" + std::to_wstring(kRows - 1));
}

}  // namespace
}  // namespace tavrin
