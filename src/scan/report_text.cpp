#include "scan/report_text.h"

#include <cwchar>

namespace tavrin {

namespace {

size_t Digits(uint64_t n) { return std::to_wstring(n).size(); }

}  // namespace

std::wstring DurationText(uint64_t hundredNanoseconds) {
  uint64_t seconds = hundredNanoseconds / 10000000ULL;
  if (seconds == 0) return L"0 seconds";
  static const std::pair<uint64_t, const wchar_t*> units[] = {
      {604800, L"week"}, {86400, L"day"}, {3600, L"hour"}, {60, L"minute"}, {1, L"second"}};
  std::vector<std::wstring> parts;
  for (const auto& [size, name] : units) {
    uint64_t count = seconds / size;
    seconds %= size;
    if (count == 0) continue;
    parts.push_back(std::to_wstring(count) + L" " + name + (count == 1 ? L"" : L"s"));
  }
  std::wstring text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += (i + 1 == parts.size()) ? L" and " : L", ";
    text += parts[i];
  }
  return text;
}

std::wstring ReportTitleText(const ReportHeader& h) {
  const std::wstring& p = h.productName;
  const bool saysThreat = p.find(L"threat") != std::wstring::npos;
  std::wstring t = L"\r\n###### " + p + L"'s " + (saysThreat ? L"" : L"threat ") + L"scan report ######\r\n\r\n";
  t += L"\t" + p + L" version: " + kProductVersion + L" (" + (h.is32BitProcessOn64 ? L"32" : L"64") + L"bits).\r\n";
  t += L"\t" + p + L" definitions database number: " + h.databaseNumber + L".\r\n";
  return t;
}

std::wstring ReportHeaderText(const ReportHeader& h) {
  std::wstring t = ReportTitleText(h);
  t += L"\tWindows version: " + h.windowsProductName + L" " + h.csdVersion + L" " + L"64-bit";
  if (!h.buildNumber.empty()) t += L" build " + h.buildNumber;
  t += L"\r\n";
  for (const auto& [label, version] : h.browserVersions) t += L"\t" + label + L" version: " + version + L"\r\n";
  t += L"\r\n\tScan started by user: " + h.scanUser + L".\r\n";
  t += std::wstring(L"\tOption \"Scan all users\": ") + (h.scanAllUsers ? L"Checked" : L"Unchecked") + L".\r\n";
  t += L"\tScan start time: " + ReportTimeText(h.startTime) + L".\r\n\r\n";
  t += L"Note: Registry paths may contain prefixes for easier identification of the corresponding registry key:"
       L"\r\n\r\n\tHKLM32: The 32 bit portion of the HKEY_LOCAL_MACHINE key, in 64 bit Windows versions."
       L"\r\n\tHKLM64: The 64 bit portion of the HKEY_LOCAL_MACHINE key, in 64 bit Windows versions."
       L"\r\n\t@<User name>: A user's registry key (HKEY_USERS\\<User sid>).\r\n";
  return t;
}

std::wstring ReportFooterText(uint64_t endTime, uint64_t duration, bool cancelled, std::wstring_view heading) {
  return L"\r\n\r\n->" + std::wstring(heading) + L"\r\n\r\n\tScan end time:   " + ReportTimeText(endTime) + L".\r\n" +
         L"\tScan duration:   " + DurationText(duration) + L".\r\n\r\n\t" +
         (cancelled ? L"The scan was cancelled by the user" : L"The scan completed successfully") + L".\r\n\r\n";
}

std::wstring ReportEndSuffix(uint64_t currentSize) { return SizeLineSuffix(currentSize, L" bytes ############"); }

std::wstring SizeLineSuffix(uint64_t currentSize, std::wstring_view tail) {
  const uint64_t fixed = currentSize + 2 * tail.size();
  // The count includes its own digits; a count that gains a digit by adding
  // them (99,998 + 10 bytes) must be written with that extra digit.
  size_t digits = Digits(fixed);
  while (Digits(fixed + 2 * digits) != digits) digits = Digits(fixed + 2 * digits);
  return std::to_wstring(fixed + 2 * digits) + std::wstring(tail);
}

}  // namespace tavrin
