#include "browsers/preference_document.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser_fixtures.h"
#include "browsers/preference_file.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::BrowserFixture;
using test::ReadBytes;
using test::WriteBytes;

const wchar_t kHijacked[] = L"chrome-hijacked\\User Data\\Default\\Preferences";
const wchar_t kClean[] = L"chrome-clean\\User Data\\Default\\Preferences";
const wchar_t kFirefoxExtensions[] = L"firefox-hijacked\\Mozilla\\Firefox\\Profiles\\zba2o41x.default-release\\extensions.json";

PreferenceDocument LoadFixture(const std::wstring& relative) {
  PreferenceDocument doc;
  doc.Load(BrowserFixture(relative));
  EXPECT_TRUE(doc.WasRead()) << relative;
  return doc;
}

std::vector<std::wstring> Elements(const PreferenceDocument& doc, const std::wstring& path) {
  std::vector<std::wstring> out;
  PreferenceNode list;
  if (!doc.FindNode(path, list)) return out;
  ElementCursor c;
  std::wstring text;
  while (doc.NextElement(c, list)) {
    doc.ValueText(c, text);
    out.push_back(text);
  }
  return out;
}

std::vector<std::wstring> Keys(const PreferenceDocument& doc, const std::wstring& path) {
  std::vector<std::wstring> out;
  PreferenceNode object;
  if (!doc.FindNode(path, object)) return out;
  MemberCursor c;
  std::wstring key;
  while (doc.NextMember(c, &object)) {
    doc.KeyOf(c, key);
    out.push_back(key);
  }
  return out;
}

TEST(PreferenceDocumentTest, RealChromiumProfilesAnswerTheScanQueries) {
  struct Case {
    const wchar_t* file;
    const wchar_t* path;
    PreferenceKind kind;
    const wchar_t* text;
  } cases[] = {
      {kHijacked, L"homepage", PreferenceKind::String, L"http://search.example-hijack.test/home"},
      {kHijacked, L"HOMEPAGE_is_newtabpage", PreferenceKind::Boolean, L"false"},
      {kHijacked, L"session->restore_on_startup", PreferenceKind::Integer, L"4"},
      {kHijacked, L"default_search_provider_data->template_url_data->url", PreferenceKind::String,
       L"http://search.example-hijack.test/?q={searchTerms}"},
      {kHijacked, L"default_search_provider_data->template_url_data->short_name", PreferenceKind::String,
       L"Example Hijack Search"},
      {kHijacked, L"extensions->settings->mbjblcjnbcejffjjakcgcokenaddfdaf->path", PreferenceKind::String,
       L"/tmp/fxA/Users/tester/AppData/Local/SearchHelperPlus/extension"},
      {kHijacked, L"extensions->settings->mbjblcjnbcejffjjakcgcokenaddfdaf->location", PreferenceKind::Integer, L"8"},
      {kHijacked, L"extensions->settings->mbjblcjnbcejffjjakcgcokenaddfdaf->disable_reasons", PreferenceKind::Array,
       L"[]"},
      {kClean, L"homepage", PreferenceKind::None, L""},
      {kClean, L"default_search_provider_data->template_url_data->url", PreferenceKind::None, L""},
      {kClean, L"extensions->settings->mhjfbmdgcfjbbpaeojofohoefgiehjai->location", PreferenceKind::Integer, L"5"},
      {L"chrome-hijacked\\Application\\master_preferences", L"homepage", PreferenceKind::String,
       L"http://search.example-hijack.test/home"},
      {L"chrome-clean\\User Data\\Local State", L"profile->last_used", PreferenceKind::String, L"Profile 1"},
  };
  for (const Case& c : cases) {
    PreferenceDocument doc;
    doc.Load(BrowserFixture(c.file), std::wstring(c.file).ends_with(L"master_preferences") ? PreferenceReadMode::Ansi
                                                                                     : PreferenceReadMode::Utf8);
    std::wstring text;
    EXPECT_EQ(doc.GetString(c.path, text), c.kind) << c.path;
    EXPECT_EQ(text, c.text) << c.path;
  }
}

