#include "definitions/hash_list_queue.h"

#include "definitions/cloud_verdicts.h"

namespace tavrin {

std::wstring HashTag(unsigned request) {
  if (request >= 10) return L"=R" + std::to_wstring(request);
  if (request & 1) return L"=(recheck)";
  if (request & 2) return L"=(remove)";
  return L"=(resubmit)";
}

void QueueHashTag(HashListQueue& queue, const std::wstring& hash, unsigned request, CloudVerdicts& sender) {
  std::vector<std::wstring> full;
  {
    std::lock_guard<std::mutex> hold(queue.lock);
    queue.lines.push_back(hash + HashTag(request));
    if (queue.lines.size() >= kHashListBatch) full.swap(queue.lines);
  }
  // Handed over outside the lock: the sender may take its time, and the
  // lines are no longer the queue's, so the scan thread needs no pause for
  // a sending thread to pick them up.
  if (!full.empty()) sender.SendHashList(std::move(full));
}

std::vector<std::wstring> TakeHashList(HashListQueue& queue) {
  std::lock_guard<std::mutex> hold(queue.lock);
  std::vector<std::wstring> lines;
  lines.swap(queue.lines);
  return lines;
}

size_t HashListSize(const HashListQueue& queue) {
  std::lock_guard<std::mutex> hold(queue.lock);
  return queue.lines.size();
}

}  // namespace tavrin
