#include "platform/time_text.h"

#include <cwchar>

namespace tavrin {

namespace {

std::wstring Padded(unsigned value, int width) {
  wchar_t text[16];
  swprintf(text, 16, L"%0*u", width, value);
  return text;
}

}  // namespace

std::wstring ReportTimeText(const SYSTEMTIME& t) {
  return Padded(t.wYear, 4) + L"/" + Padded(t.wMonth, 2) + L"/" + Padded(t.wDay, 2) + L" " + Padded(t.wHour, 2) +
         L":" + Padded(t.wMinute, 2) + L":" + Padded(t.wSecond, 2);
}

std::wstring ReportTimeText(uint64_t fileTime) {
  FILETIME ft;
  ft.dwLowDateTime = DWORD(fileTime);
  ft.dwHighDateTime = DWORD(fileTime >> 32);
  SYSTEMTIME st{};
  FileTimeToSystemTime(&ft, &st);
  return ReportTimeText(st);
}

}  // namespace tavrin
