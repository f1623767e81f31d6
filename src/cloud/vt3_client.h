#pragma once
// Look-ups with a personal key at the current public API: one
// "GET /api/v3/files/{hash}" per hash, never more of them than the key's
// limits allow (a number per minute, a number per day counted across runs
// in the registry), with progress in the status text. Answers become
// cached reports of the partner form (vt3_report.h).
#include <functional>
#include <string>
#include <vector>

#include "cloud/rate_limit.h"
#include "platform/https_request.h"
#include "platform/run_control.h"

namespace tavrin {

// The values on the cache root that keep today's count of requests.
inline constexpr wchar_t kLookupDayValue[] = L"PersonalKeyDay";
inline constexpr wchar_t kLookupCountValue[] = L"PersonalKeyRequests";
// Beside them, the send times of the last minute's requests (milliseconds
// since 1970, separated by commas), so that a run that follows another
// within the minute waits for the other's requests too.
inline constexpr wchar_t kLookupRecentValue[] = L"PersonalKeyRecent";

// How often a hash is asked again after "too many requests" answers in a
// row before the look-ups stop for the scan.
inline constexpr int kTooManyRetries = 3;

// The request path for a hash; empty for a hash that is not hexadecimal.
std::wstring FileObjectPath(const std::wstring& hash);

class PersonalLookups {
 public:
  explicit PersonalLookups(RateClock& clock = TheSystemRateClock());

  // `countKey` is the registry key whose values keep today's count;
  // `siteAddress` the service's base address (for the permalinks). A
  // refused key is forgotten.
  void Configure(const RateLimits& limits, const std::wstring& countKey, const std::wstring& siteAddress);

  // Sends one request (the path of FileObjectPath); the answer as received.
  using Fetch = std::function<HttpAnswer(const std::wstring& path)>;
  // Caches one report (hash, JSON text); true when it was written.
  using Store = std::function<bool(const std::wstring& hash, const std::wstring& json)>;

  // Looks the hashes up in turn. 200: the file object's report; 404 with
  // the service's "NotFoundError" body: "not known" (any other 404 stores
  // nothing); 401 or 403: the key is refused, and nothing more is sent until
  // the next Configure; 429: the hash is asked again after a whole window
  // (kTooManyRetries times, then the run ends); anything else, and an
  // answer cut short or too large, stores nothing for that hash. Ends at
  // the daily quota, when the service cannot be reached, and at once when
  // `stopped` says so. 1 when a report was stored, -3 stopped, 0 the
  // service unreachable before any was, else -5.
  int Run(const std::vector<std::wstring>& hashes, const Fetch& fetch, const Store& store,
          const std::function<bool()>& stopped, ProgressSink* status);

  // Waits for a request slot of the same limits for a request of another
  // kind (an upload) and counts it.
  RateGrant AcquireSlot(const std::function<bool()>& stopped);

  bool KeyRefused() const { return keyRefused_; }
  const RateLimiter& Limiter() const { return limiter_; }

 private:
  RateGrant Acquire(const std::function<bool()>& stopped, const std::function<void()>& waiting);

  RateLimiter limiter_;
  std::wstring countKey_;
  std::wstring siteAddress_;
  bool keyRefused_ = false;
};

}  // namespace tavrin
