#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/hives.h"
#include "platform/key_values.h"
#include "platform/message_pump.h"
#include "platform/privileges.h"
#include "platform/registry_unlock.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

std::wstring Pid() { return std::to_wstring(GetCurrentProcessId()); }

// Raw bytes of a value, read past the layer under test.
std::string RawValue(const std::wstring& path, const wchar_t* name, DWORD* type = nullptr) {
  RegKey key = OpenKey(path, KEY_QUERY_VALUE);
  if (!key) return "<no key>";
  DWORD size = 0, t = 0;
  if (RegQueryValueExW(key, name, nullptr, &t, nullptr, &size) != ERROR_SUCCESS) return "<no value>";
  std::string bytes(size, '\0');
  RegQueryValueExW(key, name, nullptr, &t, reinterpret_cast<BYTE*>(bytes.data()), &size);
  if (type) *type = t;
  return bytes;
}

std::string Bytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = L"HKCU\\Software\\TavrinTest-" + Pid();
    ASSERT_TRUE(CreateKey(base_));
  }
  void TearDown() override { DeleteForced(base_); }
  std::wstring Key(const std::wstring& sub) const { return base_ + L"\\" + sub; }
  std::wstring base_;
};

TEST(RegPathParsing, RootViewAndSubkey) {
  struct Case {
    const wchar_t* path;
    HKEY root;
    RegView view;
    const wchar_t* subkey;
    const wchar_t* rootName;
  } cases[] = {
      {L"HKLM\\SOFTWARE", HKEY_LOCAL_MACHINE, RegView::Native, L"SOFTWARE", L"HKEY_LOCAL_MACHINE"},
      {L"HKLM32\\SOFTWARE", HKEY_LOCAL_MACHINE, RegView::Bits32, L"SOFTWARE", L"HKEY_LOCAL_MACHINE"},
      {L"HKEY_LOCAL_MACHINE32\\SOFTWARE\\Classes", HKEY_LOCAL_MACHINE, RegView::Bits32, L"SOFTWARE\\Classes",
       L"HKEY_LOCAL_MACHINE"},
      {L"hklm64\\software", HKEY_LOCAL_MACHINE, RegView::Bits64, L"software", L"HKEY_LOCAL_MACHINE"},
      {L"HKCR64\\Wow6432Node\\CLSID", HKEY_CLASSES_ROOT, RegView::Bits64, L"Wow6432Node\\CLSID", L"HKEY_CLASSES_ROOT"},
      {L"HKEY_CLASSES_ROOT32\\CLSID", HKEY_CLASSES_ROOT, RegView::Bits32, L"CLSID", L"HKEY_CLASSES_ROOT"},
      {L"HKCU\\Software\\Microsoft", HKEY_CURRENT_USER, RegView::Native, L"Software\\Microsoft", L"HKEY_CURRENT_USER"},
      {L"HKEY_CURRENT_USER\\Software", HKEY_CURRENT_USER, RegView::Native, L"Software", L"HKEY_CURRENT_USER"},
      {L"HKU", HKEY_USERS, RegView::Native, L"", L"HKEY_USERS"},
      {L"HKU\\S-1-5-21-0-0-0-1000\\Software", HKEY_USERS, RegView::Native, L"S-1-5-21-0-0-0-1000\\Software",
       L"HKEY_USERS"},
      {L"HKEY_USERS\\.DEFAULT", HKEY_USERS, RegView::Native, L".DEFAULT", L"HKEY_USERS"},
      {L"HKCC\\System", HKEY_CURRENT_CONFIG, RegView::Native, L"System", L"HKEY_CURRENT_CONFIG"},
      // The longest token: its backslash is the 23rd character.
      {L"HKEY_CURRENT_CONFIG64\\System", HKEY_CURRENT_CONFIG, RegView::Bits64, L"System", L"HKEY_CURRENT_CONFIG"},
      {L"HKCU\\", HKEY_CURRENT_USER, RegView::Native, L"", L"HKEY_CURRENT_USER"},
  };
  for (const auto& c : cases) {
    const RegPathParts parts = ParseRegPath(c.path);
    EXPECT_EQ(parts.root, c.root) << c.path;
    const REGSAM access = parts.WithView(KEY_READ);
    EXPECT_EQ(ViewOfAccess(access), c.view) << c.path;
    EXPECT_EQ(parts.view, c.view) << c.path;
    EXPECT_EQ(access & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY), REGSAM(KEY_READ)) << c.path;
    EXPECT_EQ(parts.subkey, c.subkey) << c.path;
    EXPECT_STREQ(parts.rootName, c.rootName) << c.path;
  }
}

TEST(RegPathParsing, BadRootsFailWithoutRegistryAccess) {
  for (const wchar_t* bad : {L"", L"SOFTWARE\\Microsoft", L"HKXX\\SOFTWARE", L"\\HKLM\\SOFTWARE", L"HK\\SOFTWARE",
                             L"HKLM16\\SOFTWARE", L"HKEY_LOCAL_MACHINE_X64\\SOFTWARE", L"HKLMSOFTWARE"}) {
    const RegPathParts parts = ParseRegPath(bad);
    EXPECT_FALSE(parts) << bad;
    EXPECT_EQ(parts.root, nullptr) << bad;
    // The parser's own status, not one the registry would give.
    RegKey key = OpenKey(bad, KEY_READ);
    EXPECT_FALSE(key) << bad;
    EXPECT_EQ(key.Status(), ERROR_BAD_PATHNAME) << bad;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_PATHNAME)) << bad;
    EXPECT_FALSE(KeyExists(bad)) << bad;
    EXPECT_FALSE(CreateKey(std::wstring(bad) + L"\\TavrinTest")) << bad;
  }
  // The view suffix is only understood where the caller reads it.
  EXPECT_EQ(ParseRegPath(L"HKLM64\\SOFTWARE", RegViewSuffix::Refused).root, nullptr);
  EXPECT_EQ(ParseRegPath(L"HKLM\\SOFTWARE", RegViewSuffix::Refused).root, HKEY_LOCAL_MACHINE);
}

