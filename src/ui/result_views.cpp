#include "ui/result_views.h"

#include <shellapi.h>
#include <shlobj.h>

#include "definitions/threat_level.h"
#include "platform/file_system.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "results/result_tabs.h"
#include "ui/ui_fonts.h"
#include "ui/window_kit.h"

namespace tavrin {

namespace {

constexpr int kIconSize = 16;
// The Malware list's "Threat level" column.
constexpr int kThreatLevelColumn = 1;

// The image a tab shows for rows that name no icon of their own; shared
// when it is a stock icon.
HICON DefaultIcon(int tab, UINT dpi, bool& owned) {
  const TabInfo* info = FindTab(tab);
  owned = true;
  if (info && !info->defaultIconInSystemFolder.empty()) {
    const std::wstring file = ShellFolder(CSIDL_SYSTEM) + L"\\" + std::wstring(info->defaultIconInSystemFolder);
    if (HICON icon = FileIcon(file, 0, kIconSize, dpi)) return icon;
  }
  owned = false;
  return LoadScaledIcon(nullptr, tab == kMalwareTab ? IDI_WARNING : IDI_APPLICATION, kIconSize, dpi);
}

// Column widths are design units; `listWidth` too.
void AddColumns(HWND list, const TabInfo& info, int listWidth, UINT dpi) {
  const auto headers = Split(info.headers, L"\n");
  for (int column = 0; column < info.columnCount && column < int(headers.size()); ++column) {
    int width = info.widths[size_t(column)];
    if (width < 0) width = std::max(120, listWidth + width);
    LVCOLUMNW lvc{};
    lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    lvc.pszText = const_cast<wchar_t*>(headers[size_t(column)].c_str());
    lvc.cx = Scaled(width, dpi);
    lvc.iSubItem = column;
    SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&lvc));
  }
}

void AddGroups(HWND list, int tab) {
  SendMessageW(list, LVM_ENABLEGROUPVIEW, TRUE, 0);
  int position = 0;
  for (const GroupInfo& group : ResultGroups()) {
    if (group.tab != tab) continue;
    std::wstring title(group.title);
    LVGROUP lvg{};
    lvg.cbSize = sizeof lvg;
    lvg.mask = LVGF_HEADER | LVGF_GROUPID | LVGF_STATE;
    lvg.pszHeader = title.data();
    lvg.iGroupId = group.id;
    lvg.stateMask = LVGS_NORMAL;
    lvg.state = LVGS_NORMAL;
    SendMessageW(list, LVM_INSERTGROUP, position++, reinterpret_cast<LPARAM>(&lvg));
  }
}

}  // namespace

ResultViews::~ResultViews() {
  Detach();
  for (HIMAGELIST images : images_) {
    if (images) ImageList_Destroy(images);
  }
}

bool ResultViews::Create(HWND parent, int firstId, ResultSet& results, UINT pendingMessage) {
  parent_ = parent;
  pendingMessage_ = pendingMessage;
  results_ = &results;
  dpi_ = WindowDpi(parent);
  RECT area;
  GetClientRect(parent, &area);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (int tab = 0; tab < kTabCount; ++tab) {
    const TabInfo& info = *FindTab(tab);
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                                WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL, 0, 0,
                                area.right, area.bottom, parent, HMENU(INT_PTR(firstId + tab)), instance, nullptr);
    if (!list) return false;
    lists_[size_t(tab)] = list;
    SendMessageW(list, WM_SETFONT, WPARAM(ListFont(dpi_)), FALSE);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    images_[size_t(tab)] = MakeImages(tab);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(images_[size_t(tab)]));
    AddColumns(list, info, Unscaled(area.right - MetricForDpi(SM_CXVSCROLL, dpi_), dpi_) - 8, dpi_);
    if (info.grouped) AddGroups(list, tab);
  }

  SetResultObserver(results, this);
  applying_ = true;
  for (int tab = 0; tab < kTabCount; ++tab) {
    const auto rows = GetRows(TabList(results, tab));
    for (size_t row = 0; row < rows.size(); ++row) SetItem(tab, int(row), rows[row], true);
  }
  applying_ = false;
  return true;
}

