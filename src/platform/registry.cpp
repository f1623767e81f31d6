#include "platform/registry.h"

#include <algorithm>
#include <cwchar>

#include "platform/message_pump.h"
#include "platform/pattern.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

// Key and value names are at most 16,383 characters; the margin keeps a
// name that is exactly at the limit from being reported as too long.
constexpr DWORD kNameBuffer = 16400;

struct RootName {
  const wchar_t* shortName;
  const wchar_t* longName;
  HKEY key;
  const wchar_t* securityName;
};

// The current configuration has no security name here: nothing there is
// ever unlocked.
const RootName kRoots[] = {
    {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, L"MACHINE"},
    {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER, L"CURRENT_USER"},
    {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT, L"CLASSES_ROOT"},
    {L"HKU", L"HKEY_USERS", HKEY_USERS, L"USERS"},
    {L"HKCC", L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG, nullptr},
};

REGSAM ViewBits(const RegKey& key) { return REGSAM(key.View()); }

wchar_t* NameBuffer() {
  thread_local std::vector<wchar_t> buffer(kNameBuffer);
  return buffer.data();
}

// Reads a value into `bytes` with four zero bytes after the data. The
// buffer's room is offered first, so that most reads take one call; the
// value may grow between calls, hence the loop.
LONG QueryValue(HKEY key, const wchar_t* valueName, std::vector<unsigned char>& bytes, DWORD& type,
                DWORD& length) {
  constexpr size_t kFirstRoom = 512;
  if (bytes.size() < kFirstRoom + 4) bytes.resize(kFirstRoom + 4);
  length = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD size = DWORD(bytes.size() - 4);
    LONG status = RegQueryValueExW(key, valueName, nullptr, &type, bytes.data(), &size);
    if (status == ERROR_SUCCESS) {
      length = size;
      std::fill(bytes.begin() + size, bytes.begin() + size + 4, 0);
      return ERROR_SUCCESS;
    }
    if (status != ERROR_MORE_DATA) {
      type = RegValueBuffer::kNoType;
      return status;
    }
    bytes.resize(size_t(size) + 4);
  }
  type = RegValueBuffer::kNoType;
  return ERROR_MORE_DATA;
}

// In place: every NUL followed by a non-NUL character becomes a line feed,
// so the text ends at the first NUL left.
void MultiStringToLinesInPlace(wchar_t* data, size_t characters) {
  for (size_t i = 0; i + 1 < characters; ++i) {
    if (data[i] == L'\0') {
      if (data[i + 1] == L'\0') return;
      data[i] = L'\n';
    }
  }
}

void FailedRead(RegValueBuffer& buffer) {
  buffer.type = RegValueBuffer::kNoType;
  buffer.length = 0;
  if (buffer.bytes.size() < 4) buffer.bytes.resize(4);
  std::fill(buffer.bytes.begin(), buffer.bytes.begin() + 4, 0);
}

// What ReadRaw does to the data once it is read.
void FinishRead(RegValueBuffer& buffer) {
  if (buffer.type == REG_MULTI_SZ && buffer.length >= 5) {
    MultiStringToLinesInPlace(reinterpret_cast<wchar_t*>(buffer.bytes.data()), buffer.length / 2 + 1);
  }
}

// The name and data of one value in one call. ERROR_MORE_DATA means that
// the value kept growing while it was read.
LONG EnumValueData(HKEY key, DWORD index, std::wstring& name, RegValueBuffer& buffer) {
  constexpr size_t kFirstRoom = 512;
  if (buffer.bytes.size() < kFirstRoom + 4) buffer.bytes.resize(kFirstRoom + 4);
  wchar_t* nameBuffer = NameBuffer();
  LONG status = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD nameSize = kNameBuffer;
    DWORD size = DWORD(buffer.bytes.size() - 4);
    DWORD type = 0;
    status = RegEnumValueW(key, index, nameBuffer, &nameSize, nullptr, &type, buffer.bytes.data(), &size);
    if (status == ERROR_SUCCESS) {
      name.assign(nameBuffer, nameSize);
      buffer.type = type;
      buffer.length = size;
      std::fill(buffer.bytes.begin() + size, buffer.bytes.begin() + size + 4, 0);
      FinishRead(buffer);
      return ERROR_SUCCESS;
    }
    if (status != ERROR_MORE_DATA) break;
    buffer.bytes.resize(std::max(size_t(size), buffer.bytes.size()) + 4);
  }
  name.clear();
  FailedRead(buffer);
  return status;
}

