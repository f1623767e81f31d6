#include "support/restart_recorder.h"

#include <windows.h>

#include <vector>

#include "platform/restart.h"
#include "platform/unique_handle.h"

namespace tavrin {

bool RestartComputer() {
  const DWORD length = GetEnvironmentVariableW(test::kRestartMarkerVariable, nullptr, 0);
  if (length <= 1) return false;
  std::vector<wchar_t> marker(length);
  GetEnvironmentVariableW(test::kRestartMarkerVariable, marker.data(), length);
  UniqueFile file(CreateFileW(marker.data(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const char text[] = "restart 18\r\n";
  DWORD written = 0;
  return WriteFile(file.get(), text, sizeof text - 1, &written, nullptr) != FALSE;
}

}  // namespace tavrin