TEST_F(Registry, ViewsReachTheSameKeysAsTheirSpellings) {
  const std::wstring name = L"TavrinTest-" + Pid();
  ASSERT_TRUE(WriteStringAt(L"HKLM32\\SOFTWARE\\" + name, L"Marker", L"32"));
  EXPECT_EQ(ReadStringAt(L"HKLM64\\SOFTWARE\\WOW6432Node\\" + name, L"Marker").value_or(L""), L"32");
  EXPECT_EQ(ReadStringAt(L"hkey_local_machine32\\software\\" + name, L"Marker").value_or(L""), L"32");
  EXPECT_FALSE(KeyExists(L"HKLM\\SOFTWARE\\" + name));
  EXPECT_FALSE(KeyExists(L"HKLM64\\SOFTWARE\\" + name));

  ASSERT_TRUE(WriteStringAt(L"HKLM64\\SOFTWARE\\" + name, L"Marker", L"64"));
  EXPECT_EQ(ReadStringAt(L"HKLM\\SOFTWARE\\" + name, L"Marker").value_or(L""), L"64");
  EXPECT_EQ(ReadStringAt(L"HKLM32\\SOFTWARE\\" + name, L"Marker").value_or(L""), L"32");

  EXPECT_TRUE(DeleteKeyTree(L"HKLM32\\SOFTWARE\\" + name));
  EXPECT_FALSE(KeyExists(L"HKLM64\\SOFTWARE\\WOW6432Node\\" + name));
  EXPECT_TRUE(KeyExists(L"HKLM64\\SOFTWARE\\" + name));
  EXPECT_TRUE(DeleteKeyTree(L"HKLM64\\SOFTWARE\\" + name));
  EXPECT_FALSE(KeyExists(L"HKLM\\SOFTWARE\\" + name));
}

TEST_F(Registry, UsersRootAndUserHiveAddressTheLiveKeys) {
  RegKey users = OpenKey(L"HKU", KEY_READ);
  ASSERT_TRUE(users);
  std::vector<std::wstring> names = SubKeyNames(users);
  const std::wstring sid = L"S-1-5-21-0-0-0-1000";  // the prefix's user
  ASSERT_NE(std::find(names.begin(), names.end(), sid), names.end());
  ASSERT_TRUE(WriteStringAt(base_, L"Through", L"HKCU"));
  EXPECT_EQ(ReadStringAt(L"HKU\\" + sid + L"\\Software\\TavrinTest-" + Pid(), L"Through").value_or(L""), L"HKCU");
  EXPECT_TRUE(UserKeyExists(sid));
  EXPECT_FALSE(UserKeyExists(L"S-1-5-21-0-0-0-999999"));
}