void ResultViews::Detach() {
  if (results_) SetResultObserver(*results_, nullptr);
  results_ = nullptr;
}

HWND ResultViews::List(int tab) const { return (tab >= 0 && tab < kTabCount) ? lists_[size_t(tab)] : nullptr; }

void ResultViews::ShowTab(int tab) {
  for (int t = 0; t < kTabCount; ++t) ShowWindow(lists_[size_t(t)], t == tab ? SW_SHOW : SW_HIDE);
}

void ResultViews::Move(const RECT& area) {
  for (HWND list : lists_) {
    MoveWindow(list, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  }
}

HIMAGELIST ResultViews::MakeImages(int tab) const {
  const int size = Scaled(kIconSize, dpi_);
  HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 8, 8);
  bool owned = false;
  HICON fallback = DefaultIcon(tab, dpi_, owned);
  ImageList_AddIcon(images, fallback);
  // An icon that cannot be made again keeps its place with the default.
  for (const auto& [file, index] : imageSources_[size_t(tab)]) {
    HICON icon = FileIcon(file, index, kIconSize, dpi_);
    ImageList_AddIcon(images, icon ? icon : fallback);
    if (icon) DestroyIcon(icon);
  }
  if (owned) DestroyIcon(fallback);
  return images;
}

void ResultViews::SetDpi(UINT dpi) {
  if (dpi == dpi_) return;
  dpi_ = dpi;
  for (int tab = 0; tab < kTabCount; ++tab) {
    HIMAGELIST images = MakeImages(tab);
    SendMessageW(lists_[size_t(tab)], LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(images));
    if (images_[size_t(tab)]) ImageList_Destroy(images_[size_t(tab)]);
    images_[size_t(tab)] = images;
  }
}

void ResultViews::Queue(Event event) {
  bool post = false;
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    queue_.push_back(std::move(event));
    post = !posted_;
    posted_ = true;
  }
  // Posted, never sent: the model's lock is held here, and the window
  // thread may be waiting for it.
  if (post && parent_) PostMessageW(parent_, pendingMessage_, 0, 0);
}

void ResultViews::RowAdded(int tab, int row, const ScanItem& item) { Queue({EventKind::Added, tab, row, item}); }
void ResultViews::RowChanged(int tab, int row, const ScanItem& item) { Queue({EventKind::Changed, tab, row, item}); }
void ResultViews::RowDeleted(int tab, int row) { Queue({EventKind::Deleted, tab, row, {}}); }
void ResultViews::ListCleared(int tab) { Queue({EventKind::Cleared, tab, 0, {}}); }

void ResultViews::ApplyPending() {
  std::deque<Event> events;
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    events.swap(queue_);
    posted_ = false;
  }
  if (events.empty()) return;
  applying_ = true;
  for (HWND list : lists_) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (const Event& event : events) Apply(event);
  for (HWND list : lists_) {
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
  }
  applying_ = false;
}

void ResultViews::Apply(const Event& event) {
  HWND list = List(event.tab);
  if (!list) return;
  switch (event.kind) {
    case EventKind::Added:
      SetItem(event.tab, event.row, event.item, true);
      break;
    case EventKind::Changed:
      SetItem(event.tab, event.row, event.item, false);
      break;
    case EventKind::Deleted:
      SendMessageW(list, LVM_DELETEITEM, event.row, 0);
      break;
    case EventKind::Cleared:
      SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
      break;
  }
}

int ResultViews::ImageOf(int tab, const ScanItem& item) {
  if (item.iconFile.empty()) return 0;
  auto& index = imageIndex_[size_t(tab)];
  const std::wstring name = ToLower(item.iconFile) + L"," + std::to_wstring(item.iconIndex);
  if (auto found = index.find(name); found != index.end()) return found->second;
  int image = 0;
  if (HICON icon = FileIcon(item.iconFile, item.iconIndex, kIconSize, dpi_)) {
    image = ImageList_AddIcon(images_[size_t(tab)], icon);
    DestroyIcon(icon);
    if (image < 0) {
      image = 0;
    } else {
      imageSources_[size_t(tab)].emplace_back(item.iconFile, item.iconIndex);
    }
  }
  index[name] = image;
  return image;
}