// The copy below one open pair of keys, each side in its own view. The
// result is the number of values written at this level.
int CopyKeyContents(const RegKey& from, const RegKey& to, RegValueBuffer& buffer) {
  // Both lengths in one call: most keys of a tree are leaves, and asking
  // for an entry past the end of each list would cost a call per list.
  DWORD subKeys = 0, values = 0;
  if (RegQueryInfoKeyW(from, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  int written = 0;
  std::wstring name;
  for (DWORD i = 0; i < values; ++i) {
    if (i % 5 == 0) DispatchPendingMessages();
    const LONG status = EnumValueData(from, i, name, buffer);
    // A value that kept growing while it was read is left out.
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    bool ok;
    if (buffer.length == 0) {
      // Stored as it is: a computed length would turn an empty value of a
      // fixed-size type into a zero of that size.
      ok = RegSetValueExW(to, name.c_str(), 0, buffer.type, nullptr, 0) == ERROR_SUCCESS;
    } else {
      ok = WriteValue(to, name.c_str(), buffer.type, buffer.Data(), buffer.length);
    }
    if (ok) ++written;
  }
  for (DWORD i = 0; i < subKeys; ++i) {
    if (i % 5 == 0) DispatchPendingMessages();
    if (!EnumSubKey(from, i, name)) break;
    RegKey fromChild = OpenSubKey(from, name, kRegRead);
    if (!fromChild) continue;
    RegKey toChild = OpenSubKey(to, name, kRegCreateOrOpen);
    if (toChild) CopyKeyContents(fromChild, toChild, buffer);
  }
  return written;
}

// Deletes every subkey tree below `key`, last index first: the indices
// still to come stay valid while entries disappear.
void DeleteSubKeyTrees(const RegKey& key) {
  std::wstring name;
  for (DWORD i = SubKeyCount(key); i-- > 0;) {
    if (EnumSubKey(key, i, name)) DeleteSubKeyTree(key, name);
  }
}

// The path without trailing backslashes, for comparing two paths.
std::wstring_view WithoutTrailingBackslashes(std::wstring_view path) {
  while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  return path;
}

// Whether `inner` is `outer` or lies below it, however either is spelled
// (short or long root, view suffix, the 32-bit node written out).
bool SameOrBelow(const RegPathParts& inner, const RegPathParts& outer) {
  if (inner.root != outer.root) return false;
  const std::wstring innerKey = SubkeyInNativeView(inner);
  const std::wstring outerKey = SubkeyInNativeView(outer);
  const std::wstring_view a = WithoutTrailingBackslashes(innerKey);
  const std::wstring_view b = WithoutTrailingBackslashes(outerKey);
  if (b.empty()) return true;
  return EqualsNoCase(a, b) || (a.size() > b.size() && a[b.size()] == L'\\' && StartsWithNoCase(a, b));
}

}  // namespace

RegView ViewOfAccess(REGSAM access) {
  if (access & KEY_WOW64_32KEY) return RegView::Bits32;
  if (access & KEY_WOW64_64KEY) return RegView::Bits64;
  return RegView::Native;
}

RegPathParts ParseRegPath(std::wstring_view path, RegViewSuffix suffix) {
  RegPathParts parts;
  if (path.empty()) return parts;
  size_t slash = std::wstring_view::npos;
  for (size_t i = 3; i < 23 && i < path.size(); ++i) {
    if (path[i] == L'\\') {
      slash = i;
      break;
    }
  }
  std::wstring_view token = path.substr(0, slash);
  RegView view = RegView::Native;
  if (suffix == RegViewSuffix::Read && token.size() >= 2) {
    const std::wstring_view digits = token.substr(token.size() - 2);
    if (digits == L"64") view = RegView::Bits64;
    if (digits == L"32") view = RegView::Bits32;
    if (view != RegView::Native) token.remove_suffix(2);
  }
  for (const RootName& candidate : kRoots) {
    if (EqualsNoCase(token, candidate.shortName) || EqualsNoCase(token, candidate.longName)) {
      parts.root = candidate.key;
      parts.view = view;
      parts.rootName = candidate.longName;
      parts.securityRoot = candidate.securityName;
      if (slash != std::wstring_view::npos) parts.subkey = path.substr(slash + 1);
      return parts;
    }
  }
  return parts;
}

std::wstring SubkeyInNativeView(const RegPathParts& parts, std::wstring_view node) {
  if (parts.view != RegView::Bits32) return parts.subkey;
  if (parts.root == HKEY_CLASSES_ROOT) {
    std::wstring subkey(node);
    if (!parts.subkey.empty()) subkey += L"\\" + parts.subkey;
    return subkey;
  }
  if (parts.root == HKEY_LOCAL_MACHINE) {
    // Only the SOFTWARE key itself and what lies below it, not a sibling
    // whose name merely begins with "SOFTWARE".
    constexpr std::wstring_view software = L"SOFTWARE";
    const std::wstring_view subkey = parts.subkey;
    if (StartsWithNoCase(subkey, software) && (subkey.size() == software.size() || subkey[software.size()] == L'\\'))
      return std::wstring(software) + L"\\" + std::wstring(node) + std::wstring(subkey.substr(software.size()));
  }
  return parts.subkey;
}

namespace {

// The name the kernel gives an open key ("\REGISTRY\MACHINE\SOFTWARE\...",
// after any redirection or link); empty when it cannot tell.
std::wstring KernelKeyName(HKEY key) {
  using QueryKey = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  static const auto query =
      reinterpret_cast<QueryKey>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
  constexpr int kKeyNameInformation = 3;
  if (!query) return {};
  std::vector<ULONG> buffer(2048);
  ULONG length = 0;
  if (query(key, kKeyNameInformation, buffer.data(), ULONG(buffer.size() * sizeof(ULONG)), &length) != 0) return {};
  const ULONG bytes = buffer[0];
  if (bytes > (buffer.size() - 1) * sizeof(ULONG)) return {};
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + 1), bytes / sizeof(wchar_t));
}

}  // namespace

