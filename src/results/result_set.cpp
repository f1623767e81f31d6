#include "results/result_set.h"

#include <algorithm>

#include "platform/file_system.h"
#include "results/result_state.h"

namespace tavrin {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// The rows of a list that exists, or null.
std::vector<ScanItem>* RowsOf(ResultList list) {
  if (!list.set || !FindTab(list.tab)) return nullptr;
  return &list.set->state->rows[size_t(list.tab)];
}

ScanItem* RowAt(ResultList list, int row) {
  auto* rows = RowsOf(list);
  if (!rows || row < 0 || size_t(row) >= rows->size()) return nullptr;
  return &(*rows)[size_t(row)];
}

bool GroupFitsTab(int tab, int group) {
  const TabInfo* info = FindTab(tab);
  if (!info->grouped) return true;
  const GroupInfo* found = FindGroup(group);
  return found && found->tab == tab;
}

}  // namespace

ResultSet::ResultSet() : state(std::make_unique<State>()) {}
ResultSet::~ResultSet() = default;

void RestartKeysIfUnused(ResultSet::State& state, int tab) {
  if (state.rows[size_t(tab)].empty() && state.workFolder.empty()) state.nextKey[size_t(tab)] = 0;
}

ResultList TabList(ResultSet& results, int tab) {
  if (!FindTab(tab)) return {};
  return {&results, tab};
}

void SetResultObserver(ResultSet& results, ResultObserver* observer) {
  Lock lock(results.state->lock);
  results.state->observer = observer;
}

int AddRow(ResultList list, int group, std::wstring_view name, std::wstring_view column1,
           std::wstring_view column2, bool checked, std::wstring_view iconFile, int iconIndex) {
  if (!list) return -1;
  Lock lock(list.set->state->lock);
  auto* rows = RowsOf(list);
  if (!rows || !GroupFitsTab(list.tab, group)) return -1;
  auto& state = *list.set->state;

  ScanItem item;
  item.group = FindTab(list.tab)->grouped ? group : kNoGroup;
  item.columns[0] = name;
  item.columns[1] = column1;
  item.columns[2] = column2;
  item.checked = checked;
  if (!iconFile.empty() && FileExists(std::wstring(iconFile))) {
    item.iconFile = iconFile;
    item.iconIndex = iconIndex;
  }
  item.key = state.nextKey[size_t(list.tab)]++;
  rows->push_back(std::move(item));

  ++state.counters.rowsAdded;
  if (checked) ++state.counters.rowsAddedChecked;
  const int position = int(rows->size() - 1);
  if (state.observer) state.observer->RowAdded(list.tab, position, rows->back());
  return position;
}

bool SetColumnText(ResultList list, int row, int column, std::wstring_view text) {
  if (!list) return false;
  Lock lock(list.set->state->lock);
  ScanItem* item = RowAt(list, row);
  if (!item || column < 0 || column >= FindTab(list.tab)->columnCount) return false;
  item->columns[size_t(column)] = text;
  if (auto* observer = list.set->state->observer) observer->RowChanged(list.tab, row, *item);
  return true;
}

std::wstring GetColumnText(ResultList list, int row, int column) {
  if (!list) return {};
  Lock lock(list.set->state->lock);
  const ScanItem* item = RowAt(list, row);
  if (!item || column < 0 || column >= kMaxColumns) return {};
  return item->columns[size_t(column)];
}

int GetGroup(ResultList list, int row) {
  if (!list) return kNoGroup;
  Lock lock(list.set->state->lock);
  const ScanItem* item = RowAt(list, row);
  return item ? item->group : kNoGroup;
}

int GetRowKey(ResultList list, int row) {
  if (!list) return -1;
  Lock lock(list.set->state->lock);
  const ScanItem* item = RowAt(list, row);
  return item ? item->key : -1;
}

int FindRowByKey(ResultList list, int key) {
  if (!list) return -1;
  Lock lock(list.set->state->lock);
  auto* rows = RowsOf(list);
  if (!rows) return -1;
  // Keys are handed out in increasing order and rows are only appended or
  // removed, so the list stays sorted by key.
  auto found = std::lower_bound(rows->begin(), rows->end(), key,
                                [](const ScanItem& item, int wanted) { return item.key < wanted; });
  return (found != rows->end() && found->key == key) ? int(found - rows->begin()) : -1;
}

int SetChecked(ResultList list, int first, int last, bool checked) {
  if (!list) return 0;
  Lock lock(list.set->state->lock);
  auto* rows = RowsOf(list);
  if (!rows || rows->empty()) return 0;
  const int end = int(rows->size()) - 1;
  if (last == kToEnd || last > end) last = end;
  if (first < 0) first = 0;
  int changed = 0;
  for (int i = first; i <= last; ++i) {
    ScanItem& item = (*rows)[size_t(i)];
    if (item.checked == checked) continue;
    item.checked = checked;
    ++changed;
    if (auto* observer = list.set->state->observer) observer->RowChanged(list.tab, i, item);
  }
  return changed;
}

bool IsChecked(ResultList list, int row) {
  if (!list) return false;
  Lock lock(list.set->state->lock);
  const ScanItem* item = RowAt(list, row);
  return item && item->checked;
}

bool DeleteRow(ResultList list, int row) {
  if (!list) return false;
  Lock lock(list.set->state->lock);
  if (!RowAt(list, row)) return false;
  auto* rows = RowsOf(list);
  rows->erase(rows->begin() + row);
  if (auto* observer = list.set->state->observer) observer->RowDeleted(list.tab, row);
  return true;
}

void ClearList(ResultList list) {
  if (!list) return;
  Lock lock(list.set->state->lock);
  auto* rows = RowsOf(list);
  if (!rows) return;
  rows->clear();
  RestartKeysIfUnused(*list.set->state, list.tab);
  if (auto* observer = list.set->state->observer) observer->ListCleared(list.tab);
}

int RowCount(ResultList list) {
  if (!list) return 0;
  Lock lock(list.set->state->lock);
  auto* rows = RowsOf(list);
  return rows ? int(rows->size()) : 0;
}

std::optional<ScanItem> GetRow(ResultList list, int row) {
  if (!list) return std::nullopt;
  Lock lock(list.set->state->lock);
  const ScanItem* item = RowAt(list, row);
  if (!item) return std::nullopt;
  return *item;
}

std::vector<ScanItem> GetRows(ResultList list) {
  if (!list) return {};
  Lock lock(list.set->state->lock);
  auto* rows = RowsOf(list);
  return rows ? *rows : std::vector<ScanItem>{};
}

ResultCounters GetCounters(const ResultSet& results) {
  Lock lock(results.state->lock);
  return results.state->counters;
}

void SetCounters(ResultSet& results, const ResultCounters& counters) {
  Lock lock(results.state->lock);
  results.state->counters = counters;
}

}  // namespace tavrin
