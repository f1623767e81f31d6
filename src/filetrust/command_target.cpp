#include "filetrust/command_target.h"

#include <array>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/path_lookup.h"
#include "platform/registry.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

// Host programs whose arguments name the file that really runs.
struct HostProgram {
  const wchar_t* name;
  // Every target type is accepted: cmd and svchost run anything.
  bool anyType;
  // Cut an argument at its first comma ("shell32.dll,Control_RunDLL").
  bool entryPointAfterComma;
  // Accepted extensions, and the order they are tried in for an argument
  // that has none.
  std::array<std::wstring_view, 4> extensions;
};

constexpr HostProgram kHosts[] = {
    {L"cmd", true, false, {L".exe", L".com", L".bat", L".cmd"}},
    {L"svchost", true, false, {L".exe", L".com", L".bat", L".cmd"}},
    {L"wscript", false, false, {L".vbs", L".vbe"}},
    {L"regsvr32", false, true, {L".dll", L".cpl", L".ocx"}},
    {L"rundll32", false, true, {L".dll", L".cpl", L".ocx"}},
    {L"regedit", false, false, {L".reg"}},
};

// Tried for a program named without an extension, in this order.
constexpr std::wstring_view kProgramExtensions[] = {L".exe", L".scr", L".bat", L".cmd", L".vbs", L".pif"};

constexpr wchar_t kAppPathsKey[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// A relative text would be answered against the current folder, which is
// whatever folder the program was started in: never a statement about what
// the entry runs.
bool IsFileAt(const std::wstring& path) { return IsAbsolutePath(path) && ObjectAtPath(path) == PathObject::File; }

bool IsFileOrLinkAt(const std::wstring& path) {
  if (!IsAbsolutePath(path)) return false;
  const PathObject kind = ObjectAtPath(path);
  return kind == PathObject::File || kind == PathObject::LinkedFolder;
}

// The search path also answers for folders; only files are resolved.
bool FindFileOnSearchPath(std::wstring& name) {
  std::wstring found = name;
  if (!FindOnSearchPath(found) || !IsFileAt(found)) return false;
  name = std::move(found);
  return true;
}

bool IsRegexSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f' || c == L'\v';
}

// Deletes every run of spaces followed by a switch ("/s", "-k", up to the
// next white space): the pattern " +(/|-)\S+".
std::wstring StripSwitches(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != L' ') {
      out += text[i++];
      continue;
    }
    size_t j = i;
    while (j < text.size() && text[j] == L' ') ++j;
    if (j + 1 < text.size() && (text[j] == L'/' || text[j] == L'-') && !IsRegexSpace(text[j + 1])) {
      size_t end = j + 1;
      while (end < text.size() && !IsRegexSpace(text[end])) ++end;
      i = end;
    } else {
      out.append(text, i, j - i);
      i = j;
    }
  }
  return out;
}

// The file name without folder and extension: what names a host program.
std::wstring ProgramBaseName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name;
}

const HostProgram* FindHost(const std::wstring& program) {
  const std::wstring name = ProgramBaseName(program);
  for (const HostProgram& host : kHosts)
    if (EqualsNoCase(name, host.name)) return &host;
  return nullptr;
}

bool HostAccepts(const HostProgram& host, std::wstring_view extension) {
  if (host.anyType) return true;
  for (std::wstring_view accepted : host.extensions)
    if (!accepted.empty() && EqualsNoCase(accepted, extension)) return true;
  return false;
}

// From the last dot on, when the dot belongs to the file name and is not
// its last character; empty otherwise.
std::wstring ArgumentExtension(const std::wstring& argument) {
  const size_t dot = argument.find_last_of(L'.');
  if (dot == std::wstring::npos || dot + 1 >= argument.size()) return {};
  const size_t slash = argument.find_last_of(L'\\');
  if (slash != std::wstring::npos && slash > dot) return {};
  return argument.substr(dot);
}

bool ResolveHostArgument(const std::wstring& candidate, bool absolute, std::wstring& resolved) {
  if (absolute) {
    if (!IsFileAt(candidate)) return false;
    resolved = candidate;
    return true;
  }
  std::wstring found = candidate;
  if (!FindFileOnSearchPath(found)) return false;
  resolved = std::move(found);
  return true;
}

