#include "platform/download_job.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "support/loopback.h"
#include "support/scratch.h"

namespace tavrin {
namespace {

using test::ReadBytes;
using test::TheLoopback;
using test::WriteBytes;

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = char(generator());
  return bytes;
}

// Waits for the finished query, as the program's own callers poll it.
bool WaitFinished(DownloadJob& job, DWORD limitMs = 120000) {
  const ULONGLONG end = GetTickCount64() + limitMs;
  while (GetTickCount64() < end) {
    if (QueryDownload(job, QueryFinished)) return true;
    Sleep(10);
  }
  return false;
}

class DownloadJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TheLoopback().running) << "the loopback server is not running (TAVRIN_LOOPBACK)";
    folder_ = TheLoopback().root + L"\\download-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override { test::RemoveTreeForTest(folder_); }

  // Serves the bytes; returns the URL path of the file.
  std::wstring Serve(const std::wstring& name, const std::string& bytes) {
    EXPECT_TRUE(WriteBytes(folder_ + L"\\" + name, bytes));
    return L"/download-" + std::to_wstring(GetCurrentProcessId()) + L"/" + name;
  }

  std::wstring folder_;
  test::ScratchFolder local_;
};

TEST_F(DownloadJobTest, FileThroughBothBuffersArrivesByteForByte) {
  // 2.5 MB in chunks of 100,000 bytes: the two buffers change hands many
  // times. The destination folders do not exist yet.
  const std::string bytes = RandomBytes(2500123, 1);
  const std::wstring url = TheLoopback().HttpUrl(Serve(L"big.bin", bytes));
  const std::wstring destination = local_ / L"new\\deeper\\big.bin";

  DownloadJobPtr job = StartDownload(url, destination, DownloadReload);
  ASSERT_TRUE(job);
  ASSERT_TRUE(WaitFinished(*job));
  EXPECT_EQ(QueryDownload(*job, QueryError), 0u);
  EXPECT_EQ(QueryDownload(*job, QueryState), uint32_t(DownloadComplete));
  EXPECT_EQ(QueryDownload(*job, QueryTotalSize), bytes.size());
  EXPECT_EQ(QueryDownload(*job, QueryReceived), bytes.size());
  EXPECT_EQ(QueryDownload(*job, QueryPercent), 100u);
  EXPECT_EQ(QueryDownload(*job, QueryPermille), 1000u);
  job.reset();  // closing a finished job leaves its file alone
  EXPECT_TRUE(ReadBytes(destination) == bytes);

  // Over an existing hidden, read-only file: replaced, not refused.
  SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  const std::string other = RandomBytes(70000, 2);
  job = StartDownload(TheLoopback().HttpUrl(Serve(L"small.bin", other)), destination, DownloadReload | DownloadWait);
  ASSERT_TRUE(job);
  EXPECT_EQ(QueryDownload(*job, QueryState), uint32_t(DownloadComplete));
  job.reset();
  EXPECT_TRUE(ReadBytes(destination) == other);
}

