#include "scan/scan_report.h"

#include "scan/report_text.h"

namespace tavrin {

bool ScanReport::Open(const std::wstring& path) {
  std::lock_guard<std::mutex> hold(lock_);
  path_ = path;
  return file_.Open(path, TextReplace | TextCreateFolders, TextEncoding::Utf16Le);
}

void ScanReport::Write(std::wstring_view text) {
  std::lock_guard<std::mutex> hold(lock_);
  file_.Write(text);
}

void ScanReport::Finish(uint64_t endTime, uint64_t duration, bool cancelled, std::wstring_view heading) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!file_.IsOpen()) return;
  file_.Write(ReportFooterText(endTime, duration, cancelled, heading));
  file_.Write(kReportEndPrefix);
  file_.Write(ReportEndSuffix(uint64_t(file_.Size())));
  file_.Close();
}

void ScanReport::Close() {
  std::lock_guard<std::mutex> hold(lock_);
  file_.Close();
}

}  // namespace tavrin