bool HasOwnKeyInView(const std::wstring& path) {
  const RegPathParts parts = ParseRegPath(path);
  if (!parts || parts.view != RegView::Bits32) return true;
  HKEY key32 = nullptr, key64 = nullptr;
  bool own = true;
  if (RegOpenKeyExW(parts.root, parts.subkey.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key32) == ERROR_SUCCESS &&
      RegOpenKeyExW(parts.root, parts.subkey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key64) == ERROR_SUCCESS) {
    const std::wstring name = KernelKeyName(key32);
    own = name.empty() || !EqualsNoCase(name, KernelKeyName(key64));
  }
  if (key32) RegCloseKey(key32);
  if (key64) RegCloseKey(key64);
  return own;
}

void RegKey::Close() {
  if (!key_) return;
  const DWORD lastError = GetLastError();
  RegCloseKey(key_);
  key_ = nullptr;
  SetLastError(lastError);
}

std::wstring RegValueBuffer::Text() const {
  if (bytes.empty()) return {};
  const auto* text = reinterpret_cast<const wchar_t*>(bytes.data());
  return std::wstring(text, wcsnlen(text, (length + 3) / 2));
}

std::wstring MultiStringToLines(const wchar_t* data, size_t characters) {
  std::wstring text;
  if (!data) return text;
  for (size_t i = 0; i < characters; ++i) {
    if (data[i] != L'\0') {
      text += data[i];
    } else if (i + 1 < characters && data[i + 1] != L'\0') {
      text += L'\n';
    } else {
      break;
    }
  }
  return text;
}

std::wstring LinesToMultiString(std::wstring_view lines) {
  while (lines.size() > 1 && lines.back() == L'\n') lines.remove_suffix(1);
  std::wstring data(lines);
  for (auto& c : data) {
    if (c == L'\n') c = L'\0';
  }
  data.append(2, L'\0');
  return data;
}

