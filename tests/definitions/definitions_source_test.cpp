#include <gtest/gtest.h>
#include <windows.h>

#include "definitions/definitions_db.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "platform/registry.h"
#include "platform/zip_archive.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using namespace definitions_tool;

std::wstring Pid() { return std::to_wstring(GetCurrentProcessId()); }

std::wstring SourceFolder() {
  std::wstring path = L"Z:";
  for (char c : std::string(TAVRIN_SOURCE_DIR)) path += c == '/' ? L'\\' : wchar_t(c);
  return path;
}

TEST(DefinitionsSource, BadLinesAreReportedWithTheirLineNumbers) {
  const std::wstring text =
      L"# comment\n"
      L"Orphan\n"                                        // 2: before any section
      L"[Adware]\n"
      L"Fine Toolbar | unchecked\n"
      L"Slashed\\Name\n"                                 // 5
      L"Other | checked\n"                               // 6
      L"[Malware]\n"
      L"44D88612FEA8A8F36DE82E1278ABB02F = A.1.100\n"
      L"44D88612FEA8A8F36DE82E1278ABB0 = A.1.100\n"      // 9: 30 digits
      L"44D88612FEA8A8F36DE82E1278ABB02G = A.1.100\n"    // 10: not hexadecimal
      L"54D88612FEA8A8F36DE82E1278ABB02F = A.1.101\n"    // 11: score above 100
      L"64D88612FEA8A8F36DE82E1278ABB02F = Unscored\n"   // 12
      L"74d88612fea8a8f36de82e1278abb02f = fp\n"
      L"[IEWhiteL]\n"
      L"D27CDB6E-AE6D-11CF-96B8-444553540000\n"          // 15: no braces
      L"[WhiteList\\Opera Extensions]\n"                 // 16
      L"ignored below an unknown section\n"
      L"[Database]\n"
      L"Number = 0\n";                                   // 19
  DefinitionsSource source;
  std::vector<std::wstring> errors;
  EXPECT_FALSE(ParseDefinitions(text, L"bad.txt", source, errors));
  std::vector<std::wstring> lines;
  for (const std::wstring& e : errors) lines.push_back(e.substr(0, e.find(L':')));
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"bad.txt(2)", L"bad.txt(5)", L"bad.txt(6)", L"bad.txt(9)",
                                              L"bad.txt(10)", L"bad.txt(11)", L"bad.txt(12)", L"bad.txt(15)",
                                              L"bad.txt(16)", L"bad.txt(19)"}));
  ASSERT_EQ(source.adware.size(), 1u);
  EXPECT_TRUE(source.adware[0].unchecked);
  ASSERT_EQ(source.malware.size(), 2u);
  EXPECT_EQ(source.malware[1].hash, L"74D88612FEA8A8F36DE82E1278ABB02F");
  EXPECT_EQ(source.malware[1].record, L"FP");
}

// The project's own data compiles, and every section lands where the
// scanners probe for it.
TEST(DefinitionsSource, ShippedDataBuildsAMountableUpdate) {
  DefinitionsSource source;
  std::vector<std::wstring> errors;
  ASSERT_TRUE(ReadDefinitionsFolder(SourceFolder() + L"\\data\\definitions", source, errors))
      << (errors.empty() ? std::string() : std::string(errors[0].begin(), errors[0].end()));
  EXPECT_GE(source.number, kFirstDbNumber);
  EXPECT_GE(source.adware.size(), 24u);

  test::ScratchFolder out;
  std::wstring error;
  ASSERT_TRUE(BuildUpdateFolder(source, out.Path(), error)) << std::string(error.begin(), error.end());
  EXPECT_EQ(test::ReadBytes(out / L"tavrin\\dbver2.txt"), std::to_string(source.number) + "\r\n");
  EXPECT_FALSE(KeyExists(DefaultScratchKey()));

  // Mounted from what the archive carries, as a client would.
  ASSERT_TRUE(ExtractZipEntry(out / L"tavrin\\TVNdb2.zip", "TVNdb2.dat", out / L"client\\TVNdb2.dat"));
  EXPECT_EQ(test::ReadBytes(out / L"client\\TVNdb2.dat"), test::ReadBytes(out / L"TVNdb2.dat"));
  DefinitionsDb db;
  db.hivePath = L"\\\\?\\" + (out / L"client\\TVNdb2.dat");
  ASSERT_TRUE(MountDefinitions(db, L"TVN DB 9" + Pid()));
  const std::wstring root = db.RootPath();
  EXPECT_TRUE(KeyExists(root + L"\\Adware\\ask toolbar"));
  EXPECT_FALSE(KeyExists(root + L"\\Adware\\Ask"));
  DWORD state = 1;
  EXPECT_TRUE(ReadDwordAt(root + L"\\Adware\\OpenCandy", L"_check_state_", state));
  EXPECT_EQ(state, 0u);
  EXPECT_FALSE(ReadDwordAt(root + L"\\Adware\\Ask Toolbar", L"_check_state_", state));
  std::wstring record;
  EXPECT_TRUE(ReadStringAt(root + L"\\Malware\\44\\D8\\86", L"12FEA8A8F36DE82E1278ABB02F", record));
  EXPECT_EQ(record, L"EICAR-Test-File.8766.100");
  for (const std::wstring& key : WhiteListKeys()) {
    RegKey list = OpenKey(root + L"\\" + key, kRegRead);
    EXPECT_GT(ValueCount(list), 2u) << std::string(key.begin(), key.end());
  }
  EXPECT_TRUE(KeyExists(root + L"\\WhiteList\\Chrome Extensions", L"cjpalhdlnbpafiamejdnhcphjbkeiagm"));
  EXPECT_TRUE(KeyExists(root + L"\\WhiteList\\Firefox Extensions", L"uBlock0@raymondhill.net"));
  EXPECT_TRUE(KeyExists(root + L"\\IEWhiteL\\{D27CDB6E-AE6D-11CF-96B8-444553540000}"));
  EXPECT_TRUE(UnmountDefinitions(db));
}

}  // namespace
}  // namespace tavrin
