#pragma once
// Submissions to the maker's web service: the hash list, user-reported
// false positives and the names of the programs a scan found. Their outcome
// is never shown as an error; none of them changes local state.
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/download_job.h"

namespace tavrin {

inline constexpr wchar_t kHashListPath[] = L"/orn/md5_vreports/insert.php?HashList=1";
inline constexpr wchar_t kFalsePositivePath[] = L"/orn/md5_vreports/addfp.php?FileFP=1";
inline constexpr wchar_t kFoundProgramsPath[] = L"/tavrin/pup_report.php?ps=";

// The queue's lines, each once (a line is dropped only when it equals an
// earlier one as a whole, case aside), each followed by "\r\n".
std::wstring HashListBody(const std::vector<std::wstring>& lines);

// The request for the found-programs list ("name|||name|||") against the
// server's base address; nothing when the list is 6 characters or shorter
// or cannot be escaped within 4,096 characters (it never goes out
// unescaped).
std::optional<std::wstring> FoundProgramsUrl(const std::wstring& serverAddress, const std::wstring& list);

// The false-positive record of a file: generalized path, identity hash,
// trust label and file description, joined by "|||".
std::wstring FalsePositiveRecord(const std::wstring& path);

class MakerServiceClient {
 public:
  explicit MakerServiceClient(std::wstring baseAddress = {}) : address_(std::move(baseAddress)) {}
  // Stops what is still being sent and waits for the threads.
  ~MakerServiceClient();
  MakerServiceClient(const MakerServiceClient&) = delete;
  MakerServiceClient& operator=(const MakerServiceClient&) = delete;

  void Configure(const std::wstring& baseAddress);

  // POSTs the body; the status code, 0 without an answer.
  unsigned Post(const std::wstring& path, const std::string& body);

  // Sends the lines (true on status 200); a body of 34 bytes or fewer is
  // not sent.
  bool SendHashList(const std::vector<std::wstring>& lines);
  // The same on a thread of its own.
  void StartHashListSend(std::vector<std::wstring> lines);

  // 1 started, 3 the previous report still runs, 0 no thread. `path` is
  // column 0 of the highlighted Malware row of group 81, empty when no
  // such row is highlighted (the thread then ends without a request).
  int StartFalsePositiveReport(const std::wstring& path);
  bool SendFalsePositive(const std::wstring& path);

  // Starts the found-programs report in the background; empty when nothing
  // was sent. Its answer is not used.
  DownloadJobPtr SendFoundPrograms(const std::wstring& list) const;

  // Waits for every submission thread started so far.
  void Wait();

 private:
  struct Sender {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::wstring Address() const;

  mutable std::mutex lock_;
  std::wstring address_;
  std::atomic<bool> stop_{false};
  std::vector<Sender> hashListSenders_;
  std::thread falsePositive_;
  std::atomic<bool> falsePositiveRunning_{false};
};

}  // namespace tavrin
