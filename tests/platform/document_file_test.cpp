#include "platform/document_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/unique_handle.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

std::vector<std::wstring> FolderNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

FILETIME LastWrite(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

constexpr DWORD kShown = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct ReplaceCase {
  const char* name;
  DWORD before;      // attributes of the original
  unsigned options;
  bool written;
  DWORD after;       // of kShown, when written
};

class ReplaceDocumentCases : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceDocumentCases, WritesOrRefusesAndLeavesOnlyTheDocument) {
  const ReplaceCase& c = GetParam();
  ScratchFolder scratch;
  const std::wstring path = scratch / L"Preferences";
  ASSERT_TRUE(WriteBytes(path, "{\"old\":true}"));
  // An old time that no write of today could leave by accident.
  FILETIME old{0x12345678u, 0x01C00000u};
  {
    UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file && SetFileTime(file.get(), &old, &old, &old));
  }
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), c.before));

  EXPECT_EQ(ReplaceDocument(path, "{\"new\":1}", c.options), c.written);

  EXPECT_EQ(ReadBytes(path), c.written ? "{\"new\":1}" : "{\"old\":true}");
  EXPECT_EQ(GetFileAttributesW(path.c_str()) & kShown, c.written ? c.after : c.before & kShown);
  const FILETIME now = LastWrite(path);
  const bool timesKept = now.dwLowDateTime == old.dwLowDateTime && now.dwHighDateTime == old.dwHighDateTime;
  EXPECT_EQ(timesKept, !c.written || (c.options & DocumentKeepTimes) != 0);
  EXPECT_EQ(FolderNames(scratch.Path()), std::vector<std::wstring>{L"Preferences"});
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

constexpr unsigned kPreference = DocumentKeepSecurity | DocumentKeepAttributes;
constexpr unsigned kHosts = DocumentKeepSecurity | DocumentReplaceReadOnly;

INSTANTIATE_TEST_SUITE_P(
    All, ReplaceDocumentCases,
    ::testing::Values(
        ReplaceCase{"Plain", FILE_ATTRIBUTE_ARCHIVE, DocumentKeepSecurity, true, 0},
        ReplaceCase{"HiddenKept", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, kPreference, true,
                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        ReplaceCase{"HiddenDropped", FILE_ATTRIBUTE_HIDDEN, DocumentKeepSecurity, true, 0},
        ReplaceCase{"TimesKept", FILE_ATTRIBUTE_ARCHIVE, kPreference | DocumentKeepTimes, true, 0},
        // Windows refuses a rename over a read-only file; Wine does not, so
        // this case shows the refusal the primitive makes itself.
        ReplaceCase{"ReadOnlyRefused", FILE_ATTRIBUTE_READONLY, kPreference | DocumentKeepTimes, false, 0},
        ReplaceCase{"ReadOnlyReplaced", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, kHosts, true, 0},
        ReplaceCase{"ReadOnlyReplacedAndKept", FILE_ATTRIBUTE_READONLY, kHosts | DocumentKeepAttributes, true,
                    FILE_ATTRIBUTE_READONLY}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceDocument, AFailedRenameLeavesTheOriginalAndNoTemporaryFile) {
  ScratchFolder scratch;
  const std::wstring path = scratch / L"hosts";
  ASSERT_TRUE(WriteBytes(path, "127.0.0.1 localhost\r\n"));
  {
    // A reader that does not share deletion, as an editor holding the file
    // open would: the rename over it is refused.
    UniqueFile holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(ReplaceDocument(path, std::string(5000, 'x'), kHosts));
    EXPECT_NE(GetLastError(), DWORD(ERROR_SUCCESS));
  }
  EXPECT_EQ(ReadBytes(path), "127.0.0.1 localhost\r\n");
  EXPECT_EQ(FolderNames(scratch.Path()), std::vector<std::wstring>{L"hosts"});
}

TEST(ReplaceDocument, ALeftoverOfACutWriteIsReplacedAndANewDocumentGetsItsFolders) {
  ScratchFolder scratch;
  const std::wstring path = scratch / L"Settings\\settings.ini";
  ASSERT_TRUE(ReplaceDocument(path, "first", DocumentKeepSecurity));
  ASSERT_TRUE(WriteBytes(DocumentTemporaryPath(path), "half a wri"));
  ASSERT_TRUE(ReplaceDocument(path, "second", DocumentKeepSecurity));
  EXPECT_EQ(ReadBytes(path), "second");
  EXPECT_EQ(FolderNames(scratch / L"Settings"), std::vector<std::wstring>{L"settings.ini"});
  // A folder in the document's place is never written into or over.
  EXPECT_FALSE(ReplaceDocument(scratch.Path() + L"\\Settings", "x", DocumentKeepSecurity));
  EXPECT_EQ(ReadBytes(path), "second");
}

}  // namespace
}  // namespace tavrin
