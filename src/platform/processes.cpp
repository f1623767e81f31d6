#include "platform/processes.h"

#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <vector>

#include "platform/file_system.h"
#include "platform/loaded_modules.h"
#include "platform/mapped_file.h"
#include "platform/message_pump.h"
#include "platform/privileges.h"
#include "platform/strings.h"
#include "platform/unique_handle.h"

namespace tavrin {

namespace {

constexpr size_t kCommandLineCapacity = 32000;

bool IsExistingFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExpandEnvironment(const std::wstring& text) {
  if (text.find(L'%') == std::wstring::npos) return text;
  DWORD length = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (length == 0) return text;
  std::wstring expanded(length, L'\0');
  length = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), length);
  if (length == 0 || length > expanded.size()) return text;
  expanded.resize(length - 1);
  return expanded;
}

std::wstring TrimLeadingSpaces(const std::wstring& text) {
  size_t start = text.find_first_not_of(L" \t");
  return start == std::wstring::npos ? std::wstring() : text.substr(start);
}

std::wstring FileNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool StartProcess(const std::wstring& commandLine, const std::wstring& arguments, int showCommand,
                  const RunOptions& options, UniqueProcessInformation& process) {
  std::wstring program, programArguments;
  SplitCommandLine(commandLine, program, programArguments);
  if (program.empty()) return false;
  std::wstring command = L"\"" + ResolveProgram(program) + L"\"";
  if (!programArguments.empty()) command += L" " + programArguments;
  if (!arguments.empty()) {
    if (arguments.front() != L' ' && arguments.front() != L'\t') command += L" ";
    command += arguments;
  }
  if (command.size() >= kCommandLineCapacity) return false;
  std::vector<wchar_t> buffer(kCommandLineCapacity, L'\0');
  std::copy(command.begin(), command.end(), buffer.begin());

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PVOID redirection = nullptr;
  bool suspended = options.suspendRedirection && Wow64DisableWow64FsRedirection(&redirection);
  // A child never inherits the program's current folder, which may be the
  // folder the user started it from, where a program named like a tool the
  // child runs by name could wait.
  std::wstring workingFolder = options.workingFolder;
  if (workingFolder.empty()) {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) workingFolder.assign(system, length);
  }
  PROCESS_INFORMATION info{};
  BOOL started = FALSE;
  {
    OriginalPrivilegesScope unprivileged;
    started = CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info);
  }
  if (suspended) Wow64RevertWow64FsRedirection(redirection);
  if (started) process.Adopt(info);
  return started != FALSE;
}

long long FinishProcess(const UniqueProcessInformation& process, bool wait) {
  if (!wait) return process.processId;
  while (WaitForSingleObject(process.process.get(), 0) == WAIT_TIMEOUT) {
    DispatchPendingMessages();
    // Wakes as soon as the process ends, otherwise after 10 ms.
    WaitForSingleObject(process.process.get(), 10);
  }
  DWORD exitCode = 0;
  BOOL known = GetExitCodeProcess(process.process.get(), &exitCode);
  return known ? static_cast<long long>(exitCode) : -1;
}

// --- Export table of a PE file, read from the file without loading it.

// Reads of a mapped file that never leave it.
class FileView {
 public:
  explicit FileView(const std::wstring& path) : file_(path) {}

  // A copy of `T` at `offset`; false when it does not lie inside the file.
  template <typename T>
  bool Read(size_t offset, T& out) const {
    const auto bytes = file_.Bytes();
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
  }
  // The NUL-terminated name at `offset`, at most `limit` characters.
  std::string Name(size_t offset, size_t limit) const {
    const auto bytes = file_.Bytes();
    std::string name;
    for (size_t at = offset; at < bytes.size() && name.size() < limit && bytes[at]; ++at) name += char(bytes[at]);
    return name;
  }

 private:
  MappedFile file_;
};