void ResultViews::SetItem(int tab, int index, const ScanItem& item, bool insert) {
  HWND list = List(tab);
  LVITEMW lvi{};
  lvi.mask = LVIF_TEXT | LVIF_IMAGE;
  lvi.iItem = index;
  lvi.pszText = const_cast<wchar_t*>(item.columns[0].c_str());
  lvi.iImage = ImageOf(tab, item);
  if (insert) {
    lvi.mask |= LVIF_PARAM;
    lvi.lParam = item.key;
    if (FindTab(tab)->grouped && item.group != kNoGroup) {
      lvi.mask |= LVIF_GROUPID;
      lvi.iGroupId = item.group;
    }
    lvi.iItem = int(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi)));
    if (lvi.iItem < 0) return;
  } else {
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&lvi));
  }
  const int columns = FindTab(tab)->columnCount;
  for (int column = 1; column < columns; ++column) {
    LVITEMW sub{};
    sub.iSubItem = column;
    sub.pszText = const_cast<wchar_t*>(item.columns[size_t(column)].c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, lvi.iItem, reinterpret_cast<LPARAM>(&sub));
  }
  LVITEMW check{};
  check.stateMask = LVIS_STATEIMAGEMASK;
  check.state = INDEXTOSTATEIMAGEMASK(item.checked ? 2 : 1);
  SendMessageW(list, LVM_SETITEMSTATE, lvi.iItem, reinterpret_cast<LPARAM>(&check));
}

bool ResultViews::OnItemChanged(int tab, const NMLISTVIEW& change) {
  if (applying_ || !results_ || !(change.uChanged & LVIF_STATE)) return false;
  if (((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) == 0) return false;
  const UINT image = (change.uNewState & LVIS_STATEIMAGEMASK) >> 12;
  if (image != 1 && image != 2) return false;
  // A zero old image is the list giving a new entry its first state.
  if ((change.uOldState & LVIS_STATEIMAGEMASK) == 0) return false;
  const int row = ModelRow(tab, change.iItem);
  if (row < 0) return false;
  SetChecked(TabList(*results_, tab), row, row, image == 2);
  return true;
}

int ResultViews::ModelRow(int tab, int item) const {
  HWND list = List(tab);
  if (!list || item < 0 || !results_) return -1;
  LVITEMW lvi{};
  lvi.mask = LVIF_PARAM;
  lvi.iItem = item;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lvi))) return -1;
  return FindRowByKey(TabList(*results_, tab), int(lvi.lParam));
}

int ResultViews::HighlightedRow(int tab) const {
  HWND list = List(tab);
  if (!list) return -1;
  const int item = int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
  return ModelRow(tab, item);
}

LRESULT ResultViews::OnCustomDraw(int tab, NMLVCUSTOMDRAW& draw) const {
  if (tab != kMalwareTab) return CDRF_DODEFAULT;
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      // Only the threat-level cell is coloured; the other cells keep the
      // list's own colours, which a cell drawn before them would change.
      draw.clrText = CLR_DEFAULT;
      draw.clrTextBk = CLR_DEFAULT;
      if (draw.iSubItem != kThreatLevelColumn) return CDRF_NEWFONT;
      wchar_t text[64] = {};
      ListView_GetItemText(draw.nmcd.hdr.hwndFrom, int(draw.nmcd.dwItemSpec), draw.iSubItem, text, 64);
      if (const ThreatLevel* level = ThreatLevelNamed(text); level && level->level > 0) {
        draw.clrText = level->textColour;
        draw.clrTextBk = level->background;
      }
      return CDRF_NEWFONT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

}  // namespace tavrin
