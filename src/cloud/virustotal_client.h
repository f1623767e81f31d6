#pragma once
// Look-ups of files by hash at the file-report service, with every answer
// kept in a registry cache that later scans decide from without the
// network, and the upload of executables the service has never seen.
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cloud/rate_limit.h"
#include "cloud/request_batch.h"
#include "cloud/vt3_client.h"
#include "cloud/vt_report.h"
#include "platform/https_request.h"
#include "platform/pattern.h"
#include "platform/registry.h"
#include "platform/run_control.h"

namespace tavrin {

inline constexpr wchar_t kReportCacheRoot[] = L"HKLM64\\SOFTWARE\\Halvoret\\VirusTotal reports";
// Where older versions kept the cache; moved at start-up.
inline constexpr wchar_t kOldReportCacheRoot[] = L"HKLM64\\SOFTWARE\\Tavrin\\VT reports";
inline constexpr wchar_t kDefaultVirusTotalServer[] = L"https://www.virustotal.com";

struct VirusTotalSettings {
  std::wstring address;  // base address of the API host
  std::wstring apiKey;   // 64 lowercase hexadecimal characters; empty: nothing is sent
  std::wstring cacheRoot = kReportCacheRoot;
  // A personal key: file reports are asked one hash at a time at the
  // public API, within `limits`. Otherwise the key is a partner's and
  // they go to the partner endpoint in batches.
  bool personalKey = false;
  RateLimits limits;
  // Files the service does not know are sent to it only when the settings
  // say so ("VirusTotalUpload=1"); otherwise files are only looked up.
  bool upload = false;
};

// Strict UTF-8 (no invalid sequence) to UTF-16; an empty text is valid.
bool StrictUtf8ToWide(const std::string& bytes, std::wstring& out);

// Lower-cased when the text is 64 hexadecimal characters, else empty.
std::wstring NormalizeApiKey(const std::wstring& text);

// Moves the old cache key to `cacheRoot` when it exists.
void MigrateReportCache(const std::wstring& cacheRoot = kReportCacheRoot);

class VirusTotalClient {
 public:
  VirusTotalClient();
  ~VirusTotalClient();
  VirusTotalClient(const VirusTotalClient&) = delete;
  VirusTotalClient& operator=(const VirusTotalClient&) = delete;

  // Takes effect at the next ResetForScan. `clock` paces the look-ups of
  // a personal key.
  void Configure(const VirusTotalSettings& settings, RateClock& clock = TheSystemRateClock());
  // Scan cancellation also stops a request in progress.
  void AttachCancel(const CancelFlags* cancel) { cancel_ = cancel; }
  // Progress texts while requests are sent; none by default.
  void AttachStatus(ProgressSink* status) { status_ = status; }

  // Stops an upload run, deletes the last work key and creates a new one,
  // clears the upload list, empties the file-report batch and (re)opens the
  // connection (only with an API key).
  void ResetForScan();

  // 0 failure, 1 queued or skipped, 2 a fresh report is cached, 254 already
  // uploaded (file scans only).
  int QueueLookup(const std::wstring& path, RequestBatch& batch, const std::wstring& autostartText,
                  const std::wstring& hash);
  // 1 a report was stored, -5 empty or invalid, -3 stopped, 0 no answer.
  // With a personal key the file reports are looked up one by one (see
  // PersonalLookups::Run) and every upload waits for its request slot.
  int Flush(RequestBatch& batch);
  // Stores the reports of an answer that name what the batch asked for.
  int StoreResponse(const std::wstring& json, const RequestBatch& batch);
  // The cached report's JSON; false when there is none, or when it is older
  // than 10 days while the client is online (then marked for a fresh look-up).
  bool GetCachedReport(const std::wstring& hash, std::wstring& json);
  int ParseReport(const std::wstring& json, VtReport& report) const;

  // Position (from 1) in the upload list, 0 when the file is not listed
  // (always 0 while uploads are off). With a personal key a file goes to
  // "POST /api/v3/files" with the key in the "x-apikey" header only.
  size_t AddUpload(const std::wstring& path);
  int UploadAll();
  // UploadAll on a thread of its own; StopUploads ends it and waits.
  void StartUploads();
  void StopUploads();

  RequestBatch& FileReports() { return fileReports_; }
  const std::vector<std::wstring>& UploadList() const { return uploads_; }
  const std::wstring& WorkKeyPath() const { return workKeyPath_; }
  const std::wstring& CacheRoot() const { return settings_.cacheRoot; }
  bool Online() const { return connection_.IsOpen(); }
  void SetUploadSwitch(bool on) { uploadSwitch_ = on; }
  // The date the expiry rules count from (days since 1601); construction
  // and every ResetForScan take the local date.
  void SetToday(long long days) { today_ = days; }
  long long Today() const { return today_; }

  std::atomic<bool> stop{false};  // raised by the user interface

 private:
  bool Stopped() const { return stop.load() || (cancel_ && cancel_->Cancelled()); }
  void ShowStatus(const std::wstring& text);
  void WriteLastRequestTime(unsigned long long seconds);
  // Writes one report of a hash that was asked for into the cache.
  bool StoreReport(const std::wstring& name, const std::wstring& json);
  int FlushPersonal(const RequestBatch& batch);

  VirusTotalSettings settings_;
  HttpConnection connection_;
  RegKey workKey_;
  std::wstring workKeyPath_;
  long long today_ = 0;
  bool uploadSwitch_ = false;
  RequestBatch fileReports_{RequestKind::FileReports};
  RequestBatch uploadBatch_{RequestKind::FileScan};
  std::vector<std::wstring> uploads_;
  Pattern uploadFilter_;
  Pattern hashForm_;
  const CancelFlags* cancel_ = nullptr;
  ProgressSink* status_ = nullptr;
  std::thread uploadThread_;
  std::unique_ptr<PersonalLookups> personal_ = std::make_unique<PersonalLookups>();
};

}  // namespace tavrin
