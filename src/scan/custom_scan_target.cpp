#include "scan/custom_scan_target.h"

#include <windows.h>

#include <iterator>

#include "platform/file_system.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

// A name that stays in its folder: no separator, no drive or stream colon,
// not "." or "..", nothing a path would read as a wildcard.
bool IsPlainFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  return name.find_first_of(L"\\/:*?\"<>") == std::wstring::npos;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD length = GetFullPathNameW(path.c_str(), DWORD(std::size(buffer)), buffer, nullptr);
  if (length == 0 || length >= std::size(buffer)) return path;
  return buffer;
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  // "C:\" stays a root, "C:\Tools\" becomes "C:\Tools".
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

}  // namespace

bool ParseCustomScanTarget(const std::wstring& text, bool recursive, CustomScanPlan& plan) {
  plan = {};
  const std::wstring target = Trim(text);
  if (target.size() < 2) return false;
  if (target.find(L'|') != std::wstring::npos) {
    const std::vector<std::wstring> parts = Split(target, L"|");
    if (parts.size() < 2) return false;
    const std::wstring folder = WithoutTrailingSeparator(FullPath(Trim(parts[0])));
    if (!FolderExists(folder)) return false;
    bool anyExists = false;
    for (size_t i = 1; i < parts.size(); ++i) {
      const std::wstring name = Trim(parts[i]);
      if (!IsPlainFileName(name)) return false;
      const std::wstring path = (folder.back() == L'\\' ? folder : folder + L"\\") + name;
      anyExists = anyExists || FileExists(path);
      plan.entries.push_back(path);
    }
    if (!anyExists) {
      plan.entries.clear();
      return false;
    }
    plan.mode = CustomScanMode::MultipleFiles;
    return true;
  }
  const std::wstring path = WithoutTrailingSeparator(FullPath(target));
  if (FolderExists(path)) {
    plan.mode = recursive ? CustomScanMode::RecursiveFolder : CustomScanMode::FolderRoot;
  } else if (FileExists(path)) {
    plan.mode = CustomScanMode::SingleFile;
  } else {
    return false;
  }
  plan.entries.push_back(path);
  return true;
}

std::wstring TargetOfItems(const std::vector<std::wstring>& items) {
  if (items.empty()) return {};
  if (items.size() == 1) return items[0];
  std::wstring folder;
  std::wstring names;
  for (const std::wstring& item : items) {
    const size_t slash = item.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == item.size() || FolderExists(item)) continue;
    const std::wstring parent = item.substr(0, slash);
    if (folder.empty()) folder = parent;
    if (EqualsNoCase(parent, folder)) names += L"|" + item.substr(slash + 1);
  }
  return folder.empty() ? items[0] : folder + names;
}

const wchar_t* CustomScanModeLine(CustomScanMode mode) {
  switch (mode) {
    case CustomScanMode::RecursiveFolder:
      return L"\r\n\tOn demand recursive directory threat scan\r\n";
    case CustomScanMode::FolderRoot:
      return L"\r\n\tOn demand directory root threat scan\r\n";
    case CustomScanMode::SingleFile:
      return L"\r\n\tOn demand single file threat scan\r\n";
    case CustomScanMode::MultipleFiles:
      return L"\r\n\tOn demand multiple file threat scan\r\n";
  }
  return L"";
}

}  // namespace tavrin
