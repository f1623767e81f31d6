#pragma once
// Inside of ResultSet, shared by the row and the details-file sources.
#include <array>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ini_document.h"
#include "results/result_set.h"

namespace tavrin {

inline constexpr int kDetailsTabs = 4;

struct DetailsFile {
  IniDocument doc;
  // Header line of each section by its name: a details file holds a section
  // per row, and looking one up line by line would make a scan or a removal
  // of many rows quadratic. Dropped on any edit that moves lines.
  std::unordered_map<std::wstring, size_t> headers;
  bool indexed = false;
};

struct ResultSet::State {
  mutable std::recursive_mutex lock;
  std::array<std::vector<ScanItem>, kTabCount> rows;
  std::array<int, kTabCount> nextKey{};
  ResultCounters counters;
  ResultObserver* observer = nullptr;
  std::wstring workFolder;
  std::array<DetailsFile, kDetailsTabs> details;
};

// Keys restart from 0 only when nothing can still be filed under an older
// key: the list is empty and no work folder holds details.
void RestartKeysIfUnused(ResultSet::State& state, int tab);

}  // namespace tavrin
