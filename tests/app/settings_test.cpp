#include "app/settings.h"

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

TEST(Settings, FileIsCreatedAsTheMarkOnlyAndNeverOverwritten) {
  ScratchFolder scratch;
  const std::wstring path = SettingsFilePath(scratch.Path());
  EXPECT_EQ(path, scratch.Path() + L"\\Settings\\settings.ini");
  ASSERT_TRUE(EnsureSettingsFile(path));
  EXPECT_EQ(ReadBytes(path), "\xFF\xFE");
  ASSERT_TRUE(WriteBytes(path, "[UI]\r\nMaximized=1\r\n"));
  ASSERT_TRUE(EnsureSettingsFile(path));
  EXPECT_EQ(ReadBytes(path), "[UI]\r\nMaximized=1\r\n");
}

TEST(Settings, DefaultsOnMissingFileAndReadingRules) {
  IniDocument missing(L"C:\\does\\not\\exist\\settings.ini");
  EXPECT_EQ(StoredDetectionLevel(missing), DetectionLevel::Medium);
  WindowSettings w = ReadWindowSettings(missing);
  EXPECT_FALSE(w.maximized);
  EXPECT_EQ(w.width, 0);
  EXPECT_EQ(w.height, 0);

  ScratchFolder scratch;
  const std::pair<const char*, int> levels[] = {
      {"10", 10}, {"14", 14}, {"12", 12}, {"13", 12}, {"abc", 12}, {"", 12}, {"14x", 12}, {"-14", 12}};
  for (const auto& [stored, level] : levels) {
    WriteBytes(scratch / L"s.ini", std::string("[SCAN]\r\nScanSoftness=") + stored + "\r\n");
    EXPECT_EQ(Threshold(StoredDetectionLevel(IniDocument(scratch / L"s.ini"))), level) << stored;
  }
  WriteBytes(scratch / L"s.ini", "[UI]\r\nMaximized=yes\r\nWindowCX=900\r\nWindowCY=99999999999\r\n");
  w = ReadWindowSettings(IniDocument(scratch / L"s.ini"));
  EXPECT_FALSE(w.maximized);
  EXPECT_EQ(w.width, 900);
  EXPECT_EQ(w.height, 0);
}

TEST(Settings, TheKeyIsAPartnerKeyUnlessSaidPersonalWithThePublicLimitsAndNoUploadsByDefault) {
  ScratchFolder scratch;
  struct Case {
    const char* lines;
    bool personal;
    int perMinute;
    int perDay;
    bool upload;
  } cases[] = {
      {"", false, 4, 500, false},
      {"VirusTotalKeyType=partner\r\n", false, 4, 500, false},
      {"VirusTotalKeyType= Personal \r\nVirusTotalUpload=1\r\n", true, 4, 500, true},
      {"VirusTotalKeyType=personal\r\nVirusTotalRequestsPerMinute=30\r\nVirusTotalRequestsPerDay=20000\r\n", true,
       30, 20000, false},
      {"VirusTotalKeyType=personally\r\nVirusTotalRequestsPerMinute=0\r\nVirusTotalRequestsPerDay=-5\r\n", false, 4,
       500, false},
      {"VirusTotalRequestsPerMinute=4x\r\nVirusTotalRequestsPerDay=99999999999999\r\nVirusTotalUpload=yes\r\n", false,
       4, 500, false},
      {"VirusTotalUpload=0\r\n", false, 4, 500, false},
  };
  for (const Case& c : cases) {
    WriteBytes(scratch / L"s.ini", std::string("[Settings]\r\n") + c.lines);
    const VirusTotalSettings vt = ReadVirusTotalSettings(IniDocument(scratch / L"s.ini"));
    EXPECT_EQ(vt.personalKey, c.personal) << c.lines;
    EXPECT_EQ(vt.limits.perMinute, c.perMinute) << c.lines;
    EXPECT_EQ(vt.limits.perDay, c.perDay) << c.lines;
    EXPECT_EQ(vt.upload, c.upload) << c.lines;
  }
}

TEST(Settings, WindowSizeIsWrittenOnlyWhenNotMaximized) {
  IniDocument doc;
  WriteWindowSettings(doc, {true, 1000, 700});
  EXPECT_EQ(doc.GetString(L"UI", L"Maximized", L""), L"1");
  EXPECT_FALSE(doc.GetString(L"UI", L"WindowCX").has_value());
  WriteWindowSettings(doc, {false, 1000, 700});
  EXPECT_EQ(doc.GetString(L"UI", L"Maximized", L""), L"0");
  EXPECT_EQ(doc.GetInt(L"UI", L"WindowCX", 0), 1000);
  EXPECT_EQ(doc.GetInt(L"UI", L"WindowCY", 0), 700);
}

}  // namespace
}  // namespace tavrin
