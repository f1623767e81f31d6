#include "scenario/machine_manifest.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwctype>
#include <string_view>

namespace tavrin::scenario {

namespace {

std::wstring Hex(uint64_t value) {
  wchar_t text[17];
  swprintf(text, 17, L"%016llx", static_cast<unsigned long long>(value));
  return text;
}

// FNV-1a over 8-byte words: enough to tell contents apart, needs nothing
// outside the test and keeps a whole drive's digest to a few seconds.
struct Digest {
  uint64_t value = 1469598103934665603ull;
  void Add(const unsigned char* bytes, size_t count) {
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
      uint64_t word;
      memcpy(&word, bytes + i, 8);
      value = (value ^ word) * 1099511628211ull;
    }
    for (; i < count; ++i) value = (value ^ bytes[i]) * 1099511628211ull;
    value = (value ^ count) * 1099511628211ull;
  }
};

std::wstring FileDigest(const std::wstring& path) {
  HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return L"unreadable";
  Digest digest;
  static thread_local std::vector<unsigned char> buffer(1 << 20);
  DWORD read = 0;
  while (ReadFile(file, buffer.data(), DWORD(buffer.size()), &read, nullptr) && read > 0) digest.Add(buffer.data(), read);
  CloseHandle(file);
  return Hex(digest.value);
}

constexpr uint64_t kDigestedSize = 4 << 20;

void AddFolder(const std::wstring& folder, Manifest& manifest) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW((L"\\\\?\\" + folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                 FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    const DWORD attributes = data.dwFileAttributes;
    const std::wstring facts = L"attributes " + Hex(attributes);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      manifest.entries[path] = L"link, " + facts;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      manifest.entries[path] = L"folder, " + facts;
      AddFolder(path, manifest);
    } else {
      const uint64_t size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      const uint64_t written = (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
      // Reading the system's large libraries would take most of the time;
      // a change to one of them still shows in its size or write time.
      const std::wstring digest = size <= kDigestedSize ? FileDigest(path) : L"not read";
      manifest.entries[path] = L"file, size " + std::to_wstring(size) + L", " + facts + L", written " + Hex(written) +
                               L", digest " + digest;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

void AddKey(HKEY parent, const std::wstring& subkey, const std::wstring& name, Manifest& manifest) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, subkey.empty() ? nullptr : subkey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS) {
    manifest.entries[name] = L"key, unreadable";
    return;
  }
  manifest.entries[name] = L"key";
  std::vector<wchar_t> valueName(16384);
  std::vector<unsigned char> data(1 << 16);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = DWORD(valueName.size());
    DWORD type = 0;
    DWORD size = DWORD(data.size());
    LONG status = RegEnumValueW(key, index, valueName.data(), &nameLength, nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA) {
      data.resize(size);
      nameLength = DWORD(valueName.size());
      status = RegEnumValueW(key, index, valueName.data(), &nameLength, nullptr, &type, data.data(), &size);
    }
    if (status != ERROR_SUCCESS) break;
    Digest digest;
    digest.Add(data.data(), size);
    manifest.entries[name + L" => " + std::wstring(valueName.data(), nameLength)] =
        L"value, type " + std::to_wstring(type) + L", size " + std::to_wstring(size) + L", digest " + Hex(digest.value);
  }
  std::vector<std::wstring> subkeys;
  for (DWORD index = 0;; ++index) {
    wchar_t child[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(child, length);
  }
  for (const std::wstring& child : subkeys) AddKey(key, child, name + L"\\" + child, manifest);
  RegCloseKey(key);
}

wchar_t Upper(wchar_t c) { return wchar_t(std::towupper(c)); }

bool SameText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

// The path or key part of an entry: a value's key.
std::wstring_view Place(std::wstring_view entry) {
  const size_t arrow = entry.find(L" => ");
  return arrow == std::wstring_view::npos ? entry : entry.substr(0, arrow);
}

bool Under(std::wstring_view place, std::wstring_view prefix) {
  while (!prefix.empty() && prefix.back() == L'\\') prefix.remove_suffix(1);
  if (prefix.empty() || place.size() < prefix.size() || !SameText(place.substr(0, prefix.size()), prefix)) return false;
  return place.size() == prefix.size() || place[prefix.size()] == L'\\' || prefix.back() == L' ';
}

std::wstring KnownPath(const wchar_t* variable) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(variable, buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::wstring LongForm(const std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetLongPathNameW(path.c_str(), buffer, MAX_PATH);
  std::wstring out = length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : path;
  while (!out.empty() && out.back() == L'\\') out.pop_back();
  return out;
}

std::vector<std::wstring> AlwaysAllowed() {
  std::vector<std::wstring> allowed = {
      // The program's own data folder (reports, settings, definitions, work
      // folders) and its registry key.
      L"C:\\ProgramData\\Tavrin",
      L"HKLM\\SOFTWARE\\Halvoret",
      // The definitions hive a scan mounts for its run ("TVN DB " + stamp).
      L"HKLM\\TVN DB ",
      L"C:\\windows\\temp",
      // What Wine's own services rewrite on every start.
      L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
      L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog",
      L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib",
      L"HKLM\\HARDWARE",
      L"HKLM\\SOFTWARE\\Wine",
  };
  for (const wchar_t* variable : {L"TEMP", L"TMP"})
    if (std::wstring temp = KnownPath(variable); !temp.empty()) allowed.push_back(LongForm(temp));
  // WinINet's cache of the definitions download.
  if (std::wstring local = KnownPath(L"LOCALAPPDATA"); !local.empty())
    allowed.push_back(LongForm(local) + L"\\Microsoft\\Windows\\INetCache");
  return allowed;
}

bool Allowed(std::wstring_view entry, const std::vector<std::wstring>& allowed) {
  const std::wstring_view place = Place(entry);
  for (const std::wstring& prefix : allowed)
    if (Under(place, prefix)) return true;
  return false;
}

}  // namespace

Manifest TakeManifest() {
  Manifest manifest;
  AddFolder(L"C:", manifest);
  AddKey(HKEY_LOCAL_MACHINE, L"", L"HKLM", manifest);
  AddKey(HKEY_USERS, L"", L"HKU", manifest);
  return manifest;
}

std::vector<std::wstring> ManifestChanges(const Manifest& before, const Manifest& after,
                                          const std::vector<std::wstring>& allowed) {
  std::vector<std::wstring> all = AlwaysAllowed();
  all.insert(all.end(), allowed.begin(), allowed.end());
  std::vector<std::wstring> changes;
  auto was = before.entries.begin();
  auto now = after.entries.begin();
  while (was != before.entries.end() || now != after.entries.end()) {
    if (now == after.entries.end() || (was != before.entries.end() && was->first < now->first)) {
      if (!Allowed(was->first, all)) changes.push_back(L"removed: " + was->first);
      ++was;
    } else if (was == before.entries.end() || now->first < was->first) {
      if (!Allowed(now->first, all)) changes.push_back(L"added: " + now->first);
      ++now;
    } else {
      if (was->second != now->second && !Allowed(now->first, all))
        changes.push_back(L"changed: " + now->first + L" (" + was->second + L" -> " + now->second + L")");
      ++was;
      ++now;
    }
  }
  return changes;
}

std::wstring ChangesText(const std::vector<std::wstring>& changes) {
  std::wstring text;
  for (const std::wstring& change : changes) text += change + L"\n";
  return text;
}

}  // namespace tavrin::scenario
