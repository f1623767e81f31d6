#include "platform/registry.h"

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
  const wchar_t* name;
  HKEY key;
};

const RootName kRoots[] = {
    {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKCU", HKEY_CURRENT_USER},  {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKCR", HKEY_CLASSES_ROOT},  {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKU", HKEY_USERS},          {L"HKEY_USERS", HKEY_USERS},
    {L"HKCC", HKEY_CURRENT_CONFIG}, {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

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

}  // namespace

RegView ViewOfAccess(REGSAM access) {
  if (access & KEY_WOW64_32KEY) return RegView::Bits32;
  if (access & KEY_WOW64_64KEY) return RegView::Bits64;
  return RegView::Native;
}

HKEY ParseRegPath(std::wstring& path, REGSAM* access) {
  if (path.empty()) return nullptr;
  // The root token ends at the first backslash among the characters at
  // positions 4 to 23, so tokens are 3 to 22 characters long.
  size_t slash = std::wstring::npos;
  for (size_t i = 3; i < 23 && i < path.size(); ++i) {
    if (path[i] == L'\\') {
      slash = i;
      break;
    }
  }
  std::wstring_view token(path);
  if (slash != std::wstring::npos) token = token.substr(0, slash);
  REGSAM view = 0;
  if (access && token.size() >= 2) {
    std::wstring_view suffix = token.substr(token.size() - 2);
    if (suffix == L"64") view = KEY_WOW64_64KEY;
    if (suffix == L"32") view = KEY_WOW64_32KEY;
    if (view) token.remove_suffix(2);
  }
  HKEY root = nullptr;
  for (const auto& candidate : kRoots) {
    if (EqualsNoCase(token, candidate.name)) {
      root = candidate.key;
      break;
    }
  }
  if (!root) return nullptr;
  if (access) *access |= view;
  path = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
  return root;
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
  std::wstring subkey = path;
  HKEY root = ParseRegPath(subkey, &sam);
  if (!root) {
    SetLastError(ERROR_BAD_PATHNAME);
    return RegKey(nullptr, ERROR_BAD_PATHNAME);
  }
  HKEY key = nullptr;
  LONG status = create ? RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr,
                                         &key, nullptr)
                       : RegOpenKeyExW(root, subkey.empty() ? nullptr : subkey.c_str(), 0, sam, &key);
  if (status != ERROR_SUCCESS) key = nullptr;
  RegKey result(key, status);
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
  REGSAM sam = KEY_SET_VALUE;
  std::wstring subkey = path;
  HKEY root = ParseRegPath(subkey, &sam);
  if (!root) {
    SetLastError(ERROR_BAD_PATHNAME);
    return false;
  }
  HKEY created = nullptr;
  LONG status =
      RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &created, nullptr);
  key = RegKey(status == ERROR_SUCCESS ? created : nullptr, status);
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
    buffer.type = RegValueBuffer::kNoType;
    buffer.length = 0;
    if (buffer.bytes.size() < 4) buffer.bytes.resize(4);
    std::fill(buffer.bytes.begin(), buffer.bytes.begin() + 4, 0);
    return false;
  }
  if (buffer.type == REG_MULTI_SZ && buffer.length >= 5) {
    MultiStringToLinesInPlace(reinterpret_cast<wchar_t*>(buffer.bytes.data()), buffer.length / 2 + 1);
  }
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
  std::wstring path = requested;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  // A root is refused before anything below it is touched: deleting the
  // subkeys first and failing on the root would empty a whole hive.
  std::wstring subkey = path;
  REGSAM view = 0;
  if (!ParseRegPath(subkey, &view) || subkey.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  {
    RegKey key = OpenKey(path, kRegRead);
    if (key) {
      std::wstring name;
      for (DWORD i = SubKeyCount(key); i-- > 0;) {
        if (EnumSubKey(key, i, name)) DeleteKeyTree(path + L"\\" + name);
      }
    }
  }
  std::wstring parentPath, last;
  if (!SplitLastComponent(path, parentPath, last)) return false;
  RegKey parent = OpenKey(parentPath, kRegRead);
  if (!parent) return false;
  LONG status = RegDeleteKeyExW(parent, last.c_str(), view & (KEY_WOW64_64KEY | KEY_WOW64_32KEY), 0);
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
  // A destination below the source would grow with every subkey copied into
  // it, without end.
  if (StartsWithNoCase(destination, source + L"\\")) return 0;
  RegKey from = OpenKey(source, kRegRead);
  if (!from) return 0;
  RegKey to = OpenKey(destination, kRegCreateOrOpen);
  if (!to) return 0;

  int written = 0;
  RegValueBuffer buffer;
  std::wstring name;
  DWORD type = 0, length = 0;
  for (DWORD i = 0;; ++i) {
    if (i % 5 == 0) DispatchPendingMessages();
    if (!EnumValue(from, i, name, type, length)) break;
    if (!ReadRaw(from, name.c_str(), buffer)) continue;
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
  for (DWORD i = 0;; ++i) {
    if (i % 5 == 0) DispatchPendingMessages();
    if (!EnumSubKey(from, i, name)) break;
    CopyKey(source + L"\\" + name, destination + L"\\" + name, false);
  }
  from.Close();
  to.Close();
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
