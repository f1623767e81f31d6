#include "platform/find_files.h"

namespace tavrin {

namespace {
bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}
}  // namespace

FindFiles::FindFiles(const std::wstring& pattern) {
  handle_.reset(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data_, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH));
  if (!handle_) {
    status_ = GetLastError();
    // Some volumes report an empty match as "no more files".
    if (status_ == ERROR_NO_MORE_FILES) status_ = ERROR_FILE_NOT_FOUND;
    return;
  }
  pending_ = true;
}

bool FindFiles::Next() {
  if (!handle_) return false;
  for (;;) {
    if (pending_) {
      pending_ = false;
    } else if (!FindNextFileW(handle_.get(), &data_)) {
      handle_.reset();
      return false;
    }
    if (!IsDotEntry(data_.cFileName)) return true;
  }
}

}  // namespace tavrin
