#include "filetrust/version_info.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace tavrin {

VersionInfo ReadVersionInfo(const std::wstring& path) {
  VersionInfo info;
  DWORD ignored = 0;
  // Resources of real programs exceed any fixed buffer; the platform
  // reports the size it needs.
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return info;
  info.block.resize(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, info.block.data())) {
    info.block.clear();
    return info;
  }
  info.state = VersionInfoNoTranslation;
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                      &length) ||
      !translations || length < sizeof(Translation))
    return info;
  wchar_t prefix[40];
  swprintf(prefix, 40, L"\\StringFileInfo\\%04X%04X\\", translations[0].language, translations[0].codePage);
  info.prefix = prefix;
  info.state = VersionInfoReady;
  return info;
}

std::wstring VersionString(const VersionInfo& info, const std::wstring& name, const std::wstring& fallback) {
  if (info.state != VersionInfoReady) return fallback;
  const std::wstring query = info.prefix + name;
  wchar_t* text = nullptr;
  UINT chars = 0;
  // VerQueryValueW takes a non-const block but only reads it.
  void* block = const_cast<unsigned char*>(info.block.data());
  if (!VerQueryValueW(block, query.c_str(), reinterpret_cast<void**>(&text), &chars) || !text) return fallback;
  // The reported length counts the terminator of most resources but not of
  // all; the text ends at the first NUL either way.
  std::wstring value(text, wcsnlen(text, chars));
  size_t first = 0;
  while (first < value.size() && std::iswspace(value[first])) ++first;
  size_t last = value.size();
  while (last > first && std::iswspace(value[last - 1])) --last;
  value = value.substr(first, last - first);
  return value.empty() ? fallback : value;
}

size_t CompanyNameOf(const std::wstring& path, std::wstring& text) {
  text = VersionString(ReadVersionInfo(path), L"CompanyName");
  return text.size();
}

}  // namespace tavrin