RegKey OpenKey(const std::wstring& path, REGSAM access) {
  const bool create = access == kRegCreateOrOpen;
  REGSAM sam = create ? (KEY_READ | KEY_WRITE) : access;
  const RegPathParts parts = ParseRegPath(path);
  if (!parts) {
    SetLastError(ERROR_BAD_PATHNAME);
    return RegKey(nullptr, ERROR_BAD_PATHNAME);
  }
  sam = parts.WithView(sam);
  const wchar_t* subkey = parts.subkey.c_str();
  HKEY key = nullptr;
  LONG status =
      create ? RegCreateKeyExW(parts.root, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &key, nullptr)
             : RegOpenKeyExW(parts.root, parts.subkey.empty() ? nullptr : subkey, 0, sam, &key);
  if (status != ERROR_SUCCESS) key = nullptr;
  RegKey result(key, status, parts.view);
  SetLastError(status);
  return result;
}

RegKey OpenSubKey(const RegKey& parent, const std::wstring& name, REGSAM access) {
  if (!parent) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RegKey(nullptr, ERROR_INVALID_HANDLE, parent.View());
  }
  const bool create = access == kRegCreateOrOpen;
  const REGSAM sam = (create ? (KEY_READ | KEY_WRITE) : access) | ViewBits(parent);
  HKEY key = nullptr;
  LONG status = create ? RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr,
                                         &key, nullptr)
                       : RegOpenKeyExW(parent, name.c_str(), 0, sam, &key);
  if (status != ERROR_SUCCESS) key = nullptr;
  RegKey result(key, status, parent.View());
  SetLastError(status);
  return result;
}

bool ReopenKey(RegKey& key, const std::wstring& path, REGSAM access) {
  key.Close();
  key = OpenKey(path, access);
  SetLastError(key.Status());
  return bool(key);
}

bool CreateKey(RegKey& key, const std::wstring& path, const wchar_t* valueName, DWORD type, const void* data,
               DWORD length) {
  key.Close();
  const RegPathParts parts = ParseRegPath(path);
  if (!parts) {
    SetLastError(ERROR_BAD_PATHNAME);
    return false;
  }
  HKEY created = nullptr;
  LONG status = RegCreateKeyExW(parts.root, parts.subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                parts.WithView(KEY_SET_VALUE), nullptr, &created, nullptr);
  key = RegKey(status == ERROR_SUCCESS ? created : nullptr, status, parts.view);
  SetLastError(status);
  if (status != ERROR_SUCCESS) return false;
  return valueName ? WriteValue(key, valueName, type, data, length) : true;
}

bool CreateKey(const std::wstring& path) {
  RegKey key;
  return CreateKey(key, path);
}

bool ReadString(HKEY key, const wchar_t* valueName, std::wstring& text) {
  text.clear();
  thread_local std::vector<unsigned char> bytes;
  DWORD type = 0, length = 0;
  if (QueryValue(key, valueName, bytes, type, length) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return false;
  auto* chars = reinterpret_cast<wchar_t*>(bytes.data());
  if (type == REG_MULTI_SZ && length >= 4) MultiStringToLinesInPlace(chars, length / 2 + 1);
  text.assign(chars, wcsnlen(chars, (length + 3) / 2));
  // The buffer is kept for the thread's next read, but not a huge one.
  if (bytes.size() > 65536) std::vector<unsigned char>().swap(bytes);
  return true;
}

bool ReadStringAt(const std::wstring& path, const wchar_t* valueName, std::wstring& text) {
  text.clear();
  RegKey key = OpenKey(path, kRegRead);
  return key && ReadString(key, valueName, text);
}

std::optional<std::wstring> ReadStringAt(const std::wstring& path, const wchar_t* valueName) {
  std::wstring text;
  if (!ReadStringAt(path, valueName, text)) return std::nullopt;
  return text;
}

bool ReadDword(HKEY key, const wchar_t* valueName, DWORD& number) {
  number = 0;
  DWORD type = 0, value = 0, size = sizeof value;
  LONG status = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return false;
  number = value;
  return true;
}

bool ReadDwordAt(const std::wstring& path, const wchar_t* valueName, DWORD& number) {
  number = 0;
  RegKey key = OpenKey(path, kRegRead);
  return key && ReadDword(key, valueName, number);
}

bool ReadRaw(HKEY key, const wchar_t* valueName, RegValueBuffer& buffer) {
  LONG status = QueryValue(key, valueName, buffer.bytes, buffer.type, buffer.length);
  if (status != ERROR_SUCCESS) {
    FailedRead(buffer);
    return false;
  }
  FinishRead(buffer);
  return true;
}

bool ReadRawAt(const std::wstring& path, const wchar_t* valueName, RegValueBuffer& buffer) {
  RegKey key = OpenKey(path, kRegRead);
  if (!key) {
    buffer.type = RegValueBuffer::kNoType;
    buffer.length = 0;
    return false;
  }
  return ReadRaw(key, valueName, buffer);
}

bool WriteValue(HKEY key, const wchar_t* valueName, DWORD type, const void* data, DWORD length) {
  // Without data the value is an empty string, or zeros of a fixed size.
  static const wchar_t kNoData[4] = {};
  if (!data) {
    data = kNoData;
    if (length > sizeof kNoData) length = 0;
  }
  const wchar_t* text = static_cast<const wchar_t*>(data);
  if (length == 0) {
    switch (type) {
      case REG_DWORD:
      case REG_DWORD_BIG_ENDIAN: length = 4; break;
      case REG_QWORD: length = 8; break;
      case REG_SZ:
      case REG_EXPAND_SZ:
      case REG_LINK: length = DWORD((wcslen(text) + 1) * 2); break;
      case REG_MULTI_SZ: length = DWORD(wcslen(text) * 2 + 4); break;
      default: break;
    }
  }
  LONG status;
  if (type == REG_MULTI_SZ && length >= 3) {
    std::wstring stored = LinesToMultiString(std::wstring_view(text, wcsnlen(text, length / 2)));
    status = RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE*>(stored.data()),
                            DWORD(stored.size() * sizeof(wchar_t)));
  } else {
    status = RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), length);
  }
  SetLastError(status);
  return status == ERROR_SUCCESS;
}