TEST_F(Registry, OpenKeyLeavesStatusAndCreatesOnRequest) {
  RegKey missing = OpenKey(Key(L"Missing"), KEY_READ);
  EXPECT_FALSE(missing);
  EXPECT_EQ(missing.Status(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  RegKey created = OpenKey(Key(L"Made\\Deep"), kRegCreateOrOpen);
  ASSERT_TRUE(created);
  EXPECT_TRUE(WriteDword(created, L"n", 7));  // opened for writing as well
  DWORD n = 0;
  EXPECT_TRUE(ReadDword(created, L"n", n));
  EXPECT_EQ(n, 7u);

  RegKey reused = OpenKey(Key(L"Made"), KEY_READ);
  EXPECT_TRUE(ReopenKey(reused, Key(L"Made\\Deep"), KEY_READ));
  EXPECT_FALSE(ReopenKey(reused, Key(L"Nope"), KEY_READ));
  EXPECT_FALSE(reused);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

// Failures are reported through the last error; closing a key on the way
// out (scope exit, reuse of the handle) must not replace it.
TEST_F(Registry, ClosingAKeyKeepsTheLastError) {
  {
    RegKey open = OpenKey(base_, KEY_READ);
    ASSERT_TRUE(open);
    RegKey missing = OpenKey(Key(L"Missing"), KEY_READ);
    ASSERT_FALSE(missing);
  }
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  RegKey reused = OpenKey(base_, KEY_READ);
  ASSERT_TRUE(reused);
  SetLastError(ERROR_FILE_NOT_FOUND);
  reused = RegKey();
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  // The operations close their keys after setting the status.
  EXPECT_FALSE(DeleteKeyTree(Key(L"Missing")));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  RegKey base = OpenKey(base_, KEY_READ);
  EXPECT_FALSE(DeleteSubKeyTree(base, L"Missing"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Registry, MultiStringsUseLineFeedsBothWays) {
  RegKey key;
  ASSERT_TRUE(CreateKey(key, base_));
  // Written as text: trailing line feeds dropped, items NUL-separated.
  std::wstring lines = L"a\nb\n\n";
  ASSERT_TRUE(WriteValue(key, L"Written", REG_MULTI_SZ, lines.c_str(), 0));
  DWORD type = 0;
  EXPECT_EQ(RawValue(base_, L"Written", &type), Bytes(std::wstring(L"a\0b\0\0", 5)));
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));

  // Stored natively: read back as lines.
  const std::wstring native(L"first\0second\0third\0\0", 20);
  ASSERT_EQ(RegSetValueExW(key, L"Native", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(native.data()),
                           DWORD(native.size() * 2)),
            ERROR_SUCCESS);
  std::wstring text;
  ASSERT_TRUE(ReadStringAt(base_, L"Native", text));
  EXPECT_EQ(text, L"first\nsecond\nthird");
  RegValueBuffer buffer;
  ASSERT_TRUE(ReadRawAt(base_, L"Native", buffer));
  EXPECT_EQ(buffer.type, DWORD(REG_MULTI_SZ));
  EXPECT_EQ(buffer.length, native.size() * 2);
  EXPECT_EQ(buffer.Text(), L"first\nsecond\nthird");

  // Not terminated in the store: the raw read still ends the text.
  ASSERT_TRUE(WriteValue(key, L"Unterminated", REG_BINARY, L"abc", 6));
  ASSERT_TRUE(ReadRawAt(base_, L"Unterminated", buffer));
  EXPECT_EQ(buffer.length, 6u);
  EXPECT_EQ(buffer.Text(), L"abc");
}

TEST_F(Registry, WriteLengthsComputedFromTheType) {
  RegKey key;
  ASSERT_TRUE(CreateKey(key, base_));
  const wchar_t text[] = L"hello";
  const unsigned long long big = 0x0102030405060708ull;
  struct Case {
    const wchar_t* name;
    DWORD type;
    const void* data;
    size_t expectedLength;
  } cases[] = {
      {L"sz", REG_SZ, text, 12},         {L"expand", REG_EXPAND_SZ, text, 12}, {L"dword", REG_DWORD, &big, 4},
      {L"qword", REG_QWORD, &big, 8},    {L"binary", REG_BINARY, &big, 0},     {L"multi", REG_MULTI_SZ, text, 14},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteValue(key, c.name, c.type, c.data, 0)) << c.name;
    DWORD type = 0;
    std::string raw = RawValue(base_, c.name, &type);
    EXPECT_EQ(raw.size(), c.expectedLength) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    if (c.type != REG_MULTI_SZ) {
      EXPECT_EQ(0, std::memcmp(raw.data(), c.data, raw.size())) << c.name;
    }
  }
  // A given length is stored as given.
  ASSERT_TRUE(WriteValue(key, L"part", REG_BINARY, &big, 3));
  EXPECT_EQ(RawValue(base_, L"part").size(), 3u);
}

TEST_F(Registry, TypeMismatchesFailInsteadOfConverting) {
  ASSERT_TRUE(WriteStringAt(base_, L"text", L"42"));
  ASSERT_TRUE(WriteDwordAt(base_, L"number", 42));
  RegKey key = OpenKey(base_, kRegAll);
  ASSERT_TRUE(key);
  ASSERT_TRUE(WriteValue(key, L"none", REG_NONE, L"x", 4));
  ASSERT_TRUE(WriteValue(key, L"short", REG_DWORD, "\x2a\x00", 2));
  ASSERT_TRUE(WriteValue(key, L"long", REG_BINARY, "\x2a\0\0\0\0\0\0\0", 8));

  DWORD number = 99;
  EXPECT_FALSE(ReadDword(key, L"text", number));
  EXPECT_EQ(number, 0u);
  for (const wchar_t* name : {L"short", L"long", L"missing"}) {
    number = 99;
    EXPECT_FALSE(ReadDword(key, name, number)) << name;
    EXPECT_EQ(number, 0u) << name;
  }
  EXPECT_TRUE(ReadDword(key, L"number", number));
  EXPECT_EQ(number, 42u);

  std::wstring text = L"stale";
  EXPECT_FALSE(ReadString(key, L"number", text));
  EXPECT_EQ(text, L"");
  EXPECT_FALSE(ReadString(key, L"none", text));
  EXPECT_TRUE(ReadString(key, L"text", text));
  EXPECT_EQ(text, L"42");

  RegValueBuffer buffer;
  EXPECT_FALSE(ReadRaw(key, L"missing", buffer));
  EXPECT_EQ(buffer.type, RegValueBuffer::kNoType);
  EXPECT_EQ(buffer.length, 0u);
  ASSERT_TRUE(WriteValue(key, L"empty", REG_BINARY, nullptr, 0));
  EXPECT_TRUE(ReadRaw(key, L"empty", buffer));
  EXPECT_EQ(buffer.type, DWORD(REG_BINARY));
  EXPECT_EQ(buffer.length, 0u);
}

TEST_F(Registry, EnumeratedDataIsWhatReadRawGives) {
  RegKey key;
  ASSERT_TRUE(CreateKey(key, base_));
  // Larger than the first read's room, so the buffer has to grow.
  std::string big(70000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7);
  const std::wstring native(L"one\0two\0\0", 9);
  ASSERT_TRUE(WriteValue(key, L"big", REG_BINARY, big.data(), DWORD(big.size())));
  ASSERT_EQ(RegSetValueExW(key, L"multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(native.data()),
                           DWORD(native.size() * 2)),
            ERROR_SUCCESS);
  ASSERT_TRUE(WriteString(key, nullptr, L"default"));
  ASSERT_EQ(RegSetValueExW(key, L"empty", 0, REG_DWORD, nullptr, 0), ERROR_SUCCESS);
  key.Close();

  RegKey read = OpenKey(base_, KEY_READ);
  RegValueBuffer enumerated, direct;
  std::wstring name;
  DWORD index = 0;
  for (; EnumValueRaw(read, index, name, enumerated); ++index) {
    ASSERT_TRUE(ReadRaw(read, name.c_str(), direct)) << name;
    EXPECT_EQ(enumerated.type, direct.type) << name;
    ASSERT_EQ(enumerated.length, direct.length) << name;
    EXPECT_EQ(0, std::memcmp(enumerated.Data(), direct.Data(), direct.length + 4)) << name;
    if (name == L"multi") {
      EXPECT_EQ(enumerated.Text(), L"one\ntwo");
    }
    if (name == L"big") {
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(enumerated.Data()), enumerated.length), big);
    }
  }
  EXPECT_EQ(index, 4u);
  EXPECT_EQ(enumerated.type, RegValueBuffer::kNoType);
  EXPECT_EQ(enumerated.length, 0u);
}