unsigned ExportsOf(const FileView& file) {
  IMAGE_DOS_HEADER dos;
  if (!file.Read(0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0) return 0;
  const size_t nt = static_cast<size_t>(dos.e_lfanew);
  DWORD signature = 0;
  IMAGE_FILE_HEADER header;
  if (!file.Read(nt, signature) || signature != IMAGE_NT_SIGNATURE || !file.Read(nt + 4, header)) return 0;
  const size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
  WORD magic = 0;
  if (!file.Read(optional, magic)) return 0;
  IMAGE_DATA_DIRECTORY exportDirectory{};
  DWORD directories = 0;
  if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    IMAGE_OPTIONAL_HEADER64 h;
    if (!file.Read(optional, h)) return 0;
    directories = h.NumberOfRvaAndSizes;
    exportDirectory = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    IMAGE_OPTIONAL_HEADER32 h;
    if (!file.Read(optional, h)) return 0;
    directories = h.NumberOfRvaAndSizes;
    exportDirectory = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  } else {
    return 0;
  }
  if (directories <= IMAGE_DIRECTORY_ENTRY_EXPORT || exportDirectory.VirtualAddress == 0) return 0;

  const size_t sections = optional + header.SizeOfOptionalHeader;
  auto offsetOf = [&](DWORD rva, size_t& offset) {
    for (WORD i = 0; i < header.NumberOfSections; ++i) {
      IMAGE_SECTION_HEADER section;
      if (!file.Read(sections + i * sizeof(IMAGE_SECTION_HEADER), section)) return false;
      DWORD extent = section.Misc.VirtualSize > section.SizeOfRawData ? section.Misc.VirtualSize
                                                                     : section.SizeOfRawData;
      if (rva >= section.VirtualAddress && rva - section.VirtualAddress < extent) {
        offset = size_t(section.PointerToRawData) + (rva - section.VirtualAddress);
        return true;
      }
    }
    return false;
  };

  size_t at = 0;
  IMAGE_EXPORT_DIRECTORY exports;
  if (!offsetOf(exportDirectory.VirtualAddress, at) || !file.Read(at, exports)) return 0;
  size_t names = 0;
  if (exports.NumberOfNames == 0 || !offsetOf(exports.AddressOfNames, names)) return 0;
  unsigned found = 0;
  for (DWORD i = 0; i < exports.NumberOfNames && i < 65536; ++i) {
    DWORD nameRva = 0;
    size_t name = 0;
    if (!file.Read(names + size_t(i) * 4, nameRva)) break;
    if (!offsetOf(nameRva, name)) continue;
    const std::string text = file.Name(name, 64);
    if (text == "DllInstall") found |= ExportsDllInstall;
    if (text == "DllRegisterServer") found |= ExportsDllRegisterServer;
  }
  return found;
}

// --- Process walks.

std::wstring SystemWindowsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

template <typename Match>
int KillMatching(Match matches, DWORD minimumId) {
  const DWORD self = GetCurrentProcessId();
  int ended = 0;
  for (DWORD pid : ListProcessIds()) {
    if (pid < minimumId || pid == self) continue;
    const std::wstring image = ProcessImagePath(pid);
    if (!image.empty() && matches(image) && KillProcess(pid)) ++ended;
  }
  return ended;
}

}  // namespace

void SplitCommandLine(const std::wstring& commandLine, std::wstring& program, std::wstring& arguments) {
  program.clear();
  arguments.clear();
  const std::wstring text = TrimLeadingSpaces(commandLine);
  if (text.empty()) return;
  if (text.front() == L'"') {
    size_t close = text.find(L'"', 1);
    if (close == std::wstring::npos) {
      program = text.substr(1);
      return;
    }
    program = text.substr(1, close - 1);
    arguments = TrimLeadingSpaces(text.substr(close + 1));
    return;
  }
  size_t firstSpace = text.find(L' ');
  for (size_t space = firstSpace; space != std::wstring::npos; space = text.find(L' ', space + 1)) {
    const std::wstring candidate = ExpandEnvironment(text.substr(0, space));
    if (candidate.find(L'\\') != std::wstring::npos &&
        (IsExistingFile(candidate) || IsExistingFile(candidate + L".exe"))) {
      program = text.substr(0, space);
      arguments = TrimLeadingSpaces(text.substr(space + 1));
      return;
    }
  }
  if (firstSpace == std::wstring::npos || IsExistingFile(ExpandEnvironment(text))) {
    program = text;
    return;
  }
  program = text.substr(0, firstSpace);
  arguments = TrimLeadingSpaces(text.substr(firstSpace + 1));
}

