#include "support/host_link.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace tavrin::test {

namespace {

std::wstring Widen(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), wide.data(), length);
  return wide;
}

std::wstring TempFile() {
  wchar_t folder[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
  if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"hl", 0, path)) return {};
  DeleteFileW(path);
  return path;
}

std::wstring SingleQuoted(const std::string& hostPath) { return L"'" + Widen(hostPath) + L"'"; }

std::string ReadSmallFile(const std::wstring& path) {
  std::string text;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    char buffer[64] = {};
    text.assign(buffer, fread(buffer, 1, sizeof buffer - 1, file));
    fclose(file);
  }
  return text;
}

// Runs a shell command on the host and returns its exit status, -1 when it
// could not be started or did not end within 30 seconds. Wine gives no
// handle for a Unix process, so the shell writes its status to a file
// (moved into place whole) that is waited for.
int RunHostShell(const std::wstring& command) {
  const std::wstring status = TempFile();
  const std::string hostStatus = HostPath(status);
  if (status.empty() || hostStatus.empty()) return -1;
  std::wstring commandLine = L"/bin/sh -c \"" + command + L"; echo $? > " + SingleQuoted(hostStatus + ".part") +
                             L" && mv " + SingleQuoted(hostStatus + ".part") + L" " + SingleQuoted(hostStatus) +
                             L"\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process))
    return -1;
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  for (int waited = 0; waited < 3000; ++waited) {
    if (GetFileAttributesW(status.c_str()) != INVALID_FILE_ATTRIBUTES) {
      const std::string text = ReadSmallFile(status);
      DeleteFileW(status.c_str());
      return text.empty() ? -1 : atoi(text.c_str());
    }
    Sleep(10);
  }
  return -1;
}

}  // namespace

std::string HostPath(const std::wstring& windowsPath) {
  using Convert = char*(__cdecl*)(const wchar_t*);
  auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return {};
  char* converted = convert(windowsPath.c_str());
  if (!converted) return {};
  std::string path = converted;
  HeapFree(GetProcessHeap(), 0, converted);
  return path;
}

bool MakeHostLink(const std::wstring& target, const std::wstring& link) {
  const std::string hostTarget = HostPath(target), hostLink = HostPath(link);
  if (hostTarget.empty() || hostLink.empty()) return false;
  return RunHostShell(L"ln -sfn " + SingleQuoted(hostTarget) + L" " + SingleQuoted(hostLink)) == 0;
}

bool RemoveHostLinks(const std::wstring& folder) {
  const std::string hostFolder = HostPath(folder);
  return !hostFolder.empty() && RunHostShell(L"find " + SingleQuoted(hostFolder) + L" -type l -delete") == 0;
}

bool IsHostLink(const std::wstring& path) {
  const std::string hostPath = HostPath(path);
  return !hostPath.empty() && RunHostShell(L"test -L " + SingleQuoted(hostPath)) == 0;
}

int HostMode(const std::wstring& path) {
  const std::string hostPath = HostPath(path);
  const std::wstring out = TempFile();
  const std::string hostOut = HostPath(out);
  if (hostPath.empty() || hostOut.empty()) return -1;
  // The exit status cannot carry the mode; the shell writes it to a file.
  int mode = -1;
  if (RunHostShell(L"stat -c %a " + SingleQuoted(hostPath) + L" > " + SingleQuoted(hostOut)) == 0) {
    const std::string text = ReadSmallFile(out);
    if (!text.empty()) mode = int(strtol(text.c_str(), nullptr, 8));
  }
  DeleteFileW(out.c_str());
  return mode;
}

}  // namespace tavrin::test
