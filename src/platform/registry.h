#pragma once
// Registry access through the program's key-path notation. A RegPath is a
// root token ("HKLM", "HKCU", "HKCR", "HKU", "HKCC" or the long forms
// "HKEY_LOCAL_MACHINE" ...), optionally with a "64" or "32" view suffix,
// followed by "\" and a subkey path: "HKLM32\SOFTWARE\Vendor",
// "HKU\S-1-5-21-...\Software\Microsoft". Scan rules, definitions and reports
// store keys in this form, so the parsing rules are part of the data format.
//
// Value names are `const wchar_t*`: nullptr means "no value name" where an
// operation distinguishes that case (CreateKey, DeleteValueAt, KeyExists,
// DeleteForced); for reads and writes nullptr and L"" both address the
// default value.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

// Accesses used by callers.
inline constexpr REGSAM kRegRead = KEY_READ;                  // 0x20019
inline constexpr REGSAM kRegWrite = 0x20006;                  // set values, create subkeys
inline constexpr REGSAM kRegDelete = KEY_SET_VALUE;           // deleting values
inline constexpr REGSAM kRegAll = KEY_ALL_ACCESS;             // 0xF003F
inline constexpr REGSAM kRegOwnership = WRITE_DAC | WRITE_OWNER;
inline constexpr REGSAM kRegProbe = KEY_QUERY_VALUE;
// Passed to OpenKey: create the key when missing, open it for read and write.
inline constexpr REGSAM kRegCreateOrOpen = 0xFFFFFFFF;

// The registry view, carried as the access-mask bits the path parser adds.
enum class RegView : REGSAM {
  Native = 0,
  Bits64 = KEY_WOW64_64KEY,
  Bits32 = KEY_WOW64_32KEY,
};

RegView ViewOfAccess(REGSAM access);

// Whether a "64"/"32" at the end of the root token selects a view. Every
// open and create reads it; where it is refused such a token names no root.
enum class RegViewSuffix { Read, Refused };

// A RegPath taken apart; the path itself is left as it was.
struct RegPathParts {
  HKEY root = nullptr;  // nullptr: the path names no root
  RegView view = RegView::Native;
  // The root's long form ("HKEY_LOCAL_MACHINE") and its name for the
  // security functions ("MACHINE"; nullptr where there is none).
  const wchar_t* rootName = L"";
  const wchar_t* securityRoot = nullptr;
  // Below the root; empty means the root itself.
  std::wstring subkey;

  explicit operator bool() const { return root != nullptr; }
  // The access an open of this path asks for: `access` plus the view bits.
  REGSAM WithView(REGSAM access) const { return access | REGSAM(view); }
};

// The root token is the text before the first backslash among the
// characters at positions 4 to 23 (so 3 to 22 characters), or the whole
// text when there is none there; it is matched without regard to case.
// An empty path, an unknown token or a path without a root give no root.
RegPathParts ParseRegPath(std::wstring_view path, RegViewSuffix suffix = RegViewSuffix::Read);

// The 32-bit view's node in the 64-bit view, as the security functions write it.
inline constexpr wchar_t kWow64Node[] = L"WOW6432Node";

// The subkey as the 64-bit view names it. The 32-bit view of
// HKLM\SOFTWARE lies under SOFTWARE\<node> and that of the classes root
// under <node>; every other key is shared by both views. Whoever names keys
// outside the registry functions (security names, the registry editor)
// goes through this, so that the rule has one home.
std::wstring SubkeyInNativeView(const RegPathParts& parts, std::wstring_view node = kWow64Node);

// False for a 32-bit view path that opens the very key the same path opens
// in the 64-bit view (a key the platform shares between the views), true
// otherwise, also when that cannot be told. A scan of both machine views
// reads such a key once.
bool HasOwnKeyInView(const std::wstring& path);

