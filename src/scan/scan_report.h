#pragma once
// The scan report file: opened anew at the start of a scan (UTF-16LE with a
// byte-order mark), appended to by every phase, closed with the footer and
// the line that gives the size of the whole file.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/text_file.h"

namespace tavrin {

class ScanReport {
 public:
  // False when the file cannot be created; the scan then goes on without a
  // report and every Write does nothing.
  bool Open(const std::wstring& path);
  bool IsOpen() const { return file_.IsOpen(); }
  const std::wstring& Path() const { return path_; }
  void Write(std::wstring_view text);
  // Writes the footer and the closing line, and closes the file.
  void Finish(uint64_t endTime, uint64_t duration, bool cancelled, std::wstring_view heading = L"End of scans");
  void Close();

 private:
  std::mutex lock_;
  TextFile file_;
  std::wstring path_;
};

}  // namespace tavrin
