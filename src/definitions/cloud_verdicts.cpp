#include "definitions/cloud_verdicts.h"

namespace tavrin {

bool OfflineCloudVerdicts::GetCachedReport(const std::wstring&, CachedReport& report) {
  report = CachedReport{};
  return false;
}

int OfflineCloudVerdicts::QueueLookup(const std::wstring&, const std::wstring&, const std::wstring&) { return 0; }

// The empty-batch answer of a real client.
int OfflineCloudVerdicts::Flush() { return -5; }

size_t OfflineCloudVerdicts::AddUpload(const std::wstring&) { return 0; }

// Without a sender the lines have nowhere to go; keeping them would only
// grow the queue for the rest of the run.
void OfflineCloudVerdicts::SendHashList(std::vector<std::wstring>) {}

}  // namespace tavrin
