// Firefox's compressed search settings: the real files Firefox ESR wrote
// (tests/browsers/fixtures) decoded, read and edited, and damaged copies of
// them refused. The edited files are also left for the Python check
// (check_mozlz4.py), which decodes them with the lz4 module.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser_fixtures.h"
#include "browsers/firefox_search_engines.h"
#include "browsers/firefox_search_file.h"
#include "browsers/mozlz4_file.h"
#include "browsers/preference_document.h"
#include "platform/file_system.h"
#include "platform/strings.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ReadBytes;
using test::WriteBytes;

const wchar_t kHijacked[] = L"firefox-hijacked\\Mozilla\\Firefox\\Profiles\\zba2o41x.default-release\\search.json";
const wchar_t kClean[] = L"firefox-clean\\Mozilla\\Firefox\\Profiles\\aokil2zj.default-esr\\search.json";
const wchar_t kHijackId[] = L"searchhelperplus@example-hijack.testdefault";

std::string Compressed(const wchar_t* file) { return ReadBytes(test::BrowserFixture(std::wstring(file) + L".mozlz4")); }
std::string Decoded(const wchar_t* file) { return ReadBytes(test::BrowserFixture(std::wstring(file) + L".decoded")); }

std::string Header(const std::string& magic, std::uint32_t size) {
  std::string header = magic;
  for (int i = 0; i < 4; ++i) header += char((size >> (8 * i)) & 0xFF);
  return header;
}

using test::Replaced;

TEST(MozLz4Test, RealFilesDecodeToTheBytesBesideThemAndEncodeBackTheSameWay) {
  for (const wchar_t* file : {kHijacked, kClean}) {
    const std::string compressed = Compressed(file), decoded = Decoded(file);
    ASSERT_GT(decoded.size(), 100u);
    std::string out;
    ASSERT_TRUE(DecodeMozLz4(compressed, out));
    EXPECT_EQ(out, decoded);
    std::string again, back;
    ASSERT_TRUE(EncodeMozLz4(decoded, again));
    EXPECT_EQ(again.substr(0, 12), compressed.substr(0, 12));  // magic and size as Firefox writes them
    ASSERT_TRUE(DecodeMozLz4(again, back));
    EXPECT_EQ(back, decoded);
  }
  std::string empty, back = "x";
  ASSERT_TRUE(EncodeMozLz4("", empty));
  EXPECT_TRUE(DecodeMozLz4(empty, back));
  EXPECT_EQ(back, "");
}

TEST(MozLz4Test, DamagedFilesDecodeToNothing) {
  const std::string good = Compressed(kHijacked);
  const std::string block = good.substr(12);
  const std::uint32_t size = std::uint32_t(Decoded(kHijacked).size());
  std::string big;  // a real block of one byte more than the cap
  ASSERT_TRUE(EncodeMozLz4(std::string(kMaxMozLz4Size, 'a'), big));
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"nothing", ""},
      {"header only", good.substr(0, 12)},
      {"short header", good.substr(0, 10)},
      {"wrong magic", Header(std::string("mozLz41\0", 8), size) + block},
      {"frame format magic", std::string("\x04\x22\x4d\x18", 4) + good.substr(4)},
      {"size above the cap", Header(std::string("mozLz40\0", 8), std::uint32_t(kMaxMozLz4Size) + 1) + block},
      {"largest size field", Header(std::string("mozLz40\0", 8), 0xFFFFFFFFu) + block},
      {"size one larger", Header(std::string("mozLz40\0", 8), size + 1) + block},
      {"size one smaller", Header(std::string("mozLz40\0", 8), size - 1) + block},
      {"truncated block", good.substr(0, good.size() - 7)},
      {"half a block", good.substr(0, 12 + block.size() / 2)},
      {"trailing bytes", good + "\x10garbage"},
      {"no block", Header(std::string("mozLz40\0", 8), 0)},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    EXPECT_FALSE(DecodeMozLz4(c.bytes, out)) << c.what;
    EXPECT_EQ(out, "") << c.what;
  }
  std::string text, file;
  EXPECT_TRUE(DecodeMozLz4(big, text));  // exactly the cap is still taken
  EXPECT_FALSE(EncodeMozLz4(text + "a", file));
  EXPECT_EQ(file, "");
}

FirefoxSearchSettings Settings(const std::string& json, bool expected = true) {
  PreferenceDocument document{Utf8ToWide(json)};
  FirefoxSearchSettings settings;
  EXPECT_EQ(ReadFirefoxSearchSettings(document, settings), expected) << json;
  return settings;
}

