#include "schedule/schedule_request.h"

#include <cwchar>

#include "platform/strings.h"

namespace tavrin {

namespace {

constexpr wchar_t kSeparator[] = L"  |  ";

bool ReadNumber(const std::wstring& text, size_t from, size_t digits, unsigned& value) {
  if (from + digits > text.size()) return false;
  value = 0;
  for (size_t i = from; i < from + digits; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
    value = value * 10 + unsigned(text[i] - L'0');
  }
  return true;
}

bool ParseMoment(const std::wstring& date, const std::wstring& time, SYSTEMTIME& moment) {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (date.size() != 10 || date[4] != L'-' || date[7] != L'-' || time.size() != 8 || time[2] != L':' ||
      time[5] != L':')
    return false;
  if (!ReadNumber(date, 0, 4, year) || !ReadNumber(date, 5, 2, month) || !ReadNumber(date, 8, 2, day) ||
      !ReadNumber(time, 0, 2, hour) || !ReadNumber(time, 3, 2, minute) || !ReadNumber(time, 6, 2, second))
    return false;
  static const unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
      (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59)
    return false;
  SYSTEMTIME t{};
  t.wYear = WORD(year);
  t.wMonth = WORD(month);
  t.wDay = WORD(day);
  t.wHour = WORD(hour);
  t.wMinute = WORD(minute);
  t.wSecond = WORD(second);
  moment = t;
  return true;
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  return path.substr(0, slash == 2 && path[1] == L':' ? 3 : slash);
}

}  // namespace

std::wstring ScheduleArguments(const ScheduleRequest& r) {
  std::wstring arguments;
  if (r.remove) {
    arguments = L" /ScanRemove";
    if (r.quiet) arguments += L" /Quiet";
    if (r.noRestorePoint) arguments += L" /NoRP";
    if (r.autoReboot) arguments += L" /AutoReboot";
  } else {
    arguments = L" /Scan";
  }
  if (r.currentUserOnly) arguments += L" /CUOnly";
  if (r.noMalware) arguments += L" /NoMalware";
  return arguments;
}

std::wstring ScheduleSpecification(const ScheduleRequest& request, const std::wstring& executable) {
  const SYSTEMTIME& t = request.firstStart;
  wchar_t date[16] = {}, time[16] = {};
  swprintf(date, 16, L"%04u-%02u-%02u", unsigned(t.wYear), unsigned(t.wMonth), unsigned(t.wDay));
  swprintf(time, 16, L"%02u:%02u:%02u", unsigned(t.wHour), unsigned(t.wMinute), unsigned(t.wSecond));
  return std::wstring(kScheduleTaskName) + kSeparator + L"This task runs an automated Tavrin scan" + kSeparator +
         executable + kSeparator + ScheduleArguments(request) + kSeparator + date + kSeparator + time;
}

bool ParseScheduleSpecification(const std::wstring& text, unsigned repeatDays, TaskRegistration& task) {
  const std::vector<std::wstring> fields = Split(text, kSeparator);
  if (fields.size() != 6 || fields[0].empty() || fields[2].empty()) return false;
  TaskRegistration parsed;
  if (!ParseMoment(fields[4], fields[5], parsed.firstStart)) return false;
  parsed.name = fields[0];
  parsed.description = fields[1];
  parsed.executable = fields[2];
  parsed.arguments = fields[3];
  parsed.workingFolder = FolderOf(fields[2]);
  parsed.repeatDays = repeatDays;
  task = std::move(parsed);
  return true;
}

}  // namespace tavrin
