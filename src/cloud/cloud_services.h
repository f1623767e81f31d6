#pragma once
// The application's cloud side as the detection rules see it: verdicts from
// the file-report service's cache, look-ups and uploads there, and the hash
// list for the maker's service.
#include "cloud/maker_service_client.h"
#include "cloud/virustotal_client.h"
#include "definitions/cloud_verdicts.h"

namespace tavrin {

struct HashListQueue;

class CloudServices final : public CloudVerdicts {
 public:
  bool GetCachedReport(const std::wstring& hash, CachedReport& report) override;
  int QueueLookup(const std::wstring& path, const std::wstring& registryText, const std::wstring& hash) override;
  int Flush() override;
  size_t AddUpload(const std::wstring& path) override;
  void SendHashList(std::vector<std::wstring> lines) override;

  // After a scan: the uploads and the rest of the hash list, each on a
  // thread of its own.
  void StartAfterScan(HashListQueue& hashList);

  VirusTotalClient virusTotal;
  MakerServiceClient maker;
};

}  // namespace tavrin
