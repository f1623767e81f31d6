#include "cloud/maker_service_client.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cloud/cloud_servers.h"
#include "cloud/cloud_services.h"
#include "definitions/hash_list_queue.h"
#include "filetrust/file_identity.h"
#include "platform/download_job.h"
#include "platform/strings.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

const std::wstring kHash = L"44D88612FEA8A8F36DE82E1278ABB02F";

class MakerSubmissions : public test::CloudServerTest {
 protected:
  std::vector<test::ReceivedRequest> Received() { return servers.Received(); }

  test::ScratchFolder folder;
};

TEST_F(MakerSubmissions, TheHashListGoesOutOnceEachLineAndNotWhenTooShort) {
  MakerServiceClient maker(servers.MakerAddress());
  // A line is a duplicate only when it is the same line: "=R1" is not
  // part of "=R15" here.
  EXPECT_TRUE(maker.SendHashList({kHash + L"=R15", kHash + L"=R1", ToLower(kHash) + L"=r15", kHash + L"=R1"}));
  // 32 characters and a line break are 34 bytes: not sent.
  EXPECT_FALSE(maker.SendHashList({kHash}));
  const auto received = Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].Field("method"), "POST");
  EXPECT_EQ(received[0].Field("path"), "/orn/md5_vreports/insert.php?HashList=1");
  EXPECT_EQ(received[0].Field("content-type"), "application/json; charset=utf-8");
  EXPECT_EQ(received[0].body, WideToUtf8(kHash + L"=R15\r\n" + kHash + L"=R1\r\n"));
}

TEST_F(MakerSubmissions, AFullQueueIsSentFromAThreadOfItsOwn) {
  CloudServices cloud;
  cloud.maker.Configure(servers.MakerAddress());
  HashListQueue queue;
  std::wstring expected;
  for (unsigned i = 0; i < kHashListBatch; ++i) {
    const std::wstring hash = kHash.substr(0, 30) + std::to_wstring(10 + i);
    QueueHashTag(queue, hash, i + 10, cloud);
    expected += hash + L"=R" + std::to_wstring(i + 10) + L"\r\n";
  }
  EXPECT_EQ(HashListSize(queue), 0u);
  cloud.maker.Wait();
  const auto received = Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].body, WideToUtf8(expected));
}

TEST_F(MakerSubmissions, AFalsePositiveCarriesThePathHashAndLabel) {
  const std::wstring file = folder / L"R&D tool.exe";
  ASSERT_TRUE(test::WriteBytes(file, "MZ not a real program"));
  MakerServiceClient maker(servers.MakerAddress());
  EXPECT_EQ(maker.StartFalsePositiveReport(file), 1);
  // The first still waits for its answer.
  EXPECT_EQ(maker.StartFalsePositiveReport(file), 3);
  maker.Wait();
  // No highlighted row: the thread ends without a request.
  EXPECT_EQ(maker.StartFalsePositiveReport(L""), 1);
  maker.Wait();

  const auto received = Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].Field("path"), "/orn/md5_vreports/addfp.php?FileFP=1");
  const std::vector<std::wstring> fields = Split(Utf8ToWide(received[0].body), L"|||");
  ASSERT_EQ(fields.size(), 4u) << received[0].body;
  wchar_t expanded[1024];
  ASSERT_GT(ExpandEnvironmentStringsW(fields[0].c_str(), expanded, 1024), 0u);
  EXPECT_TRUE(EqualsNoCase(expanded, file)) << WideToUtf8(fields[0]);
  EXPECT_NE(fields[0], file);  // the user's folders are not sent as they are
  EXPECT_EQ(fields[1], IdentityHash(file));
  EXPECT_EQ(fields[2], L"Unsigned :  No publisher");
  EXPECT_EQ(fields[3], L"");
}

TEST_F(MakerSubmissions, FoundProgramsAreSentEscaped) {
  MakerServiceClient maker(servers.MakerAddress());
  DownloadJobPtr job = maker.SendFoundPrograms(L"Some Toolbar|||R&D Helper=1|||");
  ASSERT_TRUE(job);
  for (int i = 0; i < 500 && !QueryDownload(*job, QueryFinished); ++i) Sleep(10);
  const auto received = Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].Field("method"), "GET");
  EXPECT_EQ(received[0].Field("path"), "/tavrin/pup_report.php?ps=Some%20Toolbar%7C%7C%7CR%26D%20Helper%3D1%7C%7C%7C");
  EXPECT_FALSE(maker.SendFoundPrograms(L"a|||"));
}

}  // namespace
}  // namespace tavrin
