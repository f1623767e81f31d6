#include "removal/removal_report.h"

#include "platform/product.h"
#include "platform/time_text.h"
#include "scan/report_text.h"

namespace tavrin {

std::wstring RemovalReportPath(const std::wstring& dataFolder, uint64_t localFileTime) {
  return dataFolder + L"\\TVNrem" + std::to_wstring(localFileTime) + L".txt";
}

std::wstring RemovalReportHeaderText(bool is32BitProcessOn64, uint64_t startTime) {
  const std::wstring product = kProductName;
  return L"\r\n###### " + product + L" threat removal report ######\r\n\r\n" + L"\t" + product + L" version: " +
         kProductVersion + L" (" + (is32BitProcessOn64 ? L"32" : L"64") + L"bits).\r\n" +
         L"\tRemoval start time: " + ReportTimeText(startTime) + L".\r\n\r\n" +
         L"->Begin removal of the selected programs...\r\n\r\n";
}

std::wstring RemovalEndText(uint64_t endTime) {
  return L"\r\n->End of the removal process. Time: " + ReportTimeText(endTime);
}

bool RemovalReport::Open(const std::wstring& path) {
  path_ = path;
  if (file_.Open(path, TextReplace | TextCreateFolders, TextEncoding::Utf16Le)) return true;
  path_.clear();
  return false;
}

void RemovalReport::Write(std::wstring_view text) {
  if (file_.IsOpen() && !text.empty()) file_.Write(text);
}

void RemovalReport::Finish(uint64_t endTime) {
  if (!file_.IsOpen()) return;
  file_.Write(RemovalEndText(endTime));
  file_.Write(L"\r\n\r\n###### End of the removal report ");
  file_.Write(SizeLineSuffix(uint64_t(file_.Size()), L" bytes ######"));
  file_.Close();
}

}  // namespace tavrin
