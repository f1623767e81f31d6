#include "platform/ini_document.h"

#include <gtest/gtest.h>

#include "platform/text_file.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

std::string Utf16(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) bytes += char(c & 0xFF), bytes += char(c >> 8);
  return bytes;
}

// Loads a document from the given text (as a UTF-16 file).
void LoadText(IniDocument& doc, const ScratchFolder& scratch, const std::wstring& text) {
  ASSERT_TRUE(WriteBytes(scratch / L"doc.ini", Utf16(text)));
  ASSERT_TRUE(doc.Load(scratch / L"doc.ini"));
}

struct LookupCase {
  const wchar_t* text;
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* expected;  // nullptr: no entry
};

TEST(IniDocument, LookupRules) {
  const LookupCase cases[] = {
      {L"[UI]\r\nWindowCX=800", L"ui", L"windowcx", L"800"},                 // case-insensitive
      {L"[scan]\r\nScanSoftness = 14", L"SCAN", L"ScanSoftness", L"14"},      // spaces around "="
      {L"[S]\r\nPathX=long\r\nPath=short", L"S", L"Path", L"short"},          // prefix key skipped
      {L"[S]\r\nPathX=long", L"S", L"Path", nullptr},
      {L"[S]\r\nKey=first\r\nKey=second", L"S", L"Key", L"first"},
      {L"[S]\r\n;Key=comment", L"S", L"Key", nullptr},
      {L"[S]\r\nKey", L"S", L"Key", nullptr},                                   // no "="
      {L"[A]\r\n[B]\r\nKey=b", L"A", L"Key", nullptr},                          // section ends at next header
      {L"Key=outside\r\n[S]", L"S", L"Key", nullptr},                           // lines before any header
      {L"[S] trailing text\r\nKey=v", L"S", L"Key", L"v"},                      // header with text after "]"
      {L"[S]\r\nKey=\t  padded", L"S", L"Key", L"padded"},
      {L"[S]\r\nKey=a=b", L"S", L"Key", L"a=b"},
      {L"[S]\r\nKey=v", L"", L"Key", nullptr},
      {L"[S]\r\nKey=v", L"S", L"", nullptr},
  };
  ScratchFolder scratch;
  for (const auto& c : cases) {
    IniDocument doc;
    LoadText(doc, scratch, c.text);
    auto value = doc.GetString(c.section, c.key);
    if (c.expected) {
      ASSERT_TRUE(value.has_value()) << c.text;
      EXPECT_EQ(*value, c.expected) << c.text;
    } else {
      EXPECT_FALSE(value.has_value()) << c.text;
    }
  }
}

TEST(IniDocument, EditsKeepEveryOtherLineInPlace) {
  ScratchFolder scratch;
  IniDocument doc;
  LoadText(doc, scratch, L"; header comment\r\n\r\n  [First]  \r\nKey=1\r\nKey=2\r\n[Second]\r\nOther=x\r\n");
  EXPECT_EQ(doc.SetString(L"first", L"KEY", L"changed"), 3u);  // only the first of two
  EXPECT_EQ(doc.SetString(L"First", L"New", L"n"), 5u);        // before the next header
  EXPECT_EQ(doc.SetInt(L"Third", L"Number", -7), 9u);          // new section at the end
  EXPECT_EQ(doc.SetString(L"", L"k", L"v"), 0u);
  EXPECT_EQ(doc.DeleteKey(L"Second", L"Other"), 1);
  EXPECT_EQ(doc.DeleteKey(L"Second", L"Other"), 2);
  EXPECT_EQ(doc.DeleteKey(L"Missing", L"Other"), 2);
  EXPECT_EQ(doc.DeleteKey(L"", L"Other"), 0);
  ASSERT_TRUE(doc.Save());

  std::wstring saved;
  ASSERT_TRUE(ReadTextFile(scratch / L"doc.ini", saved));
  EXPECT_EQ(saved,
            L"; header comment\r\n[First]\r\nKEY=changed\r\nKey=2\r\nNew=n\r\n[Second]\r\n[Third]\r\nNumber=-7\r\n");
  EXPECT_EQ(ReadBytes(scratch / L"doc.ini").substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(doc.GetInt(L"Third", L"Number", 0), -7);
}

TEST(IniDocument, SetStringsLeavesTheLinesOfOneByOneCalls) {
  const std::wstring text =
      L"[A]\r\nkeep=1\r\nPath \t=old\r\nPathX=long\r\ndup=1\r\ndup=2\r\n;c=0\r\n[B]\r\nb=1\r\n";
  const std::vector<std::pair<std::wstring, std::wstring>> batches[] = {
      {{L"path", L"new"}, {L"New", L"1"}, {L"new", L"2"}, {L"DUP", L"3"}, {L"", L"skipped"}, {L" Spaced ", L"s"}},
      {{L"a=b", L"eq"}, {L"a", L"plain"}},  // "=" in a key
      {{L"first", L"1"}, {L"first", L"2"}},  // into a section still missing
  };
  const wchar_t* sections[] = {L"a", L"A", L"C"};
  ScratchFolder scratch;
  for (size_t i = 0; i < std::size(batches); ++i) {
    IniDocument bulk, single;
    LoadText(bulk, scratch, text);
    LoadText(single, scratch, text);
    size_t written = 0;
    for (const auto& [key, value] : batches[i]) written += single.SetString(sections[i], key, value) != 0;
    EXPECT_EQ(bulk.SetStrings(sections[i], batches[i]), written) << i;
    EXPECT_EQ(bulk.Lines(), single.Lines()) << i;
  }
}

TEST(IniDocument, ValuesWithLineBreaksCannotInjectLines) {
  ScratchFolder scratch;
  {
    IniDocument doc;
    doc.SetString(L"S", L"Key", L"a\r\n[Evil]\r\nx=y");
    EXPECT_EQ(doc.AppendSection(L"T", {{L"Key\n[Evil]", L"b\r\n[Evil]"}, {L"", L"skipped"}}), 3u);
    ASSERT_TRUE(doc.Save(scratch / L"doc.ini"));
  }
  IniDocument back(scratch / L"doc.ini");
  EXPECT_EQ(back.Lines().size(), 4u);
  size_t header = 0, end = 0;
  EXPECT_FALSE(back.FindSection(L"Evil", header, end));
  EXPECT_EQ(back.GetString(L"T", L"Key [Evil]", L""), L"b  [Evil]");
}

TEST(IniDocument, TextEditorFileInUtf8WithLineFeedsLoadsAndSaves) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteBytes(scratch / L"doc.ini", "[SCAN]\nScanSoftness=14\n\n[UI]\nMaximized=1\n"));
  IniDocument doc(scratch / L"doc.ini");
  ASSERT_EQ(doc.Lines().size(), 4u);
  EXPECT_EQ(doc.GetInt(L"SCAN", L"ScanSoftness", 12), 14);
  EXPECT_EQ(doc.GetInt(L"UI", L"Maximized", 0), 1);
  ASSERT_TRUE(doc.Save());
  EXPECT_EQ(ReadBytes(scratch / L"doc.ini"), Utf16(L"[SCAN]\r\nScanSoftness=14\r\n[UI]\r\nMaximized=1\r\n"));
}