// One argument of a host program tried as the file the host runs.
bool ResolveHostedArgument(const HostProgram& host, std::wstring argument, bool search, std::wstring& resolved) {
  if (argument.empty() || argument[0] == L'-' || argument[0] == L'/') return false;
  if (host.entryPointAfterComma) {
    const size_t comma = argument.find(L',');
    if (comma != std::wstring::npos && comma > 0) argument.resize(comma);
  }
  std::wstring extension = ArgumentExtension(argument);
  if (extension.size() > 4) {
    // Text glued to the extension ("x.dll\"" or "x.vbs//B"): keep the name
    // up to the extension's first four characters.
    const size_t dot = argument.size() - extension.size();
    argument.resize(dot + 4);
    extension.resize(4);
  }
  const bool absolute = FindNoCase(argument, L":\\") != std::wstring::npos;
  if (!extension.empty()) {
    if (!HostAccepts(host, extension)) return false;
    return ResolveHostArgument(argument, absolute, resolved);
  }
  if (!absolute && !search) return false;
  for (std::wstring_view tried : host.extensions) {
    if (tried.empty()) break;
    if (ResolveHostArgument(argument + std::wstring(tried), absolute, resolved)) return true;
  }
  return false;
}

bool HasThreeLetterExtension(const std::wstring& text) { return text.size() >= 4 && text[text.size() - 4] == L'.'; }

bool HasExtension(const std::wstring& name) {
  const size_t dot = name.find_last_of(L'.');
  return dot != std::wstring::npos && dot + 1 < name.size();
}

std::wstring WithoutEnclosingQuotes(std::wstring text) {
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') text = text.substr(1, text.size() - 2);
  return text;
}

bool HasDotComponent(std::wstring_view path) {
  size_t start = 0;
  for (;;) {
    const size_t end = path.find(L'\\', start);
    const std::wstring_view part = path.substr(start, end == std::wstring_view::npos ? end : end - start);
    if (part == L"." || part == L"..") return true;
    if (end == std::wstring_view::npos) return false;
    start = end + 1;
  }
}

// A "." or ".." step anywhere in a command text, arguments included.
bool HasDotStep(std::wstring_view text) {
  for (std::wstring_view step : {L"\\.\\", L"\\..\\", L"\\.\"", L"\\..\"", L"\\. ", L"\\.. "})
    if (text.find(step) != std::wstring_view::npos) return true;
  return text.ends_with(L"\\.") || text.ends_with(L"\\..");
}

// What stored commands put in front of a Win32 path: the "@" of resource
// references, the NT and long forms, and the kernel's \SystemRoot.
void CleanPrefixes(std::wstring& text, const SystemFolders& folders) {
  if (!text.empty() && text[0] == L'@') text.erase(0, 1);
  const bool longForm = text.rfind(L"\\\\?\\", 0) == 0 || text.rfind(L"\\??\\", 0) == 0;
  if (longForm && HasDotStep(text)) {
    // Inside the long form "." and ".." are names: taking the prefix off
    // would make them steps to some other file.
  } else if (StartsWithNoCase(text, L"\\\\?\\UNC\\") || StartsWithNoCase(text, L"\\??\\UNC\\")) {
    text.replace(0, 8, L"\\\\");
  } else if (longForm) {
    text.erase(0, 4);
  } else if (StartsWithNoCase(text, L"\\SystemRoot\\")) {
    // The kernel's name of the Windows folder; on the system drive it
    // would name some other folder.
    text = folders.windows + text.substr(11);
  } else if (text.size() >= 1 && text[0] == L'\\' && (text.size() < 2 || text[1] != L'\\')) {
    text.insert(0, folders.systemDrive);
  }
}

// A resolved long-form path ("\\?\C:\...", "\??\C:\...", "\\?\UNC\...") in the
// plain form every other path has, so that it is canonicalised, judged and
// removed like them. Inside the long form "." and ".." are names, not
// steps, so such a path names nothing that runs: false.
bool ToPlainForm(std::wstring& path) {
  std::wstring plain;
  if (StartsWithNoCase(path, L"\\\\?\\UNC\\") || StartsWithNoCase(path, L"\\??\\UNC\\"))
    plain = L"\\\\" + path.substr(8);
  else if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\??\\", 0) == 0)
    plain = path.substr(4);
  else
    return true;
  if (!IsAbsolutePath(plain) || plain.find(L'/') != std::wstring::npos || HasDotComponent(plain)) return false;
  path = std::move(plain);
  return true;
}