std::wstring ResolveProgram(const std::wstring& program) {
  const std::wstring expanded = ExpandEnvironment(program);
  if (expanded.find_first_of(L"\\/:") != std::wstring::npos) return expanded;
  DWORD length = SearchPathW(nullptr, expanded.c_str(), L".exe", 0, nullptr, nullptr);
  if (length == 0) return expanded;
  std::wstring found(length, L'\0');
  length = SearchPathW(nullptr, expanded.c_str(), L".exe", length, found.data(), nullptr);
  if (length == 0 || length >= found.size()) return expanded;
  found.resize(length);
  return found;
}

long long RunProgram(const std::wstring& commandLine, const std::wstring& arguments, int showCommand, bool wait,
                     const RunOptions& options) {
  UniqueProcessInformation process;
  if (!StartProcess(commandLine, arguments, showCommand, options, process)) return wait ? -1 : 0;
  return FinishProcess(process, wait);
}

bool StartProgram(const std::wstring& commandLine, const std::wstring& arguments, int showCommand,
                  UniqueProcessInformation& process, const RunOptions& options) {
  return StartProcess(commandLine, arguments, showCommand, options, process);
}

DWORD OpenDocument(const std::wstring& path) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = path.c_str();
  info.nShow = SW_SHOWNORMAL;
  {
    OriginalPrivilegesScope unprivileged;
    if (!ShellExecuteExW(&info)) return 0;
  }
  UniqueProcess process(info.hProcess);
  if (!process) return 1;
  const DWORD pid = GetProcessId(process.get());
  return pid != 0 ? pid : 1;
}

unsigned ComDllExports(const std::wstring& path) {
  FileView file(path);
  return ExportsOf(file);
}

std::wstring RegsvrArguments(unsigned exports, const std::wstring& path) {
  const bool install = exports & ExportsDllInstall;
  const bool server = exports & ExportsDllRegisterServer;
  const wchar_t* prefix = nullptr;
  if (install && server)
    prefix = L" /s /i \"";
  else if (install)
    prefix = L" /s /i /n \"";
  else if (server)
    prefix = L" /s \"";
  else
    return {};
  return prefix + path + L"\"";
}

DWORD RegisterComDll(const std::wstring& path) {
  const std::wstring arguments = RegsvrArguments(ComDllExports(path), path);
  if (arguments.empty()) return 0;
  wchar_t system[MAX_PATH] = {};
  UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 0;
  RunOptions options;
  options.workingFolder = system;
  return static_cast<DWORD>(
      RunProgram(L"\"" + options.workingFolder + L"\\regsvr32.exe\"", arguments, SW_HIDE, false, options));
}

bool IsProcessRunning(DWORD pid) {
  if (pid < 5) return pid == 4;
  UniqueProcess process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (process) return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
  if (GetLastError() != ERROR_ACCESS_DENIED) return false;
  // A process we may not wait on still exists; ask for its exit code, and
  // when even that is refused, it is there all the same.
  UniqueProcess limited(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!limited) return true;
  DWORD exitCode = 0;
  return !GetExitCodeProcess(limited.get(), &exitCode) || exitCode == STILL_ACTIVE;
}

bool KillProcess(DWORD pid) {
  if (pid == GetCurrentProcessId()) return false;
  for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, nullptr); window;
       window = FindWindowExW(nullptr, window, nullptr, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid) PostMessageW(window, WM_DESTROY, 0, 0);
  }
  if (!IsProcessRunning(pid)) return true;

  auto terminate = [pid]() {
    for (int attempt = 0; attempt < 30; ++attempt) {
      if (UniqueProcess process(OpenProcess(PROCESS_TERMINATE, FALSE, pid)); process) {
        TerminateProcess(process.get(), 0);
        Sleep(20);
      } else {
        Sleep(20);
      }
      if (!IsProcessRunning(pid)) return true;
    }
    return false;
  };
  if (terminate()) return true;

  UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (snapshot) {
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(snapshot.get(), &thread); more; more = Thread32Next(snapshot.get(), &thread)) {
      if (thread.th32OwnerProcessID != pid) continue;
      if (UniqueThread handle(OpenThread(THREAD_TERMINATE, FALSE, thread.th32ThreadID)); handle)
        TerminateThread(handle.get(), 0);
    }
  }
  return terminate();
}