TEST_F(Registry, DefaultValueByEmptyOrUserName) {
  ASSERT_TRUE(WriteStringAt(base_, nullptr, L"default"));
  EXPECT_EQ(ReadStringAt(base_, nullptr).value_or(L""), L"default");
  EXPECT_EQ(ReadStringAt(base_, ValueNameFromUser(L"(default)").c_str()).value_or(L""), L"default");
  EXPECT_EQ(ValueNameFromUser(L"Other"), L"Other");
  EXPECT_EQ(ValueNameForUser(L""), L"(Default)");
}

TEST_F(Registry, DeleteKeyTreeRemovesNestedKeysButNeverARoot) {
  // Windows refuses to delete a key that still has subkeys, so the whole
  // tree goes only when the deepest keys go first.
  for (const wchar_t* sub : {L"A\\B\\C\\D", L"A\\B\\C2", L"A\\B2", L"A\\B\\C\\D2\\E"}) {
    ASSERT_TRUE(WriteStringAt(Key(sub), L"v", sub));
  }
  ASSERT_TRUE(WriteStringAt(Key(L"Keep"), L"v", L"keep"));
  EXPECT_TRUE(DeleteKeyTree(Key(L"A")));
  EXPECT_FALSE(KeyExists(Key(L"A")));
  EXPECT_TRUE(KeyExists(Key(L"Keep")));
  EXPECT_FALSE(DeleteKeyTree(Key(L"A")));  // already gone

  // A trailing backslash names the same key.
  ASSERT_TRUE(CreateKey(Key(L"T\\U")));
  EXPECT_TRUE(DeleteKeyTree(Key(L"T\\")));
  EXPECT_FALSE(KeyExists(Key(L"T")));

  // Roots are refused before anything below them is touched.
  RegKey config = OpenKey(L"HKCC", KEY_READ);
  const DWORD before = SubKeyCount(config);
  for (const wchar_t* root : {L"HKCC", L"HKCC\\", L"HKEY_CURRENT_CONFIG64"}) {
    EXPECT_FALSE(DeleteKeyTree(root)) << root;
    EXPECT_FALSE(DeleteForced(root)) << root;
    EXPECT_EQ(ClearKey(root, ClearSubKeys | ClearValues), 0) << root;
  }
  RegKey users = OpenKey(L"HKU", KEY_READ);
  EXPECT_FALSE(DeleteSubKeyTree(users, L""));
  EXPECT_FALSE(DeleteKeyTree(L"HKLM"));
  EXPECT_EQ(SubKeyCount(config), before);

  // Without a value name the value delete takes the whole key.
  ASSERT_TRUE(CreateKey(Key(L"Whole\\Sub")));
  EXPECT_TRUE(DeleteValueAt(Key(L"Whole"), nullptr));
  EXPECT_FALSE(KeyExists(Key(L"Whole")));
}

TEST_F(Registry, CopyKeyCopiesValuesAndSubkeys) {
  const std::wstring source = Key(L"Source");
  RegKey key;
  ASSERT_TRUE(CreateKey(key, source, nullptr));
  ASSERT_TRUE(WriteString(key, nullptr, L"default"));
  ASSERT_TRUE(WriteString(key, L"expand", L"%TEMP%\\x", REG_EXPAND_SZ));
  ASSERT_TRUE(WriteDword(key, L"dword", 5));
  ASSERT_TRUE(WriteValue(key, L"multi", REG_MULTI_SZ, L"a\nb", 0));
  ASSERT_TRUE(WriteValue(key, L"bin", REG_BINARY, "\x01\x00\x02", 3));
  // An empty value of a fixed-size type stays empty.
  ASSERT_EQ(RegSetValueExW(key, L"emptyDword", 0, REG_DWORD, nullptr, 0), ERROR_SUCCESS);
  key.Close();
  ASSERT_TRUE(WriteStringAt(source + L"\\Sub\\Deeper", L"leaf", L"yes"));
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(CreateKey(source + L"\\Many\\" + std::to_wstring(i)));

  static int dispatched;
  dispatched = 0;
  SetMessageDispatcher([] { ++dispatched; });
  const std::wstring copy = Key(L"Copy");
  EXPECT_EQ(CopyKey(source, copy), 7);  // 1 + six values
  SetMessageDispatcher(nullptr);
  EXPECT_GE(dispatched, 4);

  for (const wchar_t* name : {L"", L"expand", L"dword", L"multi", L"bin", L"emptyDword"}) {
    DWORD fromType = 0, toType = 1;
    EXPECT_EQ(RawValue(copy, name, &toType), RawValue(source, name, &fromType)) << name;
    EXPECT_EQ(toType, fromType) << name;
  }
  EXPECT_EQ(ReadStringAt(copy + L"\\Sub\\Deeper", L"leaf").value_or(L""), L"yes");
  EXPECT_EQ(SubKeyCount(OpenKey(copy + L"\\Many", KEY_READ)), 6u);

  // Onto itself, or into itself: nothing happens.
  EXPECT_EQ(CopyKey(source, source), 0);
  EXPECT_EQ(CopyKey(source, Key(L"source"), true), 0);
  EXPECT_EQ(CopyKey(source, source + L"\\Sub\\Inside"), 0);
  EXPECT_FALSE(KeyExists(source + L"\\Sub\\Inside"));
  EXPECT_EQ(CopyKey(Key(L"Missing"), Key(L"Nowhere")), 0);
  EXPECT_FALSE(KeyExists(Key(L"Nowhere")));

  // A move leaves only the destination.
  EXPECT_EQ(CopyKey(source, Key(L"Moved"), true), 7);
  EXPECT_FALSE(KeyExists(source));
  EXPECT_EQ(ReadStringAt(Key(L"Moved\\Sub\\Deeper"), L"leaf").value_or(L""), L"yes");
}

