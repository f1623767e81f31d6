#include "scan/found_programs_report.h"

#include <windows.h>

#include <shlwapi.h>

#include <vector>

namespace tavrin {

namespace {

constexpr DWORD kEscapeCapacity = 4096;
constexpr wchar_t kReferer[] = L"https://www.google.com/";

}  // namespace

std::optional<std::wstring> FoundProgramsUrl(const std::wstring& serverAddress, const std::wstring& list) {
  if (list.size() <= 6 || serverAddress.empty()) return std::nullopt;
  std::vector<wchar_t> buffer(kEscapeCapacity);
  DWORD length = kEscapeCapacity;
  if (FAILED(UrlEscapeW(list.c_str(), buffer.data(), &length, URL_ESCAPE_SEGMENT_ONLY | URL_ESCAPE_PERCENT)))
    return std::nullopt;
  std::wstring escaped(buffer.data(), std::min<DWORD>(length, kEscapeCapacity - 1));
  // The shell leaves these alone; in a query they would end the value or
  // start another.
  std::wstring query;
  for (wchar_t c : escaped) {
    switch (c) {
      case L'&': query += L"%26"; break;
      case L'+': query += L"%2B"; break;
      case L'=': query += L"%3D"; break;
      case L'#': query += L"%23"; break;
      case L'?': query += L"%3F"; break;
      default: query += c;
    }
  }
  if (query.size() >= kEscapeCapacity) return std::nullopt;
  std::wstring base = serverAddress;
  while (!base.empty() && base.back() == L'/') base.pop_back();
  return base + kFoundProgramsPath + query;
}

DownloadJobPtr SendFoundPrograms(const std::wstring& serverAddress, const std::wstring& list) {
  std::optional<std::wstring> url = FoundProgramsUrl(serverAddress, list);
  if (!url) return {};
  return StartDownload(*url, L"", DownloadReload | DownloadToMemory, kReferer);
}

}  // namespace tavrin