TEST(PreferenceDocumentTest, RealListsIterateInFileOrder) {
  PreferenceDocument hijacked = LoadFixture(kHijacked);
  EXPECT_EQ(Elements(hijacked, L"session->startup_urls"),
            (std::vector<std::wstring>{L"http://search.example-hijack.test/start",
                                       L"http://portal.example-hijack.test/welcome"}));
  EXPECT_EQ(Keys(hijacked, L"extensions->settings"),
            (std::vector<std::wstring>{L"mbjblcjnbcejffjjakcgcokenaddfdaf", L"mhjfbmdgcfjbbpaeojofohoefgiehjai"}));
  EXPECT_EQ(Elements(hijacked, L"extensions->settings->mbjblcjnbcejffjjakcgcokenaddfdaf->granted_permissions->api"),
            (std::vector<std::wstring>{L"storage", L"tabs", L"webNavigation", L"newTabPageOverride"}));

  PreferenceDocument addons = LoadFixture(kFirefoxExtensions);
  PreferenceNode list;
  ASSERT_TRUE(addons.FindNode(L"addons", list));
  ElementCursor c;
  std::vector<std::wstring> ids;
  std::wstring id, location;
  while (addons.NextElement(c, list)) {
    PreferenceNode addon = addons.NodeOf(c);
    ASSERT_EQ(addons.GetMemberString(&addon, L"id", id), PreferenceKind::String);
    ids.push_back(id);
    if (id == L"searchhelperplus@example-hijack.test") {
      EXPECT_EQ(addons.GetMemberString(&addon, L"location", location), PreferenceKind::String);
      EXPECT_EQ(location, L"app-profile");
      PreferenceNode locale;
      ASSERT_TRUE(addons.GetMember(&addon, L"defaultLocale", locale));
      std::wstring name;
      EXPECT_EQ(addons.GetMemberString(&locale, L"name", name), PreferenceKind::String);
      EXPECT_EQ(name, L"Search Helper Plus");
    }
  }
  EXPECT_EQ(ids.size(), 11u);
  EXPECT_EQ(ids.front(), L"searchhelperplus@example-hijack.test");
}