// Owning handle to an open key; empty when the open failed. Remembers the
// platform status of the open that filled it, and the view it was opened
// in: keys opened below it must be opened in the same view, since a root
// opened in the 32-bit view is the same handle as in the 64-bit one.
class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY key, LONG status = ERROR_SUCCESS, RegView view = RegView::Native)
      : key_(key), status_(status), view_(view) {}
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept
      : key_(std::exchange(other.key_, nullptr)),
        status_(std::exchange(other.status_, ERROR_INVALID_HANDLE)),
        view_(other.view_) {}
  RegKey& operator=(RegKey&& other) noexcept {
    if (this != &other) {
      Close();
      key_ = std::exchange(other.key_, nullptr);
      status_ = std::exchange(other.status_, ERROR_INVALID_HANDLE);
      view_ = other.view_;
    }
    return *this;
  }

  // Leaves the thread's last error as it was: failures are reported
  // through it, and a close on scope exit must not replace them.
  void Close();
  HKEY Get() const { return key_; }
  operator HKEY() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  // ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED ...
  LONG Status() const { return status_; }
  RegView View() const { return view_; }

 private:
  HKEY key_ = nullptr;
  LONG status_ = ERROR_INVALID_HANDLE;
  RegView view_ = RegView::Native;
};

// A reusable buffer for raw value reads. The bytes always end with four
// zero bytes after `length`, so string data is terminated even when the
// stored value is not.
struct RegValueBuffer {
  static constexpr DWORD kNoType = 0xFFFFFFFF;  // the read failed

  std::vector<unsigned char> bytes;
  DWORD length = 0;
  DWORD type = kNoType;

  const unsigned char* Data() const { return bytes.empty() ? nullptr : bytes.data(); }
  // The data as text, up to the first NUL.
  std::wstring Text() const;
};

// REG_MULTI_SZ data (NUL-separated, NUL-terminated) as one text with the
// items separated by line feeds, and back. LinesToMultiString drops trailing line
// feeds (keeping at least one character) and ends the result with two NULs.
std::wstring MultiStringToLines(const wchar_t* data, size_t characters);
std::wstring LinesToMultiString(std::wstring_view lines);

// Opens the key (or the root itself when the subkey is empty) with `access`
// plus the view bits; kRegCreateOrOpen creates it when missing. The platform
// status is left as the thread's last error and in RegKey::Status(); a path
// that does not parse gives ERROR_BAD_PATHNAME without touching the registry.
RegKey OpenKey(const std::wstring& path, REGSAM access);
// Opens `name` (one subkey name, or a relative path) below an open key, in
// the view the parent was opened in; kRegCreateOrOpen creates it when
// missing. Walks go this way rather than reopening every key from its root.
// The status is left as with OpenKey.
RegKey OpenSubKey(const RegKey& parent, const std::wstring& name, REGSAM access);
// Closes what `key` holds, then opens `path` into it.
bool ReopenKey(RegKey& key, const std::wstring& path, REGSAM access);
// Creates or opens the key for setting values and, with a value name, writes
// that value. The key stays open in `key`. True when every step succeeded.
bool CreateKey(RegKey& key, const std::wstring& path, const wchar_t* valueName = nullptr, DWORD type = REG_NONE,
               const void* data = nullptr, DWORD length = 0);
bool CreateKey(const std::wstring& path);

// REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ (in the line-feed form) only;
// environment references are left as they are.
bool ReadString(HKEY key, const wchar_t* valueName, std::wstring& text);
bool ReadStringAt(const std::wstring& path, const wchar_t* valueName, std::wstring& text);
std::optional<std::wstring> ReadStringAt(const std::wstring& path, const wchar_t* valueName);
// True only for a REG_DWORD of exactly four bytes; `number` is 0 otherwise.
bool ReadDword(HKEY key, const wchar_t* valueName, DWORD& number);
bool ReadDwordAt(const std::wstring& path, const wchar_t* valueName, DWORD& number);
// Any type; REG_MULTI_SZ data of five bytes or more is turned into the
// line-feed form in place (its length unchanged).
bool ReadRaw(HKEY key, const wchar_t* valueName, RegValueBuffer& buffer);
bool ReadRawAt(const std::wstring& path, const wchar_t* valueName, RegValueBuffer& buffer);

