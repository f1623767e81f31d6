#pragma once
// The string table of a file's version resource: the publisher of unsigned
// files and the descriptive facts of the file identity hash.
#include <string>
#include <vector>

namespace tavrin {

enum VersionInfoState {
  VersionInfoNone = 0,           // no version resource
  VersionInfoNoTranslation = 1,  // a resource without "\VarFileInfo\Translation"
  VersionInfoReady = 2,
};

struct VersionInfo {
  VersionInfoState state = VersionInfoNone;
  std::vector<unsigned char> block;  // as GetFileVersionInfoW fills it
  // "\StringFileInfo\" + language + code page + "\", of the first
  // translation, each as four uppercase hex digits.
  std::wstring prefix;
};

VersionInfo ReadVersionInfo(const std::wstring& path);

// The named string ("CompanyName", "ProductName", "OriginalFileName",
// "InternalName", "FileDescription"), trimmed of white space at both ends;
// `fallback` when the information is not ready or the string is missing or
// blank.
std::wstring VersionString(const VersionInfo& info, const std::wstring& name, const std::wstring& fallback = {});

// The file's "CompanyName" or an empty text; returns its length.
size_t CompanyNameOf(const std::wstring& path, std::wstring& text);

}  // namespace tavrin
