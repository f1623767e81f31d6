#pragma once
// The removal report: a new file per removal run (UTF-16LE with a
// byte-order mark), the header, the lines of every phase, and the closing
// line that gives the size of the whole file.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text_file.h"

namespace tavrin {

// Data folder + "\TVNrem" + the local time as a decimal 64-bit file time + ".txt".
std::wstring RemovalReportPath(const std::wstring& dataFolder, uint64_t localFileTime);

// The header up to and including the programs phase's heading.
std::wstring RemovalReportHeaderText(bool is32BitProcessOn64, uint64_t startTime);

// The end line, without the closing size line.
std::wstring RemovalEndText(uint64_t endTime);

class RemovalReport {
 public:
  // False when the file cannot be created; the removal then goes on and
  // every Write does nothing.
  bool Open(const std::wstring& path);
  bool IsOpen() const { return file_.IsOpen(); }
  const std::wstring& Path() const { return path_; }
  void Write(std::wstring_view text);
  // Writes the end line and the size line, and closes the file.
  void Finish(uint64_t endTime);

 private:
  TextFile file_;
  std::wstring path_;
};

}  // namespace tavrin