bool WriteString(HKEY key, const wchar_t* valueName, const std::wstring& text, DWORD type) {
  return WriteValue(key, valueName, type, text.c_str(), 0);
}

bool WriteDword(HKEY key, const wchar_t* valueName, DWORD number) {
  return WriteValue(key, valueName, REG_DWORD, &number, sizeof number);
}

bool WriteStringAt(const std::wstring& path, const wchar_t* valueName, const std::wstring& text, DWORD type) {
  RegKey key;
  return CreateKey(key, path, valueName ? valueName : L"", type, text.c_str(), 0);
}

bool WriteDwordAt(const std::wstring& path, const wchar_t* valueName, DWORD number) {
  RegKey key;
  return CreateKey(key, path, valueName ? valueName : L"", REG_DWORD, &number, sizeof number);
}

bool DeleteValue(HKEY key, const wchar_t* valueName) {
  LONG status = RegDeleteValueW(key, valueName);
  SetLastError(status);
  return status == ERROR_SUCCESS;
}

bool DeleteValueAt(const std::wstring& path, const wchar_t* valueName) {
  if (!valueName) return DeleteKeyTree(path);
  RegKey key = OpenKey(path, kRegDelete);
  return key && DeleteValue(key, valueName);
}

bool SplitLastComponent(const std::wstring& path, std::wstring& parent, std::wstring& last) {
  size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return false;
  parent = path.substr(0, slash);
  last = path.substr(slash + 1);
  return true;
}

