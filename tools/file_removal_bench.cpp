// Removes a generated folder tree with RemoveFileObject and prints the rate.
//   file_removal_bench [files] [files-per-folder]
// Defaults: 20000 files, 200 per folder, under the temporary folder.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/file_removal.h"
#include "platform/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
  const unsigned files = argc > 1 ? wcstoul(argv[1], nullptr, 10) : 20000;
  const unsigned perFolder = argc > 2 ? wcstoul(argv[2], nullptr, 10) : 200;
  if (files == 0 || perFolder == 0) return 2;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"tavrin-bench-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(root.c_str(), nullptr);

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  std::wstring folder;
  for (unsigned i = 0; i < files; ++i) {
    if (i % perFolder == 0) {
      folder = root + L"\\folder" + std::to_wstring(i / perFolder);
      CreateDirectoryW(folder.c_str(), nullptr);
    }
    const std::wstring path = folder + L"\\file" + std::to_wstring(i) + L".dat";
    tavrin::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 1;
    DWORD written = 0;
    WriteFile(file.get(), "tavrin", 6, &written, nullptr);
  }
  QueryPerformanceCounter(&end);
  const double created = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);

  QueryPerformanceCounter(&start);
  const tavrin::RemovalResult result = tavrin::RemoveFileObject(root, 0);
  QueryPerformanceCounter(&end);
  const double removed = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
  const bool gone = GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES;

  std::printf("created %u files in %u folders: %.2f s (%.0f files/s)\n", files, (files + perFolder - 1) / perFolder,
              created, files / created);
  std::printf("RemoveFileObject: result %d, tree %s, %.2f s, %.0f files/s\n", int(result), gone ? "gone" : "LEFT",
              removed, files / removed);
  return result == tavrin::RemovalResult::Removed && gone ? 0 : 1;
}