TEST_F(DownloadJobTest, BodyWithoutContentLengthGrowsTheTotal) {
  // Sent slowly so that progress can be watched while the total is still
  // the assumed 1,048,576 bytes.
  const std::string bytes = RandomBytes(300000, 3);
  const std::wstring path = Serve(L"unannounced.bin", bytes);
  const std::wstring destination = local_ / L"unannounced.bin";
  DownloadJobPtr job = StartDownload(TheLoopback().HttpUrl(L"/-slow/-nolength" + path), destination, DownloadReload);
  ASSERT_TRUE(job);
  bool sawProgress = false;
  const ULONGLONG end = GetTickCount64() + 60000;
  while (!QueryDownload(*job, QueryFinished) && GetTickCount64() < end) {
    // Read in this order, each value is no newer than the next one.
    const uint32_t percent = QueryDownload(*job, QueryPercent);
    const uint32_t total = QueryDownload(*job, QueryTotalSize);
    const uint32_t received = QueryDownload(*job, QueryReceived);
    if (received > 0 && received < bytes.size()) {
      EXPECT_EQ(total, 1048576u);
      EXPECT_LE(percent, (uint64_t(received) * 1000 + 4) / (1048576ull * 10));
      sawProgress = true;
    }
    Sleep(5);
  }
  EXPECT_TRUE(sawProgress);
  EXPECT_EQ(QueryDownload(*job, QueryState), uint32_t(DownloadComplete));
  EXPECT_EQ(QueryDownload(*job, QueryTotalSize), bytes.size());
  job.reset();
  EXPECT_TRUE(ReadBytes(destination) == bytes);

  // In memory a body longer than the assumed total still arrives whole.
  const std::string large = RandomBytes(3000000, 4);
  job = StartDownload(TheLoopback().HttpUrl(L"/-nolength" + Serve(L"large.bin", large)), L"",
                      DownloadReload | DownloadToMemory | DownloadWait);
  ASSERT_TRUE(job);
  EXPECT_EQ(QueryDownload(*job, QueryState), uint32_t(DownloadComplete));
  const std::string_view body = DownloadBody(*job);
  EXPECT_EQ(body.size(), large.size());
  EXPECT_TRUE(body == large);
  EXPECT_EQ(body.data()[body.size()], '\0');
}

TEST_F(DownloadJobTest, MemoryBodyAboveTheCapIsCutThere) {
  const std::string bytes = RandomBytes(size_t(kDownloadMemoryCap) + 300000, 5);
  const std::wstring path = Serve(L"huge.bin", bytes);
  for (const std::wstring& prefix : {std::wstring(), std::wstring(L"/-nolength")}) {
    SCOPED_TRACE(testing::Message() << "prefix " << std::string(prefix.begin(), prefix.end()));
    DownloadJobPtr job = StartDownload(TheLoopback().HttpUrl(prefix + path), L"", DownloadReload | DownloadToMemory);
    ASSERT_TRUE(job);
    ASSERT_TRUE(WaitFinished(*job));
    EXPECT_EQ(QueryDownload(*job, QueryState), uint32_t(DownloadComplete));
    EXPECT_EQ(QueryDownload(*job, QueryTotalSize), kDownloadMemoryCap);
    const std::string_view body = DownloadBody(*job);
    ASSERT_EQ(body.size(), kDownloadMemoryCap);
    EXPECT_TRUE(body == std::string_view(bytes).substr(0, size_t(kDownloadMemoryCap)));
  }
}

TEST_F(DownloadJobTest, ExistingFileOfTheAnnouncedSizeIsKept) {
  const std::string served = RandomBytes(5000, 6);
  const std::wstring url = TheLoopback().HttpUrl(Serve(L"present.bin", served));
  struct Case {
    std::string existing;
    uint32_t state;
  } cases[] = {
      {std::string(5000, 'x'), DownloadPresent},   // same size: not fetched again
      {std::string(4999, 'x'), DownloadComplete},  // other size: replaced
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.existing.size());
    const std::wstring destination = local_ / L"present.bin";
    ASSERT_TRUE(WriteBytes(destination, c.existing));
    DownloadJobPtr job = StartDownload(url, destination, DownloadSkipIfPresent | DownloadReload | DownloadWait);
    ASSERT_TRUE(job);
    EXPECT_EQ(QueryDownload(*job, QueryState), c.state);
    EXPECT_EQ(QueryDownload(*job, QueryFinished), 1u);
    EXPECT_EQ(QueryDownload(*job, QueryPercent), 100u);
    job.reset();
    EXPECT_TRUE(ReadBytes(destination) == (c.state == DownloadPresent ? c.existing : served));
  }
}