bool DeleteKeyTree(const std::wstring& requested) {
  const std::wstring path(WithoutTrailingBackslashes(requested));
  // A root is refused before anything below it is touched: deleting the
  // subkeys first and failing on the root would empty a whole hive.
  const RegPathParts parts = ParseRegPath(path);
  if (!parts || parts.subkey.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  {
    RegKey key = OpenKey(path, kRegRead);
    if (key) DeleteSubKeyTrees(key);
  }
  std::wstring parentPath, last;
  if (!SplitLastComponent(path, parentPath, last)) return false;
  RegKey parent = OpenKey(parentPath, kRegRead);
  if (!parent) return false;
  LONG status = RegDeleteKeyExW(parent, last.c_str(), ViewBits(parent), 0);
  SetLastError(status);
  return status == ERROR_SUCCESS;
}

bool DeleteSubKeyTree(const RegKey& parent, const std::wstring& name) {
  if (!parent || name.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  {
    RegKey key = OpenSubKey(parent, name, kRegRead);
    if (key) DeleteSubKeyTrees(key);
  }
  LONG status = RegDeleteKeyExW(parent, name.c_str(), ViewBits(parent), 0);
  SetLastError(status);
  return status == ERROR_SUCCESS;
}

bool EnumSubKey(HKEY key, DWORD index, std::wstring& name) {
  wchar_t* buffer = NameBuffer();
  DWORD size = kNameBuffer;
  LONG status = RegEnumKeyExW(key, index, buffer, &size, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS || size == 0) {
    name.clear();
    return false;
  }
  name.assign(buffer, size);
  return true;
}

bool EnumValue(HKEY key, DWORD index, std::wstring& name, DWORD& type, DWORD& dataLength) {
  wchar_t* buffer = NameBuffer();
  DWORD size = kNameBuffer;
  type = 0;
  dataLength = 0;
  LONG status = RegEnumValueW(key, index, buffer, &size, nullptr, &type, nullptr, &dataLength);
  if (status != ERROR_SUCCESS) {
    name.clear();
    return false;
  }
  // The default value has an empty name and is a value like any other.
  name.assign(buffer, size);
  return true;
}

bool EnumValueRaw(HKEY key, DWORD index, std::wstring& name, RegValueBuffer& buffer) {
  return EnumValueData(key, index, name, buffer) == ERROR_SUCCESS;
}

DWORD SubKeyCount(HKEY key) {
  DWORD count = 0;
  if (!key || RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return count;
}

DWORD ValueCount(HKEY key) {
  DWORD count = 0;
  if (!key || RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                               nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return count;
}

bool IsKeyEmpty(HKEY key) { return SubKeyCount(key) == 0 && ValueCount(key) == 0; }

std::vector<std::wstring> SubKeyNames(HKEY key) {
  std::vector<std::wstring> names;
  std::wstring name;
  for (DWORD i = 0; EnumSubKey(key, i, name); ++i) names.push_back(name);
  return names;
}

bool KeyExists(const std::wstring& path, const wchar_t* valueName) {
  RegKey key = OpenKey(path, kRegProbe);
  if (!valueName) {
    return key || (key.Status() != ERROR_FILE_NOT_FOUND && key.Status() != ERROR_BAD_PATHNAME);
  }
  if (!key) return false;
  return RegQueryValueExW(key, valueName, nullptr, nullptr, nullptr, nullptr) != ERROR_FILE_NOT_FOUND;
}

bool UserKeyExists(const std::wstring& subkey) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(HKEY_USERS, subkey.c_str(), 0, KEY_READ, &key);
  if (status == ERROR_SUCCESS) RegCloseKey(key);
  return status != ERROR_FILE_NOT_FOUND;
}

bool IsGuidKeyName(std::wstring_view text) {
  if (text.empty()) return false;
  static const Pattern guid(L"^\\{(\\d|[a-f]){8}(-(\\d|[a-f]){4}){3}-(\\d|[a-f]){12}\\}$");
  return guid.Matches(text);
}

int CopyKey(const std::wstring& source, const std::wstring& destination, bool move) {
  if (EqualsNoCase(source, destination)) return 0;
  const RegPathParts from = ParseRegPath(source);
  const RegPathParts to = ParseRegPath(destination);
  if (!from || !to) return 0;
  // A destination at or below the source would grow with every subkey
  // copied into it, without end.
  if (SameOrBelow(to, from)) return 0;
  int written = 0;
  {
    RegKey fromKey = OpenKey(source, kRegRead);
    if (!fromKey) return 0;
    RegKey toKey = OpenKey(destination, kRegCreateOrOpen);
    if (!toKey) return 0;
    RegValueBuffer buffer;
    written = CopyKeyContents(fromKey, toKey, buffer);
  }
  if (move) DeleteKeyTree(source);
  return 1 + written;
}

std::wstring UserSidOfRegPath(const std::wstring& path) {
  static const Pattern sid(L"(HKU|HKEY_USERS)\\\\(S-1-5.+?)\\\\");
  PatternMatch match;
  return sid.Match(path, match) ? match.Group(2) : std::wstring();
}

std::wstring ValueNameFromUser(const std::wstring& name) {
  return EqualsNoCase(name, kDefaultValueLabel) ? std::wstring() : name;
}

std::wstring ValueNameForUser(const std::wstring& name) { return name.empty() ? kDefaultValueLabel : name; }

}  // namespace tavrin