TEST_F(Registry, CopyKeyRefusesItsOwnSubtreeHoweverSpelled) {
  const std::wstring source = Key(L"Source");
  ASSERT_TRUE(WriteStringAt(source + L"\\Sub", L"leaf", L"yes"));
  const std::wstring longForm = L"HKEY_CURRENT_USER" + source.substr(4);
  for (const std::wstring& inside : {longForm + L"\\Sub\\Inside", L"hkcu64" + source.substr(4) + L"\\Sub",
                                     longForm + L"\\", std::wstring(L"HKCU32") + source.substr(4)}) {
    EXPECT_EQ(CopyKey(source, inside), 0) << inside;
  }
  EXPECT_FALSE(KeyExists(source + L"\\Sub\\Inside"));
  EXPECT_EQ(SubKeyCount(OpenKey(source + L"\\Sub", KEY_READ)), 0u);
  // A neighbour whose name merely begins like the source is no subtree.
  EXPECT_EQ(CopyKey(source, source + L"2"), 1);
  EXPECT_EQ(ReadStringAt(source + L"2\\Sub", L"leaf").value_or(L""), L"yes");

  // The 32-bit view of SOFTWARE lies inside the 64-bit one.
  EXPECT_EQ(CopyKey(L"HKLM64\\SOFTWARE", L"HKLM32\\SOFTWARE\\TavrinTest-" + Pid()), 0);
  EXPECT_FALSE(KeyExists(L"HKLM32\\SOFTWARE\\TavrinTest-" + Pid()));
}

// A walk opens each key below its parent's handle. The root handles of the
// two views are one and the same, so the view has to travel with the handle.
TEST_F(Registry, WalksStayInTheViewTheyStartIn) {
  const std::wstring name = L"TavrinTest-" + Pid();
  auto cleanUp = [&] {
    DeleteKeyTree(L"HKLM32\\SOFTWARE\\" + name);
    DeleteKeyTree(L"HKLM64\\SOFTWARE\\" + name);
  };
  cleanUp();
  for (const wchar_t* view : {L"32", L"64"}) {
    const std::wstring root = std::wstring(L"HKLM") + view + L"\\SOFTWARE\\" + name;
    ASSERT_TRUE(WriteStringAt(root + L"\\A\\B", L"view", view));
    ASSERT_TRUE(WriteStringAt(root + L"\\A\\B" + view, L"view", view));
  }

  for (const wchar_t* view : {L"32", L"64"}) {
    RegKey machine = OpenKey(std::wstring(L"HKLM") + view, KEY_READ);
    ASSERT_TRUE(machine);
    EXPECT_EQ(machine.View(), view == std::wstring(L"32") ? RegView::Bits32 : RegView::Bits64);
    RegKey a = OpenSubKey(machine, L"SOFTWARE\\" + name + L"\\A", KEY_READ);
    ASSERT_TRUE(a) << view;
    EXPECT_EQ(a.View(), machine.View());
    RegKey b = OpenSubKey(a, L"B", KEY_READ);
    std::wstring text;
    EXPECT_TRUE(ReadString(b, L"view", text));
    EXPECT_EQ(text, view);
    EXPECT_EQ(SubKeyNames(a), (std::vector<std::wstring>{L"B", std::wstring(L"B") + view}));
  }

  EXPECT_GT(CopyKey(L"HKLM32\\SOFTWARE\\" + name, Key(L"Copy")), 0);
  EXPECT_EQ(ReadStringAt(Key(L"Copy\\A\\B"), L"view").value_or(L""), L"32");
  EXPECT_TRUE(KeyExists(Key(L"Copy\\A\\B32")));
  EXPECT_FALSE(KeyExists(Key(L"Copy\\A\\B64")));

  // Deleting below the 32-bit root handle takes the 32-bit tree only.
  {
    RegKey machine = OpenKey(L"HKLM32", KEY_READ);
    EXPECT_TRUE(DeleteSubKeyTree(machine, L"SOFTWARE\\" + name));
  }
  EXPECT_FALSE(KeyExists(L"HKLM32\\SOFTWARE\\" + name));
  EXPECT_EQ(ReadStringAt(L"HKLM64\\SOFTWARE\\" + name + L"\\A\\B", L"view").value_or(L""), L"64");
  EXPECT_TRUE(KeyExists(L"HKLM64\\SOFTWARE\\" + name + L"\\A\\B64"));
  cleanUp();
}