TEST(FirefoxSearchSettingsTest, RealFilesListFirefoxsOwnEnginesAndTheAddOnsOne) {
  const FirefoxSearchSettings clean = Settings(Decoded(kClean));
  ASSERT_EQ(clean.engines.size(), 5u);
  for (const FirefoxSearchEngine& engine : clean.engines) {
    EXPECT_TRUE(engine.appProvided) << WideToUtf8(engine.id);
    EXPECT_EQ(engine.searchUrl, L"");
  }
  EXPECT_EQ(DefaultFirefoxSearchEngine(clean), nullptr);

  const FirefoxSearchSettings hijacked = Settings(Decoded(kHijacked));
  ASSERT_EQ(hijacked.engines.size(), 6u);
  EXPECT_EQ(hijacked.engines[0].id, L"google");
  EXPECT_EQ(hijacked.engines[4].name, L"Wikipedia (en)");
  const FirefoxSearchEngine& added = hijacked.engines[5];
  EXPECT_EQ(added.id, kHijackId);
  EXPECT_EQ(added.name, L"Search Helper Plus");
  EXPECT_EQ(added.loadPath, L"[addon]searchhelperplus@example-hijack.test");
  EXPECT_EQ(added.searchUrl, L"https://search.example-hijack.test/?q={searchTerms}");
  EXPECT_FALSE(added.appProvided);
  // Firefox asked before the add-on's engine could become default; nobody
  // answered, so the settings hold no choice of their own.
  EXPECT_EQ(hijacked.defaultEngineId, L"");
  EXPECT_EQ(DefaultFirefoxSearchEngine(hijacked), nullptr);
}