bool ResolveCutAtSpaces(std::wstring& text, bool search) {
  std::wstring candidate = text;
  while (true) {
    std::wstring tried = candidate;
    if (ResolveExecutable(tried, search)) {
      text = std::move(tried);
      return true;
    }
    const size_t space = candidate.find_last_of(L' ');
    if (space == std::wstring::npos || space == 0) return false;
    candidate.resize(space);
  }
}

}  // namespace

bool FindOnPathOrAppPaths(std::wstring& text, bool cutAtSpace) {
  if (text.empty()) return false;
  if (FindFileOnSearchPath(text)) return true;
  if (text.size() < 2 || text[1] == L':' || text.find(L'\\') != std::wstring::npos) return false;
  std::wstring name = text;
  if (cutAtSpace) {
    const size_t space = name.find(L' ');
    if (space != std::wstring::npos) name.resize(space);
  }
  if (name.empty()) return false;
  if (!HasExtension(name)) name += L".exe";
  std::wstring value;
  if (!ReadStringAt(kAppPathsKey + name, nullptr, value) || value.empty()) return false;
  std::wstring expanded;
  if (!ExpandEnvironmentLimited(value, kMaxExpandedCommand, expanded)) return false;
  // Installers write the value quoted as often as not; what it names must
  // be there, or the entry is stale and names nothing.
  expanded = WithoutEnclosingQuotes(expanded);
  if (!IsFileAt(expanded)) return false;
  text = std::move(expanded);
  return true;
}

bool ResolveExecutable(std::wstring& text, bool search) {
  if (text.empty() || text[0] == L'/') return false;
  if (IsFileOrLinkAt(text)) return true;
  const bool absolute = text.size() >= 3 && text[1] == L':' && text[2] == L'\\';
  if (HasThreeLetterExtension(text)) {
    // The search path answers for an absolute path only when it names a
    // file, which the test above has just denied.
    if (!search || absolute) return false;
    std::wstring found = text;
    if (!FindOnPathOrAppPaths(found, true)) return false;
    text = std::move(found);
    return true;
  }
  if (!absolute) {
    if (!search) return false;
    std::wstring candidate = text + L".exe";
    if (FindOnPathOrAppPaths(candidate, false)) {
      text = std::move(candidate);
      return true;
    }
    for (size_t i = 1; i < std::size(kProgramExtensions); ++i) {
      candidate = text + std::wstring(kProgramExtensions[i]);
      if (FindFileOnSearchPath(candidate)) {
        text = std::move(candidate);
        return true;
      }
    }
    return false;
  }
  for (std::wstring_view extension : kProgramExtensions) {
    std::wstring candidate = text + std::wstring(extension);
    if (IsFileAt(candidate)) {
      text = std::move(candidate);
      return true;
    }
  }
  return false;
}

bool ResolveHostedCommand(std::wstring& text, bool search) {
  const std::vector<std::wstring> arguments = SplitArguments(text);
  if (arguments.empty()) return false;
  if (arguments.size() == 1) {
    if (!IsFileOrLinkAt(arguments[0])) return false;
    text = arguments[0];
    return true;
  }
  if (const HostProgram* host = FindHost(arguments[0])) {
    for (size_t i = 1; i < arguments.size(); ++i) {
      std::wstring resolved;
      if (ResolveHostedArgument(*host, arguments[i], search, resolved)) {
        text = std::move(resolved);
        return true;
      }
    }
  }
  std::wstring program = arguments[0];
  if (!ResolveExecutable(program, search)) return false;
  text = std::move(program);
  return true;
}

bool ResolveBySpaces(std::wstring& text, bool search) { return ResolveCutAtSpaces(text, search); }