// The cases where a text walker typically goes wrong, each with the value
// the queries must see and the text a delete must leave.
TEST(PreferenceDocumentTest, WalkerCases) {
  struct Case {
    const wchar_t* text;
    const wchar_t* path;
    PreferenceKind kind;
    const wchar_t* value;
    const wchar_t* afterDelete;  // nullptr: DeletePath must fail and change nothing
  } cases[] = {
      {L"{\"a\":1,\"b\":2}", L"a", PreferenceKind::Integer, L"1", L"{\"b\":2}"},
      {L"{\"a\":1,\"b\":2}", L"b", PreferenceKind::Integer, L"2", L"{\"a\":1}"},
      {L"{\"a\": 1, \"b\": 2 }", L"b", PreferenceKind::Integer, L"2", L"{\"a\": 1}"},
      {L"{\"Home\":\"x\"}", L"home", PreferenceKind::String, L"x", L"{}"},
      {L"{\"o\":{\"k\":[1,{\"z\":\"}\"}]}}", L"o", PreferenceKind::Object, L"{\"k\":[1,{\"z\":\"}\"}]}", L"{}"},
      {L"{\"n\":12.5}", L"n", PreferenceKind::Decimal, L"12.5", L"{}"},
      {L"{\"q\":\"a\\\"b\\\\c\\n\"}", L"q", PreferenceKind::String, L"a\"b\\c\n", L"{}"},
      {L"{\"u\":\"\\u0041\\ud83d\\ude00\"}", L"u", PreferenceKind::String, L"A\xD83D\xDE00", L"{}"},
      {L"{\"\\u0068ome\":\"x\",\"b\":1}", L"HOME", PreferenceKind::String, L"x", L"{\"b\":1}"},
      {L"{\"e\":-1.5e+10,\"f\":2}", L"f", PreferenceKind::Integer, L"2", L"{\"e\":-1.5e+10}"},
      {L"{\"e\":1E5,\"f\":2}", L"e", PreferenceKind::Decimal, L"1E5", L"{\"f\":2}"},
      {L"{\"a\":1, /* b, c */ \"b\":2}", L"b", PreferenceKind::Integer, L"2", L"{\"a\":1}"},
      {L"{\"a\":1 /* x */ , \"b\":2}", L"a", PreferenceKind::Integer, L"1", L"{\"b\":2}"},
      {L"{\"a\":1, // \"b\":3,\n \"b\":2}", L"b", PreferenceKind::Integer, L"2", L"{\"a\":1}"},
      {L"{\"a\":/* /* nested */ */ true}", L"a", PreferenceKind::Boolean, L"true", L"{}"},
      {L"{\"a\":null,\"b\":[]}", L"a", PreferenceKind::Null, L"null", L"{\"b\":[]}"},
      {L"{\"a\":{\"b\":\"deep\"}}", L"a->b", PreferenceKind::String, L"deep", L"{\"a\":{}}"},
      {L"{\"a\":[\"b\"]}", L"a->b", PreferenceKind::None, L"", nullptr},
      {L"{\"a\":\"line\nbreak\"}", L"a", PreferenceKind::None, L"", nullptr},
      {L"{\"a\":{\"b\":1]}", L"a->b", PreferenceKind::None, L"", nullptr},
      {L"{\"a\":1,\"b\":truex}", L"b", PreferenceKind::None, L"", nullptr},
      {L"{\"a\":[1,2", L"a", PreferenceKind::None, L"", nullptr},
  };
  for (const Case& c : cases) {
    PreferenceDocument doc(c.text);
    std::wstring value;
    EXPECT_EQ(doc.GetString(c.path, value), c.kind) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(doc.DeletePath(c.path), c.afterDelete != nullptr) << c.text;
    EXPECT_EQ(doc.Text(), c.afterDelete ? c.afterDelete : c.text) << c.text;
  }
}

TEST(PreferenceDocumentTest, ElementsAreCutWithOneComma) {
  struct Case {
    const wchar_t* text;
    size_t index;
    const wchar_t* after;
  } cases[] = {
      {L"[1,2,3]", 0, L"[2,3]"},
      {L"[1,2,3]", 1, L"[1,3]"},
      {L"[1,2,3]", 2, L"[1,2]"},
      {L"[ \"a\" ]", 0, L"[ ]"},
      {L"[{\"x\":[1]}, 2e-3]", 1, L"[{\"x\":[1]}]"},
  };
  for (const Case& c : cases) {
    PreferenceDocument doc(c.text);
    PreferenceNode root;
    ASSERT_TRUE(doc.FindNode(L"", root));
    ElementCursor cursor;
    for (size_t i = 0; i <= c.index; ++i) ASSERT_TRUE(doc.NextElement(cursor, root)) << c.text;
    EXPECT_TRUE(doc.DeleteElement(doc.NodeOf(cursor))) << c.text;
    EXPECT_EQ(doc.Text(), c.after);
  }
}

TEST(PreferenceDocumentTest, NodesDieWithTheTextTheyWereMadeFrom) {
  PreferenceDocument doc(L"{\"a\":1,\"b\":2,\"c\":3}");
  PreferenceNode a, b;
  ASSERT_TRUE(doc.FindNode(L"a", a));
  ASSERT_TRUE(doc.FindNode(L"b", b));
  // Erasing from a string keeps its buffer: only the identity can tell.
  const wchar_t* buffer = doc.Text().data();
  ASSERT_TRUE(doc.DeleteMember(a));
  ASSERT_EQ(doc.Text().data(), buffer);
  std::wstring text;
  EXPECT_EQ(doc.ValueText(b, text), PreferenceKind::None);
  EXPECT_FALSE(doc.DeleteMember(b));
  MemberCursor stale{b.document, b.kind, b.keyStart, b.valueStart, b.valueEnd, b.parentStart};
  EXPECT_FALSE(doc.NextMember(stale, nullptr));
  EXPECT_EQ(doc.Text(), L"{\"b\":2,\"c\":3}");

  PreferenceDocument other(L"{\"b\":2,\"c\":3}");
  PreferenceNode fromOther;
  ASSERT_TRUE(other.FindNode(L"c", fromOther));
  EXPECT_FALSE(doc.DeleteMember(fromOther));
  EXPECT_EQ(doc.Text(), L"{\"b\":2,\"c\":3}");
}