TEST_F(DownloadJobTest, FailuresEndTheJobWithAnError) {
  const std::wstring closed = L"http://127.0.0.1:" + std::to_wstring(test::ClosedPort()) + L"/tavrin/dbver2.txt";
  const struct {
    std::wstring url;
    uint32_t error;
  } cases[] = {
      {closed, DownloadOpenFailed},
      {L"ftp://127.0.0.1:" + std::to_wstring(test::ClosedPort()) + L"/file.zip", DownloadOpenFailed},
      {L"ftp:", DownloadOpenFailed},  // nothing to split into host and path
      {L"not a url", DownloadOpenFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.url.begin(), c.url.end()));
    DownloadJobPtr job = StartDownload(c.url, local_ / L"never.bin", DownloadReload);
    ASSERT_TRUE(job);
    ASSERT_TRUE(WaitFinished(*job, 60000));
    EXPECT_EQ(QueryDownload(*job, QueryError), c.error);
    EXPECT_EQ(QueryDownload(*job, QueryState), uint32_t(DownloadCreated));
    EXPECT_EQ(QueryDownload(*job, QueryReceived), 0u);
    EXPECT_FALSE(test::FileExists(local_ / L"never.bin"));
  }
}

TEST_F(DownloadJobTest, ABodyCutShortOfItsLengthFailsAndKeepsItsShare) {
  const std::string bytes = RandomBytes(200000, 8);
  const std::wstring url = TheLoopback().HttpUrl(L"/-cut" + Serve(L"cut.bin", bytes));
  const std::wstring destination = local_ / L"cut.bin";
  for (unsigned flags : {0u, unsigned(DownloadToMemory)}) {
    SCOPED_TRACE(flags);
    DownloadJobPtr job = StartDownload(url, flags ? L"" : destination, flags | DownloadReload | DownloadWait);
    ASSERT_TRUE(job);
    // Half the announced length arrived; asked first, the share is kept,
    // and asking again does not reset it.
    const uint32_t permille = QueryDownload(*job, QueryPermille);
    EXPECT_GT(permille, 0u);
    EXPECT_LT(permille, 1000u);
    EXPECT_EQ(QueryDownload(*job, QueryPermille), permille);
    EXPECT_EQ(QueryDownload(*job, QueryError), uint32_t(DownloadTransferFailed));
    EXPECT_EQ(QueryDownload(*job, QueryReceived), 0u);
    EXPECT_EQ(QueryDownload(*job, QueryPermille), 0u);
    EXPECT_TRUE(DownloadBody(*job).empty());
    job.reset();
    EXPECT_FALSE(test::FileExists(destination));
  }
}

TEST_F(DownloadJobTest, ClosingARunningDownloadRemovesThePartialFile) {
  const std::string bytes = RandomBytes(400000, 7);
  const std::wstring destination = local_ / L"partial.bin";
  DownloadJobPtr job = StartDownload(TheLoopback().HttpUrl(L"/-slow" + Serve(L"partial.bin", bytes)), destination,
                                     DownloadReload);
  ASSERT_TRUE(job);
  const ULONGLONG end = GetTickCount64() + 30000;
  while (QueryDownload(*job, QueryReceived) == 0 && GetTickCount64() < end) Sleep(5);
  ASSERT_EQ(QueryDownload(*job, QueryState), uint32_t(DownloadTransferring));
  const ULONGLONG closing = GetTickCount64();
  job.reset();
  EXPECT_LT(GetTickCount64() - closing, 2000u);
  EXPECT_FALSE(test::FileExists(destination));
}

TEST(DownloadHeaders, RefererAndBlankLines) {
  const struct {
    std::wstring extra, referer, expected;
  } cases[] = {
      {L"", L"", L""},
      {L"", L"http://a/", L"Referer: http://a/\r\n"},
      {L"Referer: http://b/\r\n", L"http://a/", L"Referer: http://b/\r\n"},
      {L"X-A: 1\r\n\r\n", L"", L""},  // "X-A: 1\r\n" is shorter than 10 characters
      {L"Accept-Encoding: gzip, deflate\r\n\r\n\r\n", L"r",
       L"Accept-Encoding: gzip, deflate\r\nReferer: r\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildRequestHeaders(c.extra, c.referer), c.expected);
}

}  // namespace
}  // namespace tavrin