TEST(IniDocument, EnumeratesSectionsAndEntries) {
  ScratchFolder scratch;
  IniDocument doc;
  LoadText(doc, scratch, L"[A]\r\nx=1\r\n;c=0\r\nforeign\r\ny=2\r\n[B]\r\nz=3");
  std::vector<std::wstring> seen;
  size_t header = 0, end = 0, from = 0;
  std::wstring name, key, value;
  while (doc.NextSection(from, header, end, name)) {
    for (size_t line = header; doc.NextEntry(line, end, key, value);) seen.push_back(name + L":" + key + L"=" + value);
    from = end;
  }
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"A:x=1", L"A:y=2", L"B:z=3"}));
}

TEST(IniDocument, AutoSaveWritesOnReloadAndDestruction) {
  ScratchFolder scratch;
  const std::wstring first = scratch / L"first.ini", second = scratch / L"second.ini";
  {
    IniDocument doc;
    doc.Load(first);  // missing: empty, keeps the path
    doc.MarkAutoSave();
    doc.SetString(L"S", L"k", L"1");
    doc.Load(second);  // saves the first file before loading
    doc.SetString(L"S", L"k", L"2");
  }
  EXPECT_EQ(IniDocument(first).GetString(L"S", L"k", L""), L"1");
  EXPECT_EQ(IniDocument(second).GetString(L"S", L"k", L""), L"2");

  IniDocument never;
  EXPECT_FALSE(never.Save());  // no path: nothing written
}

TEST(IniDocument, BadInputLoadsWithoutCrashAndSavesWhatItUnderstood) {
  ScratchFolder scratch;
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += char((i * 7919) % 256);
  std::string oddUtf16 = Utf16(L"[S]\r\nKey=value\r\n") + "X";  // one stray byte
  std::string hugeLine = "[S]\r\nKey=" + std::string(2 * 1024 * 1024, 'v') + "\r\n";
  for (const auto& bytes : {garbage, oddUtf16, hugeLine}) {
    ASSERT_TRUE(WriteBytes(scratch / L"bad.ini", bytes));
    IniDocument doc(scratch / L"bad.ini");
    std::vector<std::wstring> lines = doc.Lines();
    ASSERT_TRUE(doc.Save());
    IniDocument again(scratch / L"bad.ini");
    EXPECT_EQ(again.Lines(), lines);
  }
  IniDocument odd;
  WriteBytes(scratch / L"odd.ini", oddUtf16);
  odd.Load(scratch / L"odd.ini");
  EXPECT_EQ(odd.GetString(L"S", L"Key", L""), L"value");
  IniDocument huge;
  WriteBytes(scratch / L"huge.ini", hugeLine);
  huge.Load(scratch / L"huge.ini");
  EXPECT_EQ(huge.GetString(L"S", L"Key", L"").size(), 2u * 1024 * 1024);
}

}  // namespace
}  // namespace tavrin