int KillProcessesByPath(const std::wstring& imagePath) {
  const std::wstring wanted = NormalizeImagePath(imagePath);
  if (wanted.empty()) return 0;
  return KillMatching([&](const std::wstring& image) { return EqualsNoCase(image, wanted); }, 0);
}

int KillProcessesInFolder(const std::wstring& folder) {
  std::wstring prefix = NormalizeImagePath(folder);
  if (prefix.empty()) return 0;
  if (prefix.back() != L'\\') prefix += L'\\';
  return KillMatching([&](const std::wstring& image) { return StartsWithNoCase(image, prefix); }, 5);
}

int KillProcessesByName(const std::wstring& exeName) {
  const std::wstring wanted = FileNameOf(exeName);
  if (wanted.empty()) return 0;
  UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  const DWORD self = GetCurrentProcessId();
  int ended = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == self || !EqualsNoCase(FileNameOf(entry.szExeFile), wanted)) continue;
    if (KillProcess(entry.th32ProcessID)) ++ended;
    Sleep(10);
  }
  return ended;
}

DWORD FindProcessByPath(const std::wstring& imagePath, DWORD except) {
  const std::wstring wanted = NormalizeImagePath(imagePath);
  if (wanted.empty()) return 0;
  for (DWORD pid : ListProcessIds()) {
    if (pid != 0 && pid != except && EqualsNoCase(ProcessImagePath(pid), wanted)) return pid;
  }
  return 0;
}

std::wstring ProcessImagePath(DWORD pid) {
  UniqueProcess process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return {};
  std::wstring path(1024, L'\0');
  DWORD length = DWORD(path.size());
  if (QueryFullProcessImageNameW(process.get(), 0, path.data(), &length)) {
    path.resize(length);
  } else {
    length = K32GetProcessImageFileNameW(process.get(), path.data(), DWORD(path.size()));
    path.resize(length);
  }
  return NormalizeImagePath(path);
}

std::wstring NormalizeImagePath(const std::wstring& path) {
  if (StartsWithNoCase(path, L"\\SystemRoot\\")) return SystemWindowsFolder() + path.substr(11);
  if (path.rfind(L"\\??\\", 0) == 0) return path.substr(4);
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  if (StartsWithNoCase(path, L"\\Device\\Mup\\")) return L"\\" + path.substr(11);
  if (StartsWithNoCase(path, L"\\Device\\")) {
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
      const wchar_t drive[3] = {letter, L':', 0};
      wchar_t target[MAX_PATH] = {};
      if (!QueryDosDeviceW(drive, target, MAX_PATH)) continue;
      const std::wstring device = target;
      if (path.size() > device.size() && path[device.size()] == L'\\' && StartsWithNoCase(path, device))
        return drive + path.substr(device.size());
    }
  }
  return path;
}

std::wstring SelfDeleteCommand(const std::wstring& executablePath, const std::wstring& systemFolder) {
  return L"\"" + systemFolder + L"\\cmd.exe\" /c for /l %i in (1,1," + std::to_wstring(5) + L") do \"" + systemFolder +
         L"\\PING.EXE\" localhost -w 1000 -n 2 && del /f /q \"" + executablePath + L"\"";
}

void DeleteSelfAndExit() {
  const std::wstring own = OwnExecutablePath();
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (!own.empty() && own.size() < 1024 && length > 0 && length < MAX_PATH)
    RunProgram(SelfDeleteCommand(own, std::wstring(system, length)), L"", SW_HIDE, false);
  ExitProcess(0);
}

}  // namespace tavrin
