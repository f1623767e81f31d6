#include "cloud/cloud_services.h"

#include "definitions/hash_list_queue.h"

namespace tavrin {

bool CloudServices::GetCachedReport(const std::wstring& hash, CachedReport& report) {
  report = CachedReport{};
  std::wstring json;
  if (!virusTotal.GetCachedReport(hash, json)) return false;
  VtReport parsed;
  report.responseCode = virusTotal.ParseReport(json, parsed);
  report.score = parsed.score;
  return true;
}

int CloudServices::QueueLookup(const std::wstring& path, const std::wstring& registryText, const std::wstring& hash) {
  return virusTotal.QueueLookup(path, virusTotal.FileReports(), registryText, hash);
}

int CloudServices::Flush() {
  RequestBatch& batch = virusTotal.FileReports();
  if (batch.count == 0) return -5;
  const int result = virusTotal.Flush(batch);
  ResetBatch(batch);
  return result;
}

size_t CloudServices::AddUpload(const std::wstring& path) { return virusTotal.AddUpload(path); }

void CloudServices::SendHashList(std::vector<std::wstring> lines) { maker.StartHashListSend(std::move(lines)); }

void CloudServices::StartAfterScan(HashListQueue& hashList) {
  // The status line is the scan's: the uploads after it keep silent.
  virusTotal.AttachStatus(nullptr);
  virusTotal.StartUploads();
  std::vector<std::wstring> lines = TakeHashList(hashList);
  if (!lines.empty()) maker.StartHashListSend(std::move(lines));
}

}  // namespace tavrin
