// The class-server look-up on a classes root of the test's own.
#include "inventory/class_server.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

constexpr wchar_t kA[] = L"{0A000000-0000-4000-8000-00000000000A}";
constexpr wchar_t kB[] = L"{0B000000-0000-4000-8000-00000000000B}";
constexpr wchar_t kC[] = L"{0C000000-0000-4000-8000-00000000000C}";

class ClassServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = L"HKCU\\Software\\TavrinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-classes";
    folders = FindSystemFolders();
    server = scratch / L"server.dll";
    handler = scratch / L"handler.dll";
    ASSERT_TRUE(test::WriteBytes(server, "MZ server"));
    ASSERT_TRUE(test::WriteBytes(handler, "MZ handler"));
  }
  void TearDown() override { DeleteKeyTree(root); }

  void Server(const std::wstring& classKey, const wchar_t* kind, const std::wstring& text) {
    ASSERT_TRUE(WriteStringAt(root + classKey + L"\\" + kind, nullptr, text));
  }
  void TreatAs(const std::wstring& from, const std::wstring& to) {
    ASSERT_TRUE(WriteStringAt(root + L"\\CLSID\\" + from + L"\\TreatAs", nullptr, to));
  }
  std::wstring Lookup(const std::wstring& classId) {
    std::wstring file;
    return ClassServerFile(root, classId, folders, file) ? file : L"(none)";
  }

  test::ScratchFolder scratch;
  std::wstring root, server, handler;
  SystemFolders folders;
};

TEST_F(ClassServerTest, ServersAreTakenInTheirOrderAndResolvedAsCommands) {
  Server(L"\\CLSID\\" + std::wstring(kA), L"InprocHandler32", handler);
  EXPECT_EQ(Lookup(kA), handler);
  Server(L"\\CLSID\\" + std::wstring(kA), L"LocalServer32", L"\"" + server + L"\" -Embedding");
  EXPECT_EQ(Lookup(kA), server);
  // Only the 32-bit registration exists.
  Server(L"\\Wow6432Node\\CLSID\\" + std::wstring(kB), L"InprocServer32", handler);
  EXPECT_EQ(Lookup(kB), handler);
  // A server that names no file gives none, also through the handler.
  Server(L"\\CLSID\\" + std::wstring(kC), L"InprocServer32", scratch / L"gone.dll");
  Server(L"\\CLSID\\" + std::wstring(kC), L"InprocHandler32", handler);
  EXPECT_EQ(Lookup(kC), L"(none)");
  EXPECT_EQ(Lookup(L"{0D000000-0000-4000-8000-00000000000D}"), L"(none)");
  EXPECT_EQ(Lookup(L"..\\..\\CLSID\\" + std::wstring(kA)), L"(none)");
}

TEST_F(ClassServerTest, TreatAsChainsAreFollowedAndLoopsEndTheLookUp) {
  TreatAs(kA, kB);
  Server(L"\\CLSID\\" + std::wstring(kB), L"InprocServer32", server);
  EXPECT_EQ(Lookup(kA), server);

  ASSERT_TRUE(DeleteKeyTree(root));
  TreatAs(kA, kB);
  TreatAs(kB, kC);
  TreatAs(kC, std::wstring(L" ") + kA);
  EXPECT_EQ(Lookup(kA), L"(none)");

  // A long chain to a real server ends before it.
  ASSERT_TRUE(DeleteKeyTree(root));
  std::wstring id;
  for (int i = 0; i < 20; ++i) {
    const std::wstring from = L"{00000000-0000-4000-8000-0000000000" + std::to_wstring(10 + i) + L"}";
    const std::wstring to = L"{00000000-0000-4000-8000-0000000000" + std::to_wstring(11 + i) + L"}";
    TreatAs(from, to);
    if (i == 0) id = from;
  }
  Server(L"\\CLSID\\{00000000-0000-4000-8000-000000000030}", L"InprocServer32", server);
  EXPECT_EQ(Lookup(id), L"(none)");
  EXPECT_EQ(Lookup(L"{00000000-0000-4000-8000-000000000028}"), server);
}

}  // namespace
}  // namespace tavrin