std::string LinuxPath(const std::wstring& windowsPath) {
  std::string out;
  for (size_t i = 2; i < windowsPath.size(); ++i) out += windowsPath[i] == L'\\' ? '/' : char(windowsPath[i]);
  return out;
}

// Every delete a repair makes on the real files, saved for the Python check
// (check_edits.py) that the result is JSON and differs by that item only.
TEST(PreferenceDocumentTest, DeletesOnRealFilesLeaveTheRestAsItWas) {
  struct Case {
    const wchar_t* file;
    const wchar_t* path;  // the parent for an element delete
    int element;          // -1 for a member
    const char* steps;
  } cases[] = {
      {kHijacked, L"homepage", -1, "homepage"},
      {kHijacked, L"session->startup_urls", -1, "session\tstartup_urls"},
      {kHijacked, L"session->startup_urls", 0, "session\tstartup_urls\t#0"},
      {kHijacked, L"session->startup_urls", 1, "session\tstartup_urls\t#1"},
      {kHijacked, L"default_search_provider_data", -1, "default_search_provider_data"},
      {kHijacked, L"extensions->settings->mbjblcjnbcejffjjakcgcokenaddfdaf", -1,
       "extensions\tsettings\tmbjblcjnbcejffjjakcgcokenaddfdaf"},
      {kHijacked, L"extensions->settings->mhjfbmdgcfjbbpaeojofohoefgiehjai", -1,
       "extensions\tsettings\tmhjfbmdgcfjbbpaeojofohoefgiehjai"},
      {kHijacked, L"extensions->chrome_url_overrides", -1, "extensions\tchrome_url_overrides"},
      {L"chrome-hijacked\\User Data\\Default\\Secure Preferences", L"protection", -1, "protection"},
      {L"chrome-hijacked\\Application\\master_preferences", L"search_provider_overrides", -1, "search_provider_overrides"},
      {kFirefoxExtensions, L"addons", 0, "addons\t#0"},
      {kFirefoxExtensions, L"addons", 10, "addons\t#10"},
      {L"firefox-hijacked\\Mozilla\\Firefox\\Profiles\\zba2o41x.default-release\\extension-settings.json",
       L"default_search", -1, "default_search"},
  };
  const std::wstring edits = test::BrowserEditsFolder();
  test::RemoveTreeForTest(edits);
  ASSERT_TRUE(CreateFolderTree(edits));
  std::string manifest;
  int n = 0;
  for (const Case& c : cases) {
    const std::wstring original = BrowserFixture(c.file);
    PreferenceDocument doc = LoadFixture(c.file);
    const std::wstring before = doc.Text();
    bool cut = false;
    if (c.element < 0) {
      cut = doc.DeletePath(c.path);
    } else {
      PreferenceNode list;
      ASSERT_TRUE(doc.FindNode(c.path, list));
      ElementCursor cursor;
      for (int i = 0; i <= c.element; ++i) ASSERT_TRUE(doc.NextElement(cursor, list));
      cut = doc.DeleteElement(doc.NodeOf(cursor));
    }
    ASSERT_TRUE(cut) << c.path;
    EXPECT_LT(doc.Text().size(), before.size());
    const std::wstring edited = edits + L"\\" + std::to_wstring(++n) + L".json";
    ASSERT_TRUE(doc.Save(edited));
    manifest += LinuxPath(original) + "\t" + LinuxPath(edited) + "\t" + c.steps + "\n";
    // Written in the encoding read: UTF-8 without a mark, as the browser does.
    std::string bytes = ReadBytes(edited);
    ASSERT_FALSE(bytes.empty());
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
  }
  ASSERT_TRUE(WriteBytes(edits + L"\\manifest.txt", manifest));
}