namespace {

bool ResolveAsWritten(std::wstring& text, const SystemFolders& folders, unsigned flags) {
  if (text.empty()) return false;
  if (IsFileAt(text)) return true;
  std::wstring expanded;
  if (!ExpandEnvironmentLimited(text, kMaxExpandedCommand, expanded) || expanded.empty()) return false;
  CleanPrefixes(expanded, folders);
  // Each text is probed once: most commands change in none of these steps.
  const bool changed = expanded != text;
  text = std::move(expanded);
  if (text.empty()) return false;
  if (changed && IsFileAt(text)) return true;

  const std::wstring copy = text;
  const bool search = (flags & ResolveSearch) != 0;
  const bool commandLine = (flags & ResolveCommandLine) != 0;
  if (commandLine) {
    text = StripSwitches(text);
    if (text != copy && IsFileAt(text)) return true;
  }
  if (StartsWithNoCase(text, L"System32\\")) {
    text = folders.windows + L"\\" + text;
    if (IsFileAt(text)) return true;
  }

  text = copy;
  if (commandLine) {
    if (ResolveHostedCommand(text, search)) return true;
    // A quoted program ends at its closing quote, so no cut may fall
    // inside it: "C:\Program Files\App\gone.exe" never runs
    // C:\Program Files\App.exe. Nor does the program go on past the
    // quote: "C:\App\gone.exe" /S never runs "C:\App\gone.exe /S.exe".
    size_t quotedProgram = 0;
    if (text[0] == L'"') {
      const size_t closing = text.find(L'"', 1);
      if (closing != std::wstring::npos) quotedProgram = closing - 1;
    }
    std::erase(text, L'"');
    if (quotedProgram > 0) {
      text.resize(quotedProgram);
      if (ResolveExecutable(text, search)) return true;
    } else if (ResolveCutAtSpaces(text, search)) {
      return true;
    }
  } else {
    if (text[0] == L'"') {
      const size_t closing = text.find(L'"', 1);
      if (closing != std::wstring::npos) {
        text.erase(closing, 1);
        text.erase(0, 1);
      }
    }
    if (ResolveExecutable(text, search)) return true;
  }
  text = copy;
  return false;
}

}  // namespace

bool ResolveCommandTarget(std::wstring& text, const SystemFolders& folders, unsigned flags) {
  // A long-form path can come back from the steps as written: quoted, as a
  // host program's argument, or naming an existing file at once.
  return ResolveAsWritten(text, folders, flags) && ToPlainForm(text);
}

bool ResolveCommandTargetInPlace(std::wstring& text, const SystemFolders& folders) {
  return ResolveCommandTarget(text, folders, ResolveSearch | ResolveCommandLine);
}

bool ResolveDriverPath(std::wstring& text, const SystemFolders& folders) {
  if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\' && IsFileAt(text)) return true;
  if (!folders.systemDrive.empty()) {
    const size_t drive = FindNoCase(text, folders.systemDrive, 1);
    if (drive != std::wstring::npos) text.erase(0, drive);
  }
  if (StartsWithNoCase(text, L"System32\\") || StartsWithNoCase(text, L"SysWOW64\\")) {
    text = folders.windows + L"\\" + text;
    if (IsFileAt(text)) return true;
  }
  if (StartsWithNoCase(text, L"\\SystemRoot\\")) {
    text = folders.windows + text.substr(11);
    if (IsFileAt(text)) return true;
  }
  const std::wstring lower = ToLower(text);
  const size_t sys = lower.rfind(L".sys");
  if (sys != std::wstring::npos && sys >= 3) {
    // Only text that cannot continue the file name is cut off: "x.sys.bak"
    // is another file than "x.sys".
    const size_t end = sys + 4;
    if (end < text.size() && (text[end] == L' ' || text[end] == L'\t' || text[end] == L'"' || text[end] == L',')) {
      const std::wstring cut = text.substr(0, end);
      if (IsFileAt(cut)) {
        text = cut;
        return true;
      }
    }
  }
  if (folders.is64Bit && !folders.system.empty() && !folders.windows.empty()) {
    // A 32-bit installer writing to System32\drivers lands in SysWOW64.
    const size_t at = FindNoCase(text, folders.system + L"\\drivers\\");
    if (at != std::wstring::npos) {
      std::wstring redirected = text;
      redirected.replace(at, folders.system.size(), folders.windows + L"\\SysWOW64");
      if (IsFileAt(redirected)) {
        text = std::move(redirected);
        return true;
      }
    }
  }
  return ResolveCommandTargetInPlace(text, folders);
}

}  // namespace tavrin
