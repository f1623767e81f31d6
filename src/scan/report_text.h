#pragma once
// The texts of the scan report that do not belong to a phase: times,
// durations, the header and the footer.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/product.h"
#include "platform/time_text.h"

namespace tavrin {

// "1 hour, 2 minutes and 5 seconds"; "0 seconds" below one second.
std::wstring DurationText(uint64_t hundredNanoseconds);

struct ReportHeader {
  std::wstring productName = kProductName;
  bool is32BitProcessOn64 = false;
  std::wstring databaseNumber;
  std::wstring windowsProductName;  // the "ProductName" value
  std::wstring csdVersion;
  std::wstring buildNumber;         // empty when unknown
  std::vector<std::pair<std::wstring, std::wstring>> browserVersions;  // label ("Google Chrome"), version
  std::wstring scanUser;
  bool scanAllUsers = true;
  uint64_t startTime = 0;  // local FILETIME units
};
std::wstring ReportHeaderText(const ReportHeader& header);
// Its first three lines: the title, the version and the database number.
std::wstring ReportTitleText(const ReportHeader& header);

// The footer up to, not including, the closing byte-count line; `heading`
// names the closing section ("End of scans").
std::wstring ReportFooterText(uint64_t endTime, uint64_t duration, bool cancelled,
                              std::wstring_view heading = L"End of scans");
// The first part of the closing line; the byte count follows it.
inline constexpr wchar_t kReportEndPrefix[] = L"\r\n############ End of report ";
// The rest of the closing line for a file that holds `currentSize` bytes
// once the prefix is written: the count is the size of the whole file.
std::wstring ReportEndSuffix(uint64_t currentSize);
// The same for any closing line whose count is followed by `tail`: the
// count and the tail, so that the count equals the size of the whole file
// once both are written as UTF-16.
std::wstring SizeLineSuffix(uint64_t currentSize, std::wstring_view tail);

}  // namespace tavrin
