#include "results/result_folders.h"

#include "platform/file_removal.h"
#include "platform/file_system.h"

namespace tavrin {

bool CreateResultFolder(const std::wstring& path, bool hidden) {
  if (path.empty()) return false;
  if (FolderExists(path)) return true;
  if (!CreateFolderTree(path)) return false;
  if (hidden) SetHiddenAttribute(path);
  return true;
}

bool RemoveResultFolder(const std::wstring& path) {
  // Relative paths, roots and links are refused or kept by the removal itself.
  return RemoveFileObject(path, 0) == RemovalResult::Removed && !FolderExists(path);
}

}  // namespace tavrin
