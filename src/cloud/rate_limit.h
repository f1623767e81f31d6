#pragma once
// How many requests a service allows: a number per sliding minute and a
// number per day (UTC days, as the service counts them). The limiter asks
// an injected clock for the time and for waiting, so that a test can run
// minutes in no time. No platform calls.
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace tavrin {

// Milliseconds since 1 January 1970 (UTC), and a way to pass time.
class RateClock {
 public:
  virtual ~RateClock() = default;
  virtual int64_t NowMs() = 0;
  virtual void SleepMs(int64_t ms) = 0;
};

// The system's wall clock and a real sleep.
class SystemRateClock final : public RateClock {
 public:
  int64_t NowMs() override;
  void SleepMs(int64_t ms) override;
};
RateClock& TheSystemRateClock();

// The public API's limits for a personal key.
inline constexpr int kDefaultRequestsPerMinute = 4;
inline constexpr int kDefaultRequestsPerDay = 500;

struct RateLimits {
  int perMinute = kDefaultRequestsPerMinute;
  int perDay = kDefaultRequestsPerDay;
  int64_t windowMs = 60000;  // the "minute"
};

enum class RateGrant {
  Granted,     // send now; counted
  Stopped,     // the stop test said so while waiting
  DailyQuota,  // today's requests are used up
};

class RateLimiter {
 public:
  explicit RateLimiter(RateClock& clock, RateLimits limits = {});

  // New limits; what was sent stays counted.
  void SetLimits(RateLimits limits);
  const RateLimits& Limits() const { return limits_; }

  // Today's count as kept from an earlier run: `day` in days since 1970.
  // A count of another day is no count for today; of two counts of today
  // the larger holds.
  void Restore(int64_t day, int used);

  // The send times (clock milliseconds) of the requests in the current
  // window, oldest first, so that another run can count them.
  std::vector<int64_t> RecentRequests() const;
  // Counts the send times an earlier run kept: those inside the window
  // ending now join the ones of this run (a time this run holds as often
  // counts once, not twice); times from the future or long past are ignored.
  void RestoreRecent(const std::vector<int64_t>& times);

  // Waits (in steps of at most 100 ms, asking `stopped` before each) until
  // a request may go out, then counts it. `waiting` (may be empty) is
  // called once when a wait begins.
  RateGrant Acquire(const std::function<bool()>& stopped, const std::function<void()>& waiting = {});

  // The service said "too many": nothing more is granted for a whole window
  // from now.
  void HoldOff();

  int64_t Day() const { return day_; }
  int UsedToday() const { return used_; }
  // The UTC day (since 1970) of a clock time.
  static int64_t DayOf(int64_t ms) { return ms / 86400000; }

 private:
  void RollDay(int64_t now);
  // When the next request may go out (the current time when it may now).
  int64_t NextSlot(int64_t now) const;

  RateClock& clock_;
  RateLimits limits_;
  std::deque<int64_t> sent_;  // times of the last `perMinute` requests
  int64_t holdUntil_ = 0;
  int64_t day_ = -1;
  int used_ = 0;
};

}  // namespace tavrin
