#pragma once
// Hashes the maker's service should look at again, each line a hash and a
// tag: "=(recheck)", "=(remove)" (withdraw the definition), "=(resubmit)"
// or "=R" + the current cloud score. Kept for the whole run until sent.
#include <mutex>
#include <string>
#include <vector>

namespace tavrin {

class CloudVerdicts;

struct HashListQueue {
  mutable std::mutex lock;  // appended by the scan thread, taken by the sender
  std::vector<std::wstring> lines;
};

// A full queue is handed to the sender at this many lines.
inline constexpr size_t kHashListBatch = 50;

// The tag of a request: below 10 bit 0 selects "=(recheck)", else bit 1
// "=(remove)", else "=(resubmit)"; 10 and above "=R" + the number.
std::wstring HashTag(unsigned request);

// Appends hash + tag; when that brings the queue to kHashListBatch lines,
// the lines go to `sender` and the queue starts empty again.
void QueueHashTag(HashListQueue& queue, const std::wstring& hash, unsigned request, CloudVerdicts& sender);

// Empties the queue and returns what it held (the end-of-scan send).
std::vector<std::wstring> TakeHashList(HashListQueue& queue);
size_t HashListSize(const HashListQueue& queue);

}  // namespace tavrin
