#pragma once
// What the detection rules ask of the cloud side: cached reports of the
// file-report service, queued look-ups and uploads, and the hash list for
// the maker's service. The rules reach all of it through this one interface
// so that a scan decides the same way whether a cloud client is attached or
// not; OfflineCloudVerdicts stands in until one is.
#include <cstddef>
#include <string>
#include <vector>

#include "definitions/malware_record.h"

namespace tavrin {

// The parsed form of one cached report, as far as a verdict needs it.
struct CachedReport {
  // 1 found, 0 not known to the service, -2 queued for analysis, other
  // values unusable.
  int responseCode = -5;
  ThreatScore score = 0;  // positives * 100 / engines
};

class CloudVerdicts {
 public:
  virtual ~CloudVerdicts() = default;
  // The cached report for the hash, parsed. False when no usable report is
  // cached (none, or expired while the client is online).
  virtual bool GetCachedReport(const std::wstring& hash, CachedReport& report) = 0;
  // Queues a look-up of the file into the application's file-report batch;
  // `registryText` names the autostart entry that led to the file, or is
  // empty. 0 failure, 1 queued or skipped, 2 a fresh report is cached.
  virtual int QueueLookup(const std::wstring& path, const std::wstring& registryText, const std::wstring& hash) = 0;
  // Sends what the file-report batch holds, if anything.
  virtual int Flush() = 0;
  // Lists a file the service does not know for upload after the scan;
  // its position in the upload list, 0 when it is not listed.
  virtual size_t AddUpload(const std::wstring& path) = 0;
  // Takes over lines of the hash list ("hash=tag") for the maker's service.
  virtual void SendHashList(std::vector<std::wstring> lines) = 0;
};

// No client attached: nothing is cached, nothing queued or sent. Verdicts
// then come from the definitions alone.
class OfflineCloudVerdicts final : public CloudVerdicts {
 public:
  bool GetCachedReport(const std::wstring& hash, CachedReport& report) override;
  int QueueLookup(const std::wstring& path, const std::wstring& registryText, const std::wstring& hash) override;
  int Flush() override;
  size_t AddUpload(const std::wstring& path) override;
  void SendHashList(std::vector<std::wstring> lines) override;
};

}  // namespace tavrin
