#pragma once
// A background HTTP (or FTP) download over WinINet, into a file or into
// memory, whose owner polls its state and progress. The worker thread reads
// the body; in file mode a writer thread empties two alternating buffers to
// disk so that reading and writing overlap without a lock.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tavrin {

enum DownloadFlags : unsigned {
  DownloadWait = 0x1,           // the starter waits for the end, keeping window messages flowing
  DownloadReload = 0x2,         // bypass caches
  DownloadToMemory = 0x4,       // keep the body in memory; the destination is ignored
  DownloadSkipIfPresent = 0x8,  // a file of exactly the announced size already there: state Present
};

enum DownloadState : uint32_t {
  DownloadCreated = 0,
  DownloadSessionOpen = 1,
  DownloadTransferring = 2,
  DownloadComplete = 3,
  DownloadPresent = 4,
};

enum DownloadError : uint32_t {
  DownloadNoError = 0,
  DownloadNoConnection = 1,
  DownloadOpenFailed = 2,      // session, URL or FTP file
  DownloadCancelled = 3,
  DownloadCreateFailed = 4,    // destination file
  DownloadOutOfMemory = 5,
  DownloadTransferFailed = 6,  // read or write failure, or nothing received
};

enum DownloadQuery : int {
  QueryTotalSize = 1,  // low 32 bits; 0 when not announced
  QueryReceived = 2,   // low 32 bits
  QueryPercent = 3,
  QueryState = 4,
  QueryError = 5,
  QueryFinished = 6,   // 1 once an error is set or the state is Complete or Present
  QueryPermille = 7,   // received * 1000 / total
};

// The largest body kept in memory; a longer one is cut there.
inline constexpr uint64_t kDownloadMemoryCap = 41943040;

struct DownloadJob;
struct DownloadJobCloser {
  void operator()(DownloadJob* job) const;
};
// Closing (destroying) a running job cancels it and waits for its threads.
using DownloadJobPtr = std::unique_ptr<DownloadJob, DownloadJobCloser>;

// Empty when the worker thread cannot be created. `extraHeaders` are request
// header lines, each ending in "\r\n".
DownloadJobPtr StartDownload(const std::wstring& url, const std::wstring& destination, unsigned flags,
                             const std::wstring& referer = {}, const std::wstring& extraHeaders = {});

// A query on a job whose error is set first resets its state and received
// count to 0, so that a failed job never looks half done; QueryPermille
// alone leaves them, so the share a failed transfer reached can be read
// before anything else is asked.
uint32_t QueryDownload(DownloadJob& job, DownloadQuery what);

// The zero-terminated body of a completed memory download; empty otherwise.
std::string_view DownloadBody(const DownloadJob& job);

// The request headers as the worker sends them: the referer line added unless
// the extra headers already start with one, blank lines collapsed, and
// nothing when fewer than 10 characters remain.
std::wstring BuildRequestHeaders(const std::wstring& extraHeaders, const std::wstring& referer);

// Transfer chunk for an announced total (0: not announced).
uint32_t DownloadChunkSize(uint64_t total);

}  // namespace tavrin