TEST(PreferenceDocumentTest, UnchangedDocumentsSaveByteForByte) {
  test::ScratchFolder scratch;
  std::vector<std::wstring> files = {kHijacked, kClean, L"chrome-hijacked\\User Data\\Local State",
                                     L"chrome-hijacked\\Application\\master_preferences", kFirefoxExtensions};
  int n = 0;
  for (const std::wstring& file : files) {
    PreferenceDocument doc = LoadFixture(file);
    const std::wstring copy = scratch / std::to_wstring(++n);
    ASSERT_TRUE(doc.Save(copy));
    EXPECT_EQ(ReadBytes(copy), ReadBytes(BrowserFixture(file))) << file;
  }
  // Marks and UTF-16 survive a save, and non-ASCII text comes back whole.
  const std::string utf8Bom = "\xEF\xBB\xBF{\"a\":\"\xC3\xA9\",\"b\":1}";
  const std::string utf16 = test::Utf16Bytes(L"{\"a\":\"\x00E9\",\"b\":1}");
  for (const std::string& bytes : {utf8Bom, utf16}) {
    const std::wstring path = scratch / L"marked.json";
    ASSERT_TRUE(WriteBytes(path, bytes));
    PreferenceDocument doc;
    doc.Load(path);
    std::wstring a;
    EXPECT_EQ(doc.GetString(L"a", a), PreferenceKind::String);
    EXPECT_EQ(a, L"\x00E9");
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(ReadBytes(path), bytes);
    ASSERT_TRUE(RemovePreferenceNode(path, L"b"));
    std::string after = ReadBytes(path);
    EXPECT_EQ(after.substr(0, 2), bytes.substr(0, 2));
    PreferenceDocument again;
    again.Load(path);
    EXPECT_EQ(again.GetString(L"a", a), PreferenceKind::String);
    EXPECT_EQ(again.GetString(L"b", a), PreferenceKind::None);
  }
}

TEST(PreferenceDocumentTest, FilesNotUnderstoodExactlyAreNeverWritten) {
  test::ScratchFolder scratch;
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"invalid UTF-8", "{\"a\":\"\xFF\xFE\x80\",\"b\":1}"},
      {"UTF-16 with an odd last byte", test::Utf16Bytes(L"{\"a\":\"x\",\"b\":1}") + " "},
  };
  for (const Case& c : cases) {
    const std::wstring path = scratch / L"odd.json";
    ASSERT_TRUE(WriteBytes(path, c.bytes));
    PreferenceDocument doc;
    doc.Load(path);
    std::wstring b;
    EXPECT_EQ(doc.GetString(L"b", b), PreferenceKind::Integer) << c.name;
    EXPECT_FALSE(doc.CanSave()) << c.name;
    EXPECT_FALSE(RemovePreferenceNode(path, L"b")) << c.name;
    EXPECT_EQ(ReadBytes(path), c.bytes) << c.name;
  }
  // A missing path writes nothing, not even a reformatted copy.
  const std::wstring path = scratch / L"plain.json";
  ASSERT_TRUE(WriteBytes(path, "{ \"a\" : 1 }"));
  const unsigned long long written = FileLastWriteTime(path);
  Sleep(20);
  EXPECT_FALSE(RemovePreferenceNode(path, L"missing"));
  EXPECT_EQ(FileLastWriteTime(path), written);
  // A missing file reads as an empty object.
  PreferenceDocument missing;
  missing.Load(scratch / L"absent.json");
  EXPECT_EQ(missing.Text(), L"{}");
  EXPECT_FALSE(missing.WasRead());
}

}  // namespace
}  // namespace tavrin
