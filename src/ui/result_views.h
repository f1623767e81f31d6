#pragma once
// The four result lists of the main window, each a report list view with
// check boxes that shows one tab of the row model. The model tells of its
// changes on whatever thread made them; the events are queued and the
// window thread applies them when the posted message arrives. Check-box
// changes the user makes go back to the model.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "results/result_set.h"

namespace tavrin {

class ResultViews : public ResultObserver {
 public:
  ResultViews() = default;
  ~ResultViews() override;
  ResultViews(const ResultViews&) = delete;
  ResultViews& operator=(const ResultViews&) = delete;

  // Creates the lists (hidden) as children of `parent` with the identifiers
  // firstId + tab, shows the rows the model has, and follows the model from
  // then on; `pendingMessage` is posted to `parent` when events wait.
  // Called while no worker changes the model.
  bool Create(HWND parent, int firstId, ResultSet& results, UINT pendingMessage);
  // Stops following the model (before the window goes).
  void Detach();

  HWND List(int tab) const;
  // Shows the tab's list and hides the others.
  void ShowTab(int tab);
  void Move(const RECT& area);
  // Window thread: the parent moved to a monitor of another DPI; the row
  // icons are made again at their size there.
  void SetDpi(UINT dpi);

  // Window thread: brings the lists up to date with the model.
  void ApplyPending();
  // Window thread: a list's LVN_ITEMCHANGED. True when it was the user's
  // check-box change, which has then been handed to the model.
  bool OnItemChanged(int tab, const NMLISTVIEW& change);

  // Window thread: a list's NM_CUSTOMDRAW. Colours the "Threat level" cell
  // of Malware rows by their level; the answer for the window procedure.
  LRESULT OnCustomDraw(int tab, NMLVCUSTOMDRAW& draw) const;

  // The model row of the list's highlighted (selected) entry, -1 for none.
  int HighlightedRow(int tab) const;
  // The model row of a list entry, found by its row key.
  int ModelRow(int tab, int item) const;

  // ResultObserver, called on any thread.
  void RowAdded(int tab, int row, const ScanItem& item) override;
  void RowChanged(int tab, int row, const ScanItem& item) override;
  void RowDeleted(int tab, int row) override;
  void ListCleared(int tab) override;

 private:
  enum class EventKind { Added, Changed, Deleted, Cleared };
  struct Event {
    EventKind kind;
    int tab;
    int row;
    ScanItem item;
  };

  void Queue(Event event);
  void Apply(const Event& event);
  void SetItem(int tab, int index, const ScanItem& item, bool insert);
  int ImageOf(int tab, const ScanItem& item);
  HIMAGELIST MakeImages(int tab) const;

  HWND parent_ = nullptr;
  UINT pendingMessage_ = 0;
  ResultSet* results_ = nullptr;
  std::array<HWND, kTabCount> lists_{};
  std::array<HIMAGELIST, kTabCount> images_{};
  std::array<std::map<std::wstring, int>, kTabCount> imageIndex_;
  // The files and icon indexes of the images after the first (the tab's
  // default), in the image list's order, to make them again at a new DPI.
  std::array<std::vector<std::pair<std::wstring, int>>, kTabCount> imageSources_;
  UINT dpi_ = 96;
  // Set while the lists are changed from the model, so that the list's own
  // change notifications are not taken for the user's.
  bool applying_ = false;

  std::mutex queueLock_;
  std::deque<Event> queue_;
  bool posted_ = false;
};

}  // namespace tavrin