TEST_F(Registry, EnumerationCountsAndExistence) {
  RegKey key;
  ASSERT_TRUE(CreateKey(key, Key(L"E")));
  EXPECT_TRUE(IsKeyEmpty(OpenKey(Key(L"E"), KEY_READ)));
  ASSERT_TRUE(WriteDword(key, L"one", 1));
  ASSERT_TRUE(CreateKey(Key(L"E\\child")));
  RegKey read = OpenKey(Key(L"E"), KEY_READ);
  EXPECT_EQ(SubKeyCount(read), 1u);
  EXPECT_EQ(ValueCount(read), 1u);
  EXPECT_FALSE(IsKeyEmpty(read));
  std::wstring name;
  DWORD type = 0, length = 0;
  EXPECT_TRUE(EnumValue(read, 0, name, type, length));
  EXPECT_EQ(name, L"one");
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(length, 4u);
  EXPECT_FALSE(EnumValue(read, 1, name, type, length));
  EXPECT_TRUE(EnumSubKey(read, 0, name));
  EXPECT_EQ(name, L"child");
  EXPECT_FALSE(EnumSubKey(read, 1, name));
  EXPECT_EQ(SubKeyCount(nullptr), 0u);
  EXPECT_EQ(ValueCount(nullptr), 0u);

  EXPECT_TRUE(KeyExists(Key(L"E")));
  EXPECT_TRUE(KeyExists(Key(L"E"), L"one"));
  EXPECT_FALSE(KeyExists(Key(L"E"), L"two"));
  EXPECT_FALSE(KeyExists(Key(L"F")));
  EXPECT_FALSE(KeyExists(Key(L"F"), L"one"));
}

TEST_F(Registry, ClearKeyDeletesWhatIsAsked) {
  const std::wstring target = Key(L"Clear");
  auto fill = [&] {
    ASSERT_TRUE(WriteDwordAt(target, L"a", 1));
    ASSERT_TRUE(WriteDwordAt(target, L"b", 2));
    ASSERT_TRUE(WriteDwordAt(target + L"\\x\\deep", L"c", 3));
    ASSERT_TRUE(CreateKey(target + L"\\y"));
  };
  fill();
  EXPECT_EQ(ClearKey(target, 0), -1);
  EXPECT_EQ(ClearKey(target, ClearValues), 2);
  EXPECT_EQ(ValueCount(OpenKey(target, KEY_READ)), 0u);
  EXPECT_EQ(SubKeyCount(OpenKey(target, KEY_READ)), 2u);
  fill();
  EXPECT_EQ(ClearKey(target, ClearSubKeys), 2);
  EXPECT_EQ(SubKeyCount(OpenKey(target, KEY_READ)), 0u);
  EXPECT_EQ(ValueCount(OpenKey(target, KEY_READ)), 2u);
  fill();
  EXPECT_EQ(ClearKey(target, ClearSubKeys | ClearValues), 4);
  EXPECT_TRUE(IsKeyEmpty(OpenKey(target, KEY_READ)));
  EXPECT_TRUE(KeyExists(target));
}

TEST(RegistryNames, GuidKeyNames) {
  for (const wchar_t* yes : {L"{0002DF01-0000-0000-C000-000000000046}", L"{abcdef01-2345-6789-abcd-ef0123456789}",
                             L"{ABCDEF01-2345-6789-aBcD-EF0123456789}"}) {
    EXPECT_TRUE(IsGuidKeyName(yes)) << yes;
  }
  for (const wchar_t* no : {L"", L"0002DF01-0000-0000-C000-000000000046", L"{0002DF01-0000-0000-C000-00000000004G}",
                            L"{0002DF01-0000-0000-C000-0000000000461}", L"{0002DF0-10000-0000-C000-000000000046}",
                            L"x{0002DF01-0000-0000-C000-000000000046}"}) {
    EXPECT_FALSE(IsGuidKeyName(no)) << no;
  }
}

TEST(RegistryNames, SidOfPerUserPaths) {
  EXPECT_EQ(UserSidOfRegPath(L"HKU\\S-1-5-21-1-2-3-1001\\Software\\Run"), L"S-1-5-21-1-2-3-1001");
  EXPECT_EQ(UserSidOfRegPath(L"hkey_users\\s-1-5-18\\Software"), L"s-1-5-18");
  for (const wchar_t* none : {L"HKU\\DefaultUser\\Software", L"HKU\\S-1-5-18", L"HKLM\\SOFTWARE\\S-1-5-18\\x"}) {
    EXPECT_EQ(UserSidOfRegPath(none), L"") << none;
  }
}

TEST(RegistryNames, SecurityObjectNames) {
  struct Case {
    const wchar_t* path;
    const wchar_t* name;
  } cases[] = {
      {L"HKLM\\SOFTWARE\\X", L"MACHINE\\SOFTWARE\\X"},
      {L"HKEY_LOCAL_MACHINE64\\SYSTEM", L"MACHINE\\SYSTEM"},
      {L"HKLM32\\SOFTWARE\\Vendor\\App", L"MACHINE\\SOFTWARE\\WOW6432Node\\Vendor\\App"},
      {L"HKLM32\\software", L"MACHINE\\SOFTWARE\\WOW6432Node"},
      {L"HKLM32\\SOFTWAREX\\A", L"MACHINE\\SOFTWAREX\\A"},
      {L"HKLM32\\SYSTEM\\A", L"MACHINE\\SYSTEM\\A"},
      {L"HKCR\\CLSID", L"CLASSES_ROOT\\CLSID"},
      {L"HKCR64\\CLSID", L"CLASSES_ROOT\\CLSID"},
      {L"HKEY_CLASSES_ROOT32\\CLSID", L"CLASSES_ROOT\\WOW6432Node\\CLSID"},
      {L"HKCU\\Software", L"CURRENT_USER\\Software"},
      {L"HKEY_USERS\\S-1-5-18", L"USERS\\S-1-5-18"},
      {L"HKU", L"USERS"},
  };
  for (const auto& c : cases) EXPECT_EQ(SecurityObjectName(c.path).value_or(L"<none>"), c.name) << c.path;
  for (const wchar_t* bad : {L"HKCC\\System", L"HKCU64\\Software", L"SOFTWARE\\X", L""}) {
    EXPECT_FALSE(SecurityObjectName(bad)) << bad;
  }
}

