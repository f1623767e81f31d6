#pragma once
// Enumeration of the directory entries that match a pattern, one entry at a
// time, with the find handle closed on scope exit.
#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

namespace tavrin {

class FindFiles {
 public:
  // Starts listing `pattern` (a folder + "\" + a wildcard name).
  explicit FindFiles(const std::wstring& pattern);

  // Advances to the next entry other than "." and ".."; false at the end or
  // when the listing could not start.
  bool Next();

  // The platform status of the first listing: ERROR_SUCCESS when it
  // started, ERROR_FILE_NOT_FOUND when nothing matches, anything else when
  // the folder could not be listed.
  DWORD Status() const { return status_; }

  // The current entry (valid after Next returned true).
  const WIN32_FIND_DATAW& Entry() const { return data_; }
  const wchar_t* Name() const { return data_.cFileName; }
  bool IsFolder() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsReparsePoint() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
  unsigned long long Size() const { return (static_cast<unsigned long long>(data_.nFileSizeHigh) << 32) | data_.nFileSizeLow; }

 private:
  UniqueFind handle_;
  DWORD status_ = ERROR_SUCCESS;
  bool pending_ = false;  // the first entry is read but not yet handed out
  WIN32_FIND_DATAW data_{};
};

}  // namespace tavrin
