#include "platform/text_file.h"

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

const std::wstring kSample = L"Gr\u00FC\u00DFe, \u65E5\u672C\r\nsecond line\r\n";

struct EncodingCase {
  TextEncoding encoding;
  std::string mark;
};

class TextFileEncodings : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(TextFileEncodings, RoundTripWritesTheMarkAndReadsTheSameText) {
  ScratchFolder scratch;
  const auto& c = GetParam();
  const std::wstring path = scratch / L"sub\\folder\\file.txt";
  // ANSI cannot hold the CJK characters in every code page; keep it Latin-1.
  const std::wstring text = c.encoding == TextEncoding::Ansi ? L"plain ascii\r\nline two\r\n" : kSample;
  {
    TextFile file;
    ASSERT_TRUE(file.Open(path, TextReplace | TextCreateFolders, c.encoding));
    EXPECT_GT(file.Write(text), 0u);
  }
  EXPECT_EQ(ReadBytes(path).substr(0, c.mark.size()), c.mark);
  TextFile file;
  // The mark decides; the requested encoding only matters without one.
  ASSERT_TRUE(file.Open(path, TextRead, c.encoding == TextEncoding::Utf8 ? TextEncoding::Utf8 : TextEncoding::Ansi));
  std::wstring back;
  file.ReadAll(back);
  EXPECT_EQ(back, text);
}

INSTANTIATE_TEST_SUITE_P(All, TextFileEncodings,
                         ::testing::Values(EncodingCase{TextEncoding::Ansi, ""},
                                           EncodingCase{TextEncoding::Utf8, ""},
                                           EncodingCase{TextEncoding::Utf8Bom, "\xEF\xBB\xBF"},
                                           EncodingCase{TextEncoding::Utf16Le, "\xFF\xFE"},
                                           EncodingCase{TextEncoding::Utf16Be, "\xFE\xFF"}));

TEST(TextFile, NewUtf16FileStartsWithExactlyTheMarkAndEmptyWriteWritesNothing) {
  ScratchFolder scratch;
  const std::wstring path = scratch / L"empty.txt";
  TextFile file;
  ASSERT_TRUE(file.Open(path, TextReplace, TextEncoding::Utf16Le));
  EXPECT_EQ(file.Write(L""), 0u);
  file.Close();
  EXPECT_EQ(ReadBytes(path), std::string("\xFF\xFE"));

  ASSERT_TRUE(file.Open(path, TextReplace, TextEncoding::Utf16Le));
  EXPECT_EQ(file.Write(L"A"), 2u);
  file.Close();
  EXPECT_EQ(ReadBytes(path), std::string("\xFF\xFE" "A\0", 4));
}

TEST(TextFile, BigEndianReadsAsTheSameTextAsLittleEndian) {
  ScratchFolder scratch;
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (wchar_t c : kSample) {
    le += char(c & 0xFF), le += char(c >> 8);
    be += char(c >> 8), be += char(c & 0xFF);
  }
  ASSERT_TRUE(WriteBytes(scratch / L"le.txt", le));
  ASSERT_TRUE(WriteBytes(scratch / L"be.txt", be));
  std::wstring fromLe, fromBe;
  ASSERT_TRUE(ReadTextFile(scratch / L"le.txt", fromLe));
  ASSERT_TRUE(ReadTextFile(scratch / L"be.txt", fromBe));
  EXPECT_EQ(fromLe, kSample);
  EXPECT_EQ(fromBe, kSample);
}

TEST(TextFile, AppendingKeepsTheDetectedEncoding) {
  ScratchFolder scratch;
  const std::wstring path = scratch / L"report.txt";
  ASSERT_TRUE(WriteTextFile(path, L"first\r\n", TextEncoding::Utf16Le));
  TextFile file;
  // Asked for ANSI, but the file is UTF-16: appending must not mix encodings.
  ASSERT_TRUE(file.Open(path, TextReadWrite, TextEncoding::Ansi));
  EXPECT_EQ(file.Encoding(), TextEncoding::Utf16Le);
  file.Write(L"second\r\n");
  file.Close();
  std::wstring back;
  ReadTextFile(path, back);
  EXPECT_EQ(back, L"first\r\nsecond\r\n");
}

TEST(TextFile, ReadLineReturnsEachNonEmptyLineWithOrWithoutItsBreak) {
  ScratchFolder scratch;
  ASSERT_TRUE(WriteBytes(scratch / L"lines.txt", "one\r\n\r\n\ntwo\rthree\nfour"));
  TextFile file;
  ASSERT_TRUE(file.Open(scratch / L"lines.txt", TextRead));
  std::wstring line;
  std::vector<std::wstring> lines;
  while (file.ReadLine(line, true)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"one\r\n", L"two\r", L"three\n", L"four"}));
}

TEST(TextFile, FailedOpenLeavesAnObjectThatReadsAndWritesNothing) {
  ScratchFolder scratch;
  TextFile file;
  EXPECT_FALSE(file.Open(scratch / L"missing\\nothing.txt", TextRead));
  std::wstring text = L"stale";
  EXPECT_EQ(file.ReadAll(text), 0u);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(file.Write(L"x"), 0u);
  EXPECT_FALSE(file.ReadLine(text));
}

TEST(TextFile, DetectEncodingByMarkOrStatistics) {
  ScratchFolder scratch;
  WriteBytes(scratch / L"be.txt", "\xFE\xFF\0a");
  WriteBytes(scratch / L"u8.txt", "\xEF\xBB\xBFhello");
  WriteBytes(scratch / L"nomark16.txt", std::string("h\0e\0l\0l\0o\0 \0w\0o\0r\0l\0d\0", 22));
  WriteBytes(scratch / L"ascii.txt", "plain ascii text here");
  EXPECT_EQ(TextFile::DetectEncoding(scratch / L"be.txt", false), TextEncoding::Utf16Be);
  EXPECT_EQ(TextFile::DetectEncoding(scratch / L"u8.txt", false), TextEncoding::Utf8Bom);
  EXPECT_EQ(TextFile::DetectEncoding(scratch / L"nomark16.txt", false), TextEncoding::Utf16Le);
  EXPECT_EQ(TextFile::DetectEncoding(scratch / L"ascii.txt", true), TextEncoding::Ansi);
}

}  // namespace
}  // namespace tavrin