// A key locked the way malware locks its keys: nobody may read it or set
// values in it, and only its owner may change that.
void Lock(const std::wstring& path) {
  const DWORD denied = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS;
  ASSERT_EQ(ApplyAccessList(SecurityObjectName(path).value(), SE_REGISTRY_KEY,
                            {{kSidEveryone, denied, 0, true}, {kSidEveryone, READ_CONTROL, 0}}, L"", ApplyProtected),
            DWORD(ERROR_SUCCESS));
  RegKey probe = OpenKey(path, KEY_READ);
  ASSERT_FALSE(probe);
  ASSERT_EQ(probe.Status(), ERROR_ACCESS_DENIED);
}

std::wstring OwnerOf(const std::wstring& path) {
  std::wstring name = SecurityObjectName(path).value();
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(name.c_str(), SE_REGISTRY_KEY, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                            nullptr, &descriptor) != ERROR_SUCCESS)
    return L"<unreadable>";
  std::vector<unsigned char> sid(static_cast<unsigned char*>(owner),
                                 static_cast<unsigned char*>(owner) + GetLengthSid(owner));
  LocalFree(descriptor);
  return sid == TrusteeSid(kSidAdministrators) ? L"Administrators" : L"other";
}

// What the key's own list says: whether it is protected from its parent's
// entries, and whether an entry of its own (not inherited) grants
// Everyone anything.
struct OwnAccess {
  bool read = false;
  bool protectedList = true;
  bool everyoneAllowed = true;
};

OwnAccess OwnAccessOf(const std::wstring& path) {
  OwnAccess access;
  const std::wstring name = SecurityObjectName(path).value();
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(name.c_str(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS)
    return access;
  access.read = true;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  access.protectedList = control & SE_DACL_PROTECTED;
  access.everyoneAllowed = false;
  const std::vector<unsigned char> everyone = TrusteeSid(kSidEveryone);
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->AceType != ACCESS_ALLOWED_ACE_TYPE ||
        (ace->AceFlags & INHERITED_ACE))
      continue;
    if (EqualSid(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, PSID(everyone.data())))
      access.everyoneAllowed = true;
  }
  LocalFree(descriptor);
  return access;
}

class LockedKey : public Registry, public ::testing::WithParamInterface<UnlockStrategy> {
 protected:
  void SetUp() override {
    Registry::SetUp();
    privileges_ = EnablePrivileges();
    locked_ = Key(L"Locked");
    ASSERT_TRUE(WriteStringAt(locked_, L"v", L"old"));
    ASSERT_TRUE(WriteStringAt(locked_ + L"\\Inner", L"w", L"inner"));
    Lock(locked_ + L"\\Inner");
    Lock(locked_);
  }
  void TearDown() override {
    Registry::TearDown();
    RestorePrivileges(privileges_);
  }
  PrivilegeState privileges_;
  std::wstring locked_;
};

TEST_P(LockedKey, ForcedWriteUnlocksTheKey) {
  EXPECT_TRUE(KeyExists(locked_));  // refusing access is not absence
  EXPECT_FALSE(KeyExists(locked_, L"v"));
  RegKey plain;
  EXPECT_FALSE(CreateKey(plain, locked_, L"v", REG_SZ, L"new", 0));

  EXPECT_TRUE(WriteStringForced(locked_, L"v", L"new", REG_SZ, GetParam()));
  EXPECT_EQ(ReadStringAt(locked_, L"v").value_or(L"<unreadable>"), L"new");
  EXPECT_EQ(OwnerOf(locked_), L"Administrators");
  // The unlock hands the key to the administrators and the system and lets
  // the parent's defaults back in; it never opens it to everybody.
  const OwnAccess access = OwnAccessOf(locked_);
  ASSERT_TRUE(access.read);
  EXPECT_FALSE(access.protectedList);
  EXPECT_FALSE(access.everyoneAllowed);
}

TEST_P(LockedKey, ForcedDeleteOfAValueAndOfTheTree) {
  EXPECT_FALSE(DeleteValueAt(locked_, L"v"));
  EXPECT_TRUE(DeleteForced(locked_, L"v", GetParam()));
  EXPECT_FALSE(KeyExists(locked_, L"v"));
  EXPECT_TRUE(KeyExists(locked_));

  Lock(locked_);
  EXPECT_FALSE(DeleteKeyTree(locked_));
  EXPECT_TRUE(DeleteForced(locked_, nullptr, GetParam()));
  EXPECT_FALSE(KeyExists(locked_));
}

