#include "cloud/request_batch.h"

#include "cloud/escaping.h"

namespace tavrin {

namespace {

void AppendMember(std::wstring& object, const wchar_t* name, const std::wstring& value) {
  if (object.size() > 1) object += L", ";
  object += L'"';
  object += name;
  object += L"\": \"";
  object += JsonEscape(value);
  object += L'"';
}

}  // namespace

int ItemsPerRequest(RequestKind kind) { return kind == RequestKind::FileReports ? 25 : 1; }

void ResetBatch(RequestBatch& batch) {
  batch.count = 0;
  batch.text.clear();
  batch.asked.clear();
}

void AppendReportItem(RequestBatch& batch, const ReportItem& item) {
  std::wstring object = L"{";
  if (item.autostartText.size() > 5) {
    const size_t split = item.autostartText.find(L" / ");
    AppendMember(object, L"autostart_location", item.autostartText.substr(0, split));
    if (split != std::wstring::npos) AppendMember(object, L"autostart_entry", item.autostartText.substr(split + 3));
  }
  AppendMember(object, L"hash", item.hash);
  const std::wstring& path = item.imagePath;
  if (path.size() > 3 && path.substr(0, 7).find(L'\\') != std::wstring::npos)
    AppendMember(object, L"image_path", path);
  if (!item.creationTime.empty()) AppendMember(object, L"creation_datetime", item.creationTime);
  object += L"}";
  if (!batch.text.empty()) batch.text += L", ";
  batch.text += object;
}

std::wstring FileReportsBody(const RequestBatch& batch) {
  return batch.count >= 2 ? L"[" + batch.text + L"]" : L"[" + batch.text + L",{}]";
}

}  // namespace tavrin
