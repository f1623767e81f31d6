#pragma once
// The rows behind the four result tabs. The scans add rows from their worker
// thread, the window shows them and hands the user's check-box changes back,
// the whitelist and the removal read and delete them. Every function here
// may be called from any thread: the set guards its rows with its own lock.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results/result_tabs.h"

namespace tavrin {

// One result row.
struct ScanItem {
  int group = kNoGroup;
  std::array<std::wstring, kMaxColumns> columns;
  bool checked = false;
  // Empty when the scan named no icon or the file is not there: the view then
  // shows the tab's default image.
  std::wstring iconFile;
  int iconIndex = 0;
  // The name under which the row's details are filed. It never changes, also
  // when rows before it are deleted.
  int key = -1;
};

struct ResultCounters {
  int rowsAdded = 0;
  int rowsAddedChecked = 0;
};

// Learns of every change of the rows, so that a view can follow the model
// without reading every row again. The calls are made on the thread that
// made the change while the set's lock is held, so they arrive in the order
// of the changes. A call may read the set (the lock is re-entrant on the same
// thread) but must not wait for another thread that may itself be waiting
// for the set: a window posts the event to its own thread, it never sends.
// Row positions are those right after the change.
class ResultObserver {
 public:
  virtual ~ResultObserver() = default;
  virtual void RowAdded(int tab, int row, const ScanItem& item) = 0;
  virtual void RowChanged(int tab, int row, const ScanItem& item) = 0;
  virtual void RowDeleted(int tab, int row) = 0;
  virtual void ListCleared(int tab) = 0;
};

// The results of a run: the four lists, the session counters, the work
// folder with the details files. Owned by the application context; use it
// only through the functions below and those of details_files.h.
struct ResultSet {
  ResultSet();
  ~ResultSet();
  ResultSet(const ResultSet&) = delete;
  ResultSet& operator=(const ResultSet&) = delete;

  struct State;
  std::unique_ptr<State> state;
};

// One tab's list. A handle without a set stands for a list that does not
// exist: every operation on it fails.
struct ResultList {
  ResultSet* set = nullptr;
  int tab = -1;
  explicit operator bool() const { return set != nullptr; }
};

// Passed as the last row of SetChecked: up to the end of the list.
inline constexpr int kToEnd = -1;

ResultList TabList(ResultSet& results, int tab);
// Null to stop the notifications. The observer must outlive its registration.
void SetResultObserver(ResultSet& results, ResultObserver* observer);

// Appends a row in its group and returns its position, or -1 when the list
// does not exist or the group is not one of the tab's (Programs rows take no
// group). Raises the session counters.
int AddRow(ResultList list, int group, std::wstring_view name, std::wstring_view column1,
           std::wstring_view column2, bool checked, std::wstring_view iconFile = {}, int iconIndex = 0);
bool SetColumnText(ResultList list, int row, int column, std::wstring_view text);
// Empty for a row or column that does not exist.
std::wstring GetColumnText(ResultList list, int row, int column);
// -1 for a row that does not exist or carries no group.
int GetGroup(ResultList list, int row);
// -1 for a row that does not exist.
int GetRowKey(ResultList list, int row);
// The position of the row filed under the key, -1 when none is.
int FindRowByKey(ResultList list, int key);
// Sets the rows first to last (kToEnd: the end of the list); returns how
// many rows changed.
int SetChecked(ResultList list, int first, int last, bool checked);
bool IsChecked(ResultList list, int row);
bool DeleteRow(ResultList list, int row);
void ClearList(ResultList list);
int RowCount(ResultList list);
// Copies for a view and for the reports.
std::optional<ScanItem> GetRow(ResultList list, int row);
std::vector<ScanItem> GetRows(ResultList list);

ResultCounters GetCounters(const ResultSet& results);
// For rows that a scan counts by a rule of its own rather than one by one.
void SetCounters(ResultSet& results, const ResultCounters& counters);

}  // namespace tavrin