// Only a key deep in the tree is locked: the walk reaches it through its
// open parents and unlocks it by its own full name.
TEST_P(LockedKey, ForcedDeleteUnlocksALockedKeyDeepInTheTree) {
  const std::wstring tree = Key(L"Tree");
  ASSERT_TRUE(WriteStringAt(tree + L"\\A\\B\\C", L"v", L"c"));
  ASSERT_TRUE(WriteStringAt(tree + L"\\A2", L"v", L"a2"));
  Lock(tree + L"\\A\\B");
  EXPECT_FALSE(DeleteKeyTree(tree));
  EXPECT_TRUE(KeyExists(tree + L"\\A\\B"));
  EXPECT_TRUE(DeleteForced(tree, nullptr, GetParam()));
  EXPECT_FALSE(KeyExists(tree));

  ASSERT_TRUE(WriteStringAt(tree + L"\\A\\B\\C", L"v", L"c"));
  ASSERT_TRUE(WriteDwordAt(tree, L"n", 1));
  Lock(tree + L"\\A\\B");
  EXPECT_EQ(ClearKey(tree, ClearSubKeys | ClearValues, GetParam()), 2);
  EXPECT_TRUE(IsKeyEmpty(OpenKey(tree, KEY_READ)));
}

INSTANTIATE_TEST_SUITE_P(Strategies, LockedKey,
                         ::testing::Values(UnlockStrategy::OwnerReset, UnlockStrategy::PermissionReset),
                         [](const auto& info) {
                           return info.param == UnlockStrategy::OwnerReset ? "OwnerReset" : "PermissionReset";
                         });

TEST_F(Registry, HiveSavedLoadedAndUnloaded) {
  test::ScratchFolder folder;
  ASSERT_TRUE(WriteStringAt(Key(L"Hive\\Inner"), L"v", L"in the hive"));
  const std::wstring file = folder / L"saved.hiv";
  ASSERT_TRUE(SaveKeyToHive(Key(L"Hive"), file));
  ASSERT_TRUE(test::FileExists(file));
  ASSERT_TRUE(SaveKeyToHive(Key(L"Hive"), file));  // replaces the file

  struct Mount {
    HiveRoot root;
    std::wstring prefix;
  } mounts[] = {{HiveRoot::Machine, L"HKLM\\"}, {HiveRoot::Users, L"HKU\\"}};
  for (const auto& mount : mounts) {
    const std::wstring name = L"TavrinTest-" + Pid() + L"-hive";
    ASSERT_TRUE(LoadHive(mount.root, name, file)) << GetLastError();
    EXPECT_EQ(ReadStringAt(mount.prefix + name + L"\\Inner", L"v").value_or(L""), L"in the hive");
    EXPECT_FALSE(LoadHive(mount.root, name, file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(UnloadHive(mount.root, name));
    EXPECT_FALSE(KeyExists(mount.prefix + name));
  }
  EXPECT_FALSE(LoadHive(HiveRoot::Machine, L"TavrinTest-" + Pid() + L"-missing", folder / L"missing.hiv"));
  EXPECT_FALSE(UnloadHive(HiveRoot::Users, L""));
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

// Both ways of reading a key's values (one pass over a small key, value by
// value for a fuller one) give what ReadString and ReadDword give.
TEST_F(Registry, KeyValuesReadLikeTheNamedReads) {
  const std::wstring path = Key(L"Values");
  RegKey key;
  ASSERT_TRUE(CreateKey(key, path));
  const wchar_t multi[] = L"one\0two\0";
  const wchar_t unterminated[] = {L'a', L'b'};
  const uint64_t quad = 7;
  const DWORD small = 5;
  ASSERT_TRUE(WriteString(key, L"Text", L"plain"));
  ASSERT_TRUE(WriteString(key, L"Expand", L"%SystemRoot%\\x.exe", REG_EXPAND_SZ));
  ASSERT_EQ(RegSetValueExW(key, L"Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi), 0);
  ASSERT_EQ(RegSetValueExW(key, L"Open", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), sizeof unterminated),
            0);
  ASSERT_EQ(RegSetValueExW(key, L"Empty", 0, REG_SZ, nullptr, 0), 0);
  ASSERT_TRUE(WriteDword(key, L"Number", 1));
  ASSERT_EQ(RegSetValueExW(key, L"Quad", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&quad), sizeof quad), 0);
  ASSERT_EQ(RegSetValueExW(key, L"Short", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&small), 2), 0);
  ASSERT_TRUE(WriteString(key, nullptr, L"default"));
  key.Close();
  key = OpenKey(path, kRegRead);
  ASSERT_TRUE(key);

  const wchar_t* names[] = {L"Text", L"EXPAND", L"multi", L"Open", L"Empty", L"Number",
                            L"Quad", L"Short",  L"",      nullptr, L"Missing"};
  for (size_t wanted : {size_t(1), size_t(20)}) {
    const KeyValues values(key, wanted);
    for (const wchar_t* name : names) {
      std::wstring expected, text = L"stale";
      DWORD expectedNumber = 9, number = 9;
      const std::wstring label = std::wstring(name ? name : L"(null)") + L" wanted " + std::to_wstring(wanted);
      EXPECT_EQ(values.String(name, text), ReadString(key, name, expected)) << label;
      EXPECT_EQ(text, expected) << label;
      EXPECT_EQ(values.Dword(name, number), ReadDword(key, name, expectedNumber)) << label;
      EXPECT_EQ(number, expectedNumber) << label;
    }
  }
  std::wstring text;
  EXPECT_TRUE(KeyValues(key, 20).String(L"MULTI", text));
  EXPECT_EQ(text, L"one\ntwo");
}

}  // namespace
}  // namespace tavrin