TEST(FirefoxSearchSettingsTest, ShapesOfEnginesAndDefaultChoices) {
  const std::string evil = R"({"id":"evil","_name":"Evil","_urls":[{"template":"https://e.test/s"}]})";
  const struct {
    std::string json;
    const wchar_t* defaultName;  // nullptr: no listed engine is the default
    const wchar_t* lastUrl;      // the last engine's search address
  } cases[] = {
      // The result page's address with its parameters; suggestions are not searched with.
      {R"({"engines":[{"id":"x","_name":"X","_urls":[{"type":"application/x-suggestions+json","template":"https://s.test/"},)"
       R"({"type":"text/html","template":"https://e.test/s","params":[{"name":"q","value":"{searchTerms}"},{"name":"pc","value":"h"},{"name":"bad"}]}]}]})",
       nullptr, L"https://e.test/s?q={searchTerms}&pc=h"},
      {R"({"engines":[{"id":"x","_urls":[{"template":"https://e.test/s?a=1","params":[{"name":"q","value":"v"}]}]}]})", nullptr,
       L"https://e.test/s?a=1&q=v"},
      {R"({"engines":[{"id":"x","_urls":[{"type":"application/json","template":"https://e.test/"}]}]})", nullptr, L""},
      // The choice by id, the older choice by name, and a choice of nobody.
      {R"({"engines":[{"id":"google","_name":"Google"},)" + evil + R"(],"metaData":{"defaultEngineId":"evil"}})", L"Evil",
       L"https://e.test/s"},
      {R"({"engines":[)" + evil + R"(],"metaData":{"current":"Evil","hash":"x"}})", L"Evil", L"https://e.test/s"},
      {R"({"engines":[)" + evil + R"(],"metaData":{"defaultEngineId":"gone","current":"Evil"}})", nullptr, L"https://e.test/s"},
      // A key given twice means its last value, as in JSON.parse.
      {R"({"engines":[{"id":"a","_urls":[{"template":"https://www.google.com/"}]}],"engines":[)" + evil + R"(]})", nullptr,
       L"https://e.test/s"},
      {R"({"engines":[{"id":"a","id":"evil","_name":"Evil","_urls":[{"template":"https://www.bing.com/"}],"_urls":[{"template":"https://e.test/s"}]}],)"
       R"("metaData":{"defaultEngineId":"a","defaultEngineId":"evil"}})",
       L"Evil", L"https://e.test/s"},
      // Keys are exact: "Engines" is no list of Firefox's.
      {R"({"Engines":[{"id":"a"}],"engines":[)" + evil + R"(],"metaData":{"DefaultEngineId":"evil"}})", nullptr, L"https://e.test/s"},
  };
  for (const auto& c : cases) {
    const FirefoxSearchSettings settings = Settings(c.json);
    const FirefoxSearchEngine* chosen = DefaultFirefoxSearchEngine(settings);
    EXPECT_EQ(chosen ? chosen->name : L"(none)", c.defaultName ? c.defaultName : L"(none)") << c.json;
    ASSERT_FALSE(settings.engines.empty()) << c.json;
    EXPECT_EQ(settings.engines.back().searchUrl, c.lastUrl) << c.json;
  }
  EXPECT_TRUE(Settings(R"({"engines":[{"id":"a","_isAppProvided":true},{"id":"b","_isAppProvided":"true"}]})").engines[0].appProvided);
  EXPECT_FALSE(Settings(R"({"engines":[{"id":"a","_isAppProvided":true},{"id":"b","_isAppProvided":"true"}]})").engines[1].appProvided);
  EXPECT_EQ(Settings(R"({"engines":[{"_urls":[]},1,{"_name":"N"}]})").engines.size(), 1u);
  for (const char* notSettings : {"not json", "[]", "{}", R"({"engines":{}})", R"({"Engines":[]})", R"({"engines":[)"})
    Settings(notSettings, false);
}

TEST(FirefoxSearchSettingsTest, RemovalCutsTheEngineAndEveryChoiceOfItOnly) {
  const struct {
    std::string before;
    const wchar_t* id;
    const wchar_t* name;
    int cut;
    std::string after;
  } cases[] = {
      {R"({"engines":[{"id":"g"},{"id":"evil","_name":"Evil"},{"id":"evil"}],"metaData":{"appDefaultEngineId":"g",)"
       R"("defaultEngineId":"evil","defaultEngineIdHash":"h1","privateDefaultEngineId":"evil","privateDefaultEngineIdHash":"h2","current":"Evil","hash":"h3"}})",
       L"evil", L"Evil", 8, R"({"engines":[{"id":"g"}],"metaData":{"appDefaultEngineId":"g"}})"},
      // A choice of another engine stays with its hash.
      {R"({"engines":[{"id":"g"},{"id":"evil"}],"metaData":{"defaultEngineId":"g","defaultEngineIdHash":"h"}})", L"evil",
       L"Evil", 1, R"({"engines":[{"id":"g"}],"metaData":{"defaultEngineId":"g","defaultEngineIdHash":"h"}})"},
      // Older files: engines without ids, chosen by name.
      {R"({"engines":[{"_name":"Evil"},{"_name":"Good"}],"metaData":{"current":"Evil","hash":"h","private":"Good"}})", L"",
       L"Evil", 3, R"({"engines":[{"_name":"Good"}],"metaData":{"private":"Good"}})"},
      // Every copy of a key given twice.
      {R"({"engines":[{"id":"evil"}],"engines":[{"id":"evil"},{"id":"g"}],"metaData":{"defaultEngineId":"evil"},"metaData":{"defaultEngineIdHash":"h","defaultEngineId":"evil"}})",
       L"evil", L"", 5, R"({"engines":[],"engines":[{"id":"g"}],"metaData":{},"metaData":{}})"},
      {R"({"engines":[{"id":"g"}]})", L"evil", L"Evil", 0, R"({"engines":[{"id":"g"}]})"},
      {R"({"engines":[{"id":"g"}]})", L"", L"", 0, R"({"engines":[{"id":"g"}]})"},
  };
  for (const auto& c : cases) {
    PreferenceDocument document{Utf8ToWide(c.before)};
    EXPECT_EQ(RemoveFirefoxSearchEngine(document, c.id, c.name), c.cut) << c.before;
    EXPECT_EQ(WideToUtf8(document.Text()), c.after) << c.before;
    EXPECT_FALSE(HoldsFirefoxSearchEngine(document, c.id, c.name)) << c.before;
  }
  PreferenceDocument untouched{std::wstring(LR"({"engines":[{"id":"evil"}],"metaData":{"current":"Evil"}})")};
  EXPECT_TRUE(HoldsFirefoxSearchEngine(untouched, L"evil", L""));
  EXPECT_TRUE(HoldsFirefoxSearchEngine(untouched, L"other", L"Evil"));
}

// The hijacked file with the add-on's engine made the default the way
// Firefox records it once the user agreed.
std::string HijackedAsDefault() {
  return Replaced(Decoded(kHijacked), R"("appDefaultEngineId":"google")",
                  R"("appDefaultEngineId":"google","defaultEngineId":"searchhelperplus@example-hijack.testdefault",)"
                  R"("defaultEngineIdHash":"c2VhcmNoaGVscGVycGx1cw==")");
}

TEST(FirefoxSearchFileTest, TheRealFileIsEditedAndWrittenBackCompressedBesideABackup) {
  test::ScratchFolder scratch;
  const std::wstring path = scratch / L"search.json.mozlz4";
  std::string original;
  ASSERT_TRUE(EncodeMozLz4(HijackedAsDefault(), original));
  ASSERT_TRUE(WriteBytes(path, original));

  PreferenceDocument document;
  ASSERT_TRUE(LoadFirefoxSearchFile(path, document));
  FirefoxSearchSettings settings;
  ASSERT_TRUE(ReadFirefoxSearchSettings(document, settings));
  ASSERT_NE(DefaultFirefoxSearchEngine(settings), nullptr);
  EXPECT_EQ(DefaultFirefoxSearchEngine(settings)->name, L"Search Helper Plus");
  EXPECT_EQ(RemoveFirefoxSearchEngine(document, kHijackId, L"Search Helper Plus"), 3);
  EXPECT_EQ(SaveFirefoxSearchFile(path, document), path + L".bak");
  EXPECT_EQ(ReadBytes(path + L".bak"), original);

  PreferenceDocument again;
  ASSERT_TRUE(LoadFirefoxSearchFile(path, again));
  EXPECT_EQ(again.Text(), document.Text());
  EXPECT_FALSE(HoldsFirefoxSearchEngine(again, kHijackId, L"Search Helper Plus"));
  ASSERT_TRUE(ReadFirefoxSearchSettings(again, settings));
  EXPECT_EQ(settings.engines.size(), 5u);
  EXPECT_EQ(DefaultFirefoxSearchEngine(settings), nullptr);
  EXPECT_NE(again.Text().find(L"\"appDefaultEngineId\":\"google\""), std::wstring::npos);
  // A second save keeps the first backup.
  const std::string once = ReadBytes(path);
  EXPECT_EQ(SaveFirefoxSearchFile(path, again), path + L".2.bak");
  EXPECT_EQ(ReadBytes(path + L".bak"), original);
  EXPECT_EQ(ReadBytes(path + L".2.bak"), once);

  // Left for the Python check: the file, the engine it must no longer
  // hold, and the JSON it was made from.
  const std::wstring edits = test::BrowserEditsFolder() + L"-mozlz4";
  test::RemoveTreeForTest(edits);
  ASSERT_TRUE(CreateFolderTree(edits));
  ASSERT_TRUE(CopyFileW(path.c_str(), (edits + L"\\1.mozlz4").c_str(), FALSE));
  ASSERT_TRUE(WriteBytes(edits + L"\\1.before.json", HijackedAsDefault()));
  ASSERT_TRUE(WriteBytes(edits + L"\\manifest.txt", "1.mozlz4\t1.before.json\tsearchhelperplus@example-hijack.testdefault\n"));
}

TEST(FirefoxSearchFileTest, FilesThatAreNotUnderstoodExactlyAreNotLoaded) {
  test::ScratchFolder scratch;
  const std::string good = Compressed(kHijacked);
  std::string latin1;  // decodes, but its text is no UTF-8
  ASSERT_TRUE(EncodeMozLz4("{\"engines\":[{\"_name\":\"Caf\xE9\"}]}", latin1));
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"wrong magic", "mozLz41" + good.substr(7)},
      {"truncated", good.substr(0, good.size() / 2)},
      {"not UTF-8", latin1},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    const std::wstring path = scratch / L"search.json.mozlz4";
    ASSERT_TRUE(WriteBytes(path, c.bytes));
    PreferenceDocument document{std::wstring(L"{\"kept\":1}")};
    EXPECT_FALSE(LoadFirefoxSearchFile(path, document)) << c.what;
    EXPECT_EQ(document.Text(), L"{\"kept\":1}") << c.what;
  }
  PreferenceDocument document;
  EXPECT_FALSE(LoadFirefoxSearchFile(scratch / L"missing.mozlz4", document));
  // A file whose backup cannot be written is not overwritten.
  const std::wstring path = scratch / L"locked.mozlz4";
  ASSERT_TRUE(WriteBytes(path, good));
  ASSERT_TRUE(CreateFolderTree(path + L".bak"));
  for (int n = 2; n <= 100; ++n) ASSERT_TRUE(CreateFolderTree(path + L"." + std::to_wstring(n) + L".bak"));
  ASSERT_TRUE(LoadFirefoxSearchFile(path, document));
  ASSERT_GT(RemoveFirefoxSearchEngine(document, kHijackId, L""), 0);
  EXPECT_EQ(SaveFirefoxSearchFile(path, document), L"");
  EXPECT_EQ(ReadBytes(path), good);
}

}  // namespace
}  // namespace tavrin