// Writes a value. A length of 0 is computed from the type (REG_DWORD 4,
// strings (characters + 1) * 2, REG_QWORD 8, REG_MULTI_SZ characters * 2 + 4,
// others 0). REG_MULTI_SZ data of three bytes or more is taken as line-feed
// separated text and stored in the NUL-separated form.
bool WriteValue(HKEY key, const wchar_t* valueName, DWORD type, const void* data, DWORD length);
bool WriteString(HKEY key, const wchar_t* valueName, const std::wstring& text, DWORD type = REG_SZ);
bool WriteDword(HKEY key, const wchar_t* valueName, DWORD number);
// Create the key when needed and write one value.
bool WriteStringAt(const std::wstring& path, const wchar_t* valueName, const std::wstring& text,
                   DWORD type = REG_SZ);
bool WriteDwordAt(const std::wstring& path, const wchar_t* valueName, DWORD number);

bool DeleteValue(HKEY key, const wchar_t* valueName);
// Without a value name deletes the whole key (DeleteKeyTree).
bool DeleteValueAt(const std::wstring& path, const wchar_t* valueName);
// Deletes the key with everything below it, deepest keys first. A root
// (a path without a subkey) is never deleted and gives false.
bool DeleteKeyTree(const std::wstring& path);
// The same for `name` below an open key, in the parent's view. An empty
// name would address the parent itself and gives false.
bool DeleteSubKeyTree(const RegKey& parent, const std::wstring& name);

// Enumeration; false at the end and for an empty name.
bool EnumSubKey(HKEY key, DWORD index, std::wstring& name);
bool EnumValue(HKEY key, DWORD index, std::wstring& name, DWORD& type, DWORD& dataLength);
// The name and the data in one call, the data as ReadRaw gives it.
bool EnumValueRaw(HKEY key, DWORD index, std::wstring& name, RegValueBuffer& buffer);
// 0 for an empty handle.
DWORD SubKeyCount(HKEY key);
DWORD ValueCount(HKEY key);
bool IsKeyEmpty(HKEY key);
// The subkey names, in index order.
std::vector<std::wstring> SubKeyNames(HKEY key);

// Only "does not exist" counts as absence: a key that refuses access exists.
// With a value name: false when the key cannot be opened.
bool KeyExists(const std::wstring& path, const wchar_t* valueName = nullptr);
// Whether HKEY_USERS has that subkey (a loaded user hive).
bool UserKeyExists(const std::wstring& subkey);
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" with hexadecimal digits, any case.
bool IsGuidKeyName(std::wstring_view text);

// Copies values and subkeys from source to destination (created when
// missing), then deletes the source when `move` is set. Returns 0 when
// nothing was copied (same key, destination inside the source, either key
// not openable), otherwise 1 + the number of values written at the top level.
// Dispatches the calling thread's pending messages as it goes.
int CopyKey(const std::wstring& source, const std::wstring& destination, bool move = false);

// The default value as users see and name it: "(Default)" (any case) is the
// empty value name, and the empty name is shown as "(Default)".
inline constexpr wchar_t kDefaultValueLabel[] = L"(Default)";
std::wstring ValueNameFromUser(const std::wstring& name);
std::wstring ValueNameForUser(const std::wstring& name);

// The SID of a per-user path "HKU\S-1-5-...\subkey" (or "HKEY_USERS\..."),
// empty for any other path.
std::wstring UserSidOfRegPath(const std::wstring& path);

// Splits "root\a\b" into "root\a" and "b"; false without a backslash.
bool SplitLastComponent(const std::wstring& path, std::wstring& parent, std::wstring& last);

}  // namespace tavrin
